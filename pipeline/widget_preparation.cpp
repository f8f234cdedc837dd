#include "ui/widget.h"

#include "app/appstate.h"
#include "library/librarypaths.h"
#include "pipeline/audioprep.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QVariant>

namespace {

const char *const generationProperty = "quilloraRunGeneration";

QString messageBadAudio()
{
    return QStringLiteral("出现异常，请核验音频后再试！");
}

} // namespace

void Widget::startFfmpeg(QProcess *process, const QStringList &arguments)
{
    const QString program = AudioPrep::ffmpegProgram(AppState::appDir);
    if (program.isEmpty()) {
        endRun(QStringLiteral("找不到 ffmpeg 程序，无法处理音频，请先安装 ffmpeg！"));
        return;
    }
    if (process->state() != QProcess::NotRunning) {
        // A stopped run's child was killed but not yet reaped; its finish belongs to the old generation.
        process->kill();
        process->waitForFinished(2000);
    }
    connect(process, &QProcess::errorOccurred, this, &Widget::onFfmpegError, Qt::UniqueConnection);
    process->setProperty(generationProperty, runGeneration);
    process->start(program, arguments, QIODevice::ReadOnly);
}

bool Widget::isCurrentProcess(QProcess *process) const
{
    return runActive() && process->property(generationProperty).toULongLong() == runGeneration;
}

bool Widget::processFailed(QProcess *process) const
{
    return process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0;
}

void Widget::onFfmpegError()
{
    auto *process = qobject_cast<QProcess *>(sender());
    if (!process || process->error() != QProcess::FailedToStart || !isCurrentProcess(process))
        return;
    endRun(QStringLiteral("无法启动 ffmpeg 程序，请检查 ffmpeg 是否安装完好！"));
}

void Widget::convertAudioFormat()
{
    setStartButtonText(QStringLiteral("预处理..."));
    beginCoverBtn->setEnabled(false);
    stopCoverBtn->setEnabled(true);

    const QString task = conversionRun.taskPath;
    AppState::currentBasePath = AudioPrep::basePath(task);
    if (AudioPrep::skipsTranscode(task)) {
        getAudioLength();
        return;
    }
    startFfmpeg(convertProcess, AudioPrep::transcodeArguments(task));
}

void Widget::slotConvertAudioFormatFinish()
{
    if (!isCurrentProcess(convertProcess))
        return;
    const QString task = conversionRun.taskPath;
    const QString transcoded = AudioPrep::transcodedPath(task);
    if (processFailed(convertProcess)) {
        QFile::remove(transcoded);
        endRun(messageBadAudio());
        return;
    }

    const int entry = audioCombo->findText(LibraryPaths::fileName(task), Qt::MatchFixedString);
    if (entry >= 0)
        audioCombo->removeItem(entry);
    audioCombo->addItem(LibraryPaths::fileName(transcoded));
    for (QString &path : taskFiles) {
        if (path == task)
            path = transcoded;
    }
    conversionRun.taskPath = transcoded;
    conversionRun.transcodedPath = transcoded;
    getAudioLength();
}

void Widget::getAudioLength()
{
    conversionRun.probeOutput.clear();
    startFfmpeg(lengthProcess, AudioPrep::probeArguments(conversionRun.taskPath));
}

void Widget::onReadOutput()
{
    const QByteArray piece = lengthProcess->readAll();
    if (isCurrentProcess(lengthProcess))
        conversionRun.probeOutput += piece;
}

void Widget::slotGetAudioLengthFinish()
{
    if (!isCurrentProcess(lengthProcess))
        return;
    conversionRun.probeOutput += lengthProcess->readAll();
    const qint64 centis = AudioPrep::parseDurationCentis(QString::fromLocal8Bit(conversionRun.probeOutput));
    conversionRun.probeOutput.clear();
    if (centis < 0) {
        endRun(messageBadAudio());
        return;
    }

    audioSeconds = int(centis / 100);
    const AudioPrep::SegmentPlan plan = AudioPrep::planSegments(centis);
    segmentFileList.clear();
    segmentCount = plan.count;
    segmentIndex = 0;
    const QString first = AudioPrep::segmentPath(AppState::dataDir, 0);
    if (plan.copyWhole) {
        QFile::remove(first);
        if (!QFile::copy(conversionRun.taskPath, first)) {
            endRun(messageBadAudio());
            return;
        }
        segmentFileList << first;
        slotBeginUpload();
        return;
    }
    segmentFileList << first;
    startFfmpeg(cutProcess, AudioPrep::cutArguments(conversionRun.taskPath, AppState::dataDir, 0));
}

void Widget::slotCutAudioFinish()
{
    if (!isCurrentProcess(cutProcess))
        return;
    if (processFailed(cutProcess)) {
        endRun(messageBadAudio());
        return;
    }
    const int k = ++segmentIndex;
    setStartButtonText(QStringLiteral("分割:%1%").arg(AudioPrep::percentText(k, segmentCount)));
    beginCoverBtn->setEnabled(false);
    if (k >= segmentCount) {
        slotBeginUpload();
        return;
    }
    segmentFileList << AudioPrep::segmentPath(AppState::dataDir, k);
    startFfmpeg(cutProcess, AudioPrep::cutArguments(conversionRun.taskPath, AppState::dataDir, k));
}

void Widget::clearFolder(const QString &path)
{
    QDir folder(path);
    for (const QString &name : folder.entryList(QDir::Files))
        folder.remove(name);
}
