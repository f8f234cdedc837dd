#include "ui/widget.h"

#include "app/appstate.h"
#include "app/deployment.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"

#include <QComboBox>
#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace {

const int tokenTimeoutMs = 8000;
const QString englishLanguage = QStringLiteral("英文");

QString settingsPath()
{
    return AppState::dataDir + QStringLiteral("/.quillora/settings.ini");
}

} // namespace

DeploymentConfig Widget::serviceConfig() const
{
    DeploymentConfig config = deploymentConfig();
    if (!testSeams.serviceHost.isEmpty()) {
        config.tokenHost = testSeams.serviceHost;
        config.apiHost = testSeams.serviceHost;
    }
    if (!testSeams.caFile.isEmpty())
        config.caFile = testSeams.caFile;
    if (!testSeams.clientId.isEmpty())
        config.clientId = testSeams.clientId;
    if (!testSeams.clientSecret.isEmpty())
        config.clientSecret = testSeams.clientSecret;
    if (testSeams.parallelRequests >= 0)
        config.parallelRequests = testSeams.parallelRequests;
    return config;
}

QString Widget::serviceTokenUrl() const
{
    return serviceConfig().tokenUrl();
}

QString Widget::serviceRecognitionUrl() const
{
    return serviceConfig().recognitionUrl();
}

QString Widget::progressRecordPath(const QString &taskPath) const
{
    return RunProgress::recordPath(AppState::dataDir + QStringLiteral("/.quillora/progress"), taskPath);
}

QString Widget::languageRefusal() const
{
    if (!LocalSpeechService::isLocalDeployment(serviceConfig()) || languageBox->currentText() == englishLanguage)
        return QString();
    return QStringLiteral("本机自带的离线语音服务只能识别英文。请选择“英文”，或配置在线语音服务后再转换其他语言。");
}

void Widget::restoreLanguage()
{
    const QString saved = QSettings(settingsPath(), QSettings::IniFormat).value(QStringLiteral("language")).toString();
    const int index = languageBox->findText(saved, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        languageBox->setCurrentIndex(index);
    connect(languageBox, &QComboBox::currentTextChanged, this, [](const QString &text) {
        QSettings(settingsPath(), QSettings::IniFormat).setValue(QStringLiteral("language"), text);
    });
}

void Widget::checkSpeechService()
{
    if (!speechService) {
        speechService = new LocalSpeechService(serviceConfig(), this);
        connect(speechService, &LocalSpeechService::ready, this, &Widget::onSpeechServiceReady);
        connect(speechService, &LocalSpeechService::stopped, this, &Widget::onSpeechServiceStopped);
    }
    httpClient->setCaFile(serviceConfig().caFile);
    awaitingService = true;
    speechService->ensureRunning();
}

void Widget::onSpeechServiceReady(bool ok)
{
    if (!awaitingService || !runActive())
        return;
    awaitingService = false;
    if (!ok) {
        endRun(QStringLiteral("无法启动语音识别服务，请检查程序安装是否完整！"), false);
        return;
    }
    // A service started anew knows nothing of the tokens an earlier one issued.
    if (speechService->startedNewChild())
        accessToken.clear();
    const DeploymentConfig config = serviceConfig();
    if (config.parallelRequests == 0 && LocalSpeechService::isLocalDeployment(config)) {
        // As many requests at once as our own service has workers to decode them.
        sendRequest(SpeechProtocol::HealthRequest, QByteArray());
        return;
    }
    useService(config.parallelRequests > 0 ? config.parallelRequests : 1);
}

void Widget::onHealthReply(const QByteArray &body)
{
    useService(std::max(1, SpeechProtocol::decodeHealthWorkers(body)));
}

void Widget::useService(int requestsAtOnce)
{
    parallelRequests = requestsAtOnce;
    serviceChecked = true;
    slotBeginCover();
}

void Widget::onSpeechServiceStopped()
{
    // Only a run that relies on the service: one still checking for it sees it gone and starts it.
    if (runActive() && serviceChecked && !awaitingService)
        endRun(QStringLiteral("本机语音识别服务意外停止，转换已中断。请重新开始转换，程序会再次启动该服务。"));
}

void Widget::requestToken()
{
    sendRequest(SpeechProtocol::TokenRequest, QByteArray());
    tokenTimer->start(tokenTimeoutMs);
}

void Widget::onTokenReply(const QByteArray &body)
{
    tokenTimer->stop();
    const SpeechProtocol::TokenReply reply = SpeechProtocol::decodeTokenReply(body);
    if (!reply.ok) {
        endRun(QStringLiteral("获取访问令牌失败：语音服务器的应答无法解析！"), false);
        return;
    }
    accessToken = reply.accessToken;
    slotBeginCover();
}

void Widget::sltTokenTimeout()
{
    tokenTimer->stop();
    if (!runActive())
        return;
    endRun(QStringLiteral("获取访问令牌超时！"), false);
}
