#include "ui/voiceprofilesdialog.h"

#include "app/appstate.h"
#include "pipeline/voiceprofiles.h"
#include "ui/notice.h"
#include "ui/widget.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace {

QString changeProblem(VoiceProfiles::Change change, const QString &name, const QString &error)
{
    switch (change) {
    case VoiceProfiles::Change::EmptyName:
        return VoiceProfilesDialog::tr("名字不能为空。");
    case VoiceProfiles::Change::NameTaken:
        return VoiceProfilesDialog::tr("已有名为“%1”的声音。").arg(name);
    case VoiceProfiles::Change::Missing:
        return VoiceProfilesDialog::tr("没有名为“%1”的声音。").arg(name);
    case VoiceProfiles::Change::NotSaved:
        return VoiceProfilesDialog::tr("无法保存说话人声音：%1").arg(error);
    case VoiceProfiles::Change::Done:
    case VoiceProfiles::Change::Unchanged:
        break;
    }
    return QString();
}

// One change to the store as it is on disk now, written at once.
VoiceProfiles::Change changeStore(
    const QString &dataDir, const std::function<VoiceProfiles::Change(VoiceProfiles &)> &change, QString *error)
{
    VoiceProfiles store(dataDir);
    if (!store.load(error))
        return VoiceProfiles::Change::NotSaved;
    const VoiceProfiles::Change done = change(store);
    if (done == VoiceProfiles::Change::Done && !store.save(error))
        return VoiceProfiles::Change::NotSaved;
    return done;
}

} // namespace

VoiceProfilesDialog::VoiceProfilesDialog(const QString &dataDir, QWidget *parent)
    : QDialog(parent)
    , list(new QListWidget(this))
    , nameEdit(new QLineEdit(this))
    , renameBtn(new QPushButton(tr("重命名"), this))
    , removeBtn(new QPushButton(tr("删除"), this))
    , messageLabel(new QLabel(this))
    , dataDir(dataDir)
{
    setObjectName(QStringLiteral("voiceProfilesDialog"));
    setWindowTitle(tr("说话人声音"));
    auto *hint = new QLabel(tr("在文档中为说话人改名后，程序会记住这个声音；以后转换的文件中听到同一声音时，"
                               "直接标注这个名字。"),
        this);
    hint->setWordWrap(true);
    list->setAccessibleName(tr("说话人声音"));
    nameEdit->setAccessibleName(tr("名字"));
    messageLabel->setWordWrap(true);
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setText(tr("关闭"));
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QListWidget::currentRowChanged, this, &VoiceProfilesDialog::showSelection);
    connect(renameBtn, &QPushButton::clicked, this, &VoiceProfilesDialog::renameSelected);
    connect(nameEdit, &QLineEdit::returnPressed, this, &VoiceProfilesDialog::renameSelected);
    connect(removeBtn, &QPushButton::clicked, this, &VoiceProfilesDialog::removeSelected);

    auto *row = new QHBoxLayout;
    row->addWidget(nameEdit, 1);
    row->addWidget(renameBtn);
    row->addWidget(removeBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(list, 1);
    layout->addLayout(row);
    layout->addWidget(messageLabel);
    layout->addWidget(close);
    resize(380, 360);
    reload();
}

void VoiceProfilesDialog::reload()
{
    VoiceProfiles store(dataDir);
    QString error;
    readable = store.load(&error);
    list->clear();
    list->addItems(store.names());
    if (!readable)
        messageLabel->setText(tr("无法读取说话人声音：%1").arg(error));
    else if (list->count() == 0)
        messageLabel->setText(tr("还没有记住的声音。"));
    else
        messageLabel->clear();
    if (list->count() > 0)
        list->setCurrentRow(0);
    showSelection();
}

void VoiceProfilesDialog::showSelection()
{
    const bool chosen = readable && list->currentItem();
    nameEdit->setText(chosen ? list->currentItem()->text() : QString());
    nameEdit->setEnabled(chosen);
    renameBtn->setEnabled(chosen);
    removeBtn->setEnabled(chosen);
}

void VoiceProfilesDialog::renameSelected()
{
    if (!readable || !list->currentItem())
        return;
    const QString from = list->currentItem()->text();
    const QString to = VoiceProfiles::cleanName(nameEdit->text());
    QString error;
    const VoiceProfiles::Change change = changeStore(
        dataDir, [&](VoiceProfiles &store) { return store.rename(from, to); }, &error);
    const QString problem = changeProblem(change, change == VoiceProfiles::Change::Missing ? from : to, error);
    reload();
    const QList<QListWidgetItem *> renamed = list->findItems(problem.isEmpty() ? to : from, Qt::MatchExactly);
    if (!renamed.isEmpty())
        list->setCurrentItem(renamed.first());
    messageLabel->setText(problem.isEmpty() ? tr("已改名为“%1”。").arg(to) : problem);
}

void VoiceProfilesDialog::removeSelected()
{
    if (!readable || !list->currentItem())
        return;
    const QString name = list->currentItem()->text();
    if (Notice::question(this, tr("删除声音"), tr("删除“%1”的声音？以后的转换不再认出这个说话人。").arg(name),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    QString error;
    const VoiceProfiles::Change change = changeStore(
        dataDir, [&](VoiceProfiles &store) { return store.remove(name); }, &error);
    const QString problem = changeProblem(change, name, error);
    reload();
    messageLabel->setText(problem.isEmpty() ? tr("已删除“%1”。").arg(name) : problem);
}

void Widget::showVoiceProfiles()
{
    // One at a time, read afresh each time it is asked for: a conversion may have named voices meanwhile.
    auto *dialog = findChild<VoiceProfilesDialog *>();
    if (!dialog) {
        dialog = new VoiceProfilesDialog(AppState::dataDir, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        dialog->reload();
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
