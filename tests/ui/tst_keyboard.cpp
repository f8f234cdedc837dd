#include "common/testmain.h"
#include "common/windowfixture.h"
#include "ui/library/myinput.h"
#include "ui/library/mylistwidget.h"
#include "ui/tasks/speakerchoice.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <QToolTip>
#include <QUrl>

#include <phonon/SeekSlider>

namespace {
// Sends a drag over `target` and drops it there, as a file manager does.
bool dropUrls(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    data.setText(urls.value(0).toLocalFile());
    const QPoint at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QImage looks(QWidget *widget)
{
    return widget->grab().toImage();
}

// Every accessible object under `root` that a user operates, with no name.
void namelessControls(QAccessibleInterface *root, QStringList &nameless)
{
    static const QList<QAccessible::Role> controls = {QAccessible::PushButton, QAccessible::CheckBox,
        QAccessible::ComboBox, QAccessible::List, QAccessible::EditableText, QAccessible::Slider,
        QAccessible::ScrollBar, QAccessible::SpinBox, QAccessible::ProgressBar};
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface *child = root->child(i);
        if (!child)
            continue;
        if (controls.contains(child->role()) && child->text(QAccessible::Name).trimmed().isEmpty()) {
            QObject *object = child->object();
            nameless << QStringLiteral("%1 (%2, role %3)")
                            .arg(object ? object->objectName() : QString(),
                                object ? QString::fromLatin1(object->metaObject()->className()) : QString())
                            .arg(int(child->role()));
        }
        namelessControls(child, nameless);
    }
}
} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;
    Widget *window = nullptr;

    void activate()
    {
        window->activateWindow();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    void openDocument(const QString &text)
    {
        QVERIFY(f->write("myWordFiles/notes.txt", text.toUtf8()));
        window = f->start();
        window->slotWordOpen(window->wordList->item(0));
        QVERIFY(!window->wordTextEdit->isHidden());
        activate();
    }

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        window = f->start();
    }

    void cleanup() { f.reset(); }

    // Files, a folder and a file that is no audio, dropped on the window and on the text view.
    void dropAddsTasks()
    {
        for (const char *name : {"a.wav", "B.MP3", "notes.docx", "talk dir/inner.m4a", "talk dir/readme.md",
                 "talk dir/sub/deeper.wav", "odd \\ name ü.wav"})
            QVERIFY(f->write(QStringLiteral("in/%1").arg(name), "RIFF"));
        const auto url
            = [this](const char *name) { return QUrl::fromLocalFile(f->path(QStringLiteral("in/") + name)); };

        QVERIFY(dropUrls(window, {url("a.wav"), url("notes.docx"), url("talk dir"), url("a.wav")}));
        QCOMPARE(window->taskFiles, QStringList({f->path("in/talk dir/inner.m4a"), f->path("in/a.wav")}));
        QCOMPARE(f->notices, QStringList({"以下文件不是音频或视频文件，未添加到任务：\nnotes.docx"}));

        // On the text view the files become tasks too; its document is left as it was.
        window->wordTextEdit->setPlainText("kept");
        window->wordTextEdit->show();
        QVERIFY(dropUrls(window->wordTextEdit->viewport(), {url("B.MP3"), url("odd \\ name ü.wav"), url("a.wav")}));
        QCOMPARE(window->wordTextEdit->toPlainText(), QStringLiteral("kept"));
        QCOMPARE(window->taskFiles.mid(0, 2), QStringList({f->path("in/odd \\ name ü.wav"), f->path("in/B.MP3")}));
        QCOMPARE(window->audioCombo->count(), 4);
        QCOMPARE(f->notices.size(), 1);

        // Text without files is not taken.
        QMimeData text;
        text.setText("hello");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        QVERIFY(!enter.isAccepted());
    }

    void shortcutTriggersItsAction_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("tip");
        QTest::newRow("upload Ctrl+O") << "uploadBtn" << int(Qt::Key_O) << int(Qt::ControlModifier)
                                       << "上传文件 (Ctrl+O)";
        QTest::newRow("start F5") << "beginCoverBtn" << int(Qt::Key_F5) << int(Qt::NoModifier) << "开始转换 (F5)";
        QTest::newRow("stop Shift+F5") << "stopCoverBtn" << int(Qt::Key_F5) << int(Qt::ShiftModifier)
                                       << "停止转换 (Shift+F5)";
        QTest::newRow("record Ctrl+R") << "recordBtn" << int(Qt::Key_R) << int(Qt::ControlModifier)
                                       << "开始录制 (Ctrl+R)";
        QTest::newRow("play Ctrl+P") << "playBtn" << int(Qt::Key_P) << int(Qt::ControlModifier) << "播放 (Ctrl+P)";
        QTest::newRow("pause Ctrl+P") << "pauseBtn" << int(Qt::Key_P) << int(Qt::ControlModifier) << "暂停 (Ctrl+P)";
        QTest::newRow("close document Ctrl+W")
            << "closeWordBtn" << int(Qt::Key_W) << int(Qt::ControlModifier) << "关闭文档 (Ctrl+W)";
    }

    // The key presses the button (and so runs its slot), with the focus in the text view as well; the
    // button's tooltip names the key.
    void shortcutTriggersItsAction()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, tip);
        openDocument("text");
        QPushButton *target = button == "uploadBtn" ? window->uploadBtn
            : button == "beginCoverBtn"             ? window->beginCoverBtn
            : button == "stopCoverBtn"              ? window->stopCoverBtn
            : button == "recordBtn"                 ? window->recordBtn
            : button == "playBtn"                   ? window->playBtn
            : button == "pauseBtn"                  ? window->pauseBtn
                                                    : window->closeWordBtn;
        if (target == window->pauseBtn) {
            window->playBtn->hide();
            window->pauseBtn->show();
        }
        window->stopCoverBtn->setEnabled(true);
        window->deviceName.clear();
        Notice::setNextFileNames({});
        window->wordTextEdit->setFocus();
        QSignalSpy clicked(target, &QPushButton::clicked);
        QTest::keyClick(window->wordTextEdit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(window->wordTextEdit->toPlainText(), QStringLiteral("text"));
        if (target == window->uploadBtn)
            QCOMPARE(Notice::lastFileDialogRequest().caption, QStringLiteral("打开"));
        if (target == window->recordBtn)
            QCOMPARE(f->notices, QStringList({"没有检测到录音设备！"}));
        if (target == window->closeWordBtn)
            QVERIFY(window->wordTextEdit->isHidden());

        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), target->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(target, &help);
        QTRY_COMPARE(QToolTip::text(), tip);
        QToolTip::hideText();
    }

    // The window's keys leave every editing key to the text view.
    void noShortcutTakesAnEditingKey()
    {
        QList<QKeySequence> editing;
        for (QKeySequence::StandardKey key :
            {QKeySequence::Undo, QKeySequence::Redo, QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste,
                QKeySequence::SelectAll, QKeySequence::Delete, QKeySequence::Backspace, QKeySequence::DeleteStartOfWord,
                QKeySequence::DeleteEndOfWord, QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord,
                QKeySequence::SelectNextWord, QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
                QKeySequence::InsertLineSeparator})
            editing << QKeySequence::keyBindings(key);
        const QList<QShortcut *> shortcuts = window->findChildren<QShortcut *>();
        QVERIFY(shortcuts.size() >= 9);
        for (QShortcut *shortcut : shortcuts) {
            QVERIFY2(!editing.contains(shortcut->key()), qPrintable(shortcut->key().toString()));
            QVERIFY2(shortcut->key()[0] & (Qt::ControlModifier | Qt::AltModifier)
                    || (shortcut->key()[0] & ~Qt::KeyboardModifierMask) >= Qt::Key_F1,
                qPrintable(shortcut->key().toString()));
        }
    }

    // Matches are highlighted and stepped through; the text, its undo history and modified flag stay.
    void findInTheDocument()
    {
        openDocument("One question.\nA second Question here.\nThe last question?\nNo match.");
        QTest::keyClick(window->wordTextEdit, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!window->findBar->isHidden());
        QCOMPARE(QApplication::focusWidget(), window->findEdit);
        QTest::keyClicks(window->findEdit, "question");
        QCOMPARE(window->wordTextEdit->extraSelections().size(), 3);
        QCOMPARE(window->findCountLabel->text(), QStringLiteral("1/3"));
        const auto at = [this] { return window->wordTextEdit->textCursor().position(); };
        QCOMPARE(at(), 4);
        QTest::keyClick(window->findEdit, Qt::Key_Return);
        QCOMPARE(at(), 23);
        QTest::keyClick(window->findEdit, Qt::Key_F3);
        QCOMPARE(at(), 47);
        QTest::keyClick(window->findEdit, Qt::Key_Return);
        QCOMPARE(window->findCountLabel->text(), QStringLiteral("1/3"));
        QTest::keyClick(window->findEdit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(at(), 47);
        QTest::keyClick(window->findEdit, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(window->findCountLabel->text(), QStringLiteral("2/3"));
        QTest::keyClicks(window->findEdit, "zz");
        QCOMPARE(window->findCountLabel->text(), QStringLiteral("无结果"));
        QVERIFY(window->wordTextEdit->extraSelections().isEmpty());

        QCOMPARE(window->wordTextEdit->toPlainText(),
            QStringLiteral("One question.\nA second Question here.\nThe last question?\nNo match."));
        QVERIFY(!window->wordTextEdit->document()->isUndoAvailable());
        QVERIFY(!window->wordTextEdit->document()->isModified());

        QTest::keyClick(window->findEdit, Qt::Key_Escape);
        QVERIFY(window->findBar->isHidden());
        QCOMPARE(QApplication::focusWidget(), window->wordTextEdit);
    }

    // Tab walks the controls in reading order; each one shows that it has the focus, and the
    // language selector is among them and answers the arrow keys.
    void tabOrderAndFocusShown()
    {
        activate();
        window->wavBtn->setFocus(Qt::TabFocusReason);
        QList<QWidget *> visited;
        for (int i = 0; i < 40 && !visited.contains(QApplication::focusWidget()); ++i) {
            QWidget *focused = QApplication::focusWidget();
            visited << focused;
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QWidget *seekHandle = window->seekSlider->findChild<QSlider *>();
        // The slider takes the focus once something is loaded to play.
        QVERIFY(seekHandle && !seekHandle->isEnabled());
        const QList<QWidget *> expected = {window->wavBtn, window->addWavBtn, window->txtBtn, window->deviceCombo,
            window->liveCheck, window->recordBtn, window->playBtn, window->stopBtn, window->uploadBtn,
            window->audioCombo, window->languageBox, window->speakerChoice, window->clearListBtn, window->beginCoverBtn,
            window->closeWordBtn, window->homePageBtn, window->minBtn, window->maxBtn, window->closeBtn};
        QStringList visitedNames;
        for (QWidget *w : visited)
            visitedNames << QString::fromLatin1(w->metaObject()->className()) + ":" + w->accessibleName();
        QVERIFY2(visited == expected, qPrintable(visitedNames.join(", ")));

        for (QWidget *control : expected) {
            window->setFocus();
            QTRY_VERIFY(!control->hasFocus());
            QWidget *shown = control;
            const QImage without = looks(shown);
            control->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(control->hasFocus());
            QVERIFY2(looks(shown) != without,
                qPrintable(control->metaObject()->className() + (" " + control->accessibleName())));
        }

        window->languageBox->setFocus(Qt::TabFocusReason);
        QTest::keyClick(window->languageBox, Qt::Key_Down);
        QTest::keyClick(window->languageBox, Qt::Key_Down);
        QCOMPARE(window->languageBox->currentText(), QStringLiteral("英文"));
    }

    void renameDialogKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("Enter renames") << int(Qt::Key_Return) << false;
        QTest::newRow("keypad Enter renames") << int(Qt::Key_Enter) << false;
        QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << true;
    }

    void renameDialogKeys()
    {
        QFETCH(int, key);
        MyInput input(window);
        input.show();
        QVERIFY(QTest::qWaitForWindowExposed(&input));
        input.nameEdit->setFocus();
        QTest::keyClicks(input.nameEdit, "new name");
        QTest::keyClick(input.nameEdit, Qt::Key(key));
        QVERIFY(!input.isVisible());
        QTEST(input.cancelled, "cancelled");
        QCOMPARE(input.nameEdit->text(), QStringLiteral("new name"));
    }

    // A screen reader finds a name on every control, the maximise button's following its state,
    // and hears the progress on the start button.
    void everyControlNamed()
    {
        window->wavBtn->setChecked(true);
        window->wordTextEdit->show();
        QStringList nameless;
        namelessControls(QAccessible::queryAccessibleInterface(window), nameless);
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(", ")));
        QAccessibleInterface *maxButton = QAccessible::queryAccessibleInterface(window->maxBtn);
        QCOMPARE(maxButton->text(QAccessible::Name), QStringLiteral("最大化"));
        window->maxBtn->click();
        QCOMPARE(maxButton->text(QAccessible::Name), QStringLiteral("还原"));
        QCOMPARE(QAccessible::queryAccessibleInterface(window->recordBtn)->text(QAccessible::Name),
            QStringLiteral("开始录制"));

        // The progress is the start button's name (the window announces each change as a name change).
        window->setStartButtonText(QStringLiteral("转写:40.0%"));
        QCOMPARE(QAccessible::queryAccessibleInterface(window->beginCoverBtn)->text(QAccessible::Name),
            QStringLiteral("转写:40.0%"));
    }
};

QUILLORA_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
