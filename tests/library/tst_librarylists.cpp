#include "common/testmain.h"
#include "listtestutil.h"

#include "library/filedialogfilter.h"
#include "ui/library/mylistwidget.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// The task list holds these files of `folder`, in this order, and the selector shows `selector`.
void compareTasks(const WindowFixture &fx, const Widget *w, const QString &folder, const QStringList &tasks,
    const QStringList &selector)
{
    QStringList expectedTasks;
    for (const QString &name : tasks)
        expectedTasks << fx.path(folder + name);
    QCOMPARE(w->taskFiles, expectedTasks);
    QCOMPARE(comboTexts(w->audioCombo), selector);
}
} // namespace

class LibraryListsTest : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesFolders();
    void loadsFolders_data();
    void loadsFolders();
    void uploadOrdersAndDeduplicates_data();
    void uploadOrdersAndDeduplicates();
    void uploadCancelledAddsNothing();
    void uploadAsksWithFilter();
    void addSelectedToTasks_data();
    void addSelectedToTasks();
    void onlyReadableRegularFilesBecomeTasks_data();
    void onlyReadableRegularFilesBecomeTasks();
    void filterShowsItsFiles_data();
    void filterShowsItsFiles();
};

void LibraryListsTest::firstStartCreatesFolders()
{
    WindowFixture fx;
    Widget *w = fx.start();
    for (const char *folder : {"myWAVFiles", "myWordFiles", "myTmpWAVFiles"})
        QVERIFY2(QFileInfo(fx.path(folder)).isDir(), folder);
    QCOMPARE(w->wavList->count(), 0);
    QCOMPARE(w->wordList->count(), 0);
    QVERIFY(w->wavFiles.isEmpty());
    QVERIFY(w->wordFiles.isEmpty());
    QVERIFY(w->taskFiles.isEmpty());
    QCOMPARE(w->audioCombo->count(), 0);
}

void LibraryListsTest::loadsFolders_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("audio: name order, every extension")
        << "wav" << QStringList {"b.wav", "A.wav", "c.mp3"} << QStringList {"A.wav", "b.wav", "c.mp3"};
    QTest::newRow("audio: hidden file left out")
        << "wav" << QStringList {".partial.wav", "20181203_101010.wav"} << QStringList {"20181203_101010.wav"};
    QTest::newRow("audio: chinese names")
        << "wav" << QStringList {"会议.wav", "a.wav"} << QStringList {"a.wav", "会议.wav"};
    QTest::newRow("text: x.txt listed, y.TXT and z kept unlisted")
        << "word" << QStringList {"x.txt", "y.TXT", "z"} << QStringList {"x.txt"};
    QTest::newRow("text: doc and bak kept unlisted")
        << "word" << QStringList {"notes.doc", "notes.txt.bak", "notes.txt"} << QStringList {"notes.txt"};
    QTest::newRow("text: a user's notes kept, an unfinished write removed")
        << "word" << QStringList {"notes.md", "REPORT.TXT", "a.txt.backup", "a.txt.BACKUP", "a.txt.qWeRty", "a.txt"}
        << QStringList {"a.txt"};
    QTest::newRow("text: ordered by name")
        << "word" << QStringList {"b.txt", "A.txt"} << QStringList {"A.txt", "b.txt"};
}

void LibraryListsTest::loadsFolders()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);
    const QString folder = kind == "wav" ? "myWAVFiles/" : "myWordFiles/";
    WindowFixture fx;
    for (const QString &file : files)
        QVERIFY(fx.write(folder + file, "content"));
    Widget *w = fx.start();

    QCOMPARE(itemTexts(w->libraryList(kind)), listed);
    QStringList paths;
    for (const QString &name : listed)
        paths << fx.path(folder + name);
    QCOMPARE(w->libraryPaths(kind), paths);
    // Both folders keep every file the user put there (hidden ones too); only an unfinished write goes.
    const QStringList onDisk = QDir(fx.path(folder)).entryList(QDir::Files | QDir::Hidden);
    QStringList kept = files;
    kept.removeAll("a.txt.qWeRty");
    QCOMPARE(onDisk.size(), kept.size());
}

void LibraryListsTest::uploadOrdersAndDeduplicates_data()
{
    // Each element is one use of the upload button; names are relative to the temporary folder.
    QTest::addColumn<QList<QStringList>>("uses");
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QStringList>("selector");

    QTest::newRow("A then B then C") << QList<QStringList> {{"A.wav"}, {"B.mp3"}, {"C.m4a"}}
                                     << QStringList {"C.m4a", "B.mp3", "A.wav"}
                                     << QStringList {"A.wav", "B.mp3", "C.m4a"};
    QTest::newRow("same file twice") << QList<QStringList> {{"A.wav"}, {"A.wav"}} << QStringList {"A.wav"}
                                     << QStringList {"A.wav"};
    QTest::newRow("several in one use") << QList<QStringList> {{"A.wav", "B.wav", "A.wav"}}
                                        << QStringList {"B.wav", "A.wav"} << QStringList {"A.wav", "B.wav"};
    QTest::newRow("case differs") << QList<QStringList> {{"a.wav"}, {"A.wav"}} << QStringList {"A.wav", "a.wav"}
                                  << QStringList {"a.wav", "A.wav"};
    // On Linux a backslash is part of a file name, not a separator: the path must stay the file's own.
    QTest::newRow("backslash in a name") << QList<QStringList> {{"x\\y.wav"}} << QStringList {"x\\y.wav"}
                                         << QStringList {"x\\y.wav"};
}

void LibraryListsTest::uploadOrdersAndDeduplicates()
{
    QFETCH(QList<QStringList>, uses);
    QFETCH(QStringList, tasks);
    QFETCH(QStringList, selector);
    WindowFixture fx;
    Widget *w = fx.start();
    for (const QStringList &use : uses) {
        QStringList chosen;
        for (const QString &name : use) {
            QVERIFY(fx.write("outside/" + name, "data"));
            chosen << fx.path("outside/" + name);
        }
        Notice::setNextFileNames(chosen);
        w->uploadBtn->click();
    }
    compareTasks(fx, w, "outside/", tasks, selector);
    for (int i = 0; i < w->audioCombo->count(); ++i)
        QVERIFY(!w->audioCombo->itemData(i).isValid());
    for (const QString &task : w->taskFiles)
        QVERIFY2(QFile::exists(task), qPrintable(task));
    // The chosen files stay where they are.
    QVERIFY(w->wavFiles.isEmpty());
    QVERIFY(QDir(fx.path("myWAVFiles")).isEmpty());
}

void LibraryListsTest::uploadCancelledAddsNothing()
{
    WindowFixture fx;
    Widget *w = fx.start();
    Notice::setNextFileNames({});
    w->uploadBtn->click();
    QVERIFY(w->taskFiles.isEmpty());
    QCOMPARE(w->audioCombo->count(), 0);
    QVERIFY(fx.notices.isEmpty());
}

void LibraryListsTest::uploadAsksWithFilter()
{
    WindowFixture fx;
    Widget *w = fx.start();
    Notice::setNextFileNames({});
    w->uploadBtn->click();
    const Notice::FileDialogRequest request = Notice::lastFileDialogRequest();
    QCOMPARE(request.caption, QStringLiteral("打开"));
    QVERIFY(request.directory.isEmpty());
    QCOMPARE(request.filter, FileDialogFilter::openFilesFilter());
    const QStringList groups = request.filter.split(";;");
    QCOMPARE(groups.size(), 3);
    QVERIFY(groups.at(0).startsWith("Audio Files("));
    QVERIFY(groups.at(1).startsWith("Video Files("));
    QVERIFY(groups.at(2).startsWith("All Files("));
}

void LibraryListsTest::onlyReadableRegularFilesBecomeTasks_data()
{
    QTest::addColumn<QString>("kind"); // what stands at the refused path
    QTest::addColumn<bool>("fromAudioList"); // else through the upload dialog
    QTest::addColumn<QString>("reason"); // the message's line, %1 the path

    const QString pipe = "“%1”不是普通文件（如文件夹、命名管道或设备），无法使用！";
    QTest::newRow("named pipe, uploaded") << "fifo" << false << pipe;
    QTest::newRow("named pipe, from the audio list") << "fifo" << true << pipe;
    QTest::newRow("folder, uploaded") << "folder" << false << pipe;
    QTest::newRow("gone, from the audio list") << "missing" << true << "文件“%1”不存在或已被删除！";
    QTest::newRow("unreadable, uploaded") << "unreadable" << false << "没有读取文件“%1”的权限！";
    QTest::newRow("name not UTF-8, uploaded")
        << "undecodable" << false
        << "文件名“%1”含有无法识别的字符（不是 UTF-8 编码），请先在文件管理器中重命名该文件！";
}

// Whatever is not a regular file the user may read is refused with one message naming it; the other
// files chosen with it become tasks.
void LibraryListsTest::onlyReadableRegularFilesBecomeTasks()
{
    QFETCH(QString, kind);
    QFETCH(bool, fromAudioList);
    QFETCH(QString, reason);
    WindowFixture fx;
    const QString folder = fromAudioList ? "myWAVFiles/" : "outside/";
    QVERIFY(fx.write(folder + "good.wav", "RIFF"));
    QVERIFY(fx.write(folder + "x.wav", "RIFF"));
    Widget *w = fx.start();
    QString refused = fx.path(folder + "x.wav");
    if (kind == "undecodable") {
        // What a dialog or a dropped address gives for the bytes "x\xff.wav": a name Qt cannot keep.
        const QByteArray raw = QFile::encodeName(fx.path(folder)) + "x\xff.wav";
        QCOMPARE(::rename(QFile::encodeName(refused).constData(), raw.constData()), 0);
        refused = QFile::decodeName(raw);
    } else {
        QVERIFY(QFile::remove(refused));
    }
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(refused).constData(), 0600), 0);
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(refused));
    else if (kind == "unreadable")
        QVERIFY(fx.write(folder + "x.wav", "RIFF") && QFile::setPermissions(refused, {}));

    // Root reads every file: the check runs as the user nobody, as far as the test's folder lets it.
    const bool dropped = kind == "unreadable" && ::geteuid() == 0;
    if (dropped) {
        for (const QString &path : {fx.appDir.path(), fx.path("outside")})
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x7755)));
        QVERIFY(::setresuid(65534, 65534, 0) == 0);
    }
    if (fromAudioList) {
        w->wavList->selectAll();
        w->slotAddWav();
    } else {
        Notice::setNextFileNames({fx.path(folder + "good.wav"), refused});
        w->uploadBtn->click();
    }
    if (dropped)
        QVERIFY(::setresuid(0, 0, 0) == 0);

    QCOMPARE(w->taskFiles, QStringList {fx.path(folder + "good.wav")});
    QCOMPARE(w->audioCombo->count(), 1);
    QCOMPARE(fx.notices, QStringList {"以下文件未添加到任务：\n" + reason.arg(refused)});
}

void LibraryListsTest::addSelectedToTasks_data()
{
    QTest::addColumn<QStringList>("tasksBefore"); // recordings already on the task list, in order added
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QStringList>("selector");

    QTest::newRow("one selected") << QStringList() << QStringList {"b.wav"} << QStringList {"b.wav"}
                                  << QStringList {"b.wav"};
    QTest::newRow("two, one already a task") << QStringList {"a.wav"} << QStringList {"a.wav", "c.mp3"}
                                             << QStringList {"c.mp3", "a.wav"} << QStringList {"a.wav", "c.mp3"};
    QTest::newRow("nothing selected") << QStringList() << QStringList() << QStringList() << QStringList();
    QTest::newRow("all three") << QStringList() << QStringList {"a.wav", "b.wav", "c.mp3"}
                               << QStringList {"c.mp3", "b.wav", "a.wav"} << QStringList {"a.wav", "b.wav", "c.mp3"};
}

void LibraryListsTest::addSelectedToTasks()
{
    QFETCH(QStringList, tasksBefore);
    QFETCH(QStringList, selected);
    QFETCH(QStringList, tasks);
    QFETCH(QStringList, selector);
    WindowFixture fx;
    for (const char *name : {"a.wav", "b.wav", "c.mp3"})
        QVERIFY(fx.write(QStringLiteral("myWAVFiles/") + name, "RIFF"));
    Widget *w = fx.start();
    auto select = [w](const QStringList &names) {
        w->wavList->clearSelection();
        for (const QString &name : names)
            w->wavList->findItems(name, Qt::MatchExactly).first()->setSelected(true);
    };
    select(tasksBefore);
    w->addWavBtn->click();
    select(selected);
    w->addWavBtn->click();

    compareTasks(fx, w, "myWAVFiles/", tasks, selector);
    QCOMPARE(w->wavList->selectedItems().size(), selected.size());
}

void LibraryListsTest::filterShowsItsFiles_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("audio") << 0 << QStringList {"a.wav", "b.mp3", "c.pcm", "d.amr", "e.wma", "f.m4a", "g.aac"};
    QTest::newRow("video") << 1 << QStringList {"h.mp4", "i.3gp"};
    QTest::newRow("all, including no extension")
        << 2 << QStringList {"a.wav", "b.mp3", "c.pcm", "d.amr", "e.wma", "f.m4a", "g.aac", "h.mp4", "i.3gp", "notes"};
}

// Qt's own file dialog, as used on Linux, must show the files each group names.
void LibraryListsTest::filterShowsItsFiles()
{
    QFETCH(int, group);
    QFETCH(QStringList, shown);
    QTemporaryDir dir;
    for (const char *name :
        {"a.wav", "b.mp3", "c.pcm", "d.amr", "e.wma", "f.m4a", "g.aac", "h.mp4", "i.3gp", "notes"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog(nullptr, "打开", dir.path(), FileDialogFilter::openFilesFilter());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto *model = dialog.findChild<QFileSystemModel *>();
    QVERIFY(model);
    dialog.selectNameFilter(dialog.nameFilters().at(group));
    const QModelIndex root = model->index(dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(model->rowCount(root) > 0 || !model->canFetchMore(root), 5000);
    QTest::qWait(50);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(root), shown.size(), 5000);
    QStringList names;
    for (int row = 0; row < model->rowCount(root); ++row)
        names << model->fileName(model->index(row, 0, root));
    names.sort();
    QCOMPARE(names, shown);
}

QUILLORA_TEST_MAIN(LibraryListsTest)
#include "tst_librarylists.moc"
