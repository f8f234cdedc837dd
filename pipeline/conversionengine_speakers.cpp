#include "pipeline/conversionengine.h"

#include "library/librarypaths.h"
#include "pipeline/audioprep.h"
#include "pipeline/voiceprofiles.h"

#include <QtConcurrent>

void ConversionEngine::analyseSpeakers(const QVector<TimedSentence> &sentences)
{
    fileRun.speakersAnalysing = true;
    setProgress(tr("区分说话人..."));
    SpeakerAnalysis::Settings settings;
    settings.speakers = runOpts.speakers;
    const QVector<SpeakerAnalysis::Span> spans = SpeakerTurns::wordSpans(sentences);
    const QString audio = fileRun.sourcePath;
    const bool wav = !AudioPrep::skipsTranscode(fileRun.taskPath);
    // The frames wait on disk, in the run's own folder, which goes however the run ends.
    const QString features = runFolder() + QStringLiteral("/speakers.features");
    speakerCancel = std::make_shared<SpeakerAnalysis::Cancel>(false);
    const std::shared_ptr<SpeakerAnalysis::Cancel> cancel = speakerCancel;
    const quint64 generation = runGeneration;
    speakerWatch->disconnect(this);
    connect(speakerWatch, &QFutureWatcherBase::finished, this, [this, generation] { onSpeakersAnalysed(generation); });
    // Off the caller's thread: an hour's analysis takes seconds.
    speakerWatch->setFuture(QtConcurrent::run([audio, wav, spans, features, settings, cancel] {
        return SpeakerAnalysis::analyse(audio, wav, spans, features, settings, cancel.get());
    }));
}

void ConversionEngine::onSpeakersAnalysed(quint64 generation)
{
    if (generation != runGeneration || !fileRun.speakersAnalysing)
        return;
    const SpeakerAnalysis::Result result = speakerWatch->result();
    const QString name = LibraryPaths::fileName(fileRun.taskPath);
    fileRun.speakersAnalysing = false;
    fileRun.speakersDone = true;
    switch (result.outcome) {
    case SpeakerAnalysis::Outcome::Labelled:
        fileRun.speakers.wordSpeaker = result.spanSpeaker;
        fileRun.speakers.wordUncertain = result.spanUncertain;
        // Voices the user named in earlier documents by their names, the rest numbered.
        fileRun.speakers.names = VoiceProfiles::speakerNames(runOpts.dataDir, result.voices, runOpts.speakerLabels);
        fileRun.speakers.voices = result.voices;
        fileRun.speakers.labelSuffix = runOpts.speakerLabels.suffix;
        if (runOpts.speakers > result.speakers)
            divertedNotes
                << tr("“%1”中只听出 %2 位说话人（要求 %3 位）。").arg(name).arg(result.speakers).arg(runOpts.speakers);
        break;
    case SpeakerAnalysis::Outcome::OneSpeaker:
        if (runOpts.speakers != 1)
            divertedNotes << tr("“%1”中只听出一位说话人，文档未标注说话人。").arg(name);
        break;
    case SpeakerAnalysis::Outcome::TooShort:
        divertedNotes << tr("“%1”的语音太短，无法区分说话人；文档未标注说话人。").arg(name);
        break;
    case SpeakerAnalysis::Outcome::Unreadable:
    case SpeakerAnalysis::Outcome::Cancelled:
        divertedNotes << tr("无法读取“%1”的音频来区分说话人；文档未标注说话人。").arg(name);
        break;
    }
    finishFile();
}

void ConversionEngine::cancelSpeakers()
{
    if (speakerCancel)
        speakerCancel->store(true);
}
