#include "ui/widget.h"

#include "pipeline/conversionengine_p.h"
#include "pipeline/datapaths.h"
#include "pipeline/speechclient_p.h"

#include "app/appstate.h"
#include "media/recorder.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"
#include "ui/chromelayout.h"
#include "ui/controls.h"
#include "ui/document/documentpane.h"
#include "ui/library/librarypane.h"
#include "ui/library/mylistwidget.h"
#include "ui/player/playerpane.h"
#include "ui/record/recordpane.h"
#include "ui/resources.h"
#include "ui/tasks/taskpane.h"
#include "ui/theme.h"

#include <QAbstractItemView>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <phonon/SeekSlider>

Widget::Widget(QWidget *parent)
    : QLabel(parent)
    // The window is set up before its first part is made in it.
    , rightPanel((setUpWindow(), Controls::label(this, QRect(200, 30, 824, 698), QString::fromUtf8(Theme::rightPanel))))
    , libraryPane(new LibraryPane(AppState::dataDir, this))
    , leftPanel(libraryPane)
    , wavBtn(libraryPane->wavBtn)
    , addWavBtn(libraryPane->addWavBtn)
    , txtBtn(libraryPane->txtBtn)
    , wavList(libraryPane->wavList)
    , wordList(libraryPane->wordList)
    , wavFiles(libraryPane->libraryPaths(QStringLiteral("wav")))
    , wordFiles(libraryPane->libraryPaths(QStringLiteral("word")))
    , conversionEngine(new ConversionEngine(ConversionEngine::Options(), nullptr, this))
    , lengthProcess(ConversionEngineTestAccess::lengthProcess(conversionEngine))
    , convertProcess(ConversionEngineTestAccess::convertProcess(conversionEngine))
    , cutProcess(ConversionEngineTestAccess::cutProcess(conversionEngine))
    , httpClient(SpeechClientTestAccess::httpClient(conversionEngine->speechClient()))
    , tokenTimer(SpeechClientTestAccess::tokenTimer(conversionEngine->speechClient()))
    , accessToken(SpeechClientTestAccess::accessToken(conversionEngine->speechClient()))
    , recorder(new Recorder(this))
    , recordPane(new RecordPane(recorder, rightPanel))
    , recordBar(recordPane)
    , deviceCombo(recordPane->deviceCombo)
    , deviceName(recordPane->deviceName)
    , deviceRealms(recordPane->deviceRealms)
    , recordBtn(recordPane->recordBtn)
    , recordTimeLabel(recordPane->recordTimeLabel)
    , liveCheck(recordPane->liveCheck)
    , playerPane(new PlayerPane(recordPane))
    , playBtn(playerPane->playBtn)
    , pauseBtn(playerPane->pauseBtn)
    , stopBtn(playerPane->stopBtn)
    , seekSlider(playerPane->seekSlider)
    , playTimeLabel(playerPane->playTimeLabel)
    , mediaObject(playerPane->mediaObject)
    , playFilePath(playerPane->playFilePath)
    , playStarted(playerPane->playStarted)
    , playbackWanted(playerPane->playbackWanted)
    , taskPane(new TaskPane(conversionEngine, DataPaths::settings(AppState::dataDir), rightPanel))
    , taskBar(taskPane)
    , uploadBtn(taskPane->uploadBtn)
    , audioCombo(taskPane->audioCombo)
    , taskLineEdit(taskPane->taskLineEdit)
    , languageBox(taskPane->languageBox)
    , speakerChoice(taskPane->speakerChoice)
    , clearListBtn(taskPane->clearListBtn)
    , beginCoverBtn(taskPane->beginCoverBtn)
    , stopCoverBtn(taskPane->stopCoverBtn)
    , closeWordBtn(taskPane->closeWordBtn)
    , timeLeftLabel(taskPane->timeLeftLabel)
    , taskFiles(taskPane->taskFiles)
    , documentPane(new DocumentPane(playerPane, rightPanel, this))
    , wordTextEdit(documentPane)
    , findBar(documentPane->findBar)
    , findEdit(documentPane->findEdit)
    , findCountLabel(documentPane->findCountLabel)
    , newWordsBar(documentPane->newWordsBar)
    , wordFilePath(documentPane->wordFilePath)
    , openTimings(documentPane->openTimings)
    , playerOnDocument(documentPane->playerOnDocument)
    , pendingSeekMs(documentPane->pendingSeekMs)
    , spokenOffset(documentPane->spokenOffset)
{
    createCaption();
    connectLibrary();
    connectTaskBar();
    connectDocument();
    connectRecorder();
    connectConversionEngine();
    connectPlayer();
    getAudioDev();
    createKeys();
    applyLayout(normalLayout(currentScreen(true)));
    // Until the first maximise or restore the view reaches the window's bottom edge.
    wordTextEdit->resize(wordTextEdit->width(), height() - wordTextEdit->y());
    show();
}

Widget::~Widget()
{
    // The children outlive this body, and a child process still running when the window goes (closed
    // during a conversion) reports its end from its own destructor: nothing the window owns (the
    // ffmpeg processes, the recorder, the HTTP client) may reach the slots of a window whose members
    // are already gone.
    for (QObject *child : findChildren<QObject *>())
        child->disconnect(this);
    mediaObject.disconnect(this); // the player's, which has no parent
    mediaObject.disconnect(documentPane); // the view follows playback, and outlives the player
    recorder->disconnect(this);
}

void Widget::setUpWindow()
{
    ensureImageResources();
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Quillora"));
}

void Widget::createCaption()
{
    captionLabel = Controls::label(this, QRect(0, 0, 1024, 30),
        QString::fromUtf8(Theme::caption).arg(Theme::captionFontPx), QStringLiteral("      Quillora"));
    captionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    iconLabel = new QLabel(captionLabel);
    iconLabel->setGeometry(0, 0, 30, 30);
    // Through QIcon, which takes the @2x drawing on a scaled screen.
    iconLabel->setPixmap(QIcon(QStringLiteral(":/images/icon.png")).pixmap(iconLabel->size()));
    iconLabel->setStyleSheet(QString::fromUtf8(Theme::captionIcon));

    homePageBtn = Controls::button(captionLabel, tr("主页"), Theme::homePageButton);
    homePageBtn->setGeometry(919, 2, 26, 26);
    connect(homePageBtn, &QPushButton::clicked, this, &Widget::showHomePage);
    minBtn = Controls::button(captionLabel, tr("最小化"), Theme::minimiseButton);
    minBtn->setGeometry(944, 2, 26, 26);
    connect(minBtn, &QPushButton::clicked, this, &QWidget::showMinimized);
    maxBtn = Controls::button(captionLabel, tr("最大化"), Theme::maximiseButton);
    maxBtn->setGeometry(969, 2, 26, 26);
    connect(maxBtn, &QPushButton::clicked, this, &Widget::slotShowMaxSize);
    closeBtn = Controls::button(captionLabel, tr("关闭"), Theme::closeButton);
    closeBtn->setGeometry(994, 2, 26, 26);
    connect(closeBtn, &QPushButton::clicked, this, &Widget::slotClose);
}

void Widget::connectLibrary()
{
    LibraryPane *pane = libraryPane;
    connect(pane, &LibraryPane::tasksRequested, taskPane,
        [this](const QStringList &paths) { taskPane->addTaskFiles(paths, TaskIntake::Origin::Dialog); });
    connect(pane, &LibraryPane::documentOpenRequested, this, &Widget::slotWordOpen);
    connect(wordList, &MyListWidget::adaptVoiceRequested, this, &Widget::showVoiceAdaptation);
    connect(wordList, &MyListWidget::voiceProfilesRequested, this, &Widget::showVoiceProfiles);
    connect(pane, &LibraryPane::recordingRemoved, taskPane, &TaskPane::removeTask);
    connect(pane, &LibraryPane::recordingRenamed, taskPane, &TaskPane::renameTask);
    connect(pane, &LibraryPane::documentRemoved, documentPane, &DocumentPane::documentRemoved);
    connect(pane, &LibraryPane::documentRenamed, documentPane, &DocumentPane::documentRenamed);
}

QStringList &Widget::libraryPaths(const QString &kind)
{
    return libraryPane->libraryPaths(kind);
}

MyListWidget *Widget::libraryList(const QString &kind)
{
    return libraryPane->libraryList(kind);
}

void Widget::loadWavList()
{
    libraryPane->loadWavList();
}

void Widget::loadWordList()
{
    libraryPane->loadWordList();
}

void Widget::slotAddWav()
{
    libraryPane->addSelectedRecordings();
}

void Widget::delFile(const QString &kind, const QString &name)
{
    libraryPane->delFile(kind, name);
}

void Widget::saveFileAs(const QString &kind, const QString &name)
{
    libraryPane->saveFileAs(kind, name);
}

void Widget::renameFile(const QString &kind, const QString &name)
{
    libraryPane->renameFile(kind, name);
}

void Widget::exportSubtitles(const QString &documentName)
{
    libraryPane->exportSubtitles(documentName);
}
