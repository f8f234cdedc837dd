#include "pipeline/runtexts.h"

#include "library/librarypaths.h"
#include "pipeline/audioprep.h"
#include "pipeline/document.h"
#include "pipeline/speechprotocol.h"

#include <QCoreApplication>
#include <QDir>

namespace RunTexts {

// The texts keep the context they have always been translated in: "ConversionEngine".

QString progressText(const ConversionEngine::Progress &progress)
{
    using Stage = ConversionEngine::Stage;
    switch (progress.stage) {
    case Stage::Idle:
        return QString();
    case Stage::Authenticating:
        return QCoreApplication::translate("ConversionEngine", "认证中...");
    case Stage::Starting:
        return QCoreApplication::translate("ConversionEngine", "转换中...");
    case Stage::Preparing:
        return QCoreApplication::translate("ConversionEngine", "预处理...");
    case Stage::Transcribing:
        return QCoreApplication::translate("ConversionEngine", "转写:%1%")
            .arg(AudioPrep::percentText(progress.segmentsDone, progress.segmentCount));
    case Stage::Retrying:
        return QCoreApplication::translate("ConversionEngine", "重申请: %1秒").arg(progress.retrySeconds);
    case Stage::Waiting:
        return QCoreApplication::translate("ConversionEngine", "等待语音服务响应...");
    case Stage::FindingSpeakers:
        return QCoreApplication::translate("ConversionEngine", "区分说话人...");
    }
    return QString();
}

QString outcomeMessage(const ConversionEngine::RunEnd &end)
{
    using Outcome = ConversionEngine::Outcome;
    switch (end.outcome) {
    case Outcome::Stopped:
        return QString();
    case Outcome::AllConverted:
        return QCoreApplication::translate("ConversionEngine", "文件已经全部转换完成！");
    case Outcome::NothingToConvert:
        return QCoreApplication::translate("ConversionEngine", "请先添加需要转换的文件！");
    case Outcome::TaskUnreadable: {
        const QString reason = LibraryPaths::unreadableReason(end.task, QDir::toNativeSeparators(end.task));
        if (!reason.isEmpty())
            return reason + QCoreApplication::translate("ConversionEngine", "已将其从任务列表中移除。");
        Q_FALLTHROUGH(); // readable again by now: it was not when the run looked
    }
    case Outcome::TaskMissing:
        return QCoreApplication::translate(
            "ConversionEngine", "找不到文件“%1”，它可能已被移动或删除，已将其从任务列表中移除。")
            .arg(QDir::toNativeSeparators(end.task));
    case Outcome::FfmpegMissing:
        return QCoreApplication::translate("ConversionEngine", "找不到 ffmpeg 程序，无法处理音频，请先安装 ffmpeg！");
    case Outcome::FfmpegNotStarted:
        return QCoreApplication::translate("ConversionEngine", "无法启动 ffmpeg 程序，请检查 ffmpeg 是否安装完好！");
    case Outcome::DiskFull:
        return QCoreApplication::translate(
            "ConversionEngine", "磁盘空间已满，无法在文件夹“%1”中写入音频，请清理磁盘后再试！")
            .arg(QDir::toNativeSeparators(end.path));
    case Outcome::BadAudio:
        return QCoreApplication::translate("ConversionEngine", "出现异常，请核验音频后再试！");
    case Outcome::DocumentNotSaved:
        return QCoreApplication::translate("ConversionEngine", "无法保存文本文档“%1”（%2），该文件仍保留在任务列表中。")
            .arg(LibraryPaths::fileName(end.path), end.detail);
    case Outcome::ServiceNotStarted:
        // detail: another program holds the service's port, said in words
        if (!end.detail.isEmpty())
            return end.detail;
        return QCoreApplication::translate("ConversionEngine", "无法启动语音识别服务，请检查程序安装是否完整！");
    case Outcome::ServiceStopped:
        return QCoreApplication::translate(
            "ConversionEngine", "本机语音识别服务意外停止，转换已中断。请重新开始转换，程序会再次启动该服务。");
    case Outcome::ServiceLost:
        return QCoreApplication::translate("ConversionEngine",
            "正在使用的本机语音识别服务已随启动它的程序退出，且本程序无法另行启动该服务，转换已中断。"
            "已识别的部分已保留，请检查程序安装是否完整后重新开始转换。");
    case Outcome::TokenTimeout:
        return QCoreApplication::translate("ConversionEngine", "获取访问令牌超时！");
    case Outcome::TokenUnparsable:
        return QCoreApplication::translate("ConversionEngine", "获取访问令牌失败：语音服务器的应答无法解析！");
    case Outcome::NetworkFailure:
        return SpeechProtocol::networkFailureMessage(end.requestId, end.network);
    case Outcome::LocalTimeout:
        return QCoreApplication::translate(
            "ConversionEngine", "本机语音识别服务在 %1 秒内没有响应，转换已停止，请稍后重新开始转换！")
            .arg(end.seconds);
    case Outcome::ServiceError:
        return SpeechProtocol::failMessageForErrNo(end.errNo);
    case Outcome::UnknownErrNo:
        return QCoreApplication::translate("ConversionEngine", "语音服务器返回了无法识别的错误码 %1，转换已停止！")
            .arg(end.detail);
    case Outcome::UnparsableReply:
        return QCoreApplication::translate("ConversionEngine", "语音服务器的应答无法解析，转换已停止！");
    }
    return QString();
}

QStringList renamedNotes(const ConversionEngine::RunEnd &end)
{
    QStringList notes;
    for (const ConversionEngine::Renamed &renamed : end.renamed)
        notes << Document::keptNotice(renamed.namedPath, renamed.writtenPath);
    return notes;
}

QStringList notes(const ConversionEngine::RunEnd &end)
{
    QStringList lines = renamedNotes(end);
    using Note = ConversionEngine::SpeakersNote;
    for (const Note &note : end.speakersNotes) {
        const QString name = LibraryPaths::fileName(note.task);
        switch (note.kind) {
        case Note::FewerThanAsked:
            lines << QCoreApplication::translate("ConversionEngine", "“%1”中只听出 %2 位说话人（要求 %3 位）。")
                         .arg(name)
                         .arg(note.found)
                         .arg(note.asked);
            break;
        case Note::OneSpeaker:
            lines << QCoreApplication::translate("ConversionEngine", "“%1”中只听出一位说话人，文档未标注说话人。")
                         .arg(name);
            break;
        case Note::TooShort:
            lines << QCoreApplication::translate(
                "ConversionEngine", "“%1”的语音太短，无法区分说话人；文档未标注说话人。")
                         .arg(name);
            break;
        case Note::Unreadable:
            lines << QCoreApplication::translate(
                "ConversionEngine", "无法读取“%1”的音频来区分说话人；文档未标注说话人。")
                         .arg(name);
            break;
        }
    }
    return lines;
}

QString endMessage(const ConversionEngine::RunEnd &end)
{
    QString message = outcomeMessage(end);
    const QStringList lines = notes(end);
    if (!message.isEmpty() && !lines.isEmpty())
        message += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    return message;
}

QString languageRefusal(const ConversionEngine &engine, const QString &language)
{
    if (!engine.refusesLanguage(language))
        return QString();
    return QCoreApplication::translate(
        "ConversionEngine", "本机自带的离线语音服务只能识别英文。请选择“英文”，或配置在线语音服务后再转换其他语言。");
}

SpeakerTurns::Labels speakerLabels()
{
    return {QCoreApplication::translate("ConversionCommand", "说话人 %1"),
        QCoreApplication::translate("ConversionCommand", "：")};
}

} // namespace RunTexts
