#pragma once

#include "pipeline/adaptationplan.h"
#include "pipeline/voiceprofile.h"

#include <QObject>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class QProcess;
class QTemporaryDir;

// Adapts the acoustic model to the user's voice in the background: takes the sentences of the user's
// corrected documents (or pairs of audio and correct text), runs ffmpeg and sphinxtrain's tools as child
// processes one after another, and stores the MLLR transform they estimate as the user's voice profile.
// The stored profile changes only when a whole run succeeded. Never blocks; speaks only in signals.
class VoiceAdaptation : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(VoiceAdaptation)

public:
    struct Pair
    {
        QString audioPath;
        QString textPath; // UTF-8 text of what is said in all of the audio
    };
    enum class Failure {
        None,
        NoUsableSentence, // nothing the audio and the text agree on
        TooLittleSpeech, // detail: the seconds there were
        Mismatch, // the tools could not align the audio with its text
        Unreadable, // detail: the file
        ToolFailed, // detail: the tool and what it said
        WriteFailed, // detail: the reason
        Cancelled,
    };
    struct Result
    {
        Failure failure = Failure::None;
        QString detail;
        VoiceProfile::Profile profile; // what was stored, when nothing failed
        int skipped = 0; // sentences or pairs left out
    };
    // Less aligned speech than this gives no transform worth using.
    static constexpr qint64 minimumSpeechMs = 30000;

    explicit VoiceAdaptation(const QString &dataDir, QObject *parent = nullptr);
    ~VoiceAdaptation() override; // ends the running tool

    // Where bw and mllr_solve are (sphinxtrain's folder unless told); the model adapted.
    void setToolFolder(const QString &folder) { toolFolder = folder; }
    void setModelFolder(const QString &folder) { modelFolder = folder; }

    // The agreed sentences of those documents that have timings describing their text as it is and whose
    // source audio is still there (AdaptationPlan::agreedSentences says which sentences).
    static QVector<AdaptationPlan::Utterance> documentSentences(const QString &dataDir, const QStringList &documents);

    void startFromDocuments(const QStringList &documents);
    void startFromPairs(const QVector<Pair> &pairs);
    void cancel(); // finished(Cancelled) follows at once
    bool isRunning() const { return running; }

signals:
    void progressChanged(int percent);
    void finished(const VoiceAdaptation::Result &result);

private:
    enum class Step { Model, Transcode, Features, Count, Solve };
    struct Collected
    {
        QVector<AdaptationPlan::Utterance> utterances;
        QByteArray mixtureWeights;
        QString problem; // an unreadable file
        int skipped = 0;
    };

    void start(std::function<QVector<AdaptationPlan::Utterance>(int *skipped, QString *problem)> collect);
    void collected(const Collected &result);
    void runStep();
    void stepFinished(int exitCode, bool crashed);
    void afterTranscode();
    void store();
    void fail(Failure failure, const QString &detail = QString());
    void finish(Result result);
    void progress(int percent);
    QString tool(Step step) const;
    QStringList argumentsFor(Step step) const;

    const QString dataDir;
    QString toolFolder;
    QString modelFolder;
    bool running = false;
    quint64 generation = 0; // a completion of an earlier run is dropped
    Step step = Step::Model;
    int transcoded = 0; // audio files done
    QStringList audioFiles; // distinct, in utterance order
    QVector<int> rawIndex; // of each utterance's audio in audioFiles
    QVector<AdaptationPlan::Utterance> utterances;
    int skipped = 0;
    qint64 alignedSpeechMs = 0;
    int alignedCount = 0;
    QProcess *process = nullptr;
    QByteArray processOutput;
    QByteArray processErrors;
    std::unique_ptr<QTemporaryDir> work;
};

Q_DECLARE_METATYPE(VoiceAdaptation::Result)
