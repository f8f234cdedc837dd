#include "ui/widget.h"

#include "ui/document/documentpane.h"
#include "ui/library/librarypane.h"

#include "app/appstate.h"
#include "pipeline/conversionengine_p.h"
#include "pipeline/datapaths.h"
#include "pipeline/runtexts.h"
#include "pipeline/speechclient_p.h"
#include "ui/library/mylistwidget.h"
#include "ui/notice.h"
#include "ui/tasks/speakerchoice.h"
#include "ui/tasks/taskpane.h"

#include <QPushButton>
#include <QTextEdit>

namespace {

void appendParagraph(QTextEdit *view, const QString &text)
{
    view->append(text + QLatin1Char('\n'));
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

ConversionEngine::Options Widget::engineOptions() const
{
    ConversionEngine::Options options;
    options.service = serviceConfig();
    options.dataDir = AppState::dataDir;
    options.documentDir = DataPaths::documents(AppState::dataDir);
    options.appDir = AppState::appDir;
    options.machineId = AppState::machineId;
    options.retryPauseUnitMs = testSeams.retryPauseUnitMs;
    options.requestTimeoutMs = testSeams.requestTimeoutMs;
    options.stallNoticeMs = testSeams.stallNoticeMs;
    speakerChoice->applyTo(&options);
    return options;
}

bool Widget::runActive() const
{
    return conversionEngine->isRunning();
}

void Widget::connectConversionEngine()
{
    ConversionEngine *engine = conversionEngine;
    connect(engine, &ConversionEngine::fileStarted, this, &Widget::onFileStarted);
    connect(engine, &ConversionEngine::segmentRecognised, this,
        [this](const QString &text) { appendParagraph(wordTextEdit, text); });
    connect(engine, &ConversionEngine::transcriptReplaced, this, [this](const QStringList &texts) {
        wordTextEdit->clear();
        for (const QString &text : texts)
            appendParagraph(wordTextEdit, text);
    });
    connect(engine, &ConversionEngine::documentWritten, this, &Widget::onDocumentWritten);
    connect(engine, &ConversionEngine::runEnded, this, &Widget::onRunEnded);
}

void Widget::slotBeginCover()
{
    if (runActive())
        return;
    if (liveActive()) {
        Notice::information(this, tr("正在边录边转，请在录音结束、文字写入文档后再开始转换！"));
        return;
    }
    if (taskFiles.isEmpty()) {
        Notice::information(this, tr("请先添加需要转换的文件！"));
        return;
    }
    conversionEngine->setOptions(engineOptions());
    const QString refusal = RunTexts::languageRefusal(*conversionEngine, taskPane->languageCode());
    if (!refusal.isEmpty()) {
        Notice::information(this, refusal);
        return;
    }
    // The run takes the view: edits in it are saved first, and a failed save keeps the run from starting.
    const QString saveFailure = wordTextEdit->isHidden() ? QString() : writeOpenDocument();
    if (!saveFailure.isEmpty()) {
        Notice::information(this, saveFailure + tr("\n为免丢失文档中的修改，转换没有开始。"));
        return;
    }
    taskPane->startRun();
}

void Widget::onFileStarted(const QString &)
{
    // The view shows this run's text but belongs to no document until the run writes one: closing it
    // after a stop or a failure must not overwrite the earlier document with a partial text.
    documentPane->takeForRecognition();
    closeWordBtn->setEnabled(false);
}

void Widget::onDocumentWritten(const QString &task, const QString &documentPath)
{
    adoptWrittenDocument(documentPath);
    removeTask(task);
}

void Widget::onRunEnded(const ConversionEngine::RunEnd &end)
{
    taskPane->endRun();
    // The view the run took is the user's again, before the end is said.
    if (end.fileWasStarted)
        closeWordBtn->setEnabled(true);
    taskPane->tellRunEnd(end);
}

void Widget::slotStopCover()
{
    conversionEngine->stop();
}

void Widget::slotReadJson(int id, QByteArray body)
{
    ConversionEngineTestAccess::deliverReply(conversionEngine, id, body);
}

void Widget::slotReadJsonError(int id, QByteArray)
{
    ConversionEngineTestAccess::deliverError(conversionEngine, id);
}

void Widget::sltTokenTimeout()
{
    SpeechClientTestAccess::tokenTimeout(conversionEngine->speechClient());
}

void Widget::setStartButtonText(const QString &text)
{
    taskPane->setStartButtonText(text);
}
