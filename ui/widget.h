#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QLabel>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

#include "app/appstate.h"
#include "app/deployment.h"
#include "library/taskintake.h"
#include "pipeline/conversionengine.h"
#include "pipeline/timings.h"
#include "pipeline/wordalign.h"

#include <phonon/MediaObject>

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
class LibraryPane;
class MyListWidget;
class VoiceAdaptationDialog;
struct ChromeLayout;
class QtHttpClass;
class PlayerPane;
class Recorder;
class RecordPane;
class SpeakerChoice;
class TaskPane;
class LiveTranscription;
class QCheckBox;
class DocumentPane;
class NewWordsBar;
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
    bool dragging = false; // a left-button drag of the window is under way
    QPoint dragPos; // where inside the window the drag began
    bool maximised = false;

    // Sizes and places every part for the normal or maximised state (maxBtn follows `maximised`).
    void applyLayout(const ChromeLayout &layout);
    // The screen the window is on (at start: the primary one), from what start-up measured.
    AppState::Screen currentScreen(bool atStart) const;

private:
    void setUpWindow();
    void createCaption();
    void connectLibrary();
    void connectTaskBar();
    void connectDocument();

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

    // ===== Keys and names: ui/widget_keys.cpp =====
public:
    QHash<QWidget *, QString> shortcutHints; // control -> its key, shown after its tooltip

    void createKeys(); // shortcuts, the Tab order and every control's accessible name
    // A window-wide shortcut running action; its key is shown after hintOn's tooltip.
    void bindKey(QWidget *hintOn, const QKeySequence &key, const std::function<void()> &action);
    void setTabOrderThroughControls();
    void nameControls();
    void triggerPlayPause();
    bool showShortcutHint(QWidget *control, QEvent *event);

    // ===== The right panel, made before the panes on it =====
public:
    QLabel *const rightPanel; // record bar, task bar and text view

    // ===== Library: ui/library/librarypane.cpp; the tasks: ui/widget_tasks.cpp =====
public:
    LibraryPane *const libraryPane; // the page buttons, the two file lists and their operations
    QLabel *const leftPanel;
    QPushButton *const wavBtn; // page button showing wavList
    QPushButton *const addWavBtn; // puts the selected recordings on the task list
    QPushButton *const txtBtn; // page button showing wordList
    MyListWidget *const wavList;
    MyListWidget *const wordList;
    QStringList &wavFiles; // full paths behind wavList, paired with its items by file name
    QStringList &wordFiles; // full paths behind wordList, paired with its items by file name

    QStringList &libraryPaths(const QString &kind); // kind "wav" or "word"
    MyListWidget *libraryList(const QString &kind);
    void loadWavList();
    void loadWordList();
    void delFile(const QString &kind, const QString &name);
    void saveFileAs(const QString &kind, const QString &name);
    void renameFile(const QString &kind, const QString &name);
    void exportSubtitles(const QString &documentName);
    // "适应我的声音" (ui/voiceadaptationdialog.*), made when first asked for, over the document list.
    void showVoiceAdaptation();
    void showVoiceProfiles(); // "说话人声音…": the named voices, renamed or removed
    VoiceAdaptationDialog *voiceAdaptationDialog = nullptr;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

public slots:
    void slotAddWav(); // addWavBtn
    void slotLoadWav(); // uploadBtn
    void slotWordOpen(QListWidgetItem *item); // opens a document in the text view
    void slotCloseWord(); // closeWordBtn

    // ===== Conversion: ui/tasks/widget_conversion.cpp starts the engine's run and gives it the view =====
public:
    ConversionEngine *const conversionEngine; // owns the run: its processes, requests, files and token
    // The engine's objects, under the names the window has always given them.
    QProcess *const lengthProcess; // ffmpeg probing the duration
    QProcess *const convertProcess; // ffmpeg transcoding to 16 kHz mono
    QProcess *const cutProcess; // ffmpeg cutting one segment
    QtHttpClass *const httpClient;
    QTimer *const tokenTimer; // bounds the wait for the token reply
    QString &accessToken;
    // What only tests set: another service and its credentials, a shorter retry pause.
    struct TestSeams
    {
        QString serviceHost; // [https://]host:port of both endpoints
        QString caFile; // the trusted certificate authorities of an https serviceHost
        QString clientId;
        QString clientSecret;
        int retryPauseUnitMs = 1000; // one "second" of the retry pause
        int parallelRequests = -1; // as deployed unless 0 (automatic) or more
        int requestTimeoutMs = 0; // the engine's own bound unless set
        int stallNoticeMs = 20000; // a request unanswered this long shows that the run waits for it
    };
    TestSeams testSeams;
    DeploymentConfig serviceConfig() const;
    // What the next run starts with: the deployment (and test seams) and the program's folders.
    ConversionEngine::Options engineOptions() const;
    bool runActive() const;
    void connectConversionEngine();
    void onFileStarted(const QString &task);
    void onDocumentWritten(const QString &task, const QString &documentPath);
    // The view's text now belongs to it, and the document list shows it.
    void adoptWrittenDocument(const QString &documentPath);
    void onRunEnded(const ConversionEngine::RunEnd &end);
    // Progress is the start button's text; every change is announced for those who follow the run.
    void setStartButtonText(const QString &text);

signals:
    void startButtonTextChanged(const QString &text);

public slots:
    void slotBeginCover(); // beginCoverBtn: starts a conversion of the task list
    void slotStopCover(); // stopCoverBtn
    void slotReadJson(int id, QByteArray body); // a reply from the speech service
    void slotReadJsonError(int id, QByteArray body); // a request that failed on the network
    void sltTokenTimeout();

    // ===== Recorder: ui/record/recordpane.cpp; its live text: ui/record/widget_live.cpp =====
public:
    Recorder *const recorder; // ffmpeg capture, its clock and its file
    RecordPane *const recordPane; // devices, recorder and live box, with the player's controls on it
    QLabel *const recordBar;
    QComboBox *const deviceCombo;
    QString &deviceName; // the chosen capture device
    QStringList &deviceRealms; // how each deviceCombo item is opened, in item order
    QPushButton *const recordBtn;
    QLabel *const recordTimeLabel;
    QCheckBox *const liveCheck;
    LiveTranscription *live = nullptr; // the text of the recording under way; made at its first use

    void getAudioDev(); // fills deviceCombo, once, at construction
    void connectRecorder();
    void onRecordingStarted();
    // Lists the new recording in wavList and puts it at the head of the task list.
    void onRecordingFinished(const QString &path);
    bool liveActive() const;
    bool liveWanted() const; // the next recording is followed by live text
    QString liveRefusal(const QString &language); // why this recording gets no live text; empty when it does
    void startLive();
    void finishLive(); // the recording is over: its rest is recognised and its document written
    void onLiveDocumentWritten(const QString &recordingPath, const QString &documentPath);
    void onLiveEnded(const QString &message);

public slots:
    void slotAudioDeviceChanged(QString text);
    void sltSetRecordTime(); // record clock tick
    void slotBeginRecord(bool checked); // recordBtn: checked starts a recording, unchecked stops it

    // ===== Player: ui/player/playerpane.cpp; the window's slots for it: ui/player/widget_player.cpp =====
public:
    PlayerPane *const playerPane; // on the record bar
    QPushButton *const playBtn;
    QPushButton *const pauseBtn; // shown instead of playBtn while playing
    QPushButton *const stopBtn;
    Phonon::SeekSlider *const seekSlider;
    QLabel *const playTimeLabel;
    Phonon::MediaObject &mediaObject;
    QString &playFilePath; // the file last given to the player
    bool &playStarted; // a source is loaded in the player
    bool &playbackWanted; // play was pressed and neither pause, stop nor the end came since

    void connectPlayer();

public slots:
    void slotOpenWav(); // clearListBtn: empties the task list
    void slotAudioChanged(QString text); // another task selected: the player starts afresh
    void slotPlay(); // plays the selected task, or resumes
    void slotForward(); // stopBtn: stops playback
    void slotPause();
    void updateCurrentTime(); // playback clock
    void playend();

    // ===== Task bar: ui/tasks/taskpane.cpp; the window's part: ui/widget_tasks.cpp =====
public:
    TaskPane *const taskPane; // the task list, the run's language, speakers, controls and time left
    QLabel *const taskBar;
    QPushButton *const uploadBtn; // puts files chosen in a dialog on the task list
    QComboBox *const audioCombo; // task selector: one entry per task, its file name, its path as data
    QLineEdit *const taskLineEdit; // audioCombo's read-only line edit with the placeholder
    QComboBox *const languageBox; // recognition language, remembered between runs; fixed while one runs
    SpeakerChoice *const speakerChoice; // whether and how many speakers a run tells apart, the same way
    QPushButton *const clearListBtn; // empties the task list
    QPushButton *const beginCoverBtn; // starts a conversion; shows its progress as its text
    QPushButton *const stopCoverBtn; // enabled while a conversion runs
    QPushButton *const closeWordBtn; // saves the document in the view and hides the view
    QLabel *const timeLeftLabel; // while a run has measured its pace
    QStringList &taskFiles; // full paths of the tasks, newest first

    QString addTask(const QString &path); // the task list's own; the reason it refused path, or empty
    void removeTask(const QString &task);

    // ===== The text view and its document: ui/document/documentpane.cpp; the window's part of it:
    // ui/document/widget_viewer.cpp =====
public:
    DocumentPane *const documentPane; // the view, the open document, its timings, finding, its words played
    QTextEdit *const wordTextEdit; // text view of a document, or of the conversion under way
    QLabel *const findBar; // over the text view's top right corner while finding
    QLineEdit *const findEdit;
    QLabel *const findCountLabel; // "current/count"
    NewWordsBar *const newWordsBar; // offers the words a saved correction brought
    QString &wordFilePath; // the document the view belongs to; empty while it belongs to none
    Timings::Record &openTimings; // the open document's timings
    bool &playerOnDocument; // the player's file came from the view, at one of its words
    qint64 &pendingSeekMs; // where a source just loaded from the view starts once it can seek
    int &spokenOffset; // the highlighted word in the view, or -1

    // Writes the view's text into wordFilePath unless that would not change it, or beside it (and says so)
    // when the file was changed elsewhere meanwhile; the message when it failed.
    QString writeOpenDocument();
    bool viewHoldsUnwrittenText() const; // the view's document has never been written: its text is only here
    bool documentTimed() const; // the open document has timings
    const WordAlign::Timeline &viewTimeline();
    void playPauseFromCaret();
    void updateSpokenWord();
    // Asks for a name; every label of the speaker and its name in the timings change as one edit.
    void renameSpeaker(int speaker);
};
