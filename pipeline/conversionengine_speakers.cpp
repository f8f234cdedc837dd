#include "pipeline/conversionengine_p.h"

#include "pipeline/audioprep.h"
#include "pipeline/runfolder.h"
#include "pipeline/voiceprofiles.h"

#include <QtConcurrent>

void ConversionEnginePrivate::analyseSpeakers(const QVector<TimedSentence> &sentences)
{
    fileRun.speakersAnalysing = true;
    setProgress(Stage::FindingSpeakers);
    SpeakerAnalysis::Settings settings;
    settings.speakers = runOpts.speakers;
    const QVector<SpeakerAnalysis::Span> spans = SpeakerTurns::wordSpans(sentences);
    const QString audio = fileRun.sourcePath;
    const bool wav = !AudioPrep::skipsTranscode(fileRun.taskPath);
    // The frames wait on disk, in the run's own folder, which goes however the run ends.
    const QString features = folder->path() + QStringLiteral("/speakers.features");
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

void ConversionEnginePrivate::onSpeakersAnalysed(quint64 generation)
{
    if (generation != runGeneration || !fileRun.speakersAnalysing)
        return;
    const SpeakerAnalysis::Result result = speakerWatch->result();
    fileRun.speakersAnalysing = false;
    fileRun.speakersDone = true;
    using Note = ConversionEngine::SpeakersNote;
    const auto note = [this](Note::Kind kind, int found = 0) {
        speakersNotes.append({kind, fileRun.taskPath, found, runOpts.speakers});
    };
    switch (result.outcome) {
    case SpeakerAnalysis::Outcome::Labelled:
        fileRun.speakers.wordSpeaker = result.spanSpeaker;
        fileRun.speakers.wordUncertain = result.spanUncertain;
        // Voices the user named in earlier documents by their names, the rest numbered.
        fileRun.speakers.names = VoiceProfiles::speakerNames(runOpts.dataDir, result.voices, runOpts.speakerLabels);
        fileRun.speakers.voices = result.voices;
        fileRun.speakers.labelSuffix = runOpts.speakerLabels.suffix;
        if (runOpts.speakers > result.speakers)
            note(Note::FewerThanAsked, result.speakers);
        break;
    case SpeakerAnalysis::Outcome::OneSpeaker:
        if (runOpts.speakers != 1)
            note(Note::OneSpeaker, 1);
        break;
    case SpeakerAnalysis::Outcome::TooShort:
        note(Note::TooShort);
        break;
    case SpeakerAnalysis::Outcome::Unreadable:
    case SpeakerAnalysis::Outcome::Cancelled:
        note(Note::Unreadable);
        break;
    }
    finishFile();
}

void ConversionEnginePrivate::cancelSpeakers()
{
    if (speakerCancel)
        speakerCancel->store(true);
}
