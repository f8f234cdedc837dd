#include "pipeline/speechclient.h"
#include "pipeline/speechclient_p.h"

#include "pipeline/localspeechservice.h"
#include "pipeline/qthttpclass.h"

#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <cstdlib>

namespace {

const int tokenTimeoutMs = 8000;
// The decoder may put a last word's end a few frames past the audio's end (and the probe truncates the
// duration to hundredths): that much is no malformed reply.
const qint64 replyMarginMs = 100;

// Builds the recognition bodies (a segment's file read and 2.5 MB of Base64) off the caller's thread,
// one at a time, so they are sent in the order asked for.
QThreadPool *bodyBuilder()
{
    static QThreadPool *pool = [] {
        auto *threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return pool;
}

// The connection ended or was refused: what a service that has gone away looks like to its client.
bool serviceGone(const NetworkFailure &failure)
{
    return !failure.timedOut && !failure.tls
        && (failure.error == QNetworkReply::ConnectionRefusedError
            || failure.error == QNetworkReply::RemoteHostClosedError);
}

} // namespace

SpeechClient::SpeechClient(const Options &options, QObject *parent)
    : QObject(parent)
    , opts(options)
    , http(new QtHttpClass(this))
    , tokenWait(new QTimer(this))
{
    qRegisterMetaType<SpeechResult>();
    tokenWait->setSingleShot(true);
    connect(tokenWait, &QTimer::timeout, this, &SpeechClient::onTokenTimeout);
    connect(http, &QtHttpClass::sigReplyFinish, this, &SpeechClient::onReply);
    connect(http, &QtHttpClass::sigReplyError, this, &SpeechClient::onReplyError);
}

SpeechClient::~SpeechClient()
{
    for (QObject *child : children())
        child->disconnect(this);
}

void SpeechClient::setOptions(const Options &options)
{
    const bool otherService = options.service.apiHost != opts.service.apiHost
        || options.service.tokenHost != opts.service.tokenHost || options.service.clientId != opts.service.clientId
        || options.service.clientSecret != opts.service.clientSecret || options.appDir != opts.appDir;
    opts = options;
    // Another service from now on: the starter of the old one (and the child it started) goes when idle.
    if (otherService && service && stage == Stage::Idle && inFlight.isEmpty() && !recovering()) {
        delete service;
        service = nullptr;
        ownService = false;
        token.clear();
    }
}

bool SpeechClient::isLocal() const
{
    return LocalSpeechService::isLocalDeployment(opts.service);
}

int SpeechClient::requestBoundMs(const DeploymentConfig &service, int requestTimeoutMs)
{
    if (requestTimeoutMs > 0)
        return requestTimeoutMs;
    return LocalSpeechService::isLocalDeployment(service) ? localRequestBoundMs : remoteRequestBoundMs;
}

LocalSpeechService *SpeechClient::speechService()
{
    if (!service) {
        service = new LocalSpeechService(opts.service, this);
        if (!opts.appDir.isEmpty())
            service->setProgramFolder(opts.appDir);
        connect(service, &LocalSpeechService::ready, this, [this](bool ok) {
            if (recovering())
                onRecovered(ok);
            else
                onServiceReady(ok);
        });
        connect(service, &LocalSpeechService::stopped, this, [this] {
            ownService = false;
            token.clear();
            // Only a service something relies on has stopped under it; one that ended between uses is
            // found gone by the next request, and replaced.
            if (!inFlight.isEmpty())
                emit serviceStopped();
        });
    }
    return service;
}

void SpeechClient::prepare(bool workersWanted)
{
    if (stage != Stage::Idle)
        return; // the check under way will report
    wantWorkers = workersWanted;
    restartedInPrepare = false;
    http->transferTimeoutMs = requestBoundMs(opts.service, opts.requestTimeoutMs);
    http->setCaFile(opts.service.caFile);
    stage = Stage::Service;
    if (recovering())
        return; // the service is being found again: ready follows with it
    speechService()->ensureRunning();
}

void SpeechClient::onServiceReady(bool ok)
{
    if (stage != Stage::Service)
        return;
    if (!ok) {
        SpeechResult result;
        result.kind = SpeechResult::ServiceNotStarted;
        result.portHeld = service->portHeldMessage();
        endPrepare(false, result);
        return;
    }
    // A service started anew knows nothing of the tokens an earlier one issued.
    if (service->startedNewChild()) {
        token.clear();
        ownService = true;
    } else if (!service->ownsRunningChild()) {
        ownService = false;
    }
    askWorkersOrToken();
}

void SpeechClient::askWorkersOrToken()
{
    if (wantWorkers && opts.service.parallelRequests == 0 && isLocal()) {
        // As many requests at once as our own service has workers to decode them.
        stage = Stage::Health;
        http->httpGet(SpeechProtocol::HealthRequest, opts.service.healthUrl());
        return;
    }
    workers = opts.service.parallelRequests > 0 ? opts.service.parallelRequests : 1;
    requestToken();
}

void SpeechClient::requestToken()
{
    if (!token.isEmpty()) {
        endPrepare(true);
        return;
    }
    stage = Stage::Token;
    http->httpGet(SpeechProtocol::TokenRequest, opts.service.tokenUrl());
    tokenWait->start(tokenTimeoutMs);
}

void SpeechClient::onTokenTimeout()
{
    tokenWait->stop();
    if (stage != Stage::Token)
        return;
    SpeechResult result;
    result.kind = SpeechResult::TokenTimeout;
    result.requestId = SpeechProtocol::TokenRequest;
    endPrepare(false, result);
}

void SpeechClient::endPrepare(bool ok, const SpeechResult &failure)
{
    stage = Stage::Idle;
    tokenWait->stop();
    // The requests that waited for a service to replace the one that went away go again, or say why not.
    const QList<QPointer<SpeechRequest>> resend = resendOnReady;
    resendOnReady.clear();
    for (const QPointer<SpeechRequest> &request : resend) {
        if (!request || request->done)
            continue;
        if (ok)
            request->sendBody();
        else
            request->fail(failure);
    }
    emit ready(ok, workers, failure);
}

void SpeechClient::onReply(int id, const QByteArray &body)
{
    if (id == SpeechProtocol::HealthRequest) {
        if (stage != Stage::Health)
            return;
        workers = std::max(1, SpeechProtocol::decodeHealthWorkers(body));
        requestToken();
        return;
    }
    if (id == SpeechProtocol::TokenRequest) {
        if (stage != Stage::Token)
            return;
        tokenWait->stop();
        const SpeechProtocol::TokenReply reply = SpeechProtocol::decodeTokenReply(body);
        if (!reply.ok) {
            SpeechResult result;
            result.kind = SpeechResult::TokenUnparsable;
            result.requestId = id;
            endPrepare(false, result);
            return;
        }
        // A reply without a token asks for another at once.
        token = reply.accessToken;
        requestToken();
        return;
    }
    const QPointer<SpeechRequest> request = inFlight.take(id);
    if (request)
        request->deliver(body);
}

void SpeechClient::onReplyError(int id, const QByteArray &body)
{
    const NetworkFailure failure = http->lastFailure();
    const bool localTimeout = failure.timedOut && isLocal();
    SpeechResult result;
    result.requestId = id;
    result.network = failure;
    result.kind = localTimeout ? SpeechResult::LocalTimeout : SpeechResult::NetworkError;
    result.timeoutSeconds = failure.timeoutSeconds();
    if (id == SpeechProtocol::HealthRequest || id == SpeechProtocol::TokenRequest) {
        if ((id == SpeechProtocol::HealthRequest) != (stage == Stage::Health) || stage == Stage::Idle)
            return;
        // A service still loading answers 503 with its worker count.
        if (id == SpeechProtocol::HealthRequest && !localTimeout) {
            onReply(id, body);
            return;
        }
        // Our own service ended before this check could use it (its end seen only now): start it again.
        if (ownService && service && !service->ownsRunningChild() && !restartedInPrepare) {
            restartedInPrepare = true;
            ownService = false;
            token.clear();
            stage = Stage::Service;
            service->ensureRunning();
            return;
        }
        if (ownService && service && !service->ownsRunningChild())
            result.kind = SpeechResult::ServiceStopped;
        endPrepare(false, result);
        return;
    }
    const QPointer<SpeechRequest> request = inFlight.take(id);
    if (!request)
        return;
    if (isLocal() && serviceGone(failure)) {
        lost(request, failure);
        return;
    }
    request->fail(result);
}

void SpeechClient::lost(SpeechRequest *request, const NetworkFailure &failure)
{
    SpeechResult result;
    result.kind = SpeechResult::NetworkError;
    result.network = failure;
    if (ownService) {
        // Our own child: a connection dropped by a dying service is seen before its exit is.
        const QPointer<SpeechRequest> waiting(request);
        const quint64 attempt = request->attempt;
        QTimer::singleShot(serviceEndGraceMs, request, [this, waiting, attempt, result]() mutable {
            if (!waiting || waiting->attempt != attempt || waiting->done)
                return;
            if (!ownService || !service || !service->ownsRunningChild())
                result.kind = SpeechResult::ServiceStopped;
            waiting->fail(result);
        });
        return;
    }
    if (request->recovered) {
        request->fail(result);
        return;
    }
    // The service belonged to another program, which has ended: start one of our own and go on.
    request->recovered = true;
    const bool first = !recovering();
    waitingForService << request;
    if (first)
        speechService()->ensureRunning();
}

void SpeechClient::onRecovered(bool ok)
{
    resendOnReady << waitingForService;
    waitingForService.clear();
    if (ok && service->startedNewChild()) {
        token.clear();
        ownService = true;
    }
    if (!ok) {
        SpeechResult result;
        result.kind = SpeechResult::ServiceLost;
        endPrepare(false, result);
        return;
    }
    if (stage == Stage::Service) {
        askWorkersOrToken();
        return;
    }
    // A check under way ends in endPrepare, which sends them again.
    if (stage != Stage::Idle)
        return;
    stage = Stage::Service;
    wantWorkers = false;
    requestToken();
}

SpeechRequest *SpeechClient::recognise(const QString &path, const QByteArray &wav,
    const SpeechProtocol::RecognitionOptions &base, qint64 audioMs, int retryPauseUnitMs, bool randomPause)
{
    auto *request = new SpeechRequest(this);
    request->path = path;
    request->wav = wav;
    request->base = base;
    request->audioMs = audioMs;
    request->retryPauseUnitMs = retryPauseUnitMs;
    request->randomPause = randomPause;
    request->sendBody();
    return request;
}

int SpeechClient::send(SpeechRequest *request, const QByteArray &body)
{
    const int id = nextId++;
    inFlight.insert(id, request);
    http->httpPost(id, opts.service.recognitionUrl(), body);
    return id;
}

SpeechRequest::SpeechRequest(SpeechClient *owner)
    : QObject(owner)
    , client(owner)
{ }

void SpeechRequest::sendBody()
{
    const quint64 sentBy = ++attempt;
    SpeechProtocol::RecognitionOptions options = base;
    options.accessToken = client->token;
    if (!wav.isEmpty()) {
        id = client->send(this, SpeechProtocol::buildRecognitionBodyOf(wav, options));
        return;
    }
    auto *built = new QFutureWatcher<QByteArray>(this);
    connect(built, &QFutureWatcherBase::finished, this, [this, built, sentBy] {
        const QByteArray body = built->result();
        built->deleteLater();
        // A body of an attempt given up, or of a request aborted, is dropped.
        if (sentBy == attempt && !done)
            id = client->send(this, body);
    });
    built->setFuture(QtConcurrent::run(
        bodyBuilder(), [path = this->path, options] { return SpeechProtocol::buildRecognitionBody(path, options); }));
}

void SpeechRequest::deliver(const QByteArray &body)
{
    id = -1;
    if (done)
        return;
    SpeechResult result;
    result.outcome = SpeechProtocol::decodeRecognitionReply(body, audioMs + replyMarginMs);
    if (result.outcome.kind == SpeechProtocol::RecognitionOutcome::Retry) {
        const int seconds = randomPause ? std::rand() % 10 + 1 : 1;
        emit retrying(seconds);
        const quint64 pausedBy = ++attempt;
        QTimer::singleShot(seconds * retryPauseUnitMs, this, [this, pausedBy] {
            if (pausedBy == attempt && !done)
                sendBody();
        });
        return;
    }
    // A rejected token is useless to every later request: the next prepare asks for a new one.
    if (result.outcome.kind == SpeechProtocol::RecognitionOutcome::Fail
        && result.outcome.errNo == SpeechErrors::AuthenticationFailed)
        client->token.clear();
    done = true;
    emit finished(result);
    deleteLater();
}

void SpeechRequest::fail(const SpeechResult &result)
{
    id = -1;
    if (done)
        return;
    done = true;
    emit finished(result);
    deleteLater();
}

void SpeechRequest::abort()
{
    if (done)
        return;
    done = true;
    ++attempt;
    if (id >= 0) {
        client->inFlight.remove(id);
        for (QNetworkReply *reply : client->http->manager->findChildren<QNetworkReply *>()) {
            if (reply->property("quilloraRequestId").toInt() == id && reply->isRunning())
                reply->abort();
        }
    }
    deleteLater();
}

void SpeechClientTestAccess::deliver(SpeechRequest *request, const QByteArray &body)
{
    if (!request || request->id < 0)
        return;
    request->client->inFlight.remove(request->id);
    if (!body.isNull()) {
        request->deliver(body);
        return;
    }
    SpeechResult result;
    result.kind = SpeechResult::NetworkError;
    result.requestId = request->id;
    request->fail(result);
}
