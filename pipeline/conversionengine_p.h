#pragma once

// The conversion engine's state and steps: for its own sources and for tests, never for front ends.

#include "pipeline/conversionengine.h"
#include "pipeline/runprogress.h"
#include "pipeline/speakeranalysis.h"
#include "pipeline/speechclient.h"
#include "pipeline/transcriptwriter.h"
#include "pipeline/userwordlist.h"

#include <QFutureWatcher>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>

class QFileSystemWatcher;
class QProcess;
class QTimer;
class RunFolder;

class ConversionEnginePrivate : public QObject
{
    Q_DISABLE_COPY(ConversionEnginePrivate)

public:
    using Stage = ConversionEngine::Stage;
    using Outcome = ConversionEngine::Outcome;
    using RunEnd = ConversionEngine::RunEnd;

    ConversionEnginePrivate(ConversionEngine *q, const ConversionEngine::Options &options, SpeechClient *client);
    ~ConversionEnginePrivate() override;

    // Where the run is inside; Stage says it to the presenter.
    enum class Step { Idle, CheckingService, Preparing, Cutting, Uploading };

    // The task being converted and what the run made for it; whatever the presenter does to its list
    // meanwhile cannot redirect it.
    struct FileRun
    {
        QString taskPath; // the presenter's task, the user's own file
        QString sourcePath; // what is probed and cut: the transcoded file, or the task itself
        QString transcodedPath; // made by this run, removed however the run ends
        RunProgress progress; // the segments recognised so far, kept on disk after each one
        QByteArray probeOutput; // gathered until the probe has finished
        qint64 durationCentis = 0; // as probed
        QVector<qint64> cuts; // where the segments meet, in hundredths of a second, ascending
        // The first segment is cut from the transcode under way, before the rest is planned: headCut is
        // where it ends (0: not cut so), headOnly holds until the plan is known.
        bool headStart = false;
        qint64 headCut = 0;
        bool headOnly = false;
        // Who said what: worked out over the whole file once its last segment is recognised, so a resumed
        // run (which keeps only the segments' texts) finds the same speakers again.
        bool speakersAnalysing = false;
        bool speakersDone = false;
        TranscriptWriter::Speakers speakers;
    };

    bool isRunning() const { return step != Step::Idle; }
    qint64 segmentStartMs(int segment) const;
    qint64 segmentLengthMs(int segment) const;

    // run control: conversionengine.cpp
    void useClientOptions(const ConversionEngine::Options &options);
    void advance(); // the next stage once the service, the token or a file is done
    void endRun(RunEnd end);
    void endRun(Outcome outcome, bool fileStarted = true);
    void setProgress(Stage stage, int retrySeconds = 0);
    void startFile();
    void finishFile();
    QString documentFolder() const;
    QString progressRecordPath(const QString &taskPath) const;
    bool prepareRunFolder(); // the run's own folder, made once per run and emptied for each file

    // uploads and replies: conversionengine.cpp
    void sendPending();
    void showUploadProgress();
    void sendSegment(int segment, const QString &path);
    void onSegmentDone(int segment, const SpeechResult &result);
    void keepSegmentText(int segment, const SpeechProtocol::RecognitionOutcome &outcome);
    void keepRecord(); // the resume record, written after every segment
    void abortUploads();
    void onStalled();
    void answered();

    // service and token: conversionengine_service.cpp
    void checkSpeechService();
    void onClientReady(bool ok, int workers, const SpeechResult &failure);
    void onSpeechServiceStopped();
    void endWithSpeechFailure(const SpeechResult &result, bool fileStarted);

    // who said what: conversionengine_speakers.cpp
    void analyseSpeakers(const QVector<TimedSentence> &sentences);
    void onSpeakersAnalysed(quint64 generation);
    void cancelSpeakers();

    // preparation with ffmpeg: conversionengine_prep.cpp
    void createProcesses();
    QString tmpFolder() const;
    void startFfmpeg(QProcess *process, const QStringList &arguments);
    bool isCurrentProcess(QProcess *process) const;
    void onFfmpegError(QProcess *process);
    // Ends the run when a transcode or cut failed (true); a full disk is named as such.
    bool preparationFailed(QProcess *process);
    void endPreparation(const QByteArray &ffmpegErrors);
    void convertAudioFormat();
    void slotConvertAudioFormatFinish();
    void getAudioLength();
    void onReadOutput();
    void slotGetAudioLengthFinish();
    void slotCutAudioFinish();
    bool readKeptProgress(RunProgress *kept) const;
    void useProgress(const RunProgress *kept);
    void planCuts();
    void onTranscodeGrown(); // the transcode has written more: the first segment once there is enough
    void cutHeadSegment();
    void copyWholeFile(const RunProgress *kept); // a short file is its own segment
    void startCutting();
    void onSegmentListed(); // the muxer has finished a segment and named it
    void collectCutSegments(int completeUpTo); // segments up to this index are complete
    void pauseCutter(bool pause);
    void slotBeginUpload(); // uploads begin once the segments of a short file are in place
    void clearFolder(); // the run's folder empty for the next file
    void killProcesses();

    ConversionEngine *const q;
    ConversionEngine::Options opts; // what the next run starts with
    ConversionEngine::Options runOpts; // what the run under way started with
    Step step = Step::Idle;
    QString runLanguage; // a code
    QVector<UserWordEntry> runWords; // read when the run starts
    QByteArray runVoice; // the user's voice adaptation when the run started; empty: none
    ConversionEngine::NextTask nextTask;
    bool fileWasStarted = false;
    bool serviceChecked = false; // this run has made sure the speech service answers
    // Every run (and every end of one) takes a new generation; a process, body or pause that belongs
    // to an older generation is dropped.
    quint64 runGeneration = 0;
    FileRun fileRun;
    QSet<QString> runDocuments; // documents this run wrote: a later task of the run never overwrites one
    QVector<ConversionEngine::Renamed> renamed; // documents kept because they were changed
    QVector<ConversionEngine::SpeakersNote> speakersNotes;
    QStringList pendingSegments; // segments still to be recognised, in order
    int segments = 0; // segments of the file being converted
    int segmentIndex = 0; // the segment being cut: those before it are complete
    bool cutterPaused = false; // held while the segments cut are enough to keep the requests busy
    QByteArray cutterList; // the muxer's list output not yet read to a line's end
    QMap<int, QString> uploads; // segments being recognised (or pausing to be sent again) -> their file
    QMap<int, QPointer<SpeechRequest>> requests; // those of them with a request under way
    int requestsAtOnce = 1; // recognition requests in flight at once, decided when a run starts
    std::unique_ptr<RunFolder> folder; // removed however the run ends

    SpeechClient *client = nullptr;
    QProcess *probe = nullptr; // ffmpeg probing the duration
    QProcess *transcoder = nullptr; // ffmpeg transcoding to 16 kHz mono
    QProcess *cutter = nullptr; // ffmpeg cutting the whole file into its segments
    QFileSystemWatcher *transcodeWatch = nullptr; // how far the transcode has got, while the first segment waits for it
    QTimer *stallWatch = nullptr; // runs while requests are in flight and no reply has come
    bool serviceStalled = false; // the waiting notice is shown until the next answer
    QFutureWatcher<SpeakerAnalysis::Result> *speakerWatch = nullptr;
    std::shared_ptr<SpeakerAnalysis::Cancel> speakerCancel;
};

// The engine's objects under the names the window has always given them, and seams for tests.
struct ConversionEngineTestAccess
{
    static QProcess *lengthProcess(ConversionEngine *engine) { return engine->d->probe; }
    static QProcess *convertProcess(ConversionEngine *engine) { return engine->d->transcoder; }
    static QProcess *cutProcess(ConversionEngine *engine) { return engine->d->cutter; }
    // A reply for the recognition request of segment (id 2 + segment); dropped unless one is under way.
    static void deliverReply(ConversionEngine *engine, int id, const QByteArray &body);
    // The same request failed on the network.
    static void deliverError(ConversionEngine *engine, int id);
};
