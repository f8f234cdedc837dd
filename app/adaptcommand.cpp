#include "app/adaptcommand.h"

#include "app/appstate.h"
#include "app/commandline.h"
#include "pipeline/adaptationtext.h"
#include "pipeline/voiceadaptation.h"
#include "platform/processes.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

int runAdaptCommand(const QStringList &files)
{
    QVector<VoiceAdaptation::Pair> pairs;
    for (int i = 0; i + 1 < files.size(); i += 2)
        pairs.append({files.at(i), files.at(i + 1)});
    VoiceAdaptation adaptation(AppState::dataDir);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    int shown = -1;
    int status = CommandLine::SomeFailed;
    int stoppedBy = 0;
    QObject::connect(&adaptation, &VoiceAdaptation::progressChanged, [&shown, terminal](int percent) {
        if (percent == shown || (!terminal && percent / 10 == shown / 10 && percent != 100))
            return;
        shown = percent;
        say(QCoreApplication::translate("AdaptCommand", "适应声音：%1%").arg(percent)
            + (terminal ? QStringLiteral("\r") : QStringLiteral("\n")));
    });
    QObject::connect(&adaptation, &VoiceAdaptation::finished,
        [&status, &stoppedBy, terminal](const VoiceAdaptation::Result &result) {
            say((terminal ? QStringLiteral("\n") : QString()) + AdaptationText::outcome(result) + QLatin1Char('\n'));
            if (result.failure == VoiceAdaptation::Failure::None && result.skipped > 0)
                say(QCoreApplication::translate(
                    "AdaptCommand", "有 %1 对音频和文本未被使用（文本中有无法读出的词、音频太长或与文本对不上）。\n")
                        .arg(result.skipped));
            status = stoppedBy                                     ? CommandLine::exitStatusForSignal(stoppedBy)
                : result.failure == VoiceAdaptation::Failure::None ? int(CommandLine::AllConverted)
                                                                   : int(CommandLine::SomeFailed);
            QCoreApplication::exit(status);
        });
    watchTerminationSignals(&adaptation, [&adaptation, &stoppedBy](int signalNumber) {
        stoppedBy = signalNumber;
        adaptation.cancel();
    });
    adaptation.startFromPairs(pairs);
    QCoreApplication::exec();
    return status;
}
