#pragma once

#include <QHash>
#include <QLabel>
#include <QMap>
#include <QPoint>
#include <QSet>
#include <QString>
#include <QStringList>

#include "app/deployment.h"
#include "pipeline/runprogress.h"
#include "pipeline/speechprotocol.h"

#include <phonon/AudioOutput>
#include <phonon/MediaObject>
#include <phonon/Path>

class QComboBox;
class QLineEdit;
class QListWidgetItem;
class QMouseEvent;
class QProcess;
class QPushButton;
class QTextEdit;
class QTimer;
class MyListWidget;
class QtHttpClass;
namespace Phonon {
class SeekSlider;
}

// The main window: owns the widget tree, the child processes, the timers, the HTTP client and the
// player, and every slot of the program. Member functions live beside the subsystem they belong to:
// ui/ (construction, chrome), pipeline/ (conversion), media/ (devices, recorder, player),
// library/ (lists, list operations, document viewer).
class Widget : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(Widget)

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    QString playFilePath;
    QLabel *captionLabel = nullptr;
    QLabel *iconLabel = nullptr;
    QLabel *leftPanel = nullptr;
    QPushButton *uploadBtn = nullptr;
    QPushButton *wavBtn = nullptr;
    QPushButton *addWavBtn = nullptr;
    QPushButton *txtBtn = nullptr;
    MyListWidget *wavList = nullptr;
    MyListWidget *wordList = nullptr;
    QLabel *rightPanel = nullptr;
    QLabel *recordBar = nullptr;
    qint64 recordStartMs = 0;
    int recordSeconds = 0;
    QTimer *recordTimer = nullptr;
    bool playStarted = false;
    QString recordFilePath;
    QPushButton *recordBtn = nullptr;
    QLabel *recordTimeLabel = nullptr;
    QPushButton *playBtn = nullptr;
    QPushButton *pauseBtn = nullptr;
    QPushButton *stopBtn = nullptr;
    QLabel *playTimeLabel = nullptr;
    QString deviceName;
    QLabel *taskBar = nullptr;
    QComboBox *audioCombo = nullptr;
    QPushButton *clearListBtn = nullptr;
    QPushButton *beginCoverBtn = nullptr;
    QPushButton *stopCoverBtn = nullptr;
    QPushButton *closeWordBtn = nullptr;
    QTextEdit *wordTextEdit = nullptr;
    QPushButton *minBtn = nullptr;
    QPushButton *maxBtn = nullptr;
    QPushButton *closeBtn = nullptr;
    QPushButton *homePageBtn = nullptr;
    QProcess *lengthProcess = nullptr;
    QProcess *convertProcess = nullptr;
    QProcess *cutProcess = nullptr;
    QProcess *recordProcess = nullptr;
    bool dragging = false;
    QPoint dragPos;
    QtHttpClass *httpClient = nullptr;
    QString accessToken;
    QStringList taskFiles;
    QStringList segmentFileList;
    QStringList wavFiles;
    QStringList wordFiles;
    int audioSeconds = 0;
    int segmentCount = 0;
    int segmentIndex = 0;
    QComboBox *languageBox = nullptr;
    QComboBox *deviceCombo = nullptr;
    QString wordFilePath;
    QTimer *tokenTimer = nullptr;
    Phonon::MediaObject mediaObject;
    Phonon::AudioOutput audioOutput;
    Phonon::Path audioPath;
    Phonon::SeekSlider *seekSlider = nullptr;

    QLineEdit *taskLineEdit = nullptr;

    // --- library (folders and lists, list operations, document viewer) ---
    void loadWavList();
    void loadWordList();
    void delFile(const QString &kind, const QString &name);
    void saveFileAs(const QString &kind, const QString &name);
    void renameFile(const QString &kind, const QString &name);
    // Appends path to the library list of kind ("wav" or "word") and its file name to the list widget.
    void appendLibraryFile(const QString &kind, const QString &path);
    // Puts path at the head of taskFiles and its name at the end of audioCombo, unless already a task.
    void addTask(const QString &path);
    QStringList &libraryPaths(const QString &kind);
    MyListWidget *libraryList(const QString &kind);

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
    void removeTask(const QString &task);
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
    Q_SIGNAL void startButtonTextChanged(const QString &text);

    // --- recorder ---
    QStringList deviceRealms; // how each deviceCombo item is opened, in item order
    QString secondsToClock(int seconds) const;

    // --- player ---

public slots:
    void slotShowMaxSize();
    void slotReadJson(int id, QByteArray body);
    void slotReadJsonError(int id, QByteArray body);
    void slotOpenWav();
    void slotAudioChanged(QString text);
    void slotPlay();
    void slotClose();
    void slotWavBtnChecked(bool checked);
    void slotTxtBtnChecked(bool checked);
    void slotWordOpen(QListWidgetItem *item);
    void slotBeginRecord(bool checked);
    void sltSetRecordTime();
    void slotBeginCover();
    void slotCloseWord();
    void slotBeginUpload();
    void slotGetAudioLengthFinish();
    void slotAudioDeviceChanged(QString text);
    void slotCutAudioFinish();
    void onReadOutput();
    void convertAudioFormat();
    void slotConvertAudioFormatFinish();
    void getAudioLength();
    void slotForward();
    void slotPause();
    void slotAddWav();
    void sltTokenTimeout();
    void updateCurrentTime();
    void playend();
    void showHomePage();
    void getAudioDev();
    void slotLoadWav();
    void slotStopCover();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};
