#include "ui/widget.h"

#include "app/appstate.h"
#include "app/deployment.h"
#include "library/librarypaths.h"
#include "library/mylistwidget.h"
#include "pipeline/audioprep.h"
#include "pipeline/document.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <cstdlib>

namespace {

const int tokenTimeoutMs = 8000;

DeploymentConfig serviceConfigOf(const Widget &widget)
{
    DeploymentConfig config = deploymentConfig();
    if (!widget.serviceHostOverride.isEmpty()) {
        config.tokenHost = widget.serviceHostOverride;
        config.apiHost = widget.serviceHostOverride;
    }
    if (!widget.serviceClientIdOverride.isEmpty())
        config.clientId = widget.serviceClientIdOverride;
    if (!widget.serviceClientSecretOverride.isEmpty())
        config.clientSecret = widget.serviceClientSecretOverride;
    return config;
}

} // namespace

QString Widget::serviceTokenUrl() const
{
    return serviceConfigOf(*this).tokenUrl();
}

QString Widget::serviceRecognitionUrl() const
{
    return serviceConfigOf(*this).recognitionUrl();
}

bool Widget::runActive() const
{
    return stopCoverBtn->isEnabled();
}

void Widget::beginRun()
{
    ++runGeneration;
    conversionRun = ConversionRun();
    beginCoverBtn->setEnabled(false);
    stopCoverBtn->setEnabled(true);
}

void Widget::endRun(const QString &message, bool enableCloseWord)
{
    // A transcode cut short leaves a half-written file beside the user's own.
    const bool transcodeCutShort = convertProcess->state() != QProcess::NotRunning && isCurrentProcess(convertProcess);
    // A new generation first: whatever the old run left under way is stale from here on.
    ++runGeneration;
    awaitingService = false;
    tokenTimer->stop();
    for (QProcess *process : {convertProcess, lengthProcess, cutProcess}) {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    }
    if (transcodeCutShort)
        QFile::remove(AudioPrep::transcodedPath(conversionRun.taskPath));
    if (requestInFlight) {
        for (QNetworkReply *reply : httpClient->manager->findChildren<QNetworkReply *>()) {
            if (reply->isRunning())
                reply->abort();
        }
        requestInFlight = false;
    }
    setStartButtonText(QStringLiteral("开始转换"));
    beginCoverBtn->setEnabled(true);
    stopCoverBtn->setEnabled(false);
    if (enableCloseWord)
        closeWordBtn->setEnabled(true);
    if (!message.isEmpty())
        Notice::information(this, message);
}

void Widget::slotBeginCover()
{
    if (taskFiles.isEmpty()) {
        // The list can also have been cleared while the token was on its way: that run is over too.
        if (runActive())
            endRun(QString(), false);
        Notice::information(this, QStringLiteral("请先添加需要转换的文件！"));
        return;
    }
    if (!runActive())
        beginRun();
    if (accessToken.isEmpty()) {
        setStartButtonText(QStringLiteral("认证中..."));
        requestToken();
        return;
    }
    setStartButtonText(QStringLiteral("转换中..."));
    startFile();
}

void Widget::startFile()
{
    clearFolder(AppState::dataDir + QStringLiteral("/myTmpWAVFiles"));
    const QString task = taskFiles.first();
    const QString documentPath = Document::pathFor(AppState::dataDir, task);
    if (!wordFiles.contains(documentPath)) {
        appendLibraryFile(QStringLiteral("word"), documentPath);
    }
    // The old document stays until the new text replaces it whole: a failed run must not lose it.
    conversionRun = ConversionRun();
    conversionRun.taskPath = task;
    conversionRun.documentPath = documentPath;
    wordFilePath = documentPath;
    wordTextEdit->show();
    wordTextEdit->clear();
    closeWordBtn->setEnabled(false);
    convertAudioFormat();
}

void Widget::slotBeginUpload()
{
    if (!runActive())
        return;
    const int remaining = segmentFileList.size();
    setStartButtonText(QStringLiteral("转写:%1%").arg(AudioPrep::percentText(segmentCount - remaining, segmentCount)));
    beginCoverBtn->setEnabled(false);
    if (remaining >= 1) {
        sendRequest(SpeechProtocol::RecognitionRequest,
            SpeechProtocol::buildRecognitionBody(
                segmentFileList.first(), accessToken, AppState::machineId, languageBox->currentText()));
        return;
    }
    finishFile();
}

void Widget::finishFile()
{
    QString error;
    if (!Document::write(conversionRun.documentPath, Document::textOf(conversionRun.texts), &error)) {
        endRun(QStringLiteral("无法保存文本文档“%1”（%2），该文件仍保留在任务列表中。")
                   .arg(LibraryPaths::fileName(conversionRun.documentPath), error));
        return;
    }
    const QString task = conversionRun.taskPath;
    const int entry = audioCombo->findText(LibraryPaths::fileName(task), Qt::MatchFixedString);
    if (entry >= 0)
        audioCombo->removeItem(entry);
    taskFiles.removeOne(task);
    if (!conversionRun.transcodedPath.isEmpty())
        QFile::remove(conversionRun.transcodedPath);
    conversionRun = ConversionRun();

    if (taskFiles.isEmpty()) {
        endRun(QStringLiteral("文件已经全部转换完成！"));
        return;
    }
    startFile();
}

void Widget::sendRequest(int id, const QByteArray &body)
{
    requestGeneration = runGeneration;
    requestInFlight = true;
    if (id == SpeechProtocol::TokenRequest)
        httpClient->httpGet(id, serviceTokenUrl());
    else
        httpClient->httpPost(id, serviceRecognitionUrl(), body);
}

bool Widget::takeCurrentReply()
{
    const bool current = requestInFlight && requestGeneration == runGeneration && runActive();
    if (current)
        requestInFlight = false;
    return current;
}

void Widget::slotReadJson(int id, QByteArray body)
{
    if (!takeCurrentReply())
        return;
    if (id == SpeechProtocol::TokenRequest) {
        tokenTimer->stop();
        const SpeechProtocol::TokenReply reply = SpeechProtocol::decodeTokenReply(body);
        if (!reply.ok)
            return;
        accessToken = reply.accessToken;
        slotBeginCover();
        return;
    }
    if (id != SpeechProtocol::RecognitionRequest)
        return;

    const SpeechProtocol::RecognitionOutcome outcome = SpeechProtocol::decodeRecognitionReply(body);
    // The last of several segments holds what remains after the whole minutes, possibly a fraction of a
    // second: "too short" for it means no words, not a file that cannot be converted.
    const bool shortTail = outcome.kind == SpeechProtocol::RecognitionOutcome::Fail && outcome.errNo == 3314
        && segmentCount > 1 && segmentFileList.size() == 1;
    switch (shortTail ? SpeechProtocol::RecognitionOutcome::Success : outcome.kind) {
    case SpeechProtocol::RecognitionOutcome::Success:
        if (outcome.hasText) {
            wordTextEdit->append(outcome.text + QLatin1Char('\n'));
            conversionRun.texts << outcome.text;
        }
        if (!segmentFileList.isEmpty())
            QFile::remove(segmentFileList.takeFirst());
        slotBeginUpload();
        break;
    case SpeechProtocol::RecognitionOutcome::Retry: {
        const int seconds = std::rand() % 10 + 1;
        setStartButtonText(QStringLiteral("重申请: %1秒").arg(seconds));
        beginCoverBtn->setEnabled(false);
        const quint64 generation = runGeneration;
        delayMsec(seconds * retryPauseUnitMs);
        if (runActive() && generation == runGeneration)
            slotBeginUpload();
        break;
    }
    case SpeechProtocol::RecognitionOutcome::Fail:
        // A rejected token is useless to every later run: ask for a new one next time.
        if (outcome.errNo == 3302)
            accessToken.clear();
        endRun(outcome.message);
        break;
    case SpeechProtocol::RecognitionOutcome::Ignored:
    case SpeechProtocol::RecognitionOutcome::Unparsable:
        break;
    }
}

void Widget::slotReadJsonError(int id, QByteArray)
{
    if (!takeCurrentReply())
        return;
    if (id == SpeechProtocol::TokenRequest)
        endRun(QStringLiteral("获取访问令牌失败，请检查网络连接是否断开！"), false);
    else if (id == SpeechProtocol::RecognitionRequest)
        endRun(QStringLiteral("转换失败，请检查网络信号是否充足！"));
}

void Widget::sltTokenTimeout()
{
    tokenTimer->stop();
    if (!runActive())
        return;
    endRun(QStringLiteral("获取访问令牌超时！"), false);
}

void Widget::slotStopCover()
{
    endRun(QString());
}

void Widget::requestToken()
{
    if (!speechService) {
        speechService = new LocalSpeechService(serviceConfigOf(*this), this);
        connect(speechService, &LocalSpeechService::ready, this, &Widget::onSpeechServiceReady);
    }
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
    sendRequest(SpeechProtocol::TokenRequest, QByteArray());
    tokenTimer->start(tokenTimeoutMs);
}

void Widget::delayMsec(int msec)
{
    // A local loop rather than polling: the window stays responsive without spinning a core.
    QEventLoop loop;
    QTimer::singleShot(msec, &loop, &QEventLoop::quit);
    loop.exec();
}

void Widget::setStartButtonText(const QString &text)
{
    beginCoverBtn->setText(text);
    emit startButtonTextChanged(text);
}
