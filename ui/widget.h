#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QLabel>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

#include "app/deployment.h"
#include "library/taskintake.h"
#include "pipeline/runprogress.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/timeleft.h"

#include <phonon/AudioOutput>
#include <phonon/MediaObject>
#include <phonon/Path>

class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLineEdit;
class QListWidgetItem;
class QMouseEvent;
class QProcess;
class QPushButton;
class QTextEdit;
class QTimer;
class QKeySequence;
class QTextCursor;
class MyListWidget;
struct ChromeLayout;
class QtHttpClass;
class Recorder;
namespace Phonon {
class SeekSlider;
}

// The main window: owns the widget tree, the child processes, the timers, the HTTP client and the
// player, and every slot of the program. Its member functions live beside the subsystem they belong
// to; the groups below follow those files, in the order each file defines them.
class Widget : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(Widget)

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    // ===== Window and chrome: ui/widget.cpp (construction), ui/widget_chrome.cpp =====
    QLabel *captionLabel = nullptr;
    QLabel *iconLabel = nullptr;
    QPushButton *homePageBtn = nullptr;
    QPushButton *minBtn = nullptr;
    QPushButton *maxBtn = nullptr; // maximise, or restore while maximised
    QPushButton *closeBtn = nullptr;
    QLabel *leftPanel = nullptr; // the page buttons and their lists
    QPushButton *wavBtn = nullptr; // page button showing wavList
    QPushButton *txtBtn = nullptr; // page button showing wordList
    QLabel *rightPanel = nullptr; // record bar, task bar and text view
    QLabel *recordBar = nullptr; // devices, recorder and player controls
    QLabel *taskBar = nullptr; // task selector and conversion controls
    bool dragging = false; // a left-button drag of the window is under way
    QPoint dragPos; // where inside the window the drag began
    bool maximised = false;

    // Sizes and places every part for the normal or maximised state (maxBtn follows `maximised`).
    void applyLayout(const ChromeLayout &layout);

private:
    void setUpWindow();
    void createCaption();
    void createLibraryPanel();
    void createRecordBar();
    void createTaskBar();
    void createTextView();
    void createChildProcesses();
    void createTimers();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

public slots:
    void slotShowMaxSize(); // maximise or restore
    void slotClose(); // ends our ffmpeg children by force and closes the window
    void showHomePage();
    void slotWavBtnChecked(bool checked); // shows or hides the audio list
    void slotTxtBtnChecked(bool checked); // shows or hides the document list

    // ===== Keys, names and find: ui/widget_keys.cpp =====
public:
    QLabel *findBar = nullptr; // over the text view's top right corner while finding
    QLineEdit *findEdit = nullptr;
    QLabel *findCountLabel = nullptr; // "current/count"
    QList<QTextCursor> findMatches; // of findEdit's text in the view, in document order
    int findCurrent = -1;
    QHash<QWidget *, QString> shortcutHints; // control -> its key, shown after its tooltip

    void createKeys(); // shortcuts, the find bar, the Tab order and every control's accessible name
    // A window-wide shortcut running action; its key is shown after hintOn's tooltip.
    void bindKey(QWidget *hintOn, const QKeySequence &key, const std::function<void()> &action);
    void setTabOrderThroughControls();
    void nameControls();
    void triggerPlayPause();
    void showFindBar();
    void closeFindBar();
    void updateFindMatches();
    void findNext(bool forward);
    void highlightMatches();
    bool showShortcutHint(QWidget *control, QEvent *event);
    bool findKey(QEvent *event);

    // ===== Time left: pipeline/widget_timeleft.cpp =====
public:
    QLabel *timeLeftLabel = nullptr; // in the task bar while a run has measured its pace
    TimeLeftEstimator timeLeft;
    QElapsedTimer runClock;
    // A file of the run has segmentsDone of segmentCount recognised: the estimate follows.
    void showTimeLeft(const QString &task, int segmentsDone, int segmentCount);
    void hideTimeLeft(); // the run is over

    // ===== Library: library/widget_library.cpp, widget_listops.cpp, widget_viewer.cpp =====
public:
    QPushButton *addWavBtn = nullptr; // puts the selected recordings on the task list
    MyListWidget *wavList = nullptr;
    QStringList wavFiles; // full paths behind wavList, paired with its items by file name
    MyListWidget *wordList = nullptr;
    QStringList wordFiles; // full paths behind wordList, paired with its items by file name
    QPushButton *uploadBtn = nullptr; // puts files chosen in a dialog on the task list
    QComboBox *audioCombo = nullptr; // task selector: one entry per task, its file name
    QLineEdit *taskLineEdit = nullptr; // audioCombo's read-only line edit with the placeholder
    QStringList taskFiles; // full paths of the tasks, newest first
    QTextEdit *wordTextEdit = nullptr; // text view of a document, or of the conversion under way
    QPushButton *closeWordBtn = nullptr; // saves the document in the view and hides the view
    QString wordFilePath; // the document the view belongs to; empty while it belongs to none

    QStringList &libraryPaths(const QString &kind); // kind "wav" or "word"
    MyListWidget *libraryList(const QString &kind);
    // Appends path to the library list of kind ("wav" or "word") and its file name to the list widget.
    void appendLibraryFile(const QString &kind, const QString &path);
    // Puts path at the head of taskFiles and its name at the end of audioCombo, unless already a task.
    void addTask(const QString &path);
    // The index of a task's entry in audioCombo (its file name, case-sensitive), or -1.
    int taskEntry(const QString &task) const;
    // Takes a task off taskFiles and its entry off audioCombo; nothing when the path is no task.
    void removeTask(const QString &task);
    // A renamed task keeps its place in taskFiles and its entry's place in audioCombo.
    void renameTask(const QString &oldPath, const QString &newPath);
    void makeFolders(); // myWordFiles, myWAVFiles, myTmpWAVFiles under the application folder
    void loadWavList();
    void loadWordList();
    void delFile(const QString &kind, const QString &name);
    void saveFileAs(const QString &kind, const QString &name);
    void renameFile(const QString &kind, const QString &name);
    // Adds what the sorting rules take as tasks; what they refuse is named in one message.
    void addTaskFiles(const QStringList &paths, TaskIntake::Origin origin);
    // A drag or drop of local files over a child that would take them as text; true when taken.
    bool takeFileDrop(QEvent *event);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

public slots:
    void slotAddWav(); // addWavBtn
    void slotLoadWav(); // uploadBtn
    void slotWordOpen(QListWidgetItem *item); // opens a document in the text view
    void slotCloseWord(); // closeWordBtn

    // ===== Conversion: pipeline/widget_conversion.cpp, widget_preparation.cpp, widget_service.cpp =====
public:
    QPushButton *beginCoverBtn = nullptr; // starts a conversion; shows its progress as its text
    QPushButton *stopCoverBtn = nullptr; // enabled while a conversion runs
    QComboBox *languageBox = nullptr; // recognition language, remembered between runs
    QProcess *lengthProcess = nullptr; // ffmpeg probing the duration
    QProcess *convertProcess = nullptr; // ffmpeg transcoding to 16 kHz mono
    QProcess *cutProcess = nullptr; // ffmpeg cutting one segment
    QtHttpClass *httpClient = nullptr;
    QTimer *tokenTimer = nullptr; // bounds the wait for the token reply
    QString accessToken;
    QStringList segmentFileList; // segments still to be sent, in order
    int segmentCount = 0; // segments of the file being converted
    int segmentIndex = 0; // the segment being cut

    // --- conversion pipeline ---
    void requestToken();
    void clearFolder(const QString &path);
    // The run keeps its own file and text, so whatever the user does to the task list or the text view
    // meanwhile cannot redirect it. Every run (and every end of one) takes a new generation; a process,
    // reply or pause that belongs to an older generation is dropped.
    struct ConversionRun
    {
        QString taskPath; // the task entry being converted, the user's own file
        QString sourcePath; // what is probed and cut: the transcoded file, or the task itself
        QString transcodedPath; // made by this run in the temporary folder, removed however the run ends
        RunProgress progress; // the segments recognised so far, kept on disk after each one
        QByteArray probeOutput; // gathered until the probe has finished
    };
    ConversionRun conversionRun;
    QSet<QString> runDocuments; // documents this run wrote: a later task of the run never overwrites one
    quint64 runGeneration = 0;
    QHash<int, quint64> requestsInFlight; // request id -> generation of the run that sent it
    QMap<int, QString> uploads; // segments being recognised (or pausing to be sent again) -> their file
    int parallelRequests = 1; // recognition requests in flight at once, decided when a run starts
    bool awaitingService = false;
    bool serviceChecked = false; // this run has made sure the speech service answers
    class LocalSpeechService *speechService = nullptr;
    // How long a failed request waits to learn whether our own service has just died.
    static constexpr int serviceEndGraceMs = 500;
    // What only tests set: another service and its credentials, a shorter retry pause.
    struct TestSeams
    {
        QString serviceHost; // host:port of both endpoints
        QString clientId;
        QString clientSecret;
        int retryPauseUnitMs = 1000; // one "second" of the retry pause
        int parallelRequests = -1; // as deployed unless 0 (automatic) or more
    };
    TestSeams testSeams;
    DeploymentConfig serviceConfig() const;
    bool runActive() const;
    void beginRun();
    void endRun(const QString &message, bool enableCloseWord = true);
    void startFile();
    void finishFile();
    void startFfmpeg(QProcess *process, const QStringList &arguments);
    bool isCurrentProcess(QProcess *process) const;
    bool processFailed(QProcess *process) const;
    void onFfmpegError();
    // Ends the run when a transcode or cut failed (true); a full disk is named as such.
    bool preparationFailed(QProcess *process);
    void endPreparation(const QByteArray &ffmpegErrors);
    void resumeProgress();
    void beginUploads();
    void showUploadProgress();
    void sendSegment(int segment, const QString &path);
    void retrySegment(int segment);
    SpeechProtocol::RecognitionOutcome::Kind segmentOutcome(
        int segment, const SpeechProtocol::RecognitionOutcome &outcome) const;
    void keepSegmentText(int segment, const SpeechProtocol::RecognitionOutcome &outcome);
    QString progressRecordPath(const QString &taskPath) const;
    // Why the chosen language cannot be converted by the service in use; empty when it can.
    QString languageRefusal() const;
    void restoreLanguage();
    void checkSpeechService();
    void onSpeechServiceReady(bool ok);
    void onSpeechServiceStopped();
    void onHealthReply(const QByteArray &body);
    void useService(int requestsAtOnce);
    void onTokenReply(const QByteArray &body);
    void sendRequest(int id, const QByteArray &body);
    bool takeCurrentReply(int id);
    QString serviceTokenUrl() const;
    QString serviceRecognitionUrl() const;
    // Progress is the start button's text; every change is announced for those who follow the run.
    void setStartButtonText(const QString &text);

signals:
    void startButtonTextChanged(const QString &text);

public slots:
    void slotBeginCover(); // beginCoverBtn: starts a conversion of the task list, or goes on with it
    void slotBeginUpload(); // sends the next segment, or finishes the file after the last
    void slotReadJson(int id, QByteArray body); // a reply from the speech service
    void slotReadJsonError(int id, QByteArray body); // a request that failed on the network
    void slotStopCover(); // stopCoverBtn
    void convertAudioFormat(); // first step of a file: transcode, unless it is raw PCM already
    void slotConvertAudioFormatFinish();
    void getAudioLength(); // probes the duration
    void onReadOutput(); // gathers the probe's output
    void slotGetAudioLengthFinish(); // plans the segments and starts cutting
    void slotCutAudioFinish(); // cuts the next segment, or starts sending after the last
    void sltTokenTimeout();

    // ===== Recorder: media/widget_devices.cpp, media/widget_recorder.cpp =====
public:
    QComboBox *deviceCombo = nullptr; // capture devices
    QString deviceName; // the chosen capture device
    QStringList deviceRealms; // how each deviceCombo item is opened, in item order
    QPushButton *recordBtn = nullptr; // checked while recording
    QLabel *recordTimeLabel = nullptr; // the record clock
    Recorder *recorder = nullptr; // ffmpeg capture, its clock and its file

    void getAudioDev(); // fills deviceCombo, once, at construction
    void createRecorder();
    QString secondsToClock(int seconds) const;
    void onRecordingStarted();
    // Lists the new recording in wavList and puts it at the head of the task list.
    void onRecordingFinished(const QString &path);
    void onRecordingFailed(const QString &message);

public slots:
    void slotAudioDeviceChanged(QString text);
    void sltSetRecordTime(); // record clock tick
    void slotBeginRecord(bool checked); // recordBtn: checked starts a recording, unchecked stops it

    // ===== Player: media/widget_player.cpp =====
public:
    QPushButton *clearListBtn = nullptr; // empties the task list
    QPushButton *playBtn = nullptr;
    QPushButton *pauseBtn = nullptr; // shown instead of playBtn while playing
    QPushButton *stopBtn = nullptr;
    Phonon::SeekSlider *seekSlider = nullptr;
    QLabel *playTimeLabel = nullptr;
    QString playFilePath; // the file last given to the player
    bool playStarted = false; // a source is loaded in the player
    Phonon::MediaObject mediaObject;
    Phonon::AudioOutput audioOutput;
    Phonon::Path audioPath;

    void createPlayer(); // routes mediaObject to audioOutput and follows its signals

public slots:
    void slotOpenWav(); // clearListBtn: empties the task list
    void slotAudioChanged(QString text); // another task selected: the player starts afresh
    void slotPlay(); // plays the selected task, or resumes
    void slotForward(); // stopBtn: stops playback
    void slotPause();
    void updateCurrentTime(); // playback clock
    void playend();
};
