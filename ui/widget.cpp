#include "ui/widget.h"

#include "pipeline/conversionengine_p.h"
#include "pipeline/languages.h"
#include "pipeline/speechclient_p.h"

#include "app/appstate.h"
#include "library/mylistwidget.h"
#include "media/recorder.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"
#include "ui/chromelayout.h"
#include "ui/resources.h"
#include "ui/theme.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <phonon/SeekSlider>

namespace {
QPushButton *makeButton(QWidget *parent, const QString &tooltip, const char *sheet)
{
    auto *button = new QPushButton(parent);
    if (!tooltip.isEmpty())
        button->setToolTip(tooltip);
    button->setStyleSheet(QString::fromUtf8(sheet));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QPushButton *makePageButton(QWidget *parent, const QString &text, const QString &icon, const char *sheet)
{
    auto *button = new QPushButton(parent);
    button->setStyleSheet(QString::fromUtf8(sheet));
    button->setText(text);
    button->setFixedSize(198, 50);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(24, 24));
    button->setCursor(Qt::PointingHandCursor);
    button->setCheckable(true);
    return button;
}

MyListWidget *makeFileList(const QString &kind, Widget *owner, QWidget *parent)
{
    auto *list = new MyListWidget(kind, owner, parent);
    list->setStyleSheet(QString::fromUtf8(Theme::fileList));
    list->setFixedWidth(198);
    list->setSpacing(2);
    list->hide();
    return list;
}

QComboBox *makeComboBox(QWidget *parent, const QRect &geometry)
{
    auto *combo = new QComboBox(parent);
    combo->setGeometry(geometry);
    combo->setStyleSheet(QString::fromUtf8(Theme::comboBox));
    return combo;
}

QLabel *makeLabel(QWidget *parent, const QRect &geometry, const QString &sheet, const QString &text = QString())
{
    auto *label = new QLabel(parent);
    label->setGeometry(geometry);
    if (!text.isEmpty())
        label->setText(text);
    label->setStyleSheet(sheet);
    return label;
}

// The selector's width is fixed: a name wider than its field (English ones are) takes a smaller font.
void fitItemTexts(QComboBox *combo)
{
    combo->ensurePolished();
    QStyleOptionComboBox option;
    option.initFrom(combo);
    // Less the margins the text keeps inside the field on either side.
    const int room
        = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width() - 8;
    QFont font = combo->font();
    const int designSize = font.pixelSize();
    for (; font.pixelSize() > 10; font.setPixelSize(font.pixelSize() - 1)) {
        const QFontMetrics metrics(font);
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i)
            widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(i)));
        if (widest <= room)
            break;
    }
    if (font.pixelSize() != designSize)
        combo->setStyleSheet(combo->styleSheet() + QStringLiteral(" QComboBox {font:%1px}").arg(font.pixelSize()));
}
} // namespace

Widget::Widget(QWidget *parent)
    : QLabel(parent)
    , conversionEngine(new ConversionEngine(ConversionEngine::Options(), nullptr, this))
    , lengthProcess(ConversionEngineTestAccess::lengthProcess(conversionEngine))
    , convertProcess(ConversionEngineTestAccess::convertProcess(conversionEngine))
    , cutProcess(ConversionEngineTestAccess::cutProcess(conversionEngine))
    , httpClient(SpeechClientTestAccess::httpClient(conversionEngine->speechClient()))
    , tokenTimer(SpeechClientTestAccess::tokenTimer(conversionEngine->speechClient()))
    , accessToken(SpeechClientTestAccess::accessToken(conversionEngine->speechClient()))
{
    setUpWindow();
    createCaption();
    createLibraryPanel();
    createRecordBar();
    createTaskBar();
    createTextView();
    createChildProcesses();
    makeFolders();
    loadWavList();
    loadWordList();
    createTimers();
    createPlayer();
    getAudioDev();
    createKeys();
    createWordPlayback();
    createUserWords();
    applyLayout(normalLayout(AppState::screenWidth, AppState::screenHeight, AppState::availableHeight));
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
    for (QObject *child : children())
        child->disconnect(this);
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
    captionLabel = makeLabel(this, QRect(0, 0, 1024, 30), QString::fromUtf8(Theme::caption).arg(Theme::captionFontPx),
        QStringLiteral("      Quillora"));
    captionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    iconLabel = new QLabel(captionLabel);
    iconLabel->setGeometry(0, 0, 30, 30);
    // Through QIcon, which takes the @2x drawing on a scaled screen.
    iconLabel->setPixmap(QIcon(QStringLiteral(":/images/icon.png")).pixmap(iconLabel->size()));
    iconLabel->setStyleSheet(QString::fromUtf8(Theme::captionIcon));

    homePageBtn = makeButton(captionLabel, tr("主页"), Theme::homePageButton);
    homePageBtn->setGeometry(919, 2, 26, 26);
    connect(homePageBtn, &QPushButton::clicked, this, &Widget::showHomePage);
    minBtn = makeButton(captionLabel, tr("最小化"), Theme::minimiseButton);
    minBtn->setGeometry(944, 2, 26, 26);
    connect(minBtn, &QPushButton::clicked, this, &QWidget::showMinimized);
    maxBtn = makeButton(captionLabel, tr("最大化"), Theme::maximiseButton);
    maxBtn->setGeometry(969, 2, 26, 26);
    connect(maxBtn, &QPushButton::clicked, this, &Widget::slotShowMaxSize);
    closeBtn = makeButton(captionLabel, tr("关闭"), Theme::closeButton);
    closeBtn->setGeometry(994, 2, 26, 26);
    connect(closeBtn, &QPushButton::clicked, this, &Widget::slotClose);
}

void Widget::createLibraryPanel()
{
    leftPanel = makeLabel(this, QRect(0, 30, 200, 698), QString::fromUtf8(Theme::leftPanel));

    wavBtn = makePageButton(leftPanel, tr("音频文件"), QStringLiteral(":/images/audio.png"), Theme::wavPageButton);
    connect(wavBtn, &QPushButton::toggled, this, &Widget::slotWavBtnChecked);
    addWavBtn = makeButton(wavBtn, tr("添加到任务"), Theme::addWavButton);
    addWavBtn->setGeometry(150, 5, 38, 40);
    connect(addWavBtn, &QPushButton::clicked, this, &Widget::slotAddWav);
    txtBtn = makePageButton(leftPanel, tr("文本文档"), QStringLiteral(":/images/word.png"), Theme::txtPageButton);
    connect(txtBtn, &QPushButton::toggled, this, &Widget::slotTxtBtnChecked);

    wavList = makeFileList(QStringLiteral("wav"), this, leftPanel);
    wavList->setSelectionMode(QAbstractItemView::MultiSelection);
    wordList = makeFileList(QStringLiteral("word"), this, leftPanel);
    connect(wordList, &QListWidget::itemDoubleClicked, this, &Widget::slotWordOpen);

    // A hidden list takes no room: with both hidden the page buttons sit one under the other at the top.
    auto *leftLayout = new QVBoxLayout(leftPanel);
    leftLayout->addWidget(wavBtn);
    leftLayout->addSpacing(0);
    leftLayout->addWidget(wavList);
    leftLayout->addSpacing(0);
    leftLayout->addWidget(txtBtn);
    leftLayout->addSpacing(0);
    leftLayout->addWidget(wordList);
    leftLayout->addStretch(0);
    leftLayout->setSpacing(0);
    leftLayout->setContentsMargins(1, 0, 0, 0);
}

void Widget::createRecordBar()
{
    rightPanel = makeLabel(this, QRect(200, 30, 824, 698), QString::fromUtf8(Theme::rightPanel));
    recordBar = makeLabel(rightPanel, QRect(0, 0, rightPanel->width(), 50), QString::fromUtf8(Theme::strip));

    // Narrower than the design's, to leave room for the live-text check box beside the record button.
    deviceCombo = makeComboBox(recordBar, QRect(10, 10, 90, 30));
    connect(deviceCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this](int index) { slotAudioDeviceChanged(deviceCombo->itemText(index)); });
    recordBtn = makeButton(recordBar, tr("开始录制"), Theme::recordButton);
    recordBtn->setCheckable(true);
    recordBtn->setGeometry(186, 13, 24, 24);
    connect(recordBtn, &QPushButton::toggled, this, &Widget::slotBeginRecord);
    createLiveCheck();
    // Over the record bar, between the record and the play button.
    recordTimeLabel = makeLabel(
        rightPanel, QRect(223, 4, 76, 42), QString::fromUtf8(Theme::recordClock), QStringLiteral("00:00:00"));

    playBtn = makeButton(recordBar, tr("播放"), Theme::playButton);
    playBtn->setGeometry(315, 7, 36, 36);
    connect(playBtn, &QPushButton::clicked, this, &Widget::slotPlay);
    pauseBtn = makeButton(recordBar, tr("暂停"), Theme::pauseButton);
    pauseBtn->setGeometry(315, 7, 36, 36);
    pauseBtn->hide();
    connect(pauseBtn, &QPushButton::clicked, this, &Widget::slotPause);
    stopBtn = makeButton(recordBar, tr("停止"), Theme::stopButton);
    stopBtn->setGeometry(363, 13, 24, 24);
    connect(stopBtn, &QPushButton::clicked, this, &Widget::slotForward);

    seekSlider = new Phonon::SeekSlider(recordBar);
    seekSlider->setGeometry(403, 18, 271, 16);
    seekSlider->setOrientation(Qt::Horizontal);
    seekSlider->setMediaObject(&mediaObject);
    seekSlider->setStyleSheet(QString::fromUtf8(Theme::seekSlider));
    playTimeLabel = makeLabel(
        recordBar, QRect(680, 12, 140, 26), QString::fromUtf8(Theme::playClock), QStringLiteral("00:00:00 / 00:00:00"));
}

void Widget::createTaskBar()
{
    taskBar = makeLabel(rightPanel, QRect(0, 50, rightPanel->width(), 40), QString::fromUtf8(Theme::strip));

    uploadBtn = makeButton(taskBar, QString(), Theme::actionButton);
    uploadBtn->setGeometry(5, 5, 80, 30);
    uploadBtn->setText(tr("上传文件"));
    connect(uploadBtn, &QPushButton::clicked, this, &Widget::slotLoadWav);

    taskLineEdit = new QLineEdit(this);
    taskLineEdit->setReadOnly(true);
    taskLineEdit->setPlaceholderText(tr("支持所有主流[音/视频]格式"));
    audioCombo = makeComboBox(taskBar, QRect(93, 7, 272, 26));
    audioCombo->setEditable(true);
    audioCombo->setLineEdit(taskLineEdit);
    connect(audioCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this](int index) { slotAudioChanged(audioCombo->itemText(index)); });

    languageBox = new QComboBox(taskBar);
    languageBox->setGeometry(372, 7, 80, 26);
    // Each item keeps the design's text as its data: the key sent to the service and saved between runs.
    for (const Languages::Language &language : Languages::all())
        languageBox->addItem(Languages::displayName(language.code), language.text);
    languageBox->setStyleSheet(QString::fromUtf8(Theme::comboBox));
    fitItemTexts(languageBox);
    restoreLanguage();

    const struct
    {
        QPushButton **button;
        const char *sheet;
        QRect geometry;
        QString text;
        void (Widget::*slot)();
    } actions[] = {
        {&clearListBtn, Theme::clearListButton, QRect(460, 5, 80, 30), tr("清空列表"), &Widget::slotOpenWav},
        {&beginCoverBtn, Theme::actionButton, QRect(550, 5, 90, 30), tr("开始转换"), &Widget::slotBeginCover},
        {&stopCoverBtn, Theme::actionButton, QRect(650, 5, 80, 30), tr("停止转换"), &Widget::slotStopCover},
        {&closeWordBtn, Theme::actionButton, QRect(taskBar->width() - 85, 5, 80, 30), tr("关闭文档"),
            &Widget::slotCloseWord},
    };
    for (const auto &action : actions) {
        *action.button = makeButton(taskBar, QString(), action.sheet);
        (*action.button)->setGeometry(action.geometry);
        (*action.button)->setText(action.text);
        connect(*action.button, &QPushButton::clicked, this, action.slot);
    }
    stopCoverBtn->setEnabled(false);
    timeLeftLabel = makeLabel(taskBar, QRect(), QString::fromUtf8(Theme::timeLeft));
    timeLeftLabel->hide();
}

void Widget::createTextView()
{
    wordTextEdit = new QTextEdit(this);
    wordTextEdit->setStyleSheet(QString::fromUtf8(Theme::textView));
    wordTextEdit->setGeometry(rightPanel->x(), rightPanel->y() + 90, rightPanel->width(), rightPanel->height() - 90);
    wordTextEdit->hide();
}

void Widget::createChildProcesses()
{
    createRecorder();
    connectConversionEngine();
}

void Widget::createTimers()
{
    connect(recorder->recordTimer(), &QTimer::timeout, this, &Widget::sltSetRecordTime);
}
