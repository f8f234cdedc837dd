#pragma once

#include "app/deployment.h"
#include "pipeline/runprogress.h"
#include "pipeline/speakerturns.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/transcriptwriter.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QVector>

#include <functional>
#include <memory>

class LocalSpeechService;
class RunFolder;
class QProcess;
class QTimer;
class QtHttpClass;

// A conversion run over a list of task files: each is transcoded, probed and cut with ffmpeg, its
// segments recognised by the speech service, and its text written as a document. Owns every process,
// request and file of the run; never touches a widget and speaks only through the signals below, so
// the window, the command line and the tests drive it alike.
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
        int stallNoticeMs = 20000; // a request unanswered this long shows "等待语音服务响应..."
        QString wordsFile; // the user's words sent with every request; empty: the stored list in dataDir
        // Who said what, once a file's text is recognised: -1 not asked, 0 as many voices as there are, N that
        // many. The front end names them.
        int speakers = -1;
        SpeakerTurns::Labels speakerLabels;
    };
    explicit ConversionEngine(const Options &options, QObject *parent = nullptr);
    ~ConversionEngine() override; // ends a run under way quietly: no signal, its children ended

    // The head of the presenter's task list, or an empty string when none is left. The engine asks
    // for it at the start of each file; a finished or missing task is reported by a signal and the
    // presenter takes it off its own list before the engine asks again.
    using NextTask = std::function<QString()>;

    // Why `language` (a language-selector text such as "英文") cannot be converted with this
    // deployment; empty when it can. The same message the window shows.
    QString languageRefusal(const QString &language) const;
    // The end-of-run message when every task was converted, in the language shown.
    static QString allConvertedMessage();
    // Starts a run over the presenter's tasks in `language`, fixed for the whole run. False (and
    // nothing started) when a run is active already or the language is refused.
    bool start(const QString &language, NextTask nextTask);
    void stop(); // ends the run at once; the resume record stays; emits runEnded("", true)
    bool isRunning() const { return stage != Stage::Idle; }
    QString language() const { return runLanguage; }

    // Options apply from the next start; a run under way keeps those it started with.
    void setOptions(const Options &options);
    const Options &options() const { return opts; }

    // The run's objects, for the window and tests.
    QProcess *lengthProcess() const { return probe; }
    QProcess *convertProcess() const { return transcoder; }
    QProcess *cutProcess() const { return cutter; }
    QtHttpClass *httpClient() const { return http; }
    QTimer *tokenTimer() const { return tokenWait; }
    // Kept across runs until the service rejects it or a new service is started.
    QString &accessToken() { return token; }
    LocalSpeechService *speechService(); // created on first use with the options of that moment
    int segmentCount() const { return segments; }
    QStringList segmentFileList() const { return pendingSegments; } // segments not yet recognised
    int parallelRequests() const { return requestsAtOnce; }
    // The folder under myTmpWAVFiles this run prepares its audio in; empty when no run has one.
    QString runFolder() const;

    // How long a request may go without progress: our own service on this machine answers a full
    // segment within seconds, a service elsewhere may queue it behind other users' for minutes.
    static int requestBoundMs(const Options &options);
    static constexpr int localRequestBoundMs = 60000;
    static constexpr int remoteRequestBoundMs = 180000;

    // How long a failed request waits to learn whether our own service has just died.
    static constexpr int serviceEndGraceMs = 500;

signals:
    // "认证中...", "转换中...", "预处理...", "转写:x%", "重申请: n秒"
    void progressText(const QString &text);
    void fileStarted(const QString &task); // a file's conversion begins: the view is cleared for it
    void fileProgress(const QString &task, int segmentsDone, int segmentCount); // uploads begin, each segment
    void segmentRecognised(const QString &text); // in order: append it to the view
    void transcriptReplaced(const QStringList &texts); // out of order or resumed: show these instead
    void documentWritten(const QString &task, const QString &documentPath); // the presenter removes the task
    void taskMissing(const QString &task); // gone or unreadable: the presenter removes the task; runEnded follows
    // The run is over: message empty for a stop, "文件已经全部转换完成！" when every task was converted,
    // "请先添加需要转换的文件！" when there was none, else the failure's message; then a line for each
    // document written under a new name because the old one was changed or was not the program's.
    // fileWasStarted is false when it ended in the token or service stage (or found no task), where the
    // window leaves its close-document button as it was.
    void runEnded(const QString &message, bool fileWasStarted);

public slots:
    // The HTTP client's replies; a reply of an earlier run, or of no request in flight, is dropped.
    void slotReadJson(int id, const QByteArray &body);
    void slotReadJsonError(int id, const QByteArray &body);
    void sltTokenTimeout();

private:
    enum class Stage { Idle, CheckingService, Token, Preparing, Cutting, Uploading };

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
    qint64 segmentStartMs(int segment) const;
    qint64 segmentLengthMs(int segment) const;

    // run control: conversionengine.cpp
    void advance(); // the next stage once the service, the token or a file is done
    void endRun(const QString &message, bool fileWasStarted = true);
    void setProgress(const QString &text);
    void startFile();
    void finishFile();
    QString documentFolder() const;
    QString progressRecordPath(const QString &taskPath) const;
    bool prepareRunFolder(); // the run's own folder, made once per run and emptied for each file

    // uploads and replies: conversionengine.cpp
    void sendPending();
    void showUploadProgress();
    void sendSegment(int segment, const QString &path);
    void retrySegment(int segment);
    SpeechProtocol::RecognitionOutcome::Kind segmentOutcome(
        int segment, const SpeechProtocol::RecognitionOutcome &outcome) const;
    void keepSegmentText(int segment, const SpeechProtocol::RecognitionOutcome &outcome);
    void keepRecord(); // the resume record, written after every segment
    void sendRequest(int id, const QByteArray &body);
    bool takeCurrentReply(int id);
    void onStalled();

    // who said what: conversionengine_speakers.cpp
    void analyseSpeakers(const QVector<TimedSentence> &sentences);
    void onSpeakersAnalysed(quint64 generation);
    void cancelSpeakers();

    // service and token: conversionengine_service.cpp
    void checkSpeechService();
    void onSpeechServiceReady(bool ok);
    void onSpeechServiceStopped();
    void onHealthReply(const QByteArray &body);
    void useService(int requestsAtOnce);
    void requestToken();
    void onTokenReply(const QByteArray &body);

    // preparation with ffmpeg: conversionengine_prep.cpp
    void createProcesses();
    QString tmpFolder() const;
    void startFfmpeg(QProcess *process, const QStringList &arguments);
    bool isCurrentProcess(QProcess *process) const;
    void onFfmpegError();
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
    void cutHeadSegment(); // the first segment, once the transcode has written enough to place its cut
    void startCutting();
    void collectCutSegments(bool cutterEnded);
    void pauseCutter(bool pause);
    void beginUploads();
    void killProcesses();

    Options opts; // what the next run starts with
    Options runOpts; // what the run under way started with
    Stage stage = Stage::Idle;
    QString runLanguage;
    QVector<UserWordEntry> runWords; // read when the run starts
    QByteArray runVoice; // the user's voice adaptation when the run started; empty: none
    NextTask nextTask;
    bool fileWasStarted = false;
    bool serviceChecked = false; // this run has made sure the speech service answers
    // Every run (and every end of one) takes a new generation; a process, reply or pause that belongs
    // to an older generation is dropped.
    quint64 runGeneration = 0;
    FileRun fileRun;
    QSet<QString> runDocuments; // documents this run wrote: a later task of the run never overwrites one
    QStringList divertedNotes; // documents kept because they were changed: what was written instead
    QStringList pendingSegments; // segments still to be recognised, in order
    int segments = 0; // segments of the file being converted
    int segmentIndex = 0; // the segment being cut: those before it are complete
    bool cutterPaused = false; // held while the segments cut are enough to keep the requests busy
    QHash<int, quint64> requestsInFlight; // request id -> generation of the run that sent it
    QMap<int, QString> uploads; // segments being recognised (or pausing to be sent again) -> their file
    int requestsAtOnce = 1; // recognition requests in flight at once, decided when a run starts
    QString token;
    // Builds the recognition bodies (a segment's file read and 2.5 MB of Base64) off the caller's
    // thread, one at a time, so they are sent in the order asked for.
    QThreadPool bodyBuilder;
    std::unique_ptr<RunFolder> folder; // removed however the run ends

    QProcess *probe = nullptr; // ffmpeg probing the duration
    QProcess *transcoder = nullptr; // ffmpeg transcoding to 16 kHz mono
    QProcess *cutter = nullptr; // ffmpeg cutting the whole file into its segments
    QTimer *cutWatch = nullptr; // looks for the next segment while the cutter runs
    QtHttpClass *http = nullptr;
    QTimer *tokenWait = nullptr; // bounds the wait for the token reply
    QTimer *stallWatch = nullptr; // runs while requests are in flight and no reply has come
    bool serviceStalled = false; // the waiting notice is shown until the next answer
    LocalSpeechService *service = nullptr;
    QFutureWatcher<SpeakerAnalysis::Result> *speakerWatch = nullptr;
    std::shared_ptr<SpeakerAnalysis::Cancel> speakerCancel;
};
