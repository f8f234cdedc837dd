#include "common/testmain.h"
#include "listtestutil.h"

#include "ui/library/mylistwidget.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QStandardPaths>
#include <QTextEdit>
#include <QtTest>

namespace {
// A window whose audio folder holds a.wav, b.wav and talk.mp3 and text folder x.txt and y.txt, with
// a.wav and talk.mp3 on the task list (added in that order) and an outside file on it too.
Widget *startLibrary(WindowFixture &fx)
{
    for (const char *name : {"myWAVFiles/a.wav", "myWAVFiles/b.wav", "myWAVFiles/talk.mp3", "outside/a.wav"})
        fx.write(name, QByteArray("RIFF-") + name);
    for (const char *name : {"myWordFiles/x.txt", "myWordFiles/y.txt"})
        fx.write(name, QByteArray("文本 ") + name);
    Widget *w = fx.start();
    w->addTask(fx.path("myWAVFiles/a.wav"));
    w->addTask(fx.path("outside/a.wav"));
    w->addTask(fx.path("myWAVFiles/talk.mp3"));
    return w;
}

QStringList relative(const WindowFixture &fx, const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names << QString(path).remove(fx.appDir.path() + '/');
    return names;
}
// The columns a row ends with: the library list of its kind afterwards (paths relative to the fixture), its
// items, the task list (relative) and the selector.
void addListColumns()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QStringList>("selector");
}

// The lists as the current row's list columns expect them.
void compareLists(const WindowFixture &fx, Widget *w, const QString &kind)
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, items);
    QFETCH(QStringList, tasks);
    QFETCH(QStringList, selector);
    QCOMPARE(relative(fx, w->libraryPaths(kind)), paths);
    QCOMPARE(itemTexts(w->libraryList(kind)), items);
    QCOMPARE(relative(fx, w->taskFiles), tasks);
    QCOMPARE(comboTexts(w->audioCombo), selector);
}
} // namespace

class ListOperationsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void deleteFile_data();
    void deleteFile();
    void renameFile_data();
    void renameFile();
    void renameFollowsOpenDocument();
    void deleteForgetsOpenDocument();
    void renameKeepsCaseTwin();
    void taskEntryOfCaseTwin_data();
    void taskEntryOfCaseTwin();
    void saveAs_data();
    void saveAs();
    void contextMenu_data();
    void contextMenu();
};

void ListOperationsTest::deleteFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("goneBehindBack");
    QTest::addColumn<QString>("question");
    addListColumns();

    const QString askWav = "确定要删除该录音文件吗？";
    const QStringList allTasks = {"myWAVFiles/talk.mp3", "outside/a.wav", "myWAVFiles/a.wav"};
    const QStringList allSelector = {"a.wav", "a.wav", "talk.mp3"};
    QTest::newRow("recording that is a task")
        << "wav"
        << "talk.mp3" << true << false << askWav << QStringList {"myWAVFiles/a.wav", "myWAVFiles/b.wav"}
        << QStringList {"a.wav", "b.wav"} << QStringList {"outside/a.wav", "myWAVFiles/a.wav"}
        << QStringList {"a.wav", "a.wav"};
    QTest::newRow("recording not a task")
        << "wav"
        << "b.wav" << true << false << askWav << QStringList {"myWAVFiles/a.wav", "myWAVFiles/talk.mp3"}
        << QStringList {"a.wav", "talk.mp3"} << allTasks << allSelector;
    QTest::newRow("answer no") << "wav"
                               << "a.wav" << false << false << askWav
                               << QStringList {"myWAVFiles/a.wav", "myWAVFiles/b.wav", "myWAVFiles/talk.mp3"}
                               << QStringList {"a.wav", "b.wav", "talk.mp3"} << allTasks << allSelector;
    QTest::newRow("document leaves tasks alone")
        << "word"
        << "x.txt" << true << false << "确定要删除该文本文件吗？" << QStringList {"myWordFiles/y.txt"}
        << QStringList {"y.txt"} << allTasks << allSelector;
    QTest::newRow("file already gone still leaves the lists")
        << "wav"
        << "b.wav" << true << true << askWav << QStringList {"myWAVFiles/a.wav", "myWAVFiles/talk.mp3"}
        << QStringList {"a.wav", "talk.mp3"} << allTasks << allSelector;
}

void ListOperationsTest::deleteFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(bool, yes);
    QFETCH(bool, goneBehindBack);
    QFETCH(QString, question);
    WindowFixture fx;
    Widget *w = startLibrary(fx);
    const QString file = fx.path((kind == "wav" ? "myWAVFiles/" : "myWordFiles/") + name);
    if (goneBehindBack)
        QVERIFY(QFile::remove(file));
    fx.answer = yes ? QMessageBox::Yes : QMessageBox::No;

    w->delFile(kind, name);

    QCOMPARE(fx.notices, QStringList {question});
    QCOMPARE(QFile::exists(file), !yes && !goneBehindBack);
    compareLists(fx, w, kind);
    if (QTest::currentTestFailed())
        return;
}

void ListOperationsTest::renameFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("message");
    addListColumns();

    const int ok = int(RenameAnswer::Ok);
    const QStringList wavPaths = {"myWAVFiles/a.wav", "myWAVFiles/b.wav", "myWAVFiles/talk.mp3"};
    const QStringList wavItems = {"a.wav", "b.wav", "talk.mp3"};
    const QStringList tasks = {"myWAVFiles/talk.mp3", "outside/a.wav", "myWAVFiles/a.wav"};
    const QStringList selector = {"a.wav", "a.wav", "talk.mp3"};

    QTest::newRow("a.wav to c, a task") << "wav"
                                        << "a.wav"
                                        << "c" << ok << "a" << QString()
                                        << QStringList {"myWAVFiles/c.wav", "myWAVFiles/b.wav", "myWAVFiles/talk.mp3"}
                                        << QStringList {"b.wav", "talk.mp3", "c.wav"}
                                        << QStringList {"myWAVFiles/talk.mp3", "outside/a.wav", "myWAVFiles/c.wav"}
                                        << QStringList {"c.wav", "a.wav", "talk.mp3"};
    QTest::newRow("talk.mp3 keeps its suffix")
        << "wav"
        << "talk.mp3"
        << "speech" << ok << "talk" << QString()
        << QStringList {"myWAVFiles/a.wav", "myWAVFiles/b.wav", "myWAVFiles/speech.mp3"}
        << QStringList {"a.wav", "b.wav", "speech.mp3"}
        << QStringList {"myWAVFiles/speech.mp3", "outside/a.wav", "myWAVFiles/a.wav"}
        << QStringList {"a.wav", "a.wav", "speech.mp3"};
    QTest::newRow("not a task") << "wav"
                                << "b.wav"
                                << "录音" << ok << "b" << QString()
                                << QStringList {"myWAVFiles/a.wav", "myWAVFiles/录音.wav", "myWAVFiles/talk.mp3"}
                                << QStringList {"a.wav", "talk.mp3", "录音.wav"} << tasks << selector;
    const QString emptyOrDots = "重命名失败，文件名不能为空，也不能只由“.”组成！";
    QTest::newRow("same name: taken") << "wav"
                                      << "a.wav"
                                      << "a" << ok << "a"
                                      << "重命名失败，已存在同名文件“a.wav”！" << wavPaths << wavItems << tasks
                                      << selector;
    QTest::newRow("existing name: taken")
        << "wav"
        << "a.wav"
        << "b" << ok << "a"
        << "重命名失败，已存在同名文件“b.wav”！" << wavPaths << wavItems << tasks << selector;
    QTest::newRow("folder in the name: invalid")
        << "wav"
        << "a.wav"
        << "../a2" << ok << "a"
        << "重命名失败，文件名不能包含“/”或“\\”！" << wavPaths << wavItems << tasks << selector;
    QTest::newRow("256 bytes: too long") << "wav"
                                         << "a.wav" << QString(252, 'n') << ok << "a"
                                         << "重命名失败，文件名过长（最多 255 字节）！" << wavPaths << wavItems << tasks
                                         << selector;
    QTest::newRow("255 bytes: renamed") << "word"
                                        << "x.txt" << QString(251, 'n') << ok << "x" << QString()
                                        << QStringList {"myWordFiles/" + QString(251, 'n') + ".txt",
                                               "myWordFiles/y.txt"}
                                        << QStringList {"y.txt", QString(251, 'n') + ".txt"} << tasks << selector;
    QTest::newRow("dots only: refused") << "wav"
                                        << "a.wav"
                                        << ".." << ok << "a" << emptyOrDots << wavPaths << wavItems << tasks
                                        << selector;
    QTest::newRow("leading dot: refused")
        << "word"
        << "x.txt"
        << ".x" << ok << "x"
        << "重命名失败，文件名不能以“.”开头！" << QStringList {"myWordFiles/x.txt", "myWordFiles/y.txt"}
        << QStringList {"x.txt", "y.txt"} << tasks << selector;
    QTest::newRow("empty name: refused") << "wav"
                                         << "a.wav"
                                         << "" << ok << "a" << emptyOrDots << wavPaths << wavItems << tasks << selector;
    QTest::newRow("close button") << "wav"
                                  << "a.wav"
                                  << "c" << int(RenameAnswer::CloseButton) << "a" << QString() << wavPaths << wavItems
                                  << tasks << selector;
    QTest::newRow("escape") << "wav"
                            << "a.wav"
                            << "c" << int(RenameAnswer::Escape) << "a" << QString() << wavPaths << wavItems << tasks
                            << selector;
    QTest::newRow("document leaves tasks alone")
        << "word"
        << "x.txt"
        << "z" << ok << "x" << QString() << QStringList {"myWordFiles/z.txt", "myWordFiles/y.txt"}
        << QStringList {"y.txt", "z.txt"} << tasks << selector;
}

void ListOperationsTest::renameFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(QString, offered);
    QFETCH(QString, message);
    WindowFixture fx;
    Widget *w = startLibrary(fx);
    const QString folder = kind == "wav" ? "myWAVFiles/" : "myWordFiles/";
    const QByteArray content = fx.read(folder + name);

    QString shown;
    answerRenameDialog(typed, RenameAnswer(answer), &shown);
    w->renameFile(kind, name);

    QCOMPARE(shown, offered);
    QCOMPARE(fx.notices, message.isEmpty() ? QStringList() : QStringList {message});
    compareLists(fx, w, kind);
    if (QTest::currentTestFailed())
        return;
    // Disk and lists agree, and the content moved with the name.
    QFETCH(QStringList, items);
    QStringList onDisk = QDir(fx.path(folder)).entryList(QDir::Files);
    QStringList listed = items;
    onDisk.sort();
    listed.sort();
    QCOMPARE(onDisk, listed);
    if (message.isEmpty() && RenameAnswer(answer) == RenameAnswer::Ok && !typed.isEmpty())
        QCOMPARE(fx.read(folder + typed + name.mid(name.lastIndexOf('.'))), content); // its own suffix kept
}

// The view's document follows a rename, so closing it saves under the new name instead of bringing
// back a file of the old name.
void ListOperationsTest::renameFollowsOpenDocument()
{
    WindowFixture fx;
    Widget *w = startLibrary(fx);
    w->slotWordOpen(w->wordList->item(0));
    QVERIFY(w->wordTextEdit->isVisible());
    QString shown;
    answerRenameDialog("renamed", RenameAnswer::Ok, &shown);
    w->renameFile("word", "x.txt");
    w->wordTextEdit->setPlainText("edited");
    w->closeWordBtn->click();

    QCOMPARE(fx.read("myWordFiles/renamed.txt"), QByteArray("edited"));
    QVERIFY(!QFile::exists(fx.path("myWordFiles/x.txt")));
}

// Closing the view of a document deleted meanwhile hides it without writing the file back.
void ListOperationsTest::deleteForgetsOpenDocument()
{
    WindowFixture fx;
    Widget *w = startLibrary(fx);
    w->slotWordOpen(w->wordList->item(0));
    QVERIFY(w->wordTextEdit->isVisible());
    w->delFile("word", "x.txt");
    QVERIFY(!QFile::exists(fx.path("myWordFiles/x.txt")));

    w->closeWordBtn->click();

    QVERIFY(!w->wordTextEdit->isVisible());
    QVERIFY(!QFile::exists(fx.path("myWordFiles/x.txt")));
    QCOMPARE(fx.notices, QStringList {"确定要删除该文本文件吗？"});
}

// On Linux "A.wav" and "a.wav" are two files; renaming one must leave the other's entry in place.
void ListOperationsTest::renameKeepsCaseTwin()
{
    WindowFixture fx;
    QVERIFY(fx.write("myWAVFiles/A.wav", "upper"));
    QVERIFY(fx.write("myWAVFiles/a.wav", "lower"));
    Widget *w = fx.start();
    QCOMPARE(itemTexts(w->wavList), (QStringList {"A.wav", "a.wav"}));
    QString shown;
    answerRenameDialog("c", RenameAnswer::Ok, &shown);
    w->renameFile("wav", "a.wav");

    QCOMPARE(itemTexts(w->wavList), (QStringList {"A.wav", "c.wav"}));
    QCOMPARE(relative(fx, w->wavFiles), (QStringList {"myWAVFiles/A.wav", "myWAVFiles/c.wav"}));
    QCOMPARE(fx.read("myWAVFiles/c.wav"), QByteArray("lower"));
}

// "a.wav" and "A.wav" both on the task list: whatever takes one off it (delete, rename, a finished
// conversion) takes that one's entry off the selector, never its twin's. A path that is no task
// leaves an entry of the same name alone: it belongs to another task.
void ListOperationsTest::taskEntryOfCaseTwin_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("path"); // relative
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QStringList>("selector");

    QTest::newRow("delete a.wav") << "delete"
                                  << "myWAVFiles/a.wav" << QStringList {"myWAVFiles/A.wav"} << QStringList {"A.wav"};
    QTest::newRow("delete A.wav") << "delete"
                                  << "myWAVFiles/A.wav" << QStringList {"myWAVFiles/a.wav"} << QStringList {"a.wav"};
    QTest::newRow("rename a.wav") << "rename"
                                  << "myWAVFiles/a.wav" << QStringList {"myWAVFiles/A.wav", "myWAVFiles/c.wav"}
                                  << QStringList {"c.wav", "A.wav"};
    QTest::newRow("rename A.wav") << "rename"
                                  << "myWAVFiles/A.wav" << QStringList {"myWAVFiles/c.wav", "myWAVFiles/a.wav"}
                                  << QStringList {"a.wav", "c.wav"};
    QTest::newRow("conversion done with A.wav")
        << "remove"
        << "myWAVFiles/A.wav" << QStringList {"myWAVFiles/a.wav"} << QStringList {"a.wav"};
    QTest::newRow("conversion done with a.wav")
        << "remove"
        << "myWAVFiles/a.wav" << QStringList {"myWAVFiles/A.wav"} << QStringList {"A.wav"};
    QTest::newRow("delete a recording that is no task")
        << "delete"
        << "myWAVFiles/b.wav" << QStringList {"myWAVFiles/A.wav", "myWAVFiles/a.wav"} << QStringList {"a.wav", "A.wav"};
}

void ListOperationsTest::taskEntryOfCaseTwin()
{
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(QStringList, tasks);
    QFETCH(QStringList, selector);
    WindowFixture fx;
    for (const char *name : {"myWAVFiles/a.wav", "myWAVFiles/A.wav", "myWAVFiles/b.wav", "outside/b.wav"})
        QVERIFY(fx.write(name, name));
    Widget *w = fx.start();
    w->addTask(fx.path("myWAVFiles/a.wav"));
    w->addTask(fx.path("myWAVFiles/A.wav"));
    // A task of the same name as the recording that is none, and its entry.
    const bool twinOutside = path.endsWith("b.wav");
    if (twinOutside)
        w->addTask(fx.path("outside/b.wav"));
    const QString name = path.mid(path.lastIndexOf('/') + 1);

    if (operation == "delete") {
        w->delFile("wav", name);
    } else if (operation == "rename") {
        QString shown;
        answerRenameDialog("c", RenameAnswer::Ok, &shown);
        w->renameFile("wav", name);
    } else {
        w->removeTask(fx.path(path));
    }

    QStringList expectedTasks = tasks;
    QStringList expectedSelector = selector;
    if (twinOutside) {
        expectedTasks.prepend("outside/b.wav");
        expectedSelector.append("b.wav");
    }
    QCOMPARE(relative(fx, w->taskFiles), expectedTasks);
    QCOMPARE(comboTexts(w->audioCombo), expectedSelector);
}

void ListOperationsTest::saveAs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("destination"); // relative; empty: the dialog was cancelled
    QTest::addColumn<QByteArray>("existing"); // content already at the destination
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");

    QTest::newRow("recording") << "wav"
                               << "a.wav"
                               << "copies/a.wav" << QByteArray() << "Audio File(*.wav)" << QString();
    QTest::newRow("document as .doc") << "word"
                                      << "x.txt"
                                      << "copies/x.doc" << QByteArray() << "Text File(*.txt);;Text File(*.doc)"
                                      << QString();
    QTest::newRow("replaces a confirmed existing file")
        << "wav"
        << "b.wav"
        << "copies/old.wav" << QByteArray("older and longer content") << "Audio File(*.wav)" << QString();
    QTest::newRow("cancelled") << "wav"
                               << "a.wav" << QString() << QByteArray() << "Audio File(*.wav)" << QString();
    QTest::newRow("folder gone is reported") << "word"
                                             << "y.txt"
                                             << "gone/y.txt" << QByteArray() << "Text File(*.txt);;Text File(*.doc)"
                                             << "另存为失败，无法写入所选位置！";
}

void ListOperationsTest::saveAs()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QString, destination);
    QFETCH(QByteArray, existing);
    QFETCH(QString, filter);
    QFETCH(QString, message);
    WindowFixture fx;
    Widget *w = startLibrary(fx);
    QVERIFY(QDir().mkpath(fx.path("copies")));
    if (!existing.isEmpty())
        QVERIFY(fx.write(destination, existing));
    const QStringList pathsBefore = w->libraryPaths(kind);
    Notice::setNextFileNames(destination.isEmpty() ? QStringList() : QStringList {fx.path(destination)});

    w->saveFileAs(kind, name);

    const Notice::FileDialogRequest request = Notice::lastFileDialogRequest();
    QCOMPARE(request.caption, QStringLiteral("另存为"));
    QCOMPARE(
        request.directory, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/') + name);
    QCOMPARE(request.filter, filter);
    QCOMPARE(fx.notices, message.isEmpty() ? QStringList() : QStringList {message});
    const QByteArray source = fx.read((kind == "wav" ? "myWAVFiles/" : "myWordFiles/") + name);
    if (!destination.isEmpty())
        QCOMPARE(fx.read(destination), message.isEmpty() ? source : QByteArray("<missing>"));
    QCOMPARE(QDir(fx.path("copies")).entryList(QDir::Files).size(),
        int(!existing.isEmpty() || (!destination.isEmpty() && message.isEmpty())));
    QCOMPARE(w->libraryPaths(kind), pathsBefore);
}

void ListOperationsTest::contextMenu_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("onEntry");
    QTest::addColumn<QStringList>("offered");

    const QStringList actions = {"删除", "另存为", "重命名"};
    QTest::newRow("audio entry") << "wav" << true << actions;
    QTest::newRow("document entry") << "word" << true << actions;
    QTest::newRow("empty space") << "wav" << false << QStringList();
}

// A right click offers the three commands for the entry under the pointer; choosing "删除" asks to
// delete that entry, whatever is selected.
void ListOperationsTest::contextMenu()
{
    QFETCH(QString, kind);
    QFETCH(bool, onEntry);
    QFETCH(QStringList, offered);
    WindowFixture fx;
    Widget *w = startLibrary(fx);
    MyListWidget *list = w->libraryList(kind);
    list->show();
    list->resize(198, 300);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    list->item(0)->setSelected(true);
    const QRect second = list->visualItemRect(list->item(1));
    const QPoint at = onEntry ? second.center() : QPoint(10, list->viewport()->height() - 5);
    QVERIFY(onEntry == (list->itemAt(at) != nullptr));
    fx.answer = QMessageBox::No;

    QStringList shown;
    QTimer::singleShot(50, [&shown] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                shown << action->text();
            menu->actions().first()->trigger();
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    QTest::qWait(100);

    QCOMPARE(shown, offered);
    QCOMPARE(list->menuItem, onEntry ? list->item(1) : nullptr);
    QCOMPARE(fx.notices.size(), onEntry ? 1 : 0);
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *> {list->item(0)});
    QCOMPARE(list->count(), kind == "wav" ? 3 : 2);
}

QUILLORA_TEST_MAIN(ListOperationsTest)
#include "tst_listoperations.moc"
