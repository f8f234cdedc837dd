#include "pipeline/adaptationtext.h"

#include <QCoreApplication>

namespace AdaptationText {

QString profileSummary(const VoiceProfile::Profile &profile)
{
    // At least one minute: a profile holds 30 s of speech or more.
    const qint64 minutes = std::max<qint64>(1, (profile.speechMs + 30000) / 60000);
    return QCoreApplication::translate("AdaptationText", "已适应：%1 分钟的语音，%2")
        .arg(minutes)
        .arg(profile.date.toString(Qt::ISODate));
}

QString outcome(const VoiceAdaptation::Result &result)
{
    using Failure = VoiceAdaptation::Failure;
    QString why;
    switch (result.failure) {
    case Failure::None:
        return profileSummary(result.profile);
    case Failure::Cancelled:
        return QCoreApplication::translate("AdaptationText", "已取消适应声音，原来的声音模型仍在使用。");
    case Failure::NoUsableSentence:
        why = QCoreApplication::translate("AdaptationText",
            "没有可用的句子：需要改正后保存过、带时间信息并且源音频仍在的文档，或音频与它的正确文本。");
        break;
    case Failure::TooLittleSpeech:
        why = QCoreApplication::translate("AdaptationText", "可用的语音只有 %1 秒，至少需要 %2 秒。")
                  .arg(result.detail)
                  .arg(VoiceAdaptation::minimumSpeechMs / 1000);
        break;
    case Failure::Mismatch:
        why = QCoreApplication::translate("AdaptationText", "音频与文本对不上：%1 个句子无法与它的音频对齐。")
                  .arg(result.detail);
        break;
    case Failure::Unreadable:
        why = QCoreApplication::translate("AdaptationText", "无法读取“%1”。").arg(result.detail);
        break;
    case Failure::ToolFailed:
        why = QCoreApplication::translate("AdaptationText", "适应声音的工具出错：%1").arg(result.detail);
        break;
    case Failure::WriteFailed:
        why = QCoreApplication::translate("AdaptationText", "无法保存适应后的声音模型：%1").arg(result.detail);
        break;
    }
    return QCoreApplication::translate("AdaptationText", "适应声音失败。%1原来的声音模型仍在使用。").arg(why);
}

} // namespace AdaptationText
