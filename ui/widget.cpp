#include "ui/widget.h"

#include "app/appstate.h"
#include "library/mylistwidget.h"
#include "pipeline/qthttpclass.h"
#include "ui/resources.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <phonon/SeekSlider>

namespace {
const char *const kBlueButtonSheet
    = "QPushButton {border:0px;background:#217cff;border-radius:3px;font:14px;color:white} "
      "QPushButton:disabled {background:#dcdcdc;color:gray}";
const char *const kComboSheet = "border:1px solid #d8d8d8;border-radius:3px;font:14px";

QPushButton *makeButton(QWidget *parent, const QString &tooltip, const char *sheet)
{
    auto *button = new QPushButton(parent);
    if (!tooltip.isEmpty())
        button->setToolTip(tooltip);
    button->setStyleSheet(QString::fromUtf8(sheet));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
} // namespace

Widget::Widget(QWidget *parent)
    : QLabel(parent)
{
    ensureImageResources();
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    move(0, 0);
    setFixedSize(1024, 728);
    setWindowTitle(QStringLiteral("Quillora"));

    // Caption strip.
    captionLabel = new QLabel(this);
    captionLabel->setGeometry(0, 0, 1024, 30);
    captionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    captionLabel->setText(QStringLiteral("      Quillora"));
    captionLabel->setStyleSheet(
        QStringLiteral("QLabel {background:#0c80e8;color:white;font:bold %1px;border-top:1px solid #b6bbc2;"
                       "border-bottom:1px solid #b6bbc2;"
                       "border-left:1px solid #b6bbc2;border-right:1px solid #b6bbc2;border-top-left-radius: 4px; "
                       "border-top-right-radius: 4px}")
            .arg(14));
    iconLabel = new QLabel(captionLabel);
    iconLabel->setGeometry(0, 0, 30, 30);
    iconLabel->setPixmap(QPixmap(QStringLiteral(":/images/icon.png"))
                             .scaled(iconLabel->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    iconLabel->setStyleSheet(QStringLiteral("border:0px;background:transparent"));

    homePageBtn = makeButton(captionLabel, QStringLiteral("主页"),
        "QPushButton{border:0px solid black; border-image:url(:/images/homepage.png);}");
    homePageBtn->setGeometry(919, 2, 26, 26);
    connect(homePageBtn, &QPushButton::clicked, this, &Widget::showHomePage);
    minBtn = makeButton(captionLabel, QStringLiteral("最小化"),
        "QPushButton{border:0px solid black; border-image:url(:/images/minBtn_p.png);}");
    minBtn->setGeometry(944, 2, 26, 26);
    connect(minBtn, &QPushButton::clicked, this, &QWidget::showMinimized);
    maxBtn = makeButton(captionLabel, QStringLiteral("最大化"),
        "QPushButton{border:0px solid black;border-image:url(:/images/maxBtn_p.png);}");
    maxBtn->setGeometry(969, 2, 26, 26);
    connect(maxBtn, &QPushButton::clicked, this, &Widget::slotShowMaxSize);
    closeBtn = makeButton(captionLabel, QStringLiteral("关闭"),
        "QPushButton{border:0px solid black;border-image:url(:/images/closeBtn_p.png);}");
    closeBtn->setGeometry(994, 2, 26, 26);
    connect(closeBtn, &QPushButton::clicked, this, &Widget::slotClose);

    // Left panel: the two page buttons and their lists.
    leftPanel = new QLabel(this);
    leftPanel->setGeometry(0, 30, 200, 698);
    leftPanel->setStyleSheet(QStringLiteral("QLabel {background:white;border-right:1px solid #b6bbc2;border-left:1px "
                                            "solid #b6bbc2;border-bottom:1px solid #b6bbc2}"));

    wavBtn = new QPushButton(leftPanel);
    wavBtn->setIcon(QIcon(QStringLiteral(":/images/audio.png")));
    wavBtn->setIconSize(QSize(24, 24));
    wavBtn->setStyleSheet(QStringLiteral("QPushButton {border:0px;} QPushButton:checked {background:#e4eef8}"));
    wavBtn->setText(QStringLiteral("音频文件"));
    wavBtn->setCursor(Qt::PointingHandCursor);
    wavBtn->setFixedSize(198, 50);
    wavBtn->setCheckable(true);
    connect(wavBtn, &QPushButton::toggled, this, &Widget::slotWavBtnChecked);

    addWavBtn = makeButton(wavBtn, QStringLiteral("添加到任务"),
        "QPushButton {background:transparent; border-image:url(:/images/jia.png);}");
    addWavBtn->setGeometry(150, 5, 38, 40);
    connect(addWavBtn, &QPushButton::clicked, this, &Widget::slotAddWav);

    txtBtn = new QPushButton(leftPanel);
    txtBtn->setStyleSheet(QStringLiteral(
        "QPushButton {border-bottom:0px solid #b6bbc2;border-top:1px solid #dddddd;border-left:0px solid "
        "#b6bbc2;border-right:0px solid #b6bbc2;} QPushButton:checked {background:#e4eef8}"));
    txtBtn->setText(QStringLiteral("文本文档"));
    txtBtn->setFixedSize(198, 50);
    txtBtn->setIcon(QIcon(QStringLiteral(":/images/word.png")));
    txtBtn->setIconSize(QSize(24, 24));
    txtBtn->setCursor(Qt::PointingHandCursor);
    txtBtn->setCheckable(true);
    connect(txtBtn, &QPushButton::toggled, this, &Widget::slotTxtBtnChecked);

    wavList = new MyListWidget(QStringLiteral("wav"), this, leftPanel);
    wavList->setStyleSheet(QStringLiteral("border:0px"));
    wavList->setFixedWidth(198);
    wavList->setSpacing(2);
    wavList->hide();
    wavList->setSelectionMode(QAbstractItemView::MultiSelection);

    wordList = new MyListWidget(QStringLiteral("word"), this, leftPanel);
    wordList->setFixedWidth(198);
    wordList->setSpacing(2);
    wordList->setStyleSheet(QStringLiteral("border:0px"));
    wordList->hide();
    connect(wordList, &QListWidget::itemDoubleClicked, this, &Widget::slotWordOpen);

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

    // Right panel: the record bar and the task bar.
    rightPanel = new QLabel(this);
    rightPanel->setGeometry(200, 30, 824, 698);
    rightPanel->setStyleSheet(
        QStringLiteral("background:white;border-right:1px solid #b6bbc2;border-bottom:1px solid #b6bbc2"));

    recordBar = new QLabel(rightPanel);
    recordBar->setGeometry(0, 0, rightPanel->width(), 50);
    recordBar->setStyleSheet(QStringLiteral("background:white;border-bottom:1px solid #b6bbc2"));

    deviceCombo = new QComboBox(recordBar);
    deviceCombo->setGeometry(10, 10, 166, 30);
    deviceCombo->setStyleSheet(QString::fromUtf8(kComboSheet));
    connect(deviceCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this](int index) { slotAudioDeviceChanged(deviceCombo->itemText(index)); });

    recordBtn = new QPushButton(recordBar);
    recordBtn->setStyleSheet(
        QStringLiteral("QPushButton{border:0px solid black; border-image:url(:/images/record.png);} "
                       "QPushButton:checked{border:0px solid black; border-image:url(:/images/stop.png);}"));
    recordBtn->setCheckable(true);
    recordBtn->setToolTip(QStringLiteral("开始录制"));
    recordBtn->setCursor(Qt::PointingHandCursor);
    recordBtn->setGeometry(186, 13, 24, 24);
    connect(recordBtn, &QPushButton::toggled, this, &Widget::slotBeginRecord);

    recordTimeLabel = new QLabel(rightPanel);
    recordTimeLabel->setGeometry(223, 4, 76, 42);
    recordTimeLabel->setText(QStringLiteral("00:00:00"));
    recordTimeLabel->setStyleSheet(
        QStringLiteral("background:white;font:14px;border-bottom:0px solid #b6bbc2;border-top:0px solid "
                       "#dddddd;border-left:0px solid #b6bbc2;border-right:1px solid #b6bbc2;"));

    playBtn = makeButton(
        recordBar, QStringLiteral("播放"), "QPushButton{border:0px solid black; border-image:url(:/images/play.png);}");
    playBtn->setGeometry(315, 7, 36, 36);
    connect(playBtn, &QPushButton::clicked, this, &Widget::slotPlay);

    pauseBtn = makeButton(recordBar, QStringLiteral("暂停"),
        "QPushButton{border:0px solid black; border-image:url(:/images/pause.png);}");
    pauseBtn->setGeometry(315, 7, 36, 36);
    pauseBtn->hide();
    connect(pauseBtn, &QPushButton::clicked, this, &Widget::slotPause);

    stopBtn = makeButton(
        recordBar, QStringLiteral("停止"), "QPushButton{border:0px solid black; border-image:url(:/images/stop.png);}");
    stopBtn->setGeometry(363, 13, 24, 24);
    connect(stopBtn, &QPushButton::clicked, this, &Widget::slotForward);

    seekSlider = new Phonon::SeekSlider(recordBar);
    seekSlider->setGeometry(403, 18, 271, 16);
    seekSlider->setOrientation(Qt::Horizontal);
    seekSlider->setMediaObject(&mediaObject);
    seekSlider->setStyleSheet(QStringLiteral(
        "QSlider {border: 0px solid #f0f0f0;} "
        "QSlider::groove:horizontal {border: 0px solid #f0f0f0;height: 16px;background: transparent;margin: 0px 0; "
        "} "
        "QSlider::handle:horizontal { border: 3px solid #eeeeee;background:#0177ff; width: 10px; border-radius:8px} "
        "QSlider::sub-page:horizontal {background:qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 transparent,stop:0.3 "
        "transparent,stop:0.4 #0177ff,stop:0.6 #0177ff,stop:0.7 transparent, stop:1 transparent);} "
        "QSlider::add-page:horizontal {background:qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 transparent,stop:0.3 "
        "transparent,stop:0.4 #d8d8d8,stop:0.6 #d8d8d8,stop:0.7 transparent, stop:1 transparent);}"));

    playTimeLabel = new QLabel(recordBar);
    playTimeLabel->setGeometry(680, 12, 140, 26);
    playTimeLabel->setText(QStringLiteral("00:00:00 / 00:00:00"));
    playTimeLabel->setStyleSheet(QStringLiteral("border:0px;color:black;font:14px"));

    // Task bar.
    taskBar = new QLabel(rightPanel);
    taskBar->setGeometry(0, 50, rightPanel->width(), 40);
    taskBar->setStyleSheet(QStringLiteral("background:white;border-bottom:1px solid #b6bbc2"));

    uploadBtn = makeButton(taskBar, QString(), kBlueButtonSheet);
    uploadBtn->setGeometry(5, 5, 80, 30);
    uploadBtn->setText(QStringLiteral("上传文件"));
    connect(uploadBtn, &QPushButton::clicked, this, &Widget::slotLoadWav);

    taskLineEdit = new QLineEdit(this);
    taskLineEdit->setReadOnly(true);
    taskLineEdit->setPlaceholderText(tr("支持所有主流[音/视频]格式"));

    audioCombo = new QComboBox(taskBar);
    audioCombo->setGeometry(93, 7, 272, 26);
    audioCombo->setStyleSheet(QString::fromUtf8(kComboSheet));
    audioCombo->setEditable(true);
    audioCombo->setLineEdit(taskLineEdit);
    connect(audioCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this](int index) { slotAudioChanged(audioCombo->itemText(index)); });

    const QStringList languages {QStringLiteral("中文近场"), QStringLiteral("中文远场"), QStringLiteral("英文"),
        QStringLiteral("粤语"), QStringLiteral("四川话")};
    languageBox = new QComboBox(taskBar);
    languageBox->setFocusPolicy(Qt::NoFocus);
    languageBox->setGeometry(372, 7, 80, 26);
    languageBox->addItems(languages);
    languageBox->setStyleSheet(QString::fromUtf8(kComboSheet));
    restoreLanguage();

    clearListBtn
        = makeButton(taskBar, QString(), "border:0px;background:#217cff;border-radius:3px;font:14px;color:white");
    clearListBtn->setGeometry(460, 5, 80, 30);
    clearListBtn->setText(QStringLiteral("清空列表"));
    connect(clearListBtn, &QPushButton::clicked, this, &Widget::slotOpenWav);

    beginCoverBtn = makeButton(taskBar, QString(), kBlueButtonSheet);
    beginCoverBtn->setGeometry(550, 5, 90, 30);
    beginCoverBtn->setText(QStringLiteral("开始转换"));
    connect(beginCoverBtn, &QPushButton::clicked, this, &Widget::slotBeginCover);

    stopCoverBtn = makeButton(taskBar, QString(), kBlueButtonSheet);
    stopCoverBtn->setGeometry(650, 5, 80, 30);
    stopCoverBtn->setText(QStringLiteral("停止转换"));
    connect(stopCoverBtn, &QPushButton::clicked, this, &Widget::slotStopCover);
    stopCoverBtn->setEnabled(false);

    closeWordBtn = makeButton(taskBar, QString(), kBlueButtonSheet);
    closeWordBtn->setGeometry(taskBar->width() - 85, 5, 80, 30);
    closeWordBtn->setText(QStringLiteral("关闭文档"));
    connect(closeWordBtn, &QPushButton::clicked, this, &Widget::slotCloseWord);

    wordTextEdit = new QTextEdit(this);
    wordTextEdit->setGeometry(rightPanel->x(), rightPanel->y() + 90, rightPanel->width(), rightPanel->height() - 90);
    wordTextEdit->hide();

    // The ffmpeg children. The probe's diagnostics are read as its standard output.
    lengthProcess = new QProcess(this);
    lengthProcess->setProcessChannelMode(QProcess::MergedChannels);
    connect(lengthProcess, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        &Widget::slotGetAudioLengthFinish);
    connect(lengthProcess, &QProcess::readyRead, this, &Widget::onReadOutput);
    cutProcess = new QProcess(this);
    connect(cutProcess, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &Widget::slotCutAudioFinish);
    recordProcess = new QProcess(this);
    convertProcess = new QProcess(this);
    connect(convertProcess, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        &Widget::slotConvertAudioFormatFinish);

    httpClient = new QtHttpClass(nullptr);
    connect(httpClient, &QtHttpClass::sigReplyFinish, this, &Widget::slotReadJson);
    connect(httpClient, &QtHttpClass::sigReplyError, this, &Widget::slotReadJsonError);

    for (const char *name : {"/myWordFiles", "/myWAVFiles", "/myTmpWAVFiles"}) {
        const QString path = AppState::dataDir + QLatin1String(name);
        if (!QDir(path).exists())
            QDir().mkdir(path);
    }

    loadWavList();
    loadWordList();

    recordTimer = new QTimer(nullptr);
    connect(recordTimer, &QTimer::timeout, this, &Widget::sltSetRecordTime);
    tokenTimer = new QTimer(nullptr);
    connect(tokenTimer, &QTimer::timeout, this, &Widget::sltTokenTimeout);

    audioPath = Phonon::createPath(&mediaObject, &audioOutput);
    connect(&mediaObject, &Phonon::MediaObject::totalTimeChanged, this, &Widget::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::tick, this, &Widget::updateCurrentTime);
    connect(&mediaObject, &Phonon::MediaObject::finished, this, &Widget::playend);

    getAudioDev();

    show();
}

Widget::~Widget()
{
    // The children outlive this body, and a child process still running when the window goes (closed
    // during a conversion) reports its end from its own destructor: that must not reach the slots of a
    // window whose members are already gone.
    for (QProcess *process : {lengthProcess, convertProcess, cutProcess, recordProcess})
        process->disconnect(this);
}
