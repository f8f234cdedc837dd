#include "ui/tasks/taskpane.h"

#include "library/filedialogfilter.h"
#include "library/librarypaths.h"
#include "pipeline/languages.h"
#include "pipeline/runtexts.h"
#include "ui/chromelayout.h"
#include "ui/controls.h"
#include "ui/notice.h"
#include "ui/tasks/speakerchoice.h"
#include "ui/theme.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <utility>

namespace {
const QString languageKey = QStringLiteral("language");
constexpr int barTop = 50; // under the record bar

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

// The bar is in place, with its sheet, before its first control is made on it.
QLabel *placedBar(QLabel *bar, const QWidget *rightPanel)
{
    bar->setGeometry(0, barTop, rightPanel->width(), 40);
    bar->setStyleSheet(QString::fromUtf8(Theme::strip));
    return bar;
}
} // namespace

TaskPane::TaskPane(ConversionEngine *engine, const QString &settingsPath, QWidget *rightPanel)
    : QLabel(rightPanel)
    , uploadBtn(Controls::button(placedBar(this, rightPanel), QString(), Theme::actionButton))
    , taskLineEdit(new QLineEdit(this))
    , audioCombo(Controls::comboBox(this, QRect(93, 7, 272, 26)))
    , languageBox(new QComboBox(this))
    , speakerChoice(new SpeakerChoice(settingsPath, this))
    , clearListBtn(Controls::button(this, QString(), Theme::clearListButton))
    , beginCoverBtn(Controls::button(this, QString(), Theme::actionButton))
    , stopCoverBtn(Controls::button(this, QString(), Theme::actionButton))
    , closeWordBtn(Controls::button(this, QString(), Theme::actionButton))
    , timeLeftLabel(Controls::label(this, QRect(), QString::fromUtf8(Theme::timeLeft)))
    , engine(engine)
    , settingsPath(settingsPath)
{
    createControls();
    restoreLanguage();
    connectEngine();
}

void TaskPane::createControls()
{
    uploadBtn->setGeometry(5, 5, 80, 30);
    uploadBtn->setText(tr("上传文件"));
    connect(uploadBtn, &QPushButton::clicked, this, &TaskPane::uploadRequested);

    taskLineEdit->setReadOnly(true);
    taskLineEdit->setPlaceholderText(tr("支持所有主流[音/视频]格式"));
    audioCombo->setEditable(true);
    audioCombo->setLineEdit(taskLineEdit);
    connect(audioCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this](int index) { emit selectedTaskChanged(audioCombo->itemText(index)); });

    languageBox->setGeometry(372, 7, 80, 26);
    // Each item keeps the design's text as its data: the key sent to the service and saved between runs.
    for (const Languages::Language &language : Languages::all())
        languageBox->addItem(Languages::displayName(language.code), language.text);
    languageBox->setStyleSheet(QString::fromUtf8(Theme::comboBox));
    fitItemTexts(languageBox);

    const struct
    {
        QPushButton *button;
        QRect geometry;
        QString text;
        void (TaskPane::*intent)();
    } actions[] = {
        {clearListBtn, QRect(460, 5, 80, 30), tr("清空列表"), &TaskPane::clearRequested},
        {beginCoverBtn, QRect(550, 5, 90, 30), tr("开始转换"), &TaskPane::startRequested},
        {stopCoverBtn, QRect(650, 5, 80, 30), tr("停止转换"), &TaskPane::stopRequested},
        {closeWordBtn, QRect(width() - 85, 5, 80, 30), tr("关闭文档"), &TaskPane::closeDocumentRequested},
    };
    for (const auto &action : actions) {
        action.button->setGeometry(action.geometry);
        action.button->setText(action.text);
        connect(action.button, &QPushButton::clicked, this, action.intent);
    }
    stopCoverBtn->setEnabled(false);
    timeLeftLabel->hide();
}

void TaskPane::restoreLanguage()
{
    const QString saved = QSettings(settingsPath, QSettings::IniFormat).value(languageKey).toString();
    const int index = languageBox->findData(saved, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        languageBox->setCurrentIndex(index);
    connect(languageBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int) {
        QSettings(settingsPath, QSettings::IniFormat).setValue(languageKey, languageBox->currentData().toString());
    });
}

void TaskPane::connectEngine()
{
    connect(engine, &ConversionEngine::progressChanged, this, [this](const ConversionEngine::Progress &progress) {
        setStartButtonText(RunTexts::progressText(progress));
        beginCoverBtn->setEnabled(false);
    });
    connect(engine, &ConversionEngine::fileStarted, this, [this](const QString &task) { conversionTask = task; });
    connect(engine, &ConversionEngine::documentWritten, this, [this] { conversionTask.clear(); });
    connect(engine, &ConversionEngine::taskMissing, this, &TaskPane::removeTask);
    connect(engine, &ConversionEngine::fileProgress, this, &TaskPane::showTimeLeft);
}

QString TaskPane::addTask(const QString &path)
{
    // A named pipe as a task would hang whoever opens it: the player, the transcoder.
    const QString refusal = LibraryPaths::unreadableReason(path, path);
    if (!refusal.isEmpty())
        return refusal;
    if (LibraryPaths::addTask(taskFiles, path))
        insertTaskEntry(audioCombo->count(), path);
    return QString();
}

void TaskPane::addTaskFiles(const QStringList &paths, TaskIntake::Origin origin)
{
    // What cannot be a task whatever its name (missing, a pipe, unreadable, an undecodable name) says
    // why; a dropped folder is looked into; the rest follows the suffix rules.
    QStringList refusals;
    QStringList candidates;
    for (const QString &given : paths) {
        const QString path = QDir::fromNativeSeparators(given);
        const QString reason = origin == TaskIntake::Origin::Drop && QFileInfo(path).isDir()
            ? QString()
            : LibraryPaths::unreadableReason(path, path);
        if (reason.isEmpty())
            candidates << path;
        else
            refusals << reason;
    }
    const TaskIntake::Sorted sorted = TaskIntake::sortPaths(candidates, origin);
    for (const QString &path : sorted.tasks) {
        const QString reason = addTask(path);
        if (!reason.isEmpty())
            refusals << reason;
    }
    QStringList parts;
    if (!sorted.refused.isEmpty())
        parts << tr("以下文件不是音频或视频文件，未添加到任务：\n") + sorted.refused.join(QLatin1Char('\n'));
    if (!refusals.isEmpty())
        parts << tr("以下文件未添加到任务：\n") + refusals.join(QLatin1Char('\n'));
    if (!parts.isEmpty())
        Notice::information(window(), parts.join(QStringLiteral("\n\n")));
}

void TaskPane::chooseTaskFiles()
{
    const QStringList chosen
        = Notice::getOpenFileNames(nullptr, tr("打开"), QString(), FileDialogFilter::openFilesFilter());
    addTaskFiles(chosen, TaskIntake::Origin::Dialog);
}

void TaskPane::addRecording(const QString &path)
{
    insertTaskEntry(0, path);
    audioCombo->setCurrentIndex(0);
    if (!taskFiles.contains(path))
        taskFiles.insert(0, path);
}

void TaskPane::insertTaskEntry(int index, const QString &task)
{
    audioCombo->insertItem(index, LibraryPaths::fileName(task));
    audioCombo->setItemData(index, task, taskPathRole);
}

QString TaskPane::selectedTask() const
{
    const int index = audioCombo->currentIndex();
    const int task = LibraryPaths::entryTask(
        taskFiles, audioCombo->itemData(index, taskPathRole).toString(), audioCombo->itemText(index));
    return taskFiles.value(task);
}

int TaskPane::taskEntry(const QString &task) const
{
    QStringList paths;
    QStringList names;
    for (int i = 0; i < audioCombo->count(); ++i) {
        paths << audioCombo->itemData(i, taskPathRole).toString();
        names << audioCombo->itemText(i);
    }
    return LibraryPaths::taskEntry(paths, names, task);
}

void TaskPane::removeTask(const QString &task)
{
    // An entry of the same name belongs to another task when this path is none.
    if (!taskFiles.contains(task))
        return;
    const int entry = taskEntry(task);
    if (entry >= 0)
        audioCombo->removeItem(entry);
    taskFiles.removeOne(task);
}

void TaskPane::renameTask(const QString &oldPath, const QString &newPath)
{
    if (!LibraryPaths::replaceTask(taskFiles, oldPath, newPath))
        return;
    const int entry = taskEntry(oldPath);
    if (entry >= 0) {
        audioCombo->removeItem(entry);
        insertTaskEntry(entry, newPath);
    }
}

void TaskPane::clearTasks()
{
    if (engine->isRunning())
        return;
    taskFiles.clear();
    audioCombo->clear();
}

QString TaskPane::languageCode() const
{
    return Languages::codeOf(languageBox->currentData().toString());
}

void TaskPane::startRun()
{
    beginCoverBtn->setEnabled(false);
    // The run takes its tasks from the list one by one: it stays as it is until the run ends.
    clearListBtn->setEnabled(false);
    stopCoverBtn->setEnabled(true);
    // The run keeps the language it starts with; the selector says so until it ends.
    languageBox->setEnabled(false);
    speakerChoice->setEnabled(false);
    engine->start(languageCode(), [this] { return taskFiles.value(0); });
}

void TaskPane::endRun()
{
    setStartButtonText(tr("开始转换"));
    hideTimeLeft();
    beginCoverBtn->setEnabled(true);
    stopCoverBtn->setEnabled(false);
    clearListBtn->setEnabled(true);
    languageBox->setEnabled(true);
    speakerChoice->setEnabled(true);
}

void TaskPane::tellRunEnd(const ConversionEngine::RunEnd &end)
{
    const QString message = RunTexts::endMessage(end);
    // A failure says which file it concerns, below the message, unless the message names it already.
    const QString task = std::exchange(conversionTask, QString());
    const bool named = task.isEmpty() || end.succeeded() || message.contains(QDir::toNativeSeparators(task))
        || message.contains(QFileInfo(task).fileName());
    if (!message.isEmpty())
        Notice::information(window(), message, named ? QString() : tr("文件：%1").arg(QDir::toNativeSeparators(task)));
}

void TaskPane::setStartButtonText(const QString &text)
{
    beginCoverBtn->setText(text);
    emit startButtonTextChanged(text);
}

void TaskPane::showTimeLeft(const QString &task, int segmentsDone, int segmentCount)
{
    if (!runClock.isValid())
        runClock.start();
    timeLeft.progress(task, QFileInfo(task).size(), segmentsDone, segmentCount, runClock.elapsed());
    QList<TimeLeftEstimator::QueuedFile> queued;
    for (const QString &path : qAsConst(taskFiles)) {
        if (path != task)
            queued.append({QFileInfo(path).suffix(), QFileInfo(path).size()});
    }
    const QString text = TimeLeft::text(timeLeft.estimate(queued));
    timeLeftLabel->setText(text);
    timeLeftLabel->setAccessibleName(QString(text).replace(QLatin1Char('\n'), tr("，")));
    timeLeftLabel->setVisible(!text.isEmpty());
}

void TaskPane::hideTimeLeft()
{
    timeLeft.reset();
    runClock.invalidate();
    timeLeftLabel->hide();
    timeLeftLabel->clear();
}

void TaskPane::placeIn(const TaskBarLayout &bar)
{
    setGeometry(0, barTop, parentWidget()->width(), bar.height);
    uploadBtn->setGeometry(bar.upload);
    audioCombo->setGeometry(bar.tasks);
    languageBox->setGeometry(bar.language);
    speakerChoice->setGeometry(bar.speakers);
    clearListBtn->setGeometry(bar.clearList);
    beginCoverBtn->setGeometry(bar.beginCover);
    stopCoverBtn->setGeometry(bar.stopCover);
    timeLeftLabel->setGeometry(bar.timeLeft);
    closeWordBtn->setGeometry(bar.closeWord);
}
