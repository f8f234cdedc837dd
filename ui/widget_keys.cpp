#include "ui/widget.h"

#include "ui/document/documentpane.h"
#include "ui/library/mylistwidget.h"
#include "ui/tasks/speakerchoice.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QTextEdit>
#include <QToolTip>

#include <phonon/SeekSlider>

void Widget::createKeys()
{
    const auto click = [](QPushButton *button) { return [button] { button->click(); }; };
    bindKey(uploadBtn, QKeySequence(Qt::CTRL + Qt::Key_O), click(uploadBtn));
    bindKey(beginCoverBtn, QKeySequence(Qt::Key_F5), click(beginCoverBtn));
    bindKey(stopCoverBtn, QKeySequence(Qt::SHIFT + Qt::Key_F5), click(stopCoverBtn));
    bindKey(recordBtn, QKeySequence(Qt::CTRL + Qt::Key_R), click(recordBtn));
    bindKey(playBtn, QKeySequence(Qt::CTRL + Qt::Key_P), [this] { triggerPlayPause(); });
    shortcutHints.insert(pauseBtn, shortcutHints.value(playBtn));
    pauseBtn->installEventFilter(this);
    bindKey(closeWordBtn, QKeySequence(Qt::CTRL + Qt::Key_W), click(closeWordBtn));
    bindKey(nullptr, QKeySequence::Find, [this] { documentPane->showFindBar(); });
    bindKey(nullptr, QKeySequence(Qt::Key_F3), [this] { documentPane->findNext(true); });
    bindKey(nullptr, QKeySequence(Qt::SHIFT + Qt::Key_F3), [this] { documentPane->findNext(false); });

    setTabOrderThroughControls();
    nameControls();
    // A screen reader hears the run's progress as the start button's new name.
    connect(this, &Widget::startButtonTextChanged, this, [this] {
        QAccessibleEvent event(beginCoverBtn, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    });
}

void Widget::bindKey(QWidget *hintOn, const QKeySequence &key, const std::function<void()> &action)
{
    auto *shortcut = new QShortcut(key, this);
    connect(shortcut, &QShortcut::activated, this, action);
    if (hintOn) {
        shortcutHints.insert(hintOn, key.toString(QKeySequence::NativeText));
        hintOn->installEventFilter(this);
    }
}

void Widget::triggerPlayPause()
{
    (pauseBtn->isHidden() ? playBtn : pauseBtn)->click();
}

void Widget::setTabOrderThroughControls()
{
    // Reading order: the library on the left, then the record bar, the task bar and the text view,
    // the caption's buttons last.
    QWidget *seekHandle = seekSlider->findChild<QSlider *>();
    const QList<QWidget *> order
        = {wavBtn, addWavBtn, wavList, txtBtn, wordList, deviceCombo, liveCheck, recordBtn, playBtn, pauseBtn, stopBtn,
            seekHandle ? seekHandle : seekSlider, uploadBtn, audioCombo, languageBox, speakerChoice, clearListBtn,
            beginCoverBtn, stopCoverBtn, closeWordBtn, wordTextEdit, findEdit, homePageBtn, minBtn, maxBtn, closeBtn};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void Widget::nameControls()
{
    // Icon buttons are named by their tooltip, and keep that name when the tooltip changes.
    for (QPushButton *button :
        {homePageBtn, minBtn, maxBtn, closeBtn, addWavBtn, recordBtn, playBtn, pauseBtn, stopBtn}) {
        button->setAccessibleName(button->toolTip());
        button->installEventFilter(this);
    }
    wavList->setAccessibleName(tr("音频文件列表"));
    wordList->setAccessibleName(tr("文本文档列表"));
    deviceCombo->setAccessibleName(tr("录音设备"));
    liveCheck->setAccessibleName(tr("边录边转"));
    audioCombo->setAccessibleName(tr("任务列表"));
    taskLineEdit->setAccessibleName(tr("任务列表"));
    languageBox->setAccessibleName(tr("识别语言"));
    for (QComboBox *combo : {deviceCombo, audioCombo, languageBox})
        combo->view()->setAccessibleName(combo->accessibleName());
    seekSlider->setAccessibleName(tr("播放进度"));
    for (QSlider *handle : seekSlider->findChildren<QSlider *>())
        handle->setAccessibleName(tr("播放进度"));
    recordTimeLabel->setAccessibleName(tr("录音时长"));
    playTimeLabel->setAccessibleName(tr("播放时间"));
    timeLeftLabel->setAccessibleName(tr("剩余时间"));
    for (QScrollBar *bar : findChildren<QScrollBar *>())
        bar->setAccessibleName(bar->orientation() == Qt::Vertical ? tr("垂直滚动条") : tr("水平滚动条"));
}

bool Widget::showShortcutHint(QWidget *control, QEvent *event)
{
    const auto hint = shortcutHints.constFind(control);
    if (hint == shortcutHints.constEnd())
        return false;
    QString name = control->toolTip();
    if (const auto *button = qobject_cast<QPushButton *>(control); button && name.isEmpty())
        name = button->text();
    if (name.isEmpty())
        name = control->accessibleName();
    const QString text = name.isEmpty() ? *hint : QStringLiteral("%1 (%2)").arg(name, *hint);
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, control);
    return true;
}

bool Widget::eventFilter(QObject *watched, QEvent *event)
{
    auto *control = qobject_cast<QPushButton *>(watched);
    if (control && event->type() == QEvent::ToolTipChange && control->text().isEmpty())
        control->setAccessibleName(control->toolTip());
    if (event->type() == QEvent::ToolTip && watched->isWidgetType())
        return showShortcutHint(static_cast<QWidget *>(watched), event);
    return QLabel::eventFilter(watched, event);
}
