#pragma once

#include "app/deployment.h"
#include "pipeline/networkfailure.h"
#include "pipeline/speakerturns.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class ConversionEnginePrivate;
class SpeechClient;

// A conversion run over a list of task files: each is transcoded, probed and cut with ffmpeg, its
// segments recognised by the speech service, and its text written as a document. Owns every process,
// request and file of the run; never touches a widget and reports values (stages, counts, outcomes,
// paths) through the signals below, which the window and the command line put into words.
class ConversionEngine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ConversionEngine)

public:
    struct Options
    {
        DeploymentConfig service; // endpoints, credentials, parallel requests (0 = automatic)
        QString dataDir; // myTmpWAVFiles and .quillora/ (progress records, settings) live here
        QString documentDir; // where documents are written: dataDir + "/myWordFiles" unless told
        QString appDir; // where ffmpeg beside the program and quillora-speechd are looked for
        QString machineId;
        int retryPauseUnitMs = 1000; // one "second" of the retry pause (tests shorten it)
        int requestTimeoutMs = 0; // a request without progress ends after this long; 0: requestBoundMs's
        int stallNoticeMs = 20000; // a request unanswered this long is reported as Stage::Waiting
        QString wordsFile; // the user's words sent with every request; empty: the stored list in dataDir
        // Who said what, once a file's text is recognised: -1 not asked, 0 as many voices as there are, N that
        // many. The front end names them.
        int speakers = -1;
        SpeakerTurns::Labels speakerLabels;
    };

    // Where a run is, as the start button shows it.
    enum class Stage {
        Idle,
        Authenticating, // the service and the token are made sure of, no token in hand
        Starting, // the same with a token in hand, or a file about to begin
        Preparing, // transcoding and probing the file
        Transcribing, // segments sent: segmentsDone of segmentCount recognised
        Retrying, // the service asked for a segment again: sent after retrySeconds
        Waiting, // a request has gone unanswered for a while
        FindingSpeakers, // every segment recognised: the file's speakers are being told apart
    };
    struct Progress
    {
        Stage stage = Stage::Idle;
        QString task; // the file converted, once one is
        int segmentsDone = 0;
        int segmentCount = 0;
        int retrySeconds = 0;
    };

    // How a run ended.
    enum class Outcome {
        Stopped, // by stop()
        AllConverted,
        NothingToConvert, // the task list was (or became) empty
        TaskMissing, // task is gone: the presenter has removed it
        TaskUnreadable, // task cannot be read: the presenter has removed it
        FfmpegMissing,
        FfmpegNotStarted,
        DiskFull, // path: the folder that could not be written
        BadAudio, // ffmpeg could not read or cut the file
        DocumentNotSaved, // path: the document; detail: the system's reason
        ServiceNotStarted, // our own speech service could not be started; detail: what holds its port, if known
        ServiceStopped, // our own speech service ended mid-run
        ServiceLost, // the service another program started went away and none could be started
        TokenTimeout,
        TokenUnparsable,
        NetworkFailure, // requestId and network say what failed
        LocalTimeout, // our own service sent nothing for `seconds`
        ServiceError, // errNo: a failure code of the service's table (3301 when no segment held speech)
        UnknownErrNo, // detail: the code as the service wrote it
        UnparsableReply,
    };
    struct Renamed
    {
        QString namedPath; // the document the task is named after: changed, or not the program's
        QString writtenPath; // where the text went instead
    };
    // A file asked to have its speakers told apart whose document has fewer labels than asked, or none.
    struct SpeakersNote
    {
        enum Kind { FewerThanAsked, OneSpeaker, TooShort, Unreadable };
        Kind kind = Unreadable;
        QString task;
        int found = 0;
        int asked = 0;
    };
    struct RunEnd
    {
        Outcome outcome = Outcome::Stopped;
        // False when it ended in the service or token stage (or found no task), where the window leaves
        // its close-document button as it was.
        bool fileWasStarted = false;
        QString task; // the file the failure concerns, if any
        QString path;
        QString detail;
        int errNo = 0;
        int seconds = 0;
        int requestId = 0;
        NetworkFailure network;
        QVector<Renamed> renamed; // documents of this run written under a new name to keep the old
        QVector<SpeakersNote> speakersNotes;
        bool succeeded() const { return outcome == Outcome::Stopped || outcome == Outcome::AllConverted; }
    };

    // client: the speech client shared with live text; the engine makes its own when none is given.
    explicit ConversionEngine(const Options &options, SpeechClient *client = nullptr, QObject *parent = nullptr);
    ~ConversionEngine() override; // ends a run under way quietly: no signal, its children ended

    // The head of the presenter's task list, or an empty string when none is left. The engine asks
    // for it at the start of each file; a finished or missing task is reported by a signal and the
    // presenter takes it off its own list before the engine asks again.
    using NextTask = std::function<QString()>;

    // This deployment cannot convert `language` (a code, see Languages): our own offline service knows
    // only English.
    bool refusesLanguage(const QString &language) const;
    // Starts a run over the presenter's tasks in `language` (a code; a selector text is taken too),
    // fixed for the whole run. False (and nothing started) when a run is active or the language refused.
    bool start(const QString &language, NextTask nextTask);
    void stop(); // ends the run at once; the resume record stays; runEnded(Stopped) follows
    bool isRunning() const;
    QString language() const; // the code of the run under way, or of the last

    // Options apply from the next start; a run under way keeps those it started with.
    void setOptions(const Options &options);
    const Options &options() const;
    SpeechClient *speechClient() const;

    int segmentCount() const;
    QStringList segmentFileList() const; // segments not yet recognised
    int parallelRequests() const;
    // The folder under myTmpWAVFiles this run prepares its audio in; empty when no run has one.
    QString runFolder() const;

    // How long a request may go without progress (our own service: a minute; one elsewhere: three).
    static int requestBoundMs(const Options &options);

signals:
    void progressChanged(const ConversionEngine::Progress &progress);
    void fileStarted(const QString &task); // a file's conversion begins: the view is cleared for it
    void fileProgress(const QString &task, int segmentsDone, int segmentCount); // uploads begin, each segment
    void segmentRecognised(const QString &text); // in order: append it to the view
    void transcriptReplaced(const QStringList &texts); // out of order or resumed: show these instead
    // The presenter removes the task; renamed: written under a new name to keep the user's own file.
    void documentWritten(const QString &task, const QString &documentPath, bool renamed);
    void taskMissing(const QString &task); // gone or unreadable: the presenter removes the task; runEnded follows
    void runEnded(const ConversionEngine::RunEnd &end);

private:
    friend class ConversionEnginePrivate;
    friend struct ConversionEngineTestAccess;
    std::unique_ptr<ConversionEnginePrivate> d;
};

Q_DECLARE_METATYPE(ConversionEngine::Progress)
Q_DECLARE_METATYPE(ConversionEngine::RunEnd)
