#include "ui/voiceadaptationdialog.h"

#include "app/appstate.h"
#include "pipeline/adaptationtext.h"
#include "pipeline/voiceadaptation.h"
#include "pipeline/voiceprofile.h"
#include "ui/widget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

VoiceAdaptationDialog::VoiceAdaptationDialog(
    const QString &dataDir, std::function<QStringList()> documents, QWidget *parent)
    : QDialog(parent)
    , adaptBtn(new QPushButton(tr("适应我的声音"), this))
    , cancelBtn(new QPushButton(tr("取消"), this))
    , resetBtn(new QPushButton(tr("恢复默认声音模型"), this))
    , progressBar(new QProgressBar(this))
    , profileLabel(new QLabel(this))
    , messageLabel(new QLabel(this))
    , dataDir(dataDir)
    , documents(std::move(documents))
    , job(new VoiceAdaptation(dataDir, this))
{
    setWindowTitle(tr("适应我的声音"));
    setObjectName(QStringLiteral("voiceAdaptationDialog"));
    auto *intro = new QLabel(tr("从改正后保存过的文档（带时间信息、源音频仍在）中，取文本与音频一致的句子，"
                                "让识别适应你的声音。只影响你自己的转换和边录边转。"),
        this);
    intro->setWordWrap(true);
    messageLabel->setWordWrap(true);
    progressBar->setRange(0, 100);
    progressBar->setAccessibleName(tr("适应进度"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(adaptBtn);
    buttons->addWidget(cancelBtn);
    buttons->addStretch();
    buttons->addWidget(resetBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(profileLabel);
    layout->addWidget(progressBar);
    layout->addLayout(buttons);
    layout->addWidget(messageLabel);
    resize(480, sizeHint().height());

    connect(adaptBtn, &QPushButton::clicked, this, &VoiceAdaptationDialog::start);
    connect(cancelBtn, &QPushButton::clicked, job, &VoiceAdaptation::cancel);
    connect(resetBtn, &QPushButton::clicked, this, &VoiceAdaptationDialog::reset);
    connect(job, &VoiceAdaptation::progressChanged, progressBar, &QProgressBar::setValue);
    connect(job, &VoiceAdaptation::finished, this, [this](const VoiceAdaptation::Result &result) {
        setRunning(false);
        messageLabel->setText(AdaptationText::outcome(result));
        showProfile();
    });
    setRunning(false);
    showProfile();
}

void VoiceAdaptationDialog::start()
{
    messageLabel->clear();
    progressBar->setValue(0);
    setRunning(true);
    job->startFromDocuments(documents());
}

void VoiceAdaptationDialog::reset()
{
    QString error;
    messageLabel->setText(VoiceProfile::remove(dataDir, &error) ? tr("已恢复默认声音模型。")
                                                                : tr("无法删除适应后的声音模型：%1").arg(error));
    showProfile();
}

void VoiceAdaptationDialog::showProfile()
{
    VoiceProfile::Profile profile;
    const bool adapted = VoiceProfile::read(dataDir, &profile);
    profileLabel->setText(adapted ? AdaptationText::profileSummary(profile) : tr("使用默认声音模型。"));
    resetBtn->setEnabled(adapted && !job->isRunning());
}

void VoiceAdaptationDialog::setRunning(bool running)
{
    adaptBtn->setEnabled(!running);
    cancelBtn->setEnabled(running);
    progressBar->setVisible(running);
    resetBtn->setEnabled(!running && resetBtn->isEnabled());
}

void Widget::showVoiceAdaptation()
{
    if (!voiceAdaptationDialog)
        voiceAdaptationDialog = new VoiceAdaptationDialog(
            AppState::dataDir, [this]() { return wordFiles; }, this);
    voiceAdaptationDialog->show();
    voiceAdaptationDialog->raise();
    voiceAdaptationDialog->activateWindow();
}
