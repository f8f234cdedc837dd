#include "ui/widget.h"

#include "app/appstate.h"
#include "library/librarypaths.h"
#include "pipeline/audioprep.h"
#include "platform/ffmpegprogram.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStorageInfo>
#include <QTextEdit>
#include <QVariant>

namespace {

const char *const generationProperty = "quilloraRunGeneration";
// Below this, a failed write into the temporary folder is taken for a full disk.
const qint64 nearlyFullBytes = 4 * 1024 * 1024;

QString tmpFolder()
{
    return AppState::dataDir + QStringLiteral("/myTmpWAVFiles");
}

} // namespace

void Widget::startFfmpeg(QProcess *process, const QStringList &arguments)
{
    const QString program = ffmpegProgram(AppState::appDir);
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

bool Widget::preparationFailed(QProcess *process)
{
    // ffmpeg reports a write that failed for a full disk, yet may still exit with 0.
    const QByteArray errors = process->readAllStandardError();
    if (!processFailed(process) && !AudioPrep::reportsFullDisk(errors))
        return false;
    endPreparation(errors);
    return true;
}

void Widget::endPreparation(const QByteArray &errors)
{
    const QStorageInfo storage(tmpFolder());
    if (AudioPrep::reportsFullDisk(errors) || (storage.isValid() && storage.bytesAvailable() < nearlyFullBytes)) {
        endRun(QStringLiteral("磁盘空间已满，无法在文件夹“%1”中写入音频，请清理磁盘后再试！")
                   .arg(QDir::toNativeSeparators(tmpFolder())));
        return;
    }
    endRun(QStringLiteral("出现异常，请核验音频后再试！"));
}

void Widget::convertAudioFormat()
{
    setStartButtonText(QStringLiteral("预处理..."));
    beginCoverBtn->setEnabled(false);
    stopCoverBtn->setEnabled(true);

    const QString task = conversionRun.taskPath;
    if (AudioPrep::skipsTranscode(task)) {
        getAudioLength();
        return;
    }
    conversionRun.transcodedPath = AudioPrep::transcodedPath(AppState::dataDir);
    startFfmpeg(convertProcess, AudioPrep::transcodeArguments(task, conversionRun.transcodedPath));
}

void Widget::slotConvertAudioFormatFinish()
{
    if (!isCurrentProcess(convertProcess))
        return;
    if (preparationFailed(convertProcess))
        return;
    conversionRun.sourcePath = conversionRun.transcodedPath;
    getAudioLength();
}

void Widget::getAudioLength()
{
    conversionRun.probeOutput.clear();
    startFfmpeg(lengthProcess, AudioPrep::probeArguments(conversionRun.sourcePath));
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
        endRun(QStringLiteral("出现异常，请核验音频后再试！"));
        return;
    }

    const AudioPrep::SegmentPlan plan = AudioPrep::planSegments(centis);
    segmentFileList.clear();
    segmentCount = plan.count;
    segmentIndex = 0;
    resumeProgress();
    const QString first = AudioPrep::segmentPath(AppState::dataDir, 0);
    if (plan.copyWhole) {
        QFile::remove(first);
        if (!QFile::copy(conversionRun.sourcePath, first)) {
            endPreparation(QByteArray());
            return;
        }
        segmentFileList << first;
        beginUploads();
        return;
    }
    segmentFileList << first;
    startFfmpeg(cutProcess, AudioPrep::cutArguments(conversionRun.sourcePath, AppState::dataDir, 0));
}

void Widget::slotCutAudioFinish()
{
    if (!isCurrentProcess(cutProcess))
        return;
    if (preparationFailed(cutProcess))
        return;
    const int k = ++segmentIndex;
    setStartButtonText(QStringLiteral("分割:%1%").arg(AudioPrep::percentText(k, segmentCount)));
    beginCoverBtn->setEnabled(false);
    if (k >= segmentCount) {
        beginUploads();
        return;
    }
    segmentFileList << AudioPrep::segmentPath(AppState::dataDir, k);
    startFfmpeg(cutProcess, AudioPrep::cutArguments(conversionRun.sourcePath, AppState::dataDir, k));
}

void Widget::resumeProgress()
{
    const RunProgress::FileIdentity identity = RunProgress::identityOf(conversionRun.taskPath);
    const QString language = languageBox->currentText();
    QFile record(progressRecordPath(conversionRun.taskPath));
    RunProgress kept;
    if (record.open(QIODevice::ReadOnly) && RunProgress::fromJson(record.readAll(), &kept)
        && kept.continues(identity, language, segmentCount)) {
        conversionRun.progress = kept;
        for (const QString &text : kept.texts())
            wordTextEdit->append(text + QLatin1Char('\n'));
        return;
    }
    conversionRun.progress = RunProgress(identity, language, segmentCount);
}

void Widget::beginUploads()
{
    // Segments an earlier attempt already recognised are not sent again.
    QStringList pending;
    for (const QString &segment : qAsConst(segmentFileList)) {
        if (conversionRun.progress.isDone(AudioPrep::segmentIndexOf(segment)))
            QFile::remove(segment);
        else
            pending << segment;
    }
    segmentFileList = pending;
    slotBeginUpload();
}

void Widget::clearFolder(const QString &path)
{
    QDir folder(path);
    for (const QString &name : folder.entryList(QDir::Files))
        folder.remove(name);
}
