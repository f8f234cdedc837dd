#include "ui/widget.h"

#include "app/appstate.h"
#include "library/librarypaths.h"
#include "media/recorder.h"
#include "pipeline/datapaths.h"
#include "pipeline/livetranscription.h"
#include "pipeline/runtexts.h"
#include "ui/document/documentpane.h"
#include "ui/library/librarypane.h"
#include "ui/notice.h"
#include "ui/record/recordpane.h"
#include "ui/tasks/taskpane.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTextEdit>

void Widget::connectRecorder()
{
    connect(recordPane, &RecordPane::recordingStarted, this, &Widget::onRecordingStarted);
    connect(recordPane, &RecordPane::recordingFinished, this, &Widget::onRecordingFinished);
    connect(recordPane, &RecordPane::recordingFailed, this, &Widget::finishLive);
    recordPane->setFollowedWhen([this] { return liveWanted(); });
}

void Widget::getAudioDev()
{
    recordPane->getAudioDev();
}

void Widget::slotAudioDeviceChanged(QString text)
{
    recordPane->slotAudioDeviceChanged(text);
}

void Widget::sltSetRecordTime()
{
    recordPane->sltSetRecordTime();
}

void Widget::slotBeginRecord(bool checked)
{
    recordPane->slotBeginRecord(checked);
}

void Widget::onRecordingStarted()
{
    if (liveCheck->isChecked())
        startLive();
}

void Widget::onRecordingFinished(const QString &path)
{
    libraryPane->appendLibraryFile(QStringLiteral("wav"), path);
    taskPane->addRecording(path);
    if (!wavBtn->isChecked())
        wavBtn->setChecked(true);
    finishLive();
}

bool Widget::liveActive() const
{
    return live && live->isActive();
}

bool Widget::liveWanted() const
{
    return liveCheck->isChecked() && !runActive() && !liveActive();
}

QString Widget::liveRefusal(const QString &language)
{
    if (runActive())
        return tr("正在转换文件，本次录音不做边录边转；录音结束后可以在录音列表中照常转换。");
    if (liveActive())
        return tr("上一段录音的文字仍在识别中，本次录音不做边录边转；录音结束后可以在录音列表中照常转换。");
    conversionEngine->setOptions(engineOptions());
    const QString refusal = RunTexts::languageRefusal(*conversionEngine, language);
    if (!refusal.isEmpty())
        return refusal + tr("\n本次录音不做边录边转。");
    // The live text takes the view: edits in it are saved first, and a failed save keeps it out.
    const QString saveFailure = wordTextEdit->isHidden() ? QString() : writeOpenDocument();
    if (!saveFailure.isEmpty())
        return saveFailure + tr("\n为免丢失文档中的修改，本次录音不做边录边转。");
    return QString();
}

void Widget::startLive()
{
    const QString language = taskPane->languageCode();
    const QString refusal = liveRefusal(language);
    if (!refusal.isEmpty()) {
        Notice::information(this, refusal);
        return;
    }
    const ConversionEngine::Options engine = engineOptions();
    LiveTranscription::Options options;
    options.service = engine.service;
    options.dataDir = engine.dataDir;
    options.documentDir = engine.documentDir;
    options.machineId = engine.machineId;
    options.requestTimeoutMs = ConversionEngine::requestBoundMs(engine);
    options.retryPauseMs = testSeams.retryPauseUnitMs;
    if (!live) {
        live = new LiveTranscription(options, conversionEngine->speechClient(), this);
        connect(live, &LiveTranscription::textRecognised, this,
            [this](const QString &text) { wordTextEdit->append(text + QLatin1Char('\n')); });
        connect(live, &LiveTranscription::interrupted, this,
            [this](const QString &message) { Notice::information(this, message); });
        connect(live, &LiveTranscription::documentWritten, this, &Widget::onLiveDocumentWritten);
        connect(live, &LiveTranscription::documentNotWritten, this,
            [this](const QString &, const QString &path, const Timings::Record &timings) {
                documentPane->keepUnwrittenDocument(path, timings);
            });
        connect(live, &LiveTranscription::ended, this, &Widget::onLiveEnded);
    }
    live->setOptions(options);
    // Like a conversion's text, it belongs to no document until the document is written.
    documentPane->takeForRecognition();
    closeWordBtn->setEnabled(false);
    languageBox->setEnabled(false);
    live->start(recorder->recordFilePath(), language);
}

void Widget::finishLive()
{
    if (liveActive())
        live->finish();
}

void Widget::onLiveDocumentWritten(const QString &, const QString &documentPath)
{
    adoptWrittenDocument(documentPath);
}

void Widget::onLiveEnded(const QString &message)
{
    closeWordBtn->setEnabled(true);
    languageBox->setEnabled(!runActive());
    if (message.isEmpty())
        return;
    Notice::information(this,
        viewHoldsUnwrittenText() ? message
                + tr("\n文字仍保留在文本区，可以修改；问题解决后（例如腾出磁盘空间）按“关闭文档”（Ctrl+W）即可保存为“%"
                     "1”。")
                      .arg(LibraryPaths::fileName(wordFilePath))
                                 : message);
}
