#include "pipeline/conversionengine.h"

#include "pipeline/localspeechservice.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"

#include <QTimer>

#include <algorithm>

namespace {
const int tokenTimeoutMs = 8000;
}

LocalSpeechService *ConversionEngine::speechService()
{
    if (!service) {
        service = new LocalSpeechService(isRunning() ? runOpts.service : opts.service, this);
        const QString appDir = isRunning() ? runOpts.appDir : opts.appDir;
        if (!appDir.isEmpty())
            service->setProgramFolder(appDir);
        connect(service, &LocalSpeechService::ready, this, &ConversionEngine::onSpeechServiceReady);
        connect(service, &LocalSpeechService::stopped, this, &ConversionEngine::onSpeechServiceStopped);
    }
    return service;
}

void ConversionEngine::checkSpeechService()
{
    http->setCaFile(runOpts.service.caFile);
    speechService()->ensureRunning();
}

void ConversionEngine::onSpeechServiceReady(bool ok)
{
    if (stage != Stage::CheckingService)
        return;
    if (!ok) {
        const QString held = service->portHeldMessage(); // another program on the service's port
        endRun(held.isEmpty() ? tr("无法启动语音识别服务，请检查程序安装是否完整！") : held, false);
        return;
    }
    // A service started anew knows nothing of the tokens an earlier one issued.
    if (service->startedNewChild())
        token.clear();
    if (runOpts.service.parallelRequests == 0 && LocalSpeechService::isLocalDeployment(runOpts.service)) {
        // As many requests at once as our own service has workers to decode them.
        sendRequest(SpeechProtocol::HealthRequest, QByteArray());
        return;
    }
    useService(runOpts.service.parallelRequests > 0 ? runOpts.service.parallelRequests : 1);
}

void ConversionEngine::onHealthReply(const QByteArray &body)
{
    useService(std::max(1, SpeechProtocol::decodeHealthWorkers(body)));
}

void ConversionEngine::useService(int atOnce)
{
    requestsAtOnce = atOnce;
    serviceChecked = true;
    advance();
}

void ConversionEngine::onSpeechServiceStopped()
{
    // Only a run that relies on the service: one still checking for it sees it gone and starts it.
    if (isRunning() && serviceChecked && stage != Stage::CheckingService)
        endRun(tr("本机语音识别服务意外停止，转换已中断。请重新开始转换，程序会再次启动该服务。"));
}

void ConversionEngine::requestToken()
{
    sendRequest(SpeechProtocol::TokenRequest, QByteArray());
    tokenWait->start(tokenTimeoutMs);
}

void ConversionEngine::onTokenReply(const QByteArray &body)
{
    tokenWait->stop();
    const SpeechProtocol::TokenReply reply = SpeechProtocol::decodeTokenReply(body);
    if (!reply.ok) {
        endRun(tr("获取访问令牌失败：语音服务器的应答无法解析！"), false);
        return;
    }
    token = reply.accessToken;
    advance();
}

void ConversionEngine::sltTokenTimeout()
{
    tokenWait->stop();
    if (!isRunning())
        return;
    endRun(tr("获取访问令牌超时！"), false);
}
