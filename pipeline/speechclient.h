#pragma once

#include "app/deployment.h"
#include "pipeline/networkfailure.h"
#include "pipeline/speechprotocol.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>

class LocalSpeechService;
class QtHttpClass;
class QTimer;
class SpeechRequest;

// How an exchange with the speech service ended, as values: the front ends say it in words.
struct SpeechResult
{
    enum Kind {
        Answered, // outcome holds the decoded reply
        NetworkError, // network describes the failure of request `requestId`
        LocalTimeout, // our own service sent nothing for `timeoutSeconds`
        ServiceNotStarted, // our own service could not be started
        ServiceStopped, // the service this client started has ended
        ServiceLost, // a service another program started has gone and no other could be started
        TokenTimeout, // no token reply within 8 s
        TokenUnparsable, // the token reply does not parse
    };
    Kind kind = Answered;
    SpeechProtocol::RecognitionOutcome outcome;
    NetworkFailure network;
    int requestId = SpeechProtocol::RecognitionRequest;
    int timeoutSeconds = 0;
    QString portHeld; // ServiceNotStarted: what holds the service's port, in words, when another program does
};
Q_DECLARE_METATYPE(SpeechResult)

// The one client of the speech service that conversion runs and live text share: it makes sure the
// service answers (starting our own when the deployment is local and nothing answers, or when the one
// in use went away with the program that started it), holds the token and fetches it anew when the
// service rejects it or is replaced, sends the requests, repeats those the service asks to repeat, and
// turns every reply and failure into a SpeechResult. Never blocks; speaks only through signals.
class SpeechClient : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(SpeechClient)

public:
    struct Options
    {
        DeploymentConfig service;
        QString appDir; // where quillora-speechd is looked for; the program's folder unless told
        int requestTimeoutMs = 0; // a request without progress ends after this long; 0: requestBoundMs's
    };
    explicit SpeechClient(const Options &options, QObject *parent = nullptr);
    ~SpeechClient() override;

    // Options apply from the next prepare(); requests under way keep theirs.
    void setOptions(const Options &options);
    const Options &options() const { return opts; }
    bool isLocal() const;

    // How long a request may go without progress: our own service on this machine answers a full
    // segment within seconds, a service elsewhere may queue it behind other users' for minutes.
    static int requestBoundMs(const DeploymentConfig &service, int requestTimeoutMs);
    static constexpr int localRequestBoundMs = 60000;
    static constexpr int remoteRequestBoundMs = 180000;
    // How long a failed request waits to learn whether our own service has just died.
    static constexpr int serviceEndGraceMs = 500;

    // Makes sure the service answers and a token is in hand; with wantWorkers, asks our own service how
    // many requests it decodes at once (when the deployment leaves it automatic). ready() follows, once
    // for all callers waiting at that moment.
    void prepare(bool wantWorkers);
    bool hasToken() const { return !token.isEmpty(); }

    // One recognition request for a WAV file's bytes (or, when wav is empty, the file at path, read off
    // this thread). The request emits finished() once, unless aborted; the client deletes it after.
    SpeechRequest *recognise(const QString &path, const QByteArray &wav, const SpeechProtocol::RecognitionOptions &base,
        qint64 audioMs, int retryPauseUnitMs, bool randomPause);

signals:
    // ok: the service answers and the token is in hand; workers: requests at once (at least 1).
    void ready(bool ok, int workers, const SpeechResult &failure);
    // The service this client started ended while it was relied on (not while starting).
    void serviceStopped();

private:
    friend class SpeechRequest;
    friend struct SpeechClientTestAccess;
    enum class Stage { Idle, Service, Health, Token };

    LocalSpeechService *speechService();
    void onServiceReady(bool ok);
    void askWorkersOrToken();
    void requestToken();
    void onTokenTimeout();
    void onReply(int id, const QByteArray &body);
    void onReplyError(int id, const QByteArray &body);
    void endPrepare(bool ok, const SpeechResult &failure = SpeechResult());
    int send(SpeechRequest *request, const QByteArray &body);
    void lost(SpeechRequest *request, const NetworkFailure &failure);
    void onRecovered(bool ok);
    bool recovering() const { return !waitingForService.isEmpty(); }

    Options opts;
    QtHttpClass *http = nullptr;
    LocalSpeechService *service = nullptr;
    QTimer *tokenWait = nullptr;
    QString token; // kept across runs until the service rejects it or a new service is started
    Stage stage = Stage::Idle;
    bool wantWorkers = false;
    int workers = 1;
    bool ownService = false; // the service in use is the child we started
    bool restartedInPrepare = false; // the check under way has started our service again once
    int nextId = 1000; // below: the ids of the design (token 0, health 1)
    QHash<int, QPointer<SpeechRequest>> inFlight; // request id -> the request it carries
    QList<QPointer<SpeechRequest>> waitingForService; // sent to a service that went away: sent again once one answers
    QList<QPointer<SpeechRequest>> resendOnReady; // a service answers again: sent once the token is in hand
};

// One recognition request, from its send to its outcome: network failures that a service of our own can
// mend are mended, and repeats the service asks for are made, before finished() says how it ended.
class SpeechRequest : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(SpeechRequest)

public:
    // No signal after this; the reply under way is aborted and the request deleted later.
    void abort();

signals:
    void retrying(int seconds); // the service asked for it again: sent once the pause is over
    void finished(const SpeechResult &result);

private:
    friend class SpeechClient;
    friend struct SpeechClientTestAccess;
    explicit SpeechRequest(SpeechClient *client);
    void sendBody();
    void deliver(const QByteArray &body);
    void fail(const SpeechResult &result);

    SpeechClient *client;
    QString path;
    QByteArray wav;
    SpeechProtocol::RecognitionOptions base;
    qint64 audioMs = 0;
    int retryPauseUnitMs = 1000;
    bool randomPause = true;
    int id = -1; // of the HTTP request under way; -1 while none is
    quint64 attempt = 0; // a body or pause of an earlier attempt is dropped
    bool recovered = false; // sent again once after its service went away
    bool done = false;
};
