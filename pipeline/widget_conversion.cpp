#include "ui/widget.h"

#include "app/appstate.h"
#include "library/atomicfile.h"
#include "library/librarypaths.h"
#include "library/mylistwidget.h"
#include "pipeline/audioprep.h"
#include "pipeline/document.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <cstdlib>

bool Widget::runActive() const
{
    return stopCoverBtn->isEnabled();
}

void Widget::beginRun()
{
    ++runGeneration;
    conversionRun = ConversionRun();
    runDocuments.clear();
    serviceChecked = false;
    beginCoverBtn->setEnabled(false);
    stopCoverBtn->setEnabled(true);
}

void Widget::endRun(const QString &message, bool enableCloseWord)
{
    // A new generation first: whatever the old run left under way is stale from here on.
    ++runGeneration;
    awaitingService = false;
    tokenTimer->stop();
    for (QProcess *process : {convertProcess, lengthProcess, cutProcess}) {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    }
    // Only what this run made, in the program's own temporary folder.
    if (!conversionRun.transcodedPath.isEmpty())
        QFile::remove(conversionRun.transcodedPath);
    uploads.clear();
    if (!requestsInFlight.isEmpty()) {
        requestsInFlight.clear();
        for (QNetworkReply *reply : httpClient->manager->findChildren<QNetworkReply *>()) {
            if (reply->isRunning())
                reply->abort();
        }
    }
    setStartButtonText(QStringLiteral("开始转换"));
    hideTimeLeft();
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
    if (!runActive()) {
        const QString refusal = languageRefusal();
        if (!refusal.isEmpty()) {
            Notice::information(this, refusal);
            return;
        }
        beginRun();
    }
    if (!serviceChecked) {
        setStartButtonText(accessToken.isEmpty() ? QStringLiteral("认证中...") : QStringLiteral("转换中..."));
        checkSpeechService();
        return;
    }
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
    if (!QFileInfo(task).isFile()) {
        removeTask(task);
        endRun(QStringLiteral("找不到文件“%1”，它可能已被移动或删除，已将其从任务列表中移除。")
                   .arg(QDir::toNativeSeparators(task)));
        return;
    }
    conversionRun = ConversionRun();
    conversionRun.taskPath = task;
    conversionRun.sourcePath = task;
    // The view shows this run's text but belongs to no document until the run writes one: closing it
    // after a stop or a failure must not overwrite the earlier document with a partial text.
    wordFilePath.clear();
    wordTextEdit->show();
    wordTextEdit->clear();
    closeWordBtn->setEnabled(false);
    convertAudioFormat();
}

void Widget::slotBeginUpload()
{
    if (!runActive())
        return;
    showUploadProgress();
    // segmentFileList keeps every segment until it is recognised; those not yet in flight go next.
    for (int i = 0; i < segmentFileList.size() && uploads.size() < parallelRequests; ++i) {
        const int segment = AudioPrep::segmentIndexOf(segmentFileList.at(i));
        if (!uploads.contains(segment))
            sendSegment(segment, segmentFileList.at(i));
    }
    if (segmentFileList.isEmpty())
        finishFile();
}

void Widget::showUploadProgress()
{
    const int done = conversionRun.progress.doneCount();
    setStartButtonText(QStringLiteral("转写:%1%").arg(AudioPrep::percentText(done, segmentCount)));
    showTimeLeft(conversionRun.taskPath, done, segmentCount);
    beginCoverBtn->setEnabled(false);
}

void Widget::sendSegment(int segment, const QString &path)
{
    uploads.insert(segment, path);
    sendRequest(SpeechProtocol::recognitionRequestId(segment),
        SpeechProtocol::buildRecognitionBody(path, accessToken, AppState::machineId, languageBox->currentText()));
}

void Widget::finishFile()
{
    const QString task = conversionRun.taskPath;
    if (!conversionRun.progress.anyText()) {
        // Not one segment held speech: there is nothing to keep, and no empty document is written.
        QFile::remove(progressRecordPath(task));
        endRun(SpeechProtocol::failMessageForErrNo(SpeechErrors::NoSpeech));
        return;
    }
    const QString documentPath = Document::numberedPath(Document::pathFor(AppState::dataDir, task), runDocuments);
    QString error;
    if (!Document::write(documentPath, Document::textOf(conversionRun.progress.texts()), &error)) {
        endRun(QStringLiteral("无法保存文本文档“%1”（%2），该文件仍保留在任务列表中。")
                   .arg(LibraryPaths::fileName(documentPath), error));
        return;
    }
    runDocuments.insert(documentPath);
    QFile::remove(progressRecordPath(task));
    if (!wordFiles.contains(documentPath))
        appendLibraryFile(QStringLiteral("word"), documentPath);
    wordFilePath = documentPath;
    removeTask(task);
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
    requestsInFlight.insert(id, runGeneration);
    if (id == SpeechProtocol::TokenRequest)
        httpClient->httpGet(id, serviceTokenUrl());
    else if (id == SpeechProtocol::HealthRequest)
        httpClient->httpGet(id, serviceConfig().healthUrl());
    else
        httpClient->httpPost(id, serviceRecognitionUrl(), body);
}

bool Widget::takeCurrentReply(int id)
{
    const auto request = requestsInFlight.constFind(id);
    if (request == requestsInFlight.cend() || request.value() != runGeneration || !runActive())
        return false;
    requestsInFlight.erase(request);
    return true;
}

void Widget::slotReadJson(int id, QByteArray body)
{
    if (!takeCurrentReply(id))
        return;
    if (id == SpeechProtocol::TokenRequest) {
        onTokenReply(body);
        return;
    }
    if (id == SpeechProtocol::HealthRequest) {
        onHealthReply(body);
        return;
    }
    const int segment = SpeechProtocol::segmentOfRequest(id);
    if (!uploads.contains(segment))
        return;

    const SpeechProtocol::RecognitionOutcome outcome = SpeechProtocol::decodeRecognitionReply(body);
    switch (segmentOutcome(segment, outcome)) {
    case SpeechProtocol::RecognitionOutcome::Success:
        keepSegmentText(segment, outcome);
        slotBeginUpload();
        break;
    case SpeechProtocol::RecognitionOutcome::Retry:
        retrySegment(segment);
        break;
    case SpeechProtocol::RecognitionOutcome::Fail:
        // A rejected token is useless to every later run: ask for a new one next time.
        if (outcome.errNo == SpeechErrors::AuthenticationFailed)
            accessToken.clear();
        endRun(outcome.message);
        break;
    case SpeechProtocol::RecognitionOutcome::Ignored:
        endRun(QStringLiteral("语音服务器返回了无法识别的错误码 %1，转换已停止！").arg(outcome.errNoText));
        break;
    case SpeechProtocol::RecognitionOutcome::Unparsable:
        endRun(QStringLiteral("语音服务器的应答无法解析，转换已停止！"));
        break;
    }
}

void Widget::retrySegment(int segment)
{
    // The segment keeps its place among those in flight and is sent again alone after the pause;
    // the others go on meanwhile.
    const int seconds = std::rand() % 10 + 1;
    setStartButtonText(QStringLiteral("重申请: %1秒").arg(seconds));
    beginCoverBtn->setEnabled(false);
    const quint64 generation = runGeneration;
    QTimer::singleShot(seconds * testSeams.retryPauseUnitMs, this, [this, generation, segment] {
        if (!runActive() || generation != runGeneration || !uploads.contains(segment))
            return;
        showUploadProgress();
        sendSegment(segment, uploads.value(segment));
    });
}

SpeechProtocol::RecognitionOutcome::Kind Widget::segmentOutcome(
    int segment, const SpeechProtocol::RecognitionOutcome &outcome) const
{
    if (outcome.kind != SpeechProtocol::RecognitionOutcome::Fail)
        return outcome.kind;
    // One segment without speech (a long pause, a silent ending) adds no text; the file goes on.
    if (outcome.errNo == SpeechErrors::NoSpeech)
        return SpeechProtocol::RecognitionOutcome::Success;
    // The last of several segments holds what remains after the whole minutes, possibly a fraction of a
    // second: "too short" for it means no words, not a file that cannot be converted.
    if (outcome.errNo == SpeechErrors::AudioTooShort && segmentCount > 1 && segment == segmentCount - 1)
        return SpeechProtocol::RecognitionOutcome::Success;
    return outcome.kind;
}

void Widget::keepSegmentText(int segment, const SpeechProtocol::RecognitionOutcome &outcome)
{
    const QString path = uploads.take(segment);
    segmentFileList.removeOne(path);
    const bool hasText = outcome.kind == SpeechProtocol::RecognitionOutcome::Success && outcome.hasText;
    const bool inOrder = conversionRun.progress.texts().size() == conversionRun.progress.textsBefore(segment);
    conversionRun.progress.setDone(segment, hasText, outcome.text);
    if (hasText && inOrder) {
        wordTextEdit->append(outcome.text + QLatin1Char('\n'));
    } else if (hasText) {
        // A later segment answered first: the view keeps segment order, as the document does.
        wordTextEdit->clear();
        for (const QString &text : conversionRun.progress.texts())
            wordTextEdit->append(text + QLatin1Char('\n'));
    }
    // Kept after every segment, so that a stop, a failure or a crash costs only the segments under way.
    // A record that cannot be written costs a resume, not the run.
    const QString record = progressRecordPath(conversionRun.taskPath);
    QDir().mkpath(QFileInfo(record).path());
    AtomicFile::write(record, conversionRun.progress.toJson(), nullptr);
    QFile::remove(path);
}

void Widget::slotReadJsonError(int id, QByteArray body)
{
    if (!takeCurrentReply(id))
        return;
    if (speechService && speechService->childEnded(serviceEndGraceMs)) {
        onSpeechServiceStopped();
        return;
    }
    if (id == SpeechProtocol::TokenRequest)
        endRun(QStringLiteral("获取访问令牌失败，请检查网络连接是否断开！"), false);
    else if (id == SpeechProtocol::HealthRequest)
        onHealthReply(body); // a service still loading answers 503 with its worker count
    else
        endRun(QStringLiteral("转换失败，请检查网络信号是否充足！"));
}

void Widget::slotStopCover()
{
    endRun(QString());
}

void Widget::setStartButtonText(const QString &text)
{
    beginCoverBtn->setText(text);
    emit startButtonTextChanged(text);
}
