#include "library/documenttext.h"
#include "library/filedialogfilter.h"
#include "library/librarypaths.h"
#include "library/taskintake.h"

#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

#include <sys/stat.h>

class LibraryRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void locate_data();
    void locate();
    void folderFiles_data();
    void folderFiles();
    void isDocument_data();
    void isDocument();
    void addTask_data();
    void addTask();
    void renameProposal_data();
    void renameProposal();
    void isPlainName_data();
    void isPlainName();
    void renamedPath_data();
    void renamedPath();
    void replaceTask_data();
    void replaceTask();
    void taskPairing_data();
    void taskPairing();
    void forPlatform_data();
    void forPlatform();
    void sortPaths_data();
    void sortPaths();
    void documentRoundTrip_data();
    void documentRoundTrip();
};

void LibraryRulesTest::locate_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const QStringList paths = {"/d/myWAVFiles/a.wav", "/d/other/b.wav", "/d/myWAVFiles/b.wav", "/d/x/A.wav"};
    QTest::newRow("first match") << paths << "a.wav"
                                 << "/d/myWAVFiles/a.wav";
    QTest::newRow("first of two equal names") << paths << "b.wav"
                                              << "/d/other/b.wav";
    QTest::newRow("case-sensitive") << paths << "A.wav"
                                    << "/d/x/A.wav";
    QTest::newRow("no match") << paths << "c.wav" << QString();
    QTest::newRow("folder part is no name") << paths << "myWAVFiles" << QString();
    QTest::newRow("empty list") << QStringList() << "a.wav" << QString();
    QTest::newRow("path without folder") << QStringList {"plain.txt"} << "plain.txt"
                                         << "plain.txt";
}

void LibraryRulesTest::locate()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(LibraryPaths::locate(paths, name), expected);
    QCOMPARE(LibraryPaths::indexOfName(paths, name), expected.isEmpty() ? -1 : paths.indexOf(expected));
}

void LibraryRulesTest::folderFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty") << QStringList() << QStringList();
    QTest::newRow("name order ignoring case")
        << QStringList {"b.wav", "A.wav", "c.mp3"} << QStringList {"A.wav", "b.wav", "c.mp3"};
    QTest::newRow("hidden and folders left out")
        << QStringList {".hidden.wav", "sub/", "z.wav", "m"} << QStringList {"m", "z.wav"};
    QTest::newRow("chinese names") << QStringList {"录音2.wav", "录音1.wav"} << QStringList {"录音1.wav", "录音2.wav"};
}

void LibraryRulesTest::folderFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &file : files) {
        if (file.endsWith('/')) {
            QVERIFY(QDir(dir.path()).mkdir(file.chopped(1)));
            continue;
        }
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QStringList expectedPaths;
    for (const QString &name : expected)
        expectedPaths << dir.path() + '/' + name;
    QCOMPARE(LibraryPaths::folderFiles(dir.path()), expectedPaths);
}

void LibraryRulesTest::isDocument_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("expected");

    QTest::newRow("txt") << "/d/myWordFiles/x.txt" << true;
    QTest::newRow("upper case TXT") << "/d/myWordFiles/y.TXT" << false;
    QTest::newRow("no extension") << "/d/myWordFiles/z" << false;
    QTest::newRow("doc") << "/d/myWordFiles/notes.doc" << false;
    QTest::newRow("txt.bak") << "/d/myWordFiles/notes.txt.bak" << false;
    QTest::newRow("two dots") << "/d/myWordFiles/a.b.txt" << true;
}

void LibraryRulesTest::isDocument()
{
    QFETCH(QString, path);
    QFETCH(bool, expected);
    QCOMPARE(LibraryPaths::isDocument(path), expected);
}

void LibraryRulesTest::addTask_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("into empty") << QStringList() << "/a/x.wav" << true << QStringList {"/a/x.wav"};
    QTest::newRow("newest first") << QStringList {"/a/x.wav"} << "/a/y.wav" << true
                                  << QStringList {"/a/y.wav", "/a/x.wav"};
    QTest::newRow("already a task") << QStringList {"/a/y.wav", "/a/x.wav"} << "/a/x.wav" << false
                                    << QStringList {"/a/y.wav", "/a/x.wav"};
    QTest::newRow("differs in case only")
        << QStringList {"/a/x.wav"} << "/a/X.wav" << true << QStringList {"/a/X.wav", "/a/x.wav"};
}

void LibraryRulesTest::addTask()
{
    QFETCH(QStringList, before);
    QFETCH(QString, path);
    QFETCH(bool, added);
    QFETCH(QStringList, after);
    QCOMPARE(LibraryPaths::addTask(before, path), added);
    QCOMPARE(before, after);
}

void LibraryRulesTest::renameProposal_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("recording") << "20181203_101010.wav"
                               << "20181203_101010";
    QTest::newRow("two dots") << "a.b.txt"
                              << "a";
    QTest::newRow("no extension") << "plain"
                                  << "plain";
    QTest::newRow("leading dot") << ".wav" << QString();
}

void LibraryRulesTest::renameProposal()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(LibraryPaths::renameProposal(name), expected);
}

void LibraryRulesTest::isPlainName_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("expected");

    QTest::newRow("plain") << "b" << true;
    QTest::newRow("chinese with spaces") << "会议 记录" << true;
    QTest::newRow("dots") << "a.b" << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("parent folder") << "../b" << false;
    QTest::newRow("sub folder") << "sub/b" << false;
    QTest::newRow("backslash") << "sub\\b" << false;
}

void LibraryRulesTest::isPlainName()
{
    QFETCH(QString, base);
    QFETCH(bool, expected);
    QCOMPARE(LibraryPaths::isPlainName(base), expected);
}

void LibraryRulesTest::renamedPath_data()
{
    QTest::addColumn<QString>("oldPath");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");

    QTest::newRow("wav") << "/d/myWAVFiles/a.wav"
                         << "wav"
                         << "b"
                         << "/d/myWAVFiles/b.wav";
    QTest::newRow("mp3 keeps its suffix") << "/d/myWAVFiles/two hours.mp3"
                                          << "wav"
                                          << "renamed long"
                                          << "/d/myWAVFiles/renamed long.mp3";
    QTest::newRow("suffix in capitals kept") << "/d/myWAVFiles/talk.M4A"
                                             << "wav"
                                             << "talk"
                                             << "/d/myWAVFiles/talk.M4A";
    QTest::newRow("only the last suffix") << "/d/myWAVFiles/a.b.mp3"
                                          << "wav"
                                          << "c"
                                          << "/d/myWAVFiles/c.mp3";
    QTest::newRow("audio without a suffix gets none") << "/d/myWAVFiles/plain"
                                                      << "wav"
                                                      << "other"
                                                      << "/d/myWAVFiles/other";
    QTest::newRow("word") << "/d/myWordFiles/a.b.txt"
                          << "word"
                          << "c"
                          << "/d/myWordFiles/c.txt";
    QTest::newRow("dotted folder") << "/d.x/myWordFiles/a.txt"
                                   << "word"
                                   << "n"
                                   << "/d.x/myWordFiles/n.txt";
}

void LibraryRulesTest::renamedPath()
{
    QFETCH(QString, oldPath);
    QFETCH(QString, kind);
    QFETCH(QString, base);
    QFETCH(QString, expected);
    QCOMPARE(LibraryPaths::renamedPath(
                 oldPath, base + LibraryPaths::renamedExtension(kind, LibraryPaths::fileName(oldPath))),
        expected);
}

void LibraryRulesTest::replaceTask_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("absent") << QStringList {"/x.wav"} << false << QStringList {"/x.wav"};
    QTest::newRow("head") << QStringList {"/old.wav", "/x.wav"} << true << QStringList {"/new.wav", "/x.wav"};
    QTest::newRow("middle") << QStringList {"/y.wav", "/old.wav", "/x.wav"} << true
                            << QStringList {"/y.wav", "/new.wav", "/x.wav"};
    QTest::newRow("twice keeps first place") << QStringList {"/y.wav", "/old.wav", "/x.wav", "/old.wav"} << true
                                             << QStringList {"/y.wav", "/new.wav", "/x.wav"};
}

void LibraryRulesTest::replaceTask()
{
    QFETCH(QStringList, before);
    QFETCH(bool, found);
    QFETCH(QStringList, after);
    QCOMPARE(LibraryPaths::replaceTask(before, "/old.wav", "/new.wav"), found);
    QCOMPARE(before, after);
}

// Entries as "path|name" (no path: an entry made by hand); the task looked for; the entry found for
// it; the entry looked at; the task found for that.
void LibraryRulesTest::taskPairing_data()
{
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("task");
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("looked");
    QTest::addColumn<int>("found");
    const QStringList two {"/b/x.wav", "/a/x.wav"};
    QTest::newRow("same name, the second entry")
        << two << QStringList {"/a/x.wav|x.wav", "/b/x.wav|x.wav"} << "/b/x.wav" << 1 << 1 << 0;
    QTest::newRow("same name, the first entry")
        << two << QStringList {"/a/x.wav|x.wav", "/b/x.wav|x.wav"} << "/a/x.wav" << 0 << 0 << 1;
    QTest::newRow("entries by hand pair by name") << two << QStringList {"|x.wav"} << "/a/x.wav" << 0 << 0 << 0;
    QTest::newRow("a path no entry carries") << two << QStringList {"/a/x.wav|x.wav"} << "/b/x.wav" << -1 << 0 << 1;
    QTest::newRow("a carried path no longer a task")
        << QStringList {"/b/x.wav"} << QStringList {"/a/x.wav|x.wav"} << "/b/x.wav" << -1 << 0 << -1;
    QTest::newRow("empty entry") << two << QStringList {"|"} << "/a/x.wav" << -1 << 0 << -1;
}

void LibraryRulesTest::taskPairing()
{
    QFETCH(QStringList, tasks);
    QFETCH(QStringList, entries);
    QFETCH(QString, task);
    QFETCH(int, looked);
    QStringList paths;
    QStringList names;
    for (const QString &entry : entries) {
        paths << entry.section('|', 0, 0);
        names << entry.section('|', 1);
    }
    QTEST(LibraryPaths::taskEntry(paths, names, task), "entry");
    QTEST(LibraryPaths::entryTask(tasks, paths.at(looked), names.at(looked)), "found");
}

void LibraryRulesTest::forPlatform_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("upload filter")
        << "Audio Files(*.pcm;*.wav;*.amr;*.wma;*.mp3;*.m4a;*.aac);;Video Files(*.mp4;*.3gp);;All Files(*.*)"
        << "Audio Files(*.pcm *.PCM *.wav *.WAV *.amr *.AMR *.wma *.WMA *.mp3 *.MP3 *.m4a *.M4A *.aac *.AAC);;"
           "Video Files(*.mp4 *.MP4 *.3gp *.3GP);;All Files(*)";
    QTest::newRow("single pattern") << "Audio File(*.wav)"
                                    << "Audio File(*.wav *.WAV)";
    QTest::newRow("already spaced") << "Text(*.txt *.doc)"
                                    << "Text(*.txt *.TXT *.doc *.DOC)";
    QTest::newRow("upper case given") << "Text(*.txt;*.TXT)"
                                      << "Text(*.txt *.TXT)";
    QTest::newRow("no letters") << "Numbered(*.1;*.2)"
                                << "Numbered(*.1 *.2)";
    QTest::newRow("group without patterns") << "Anything"
                                            << "Anything";
}

void LibraryRulesTest::forPlatform()
{
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(FileDialogFilter::forPlatform(filter), expected);
}

void LibraryRulesTest::documentRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("chinese") << QByteArray("今天天气很好。\n明天下雨。") << QByteArray("今天天气很好。\n明天下雨。");
    QTest::newRow("markup") << QByteArray("<b>bold</b> &amp; <i>x</i>") << QByteArray("<b>bold</b> &amp; <i>x</i>");
    QTest::newRow("no-break space") << QByteArray("a\xc2\xa0"
                                                  "b")
                                    << QByteArray("a\xc2\xa0"
                                                  "b");
    QTest::newRow("crlf becomes lf") << QByteArray("one\r\ntwo\r\n") << QByteArray("one\ntwo\n");
    QTest::newRow("trailing line feeds") << QByteArray("x\n\n") << QByteArray("x\n\n");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

// Through a real text view, as the viewer shows and saves a document.
void LibraryRulesTest::documentRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QTextDocument view;
    view.setPlainText(DocumentText::fromBytes(bytes));
    QCOMPARE(DocumentText::toBytes(view.toRawText()), expected);
}

void LibraryRulesTest::sortPaths_data()
{
    // Names are relative to a folder holding: a.wav, B.MP3, clip.Mp4, notes.docx, .wav, odd \ näme.aac,
    // pipe.wav (a named pipe), rec/ (x.amr, y.txt, sub/z.wav), docs/ (only read.me), empty/.
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QStringList>("refused");

    QTest::newRow("media files in any case") << QStringList {"a.wav", "B.MP3", "clip.Mp4"} << true
                                             << QStringList {"a.wav", "B.MP3", "clip.Mp4"} << QStringList();
    QTest::newRow("dropped document refused")
        << QStringList {"notes.docx", "a.wav"} << true << QStringList {"a.wav"} << QStringList {"notes.docx"};
    QTest::newRow("chosen in the dialog: any file")
        << QStringList {"notes.docx"} << false << QStringList {"notes.docx"} << QStringList();
    QTest::newRow("suffix alone is no name") << QStringList {".wav"} << true << QStringList() << QStringList {".wav"};
    QTest::newRow("odd name kept") << QStringList {"odd \\ näme.aac"} << true << QStringList {"odd \\ näme.aac"}
                                   << QStringList();
    QTest::newRow("duplicates once") << QStringList {"a.wav", "a.wav", "rec", "rec/x.amr"} << true
                                     << QStringList {"a.wav", "rec/x.amr"} << QStringList();
    QTest::newRow("folder: media directly inside")
        << QStringList {"rec/"} << true << QStringList {"rec/x.amr"} << QStringList();
    QTest::newRow("folder without media")
        << QStringList {"docs", "empty"} << true << QStringList() << QStringList {"docs", "empty"};
    QTest::newRow("folder chosen in the dialog")
        << QStringList {"rec"} << false << QStringList() << QStringList {"rec"};
    QTest::newRow("missing file") << QStringList {"gone.wav"} << false << QStringList() << QStringList {"gone.wav"};
    QTest::newRow("named pipe never a task")
        << QStringList {"pipe.wav"} << false << QStringList() << QStringList {"pipe.wav"};
    QTest::newRow("nothing") << QStringList() << true << QStringList() << QStringList();
}

void LibraryRulesTest::sortPaths()
{
    QFETCH(QStringList, paths);
    QFETCH(bool, dropped);
    QFETCH(QStringList, tasks);
    QFETCH(QStringList, refused);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("rec/sub") && QDir(dir.path()).mkpath("docs") && QDir(dir.path()).mkpath("empty"));
    for (const char *name : {"a.wav", "B.MP3", "clip.Mp4", "notes.docx", ".wav", "odd \\ näme.aac", "rec/x.amr",
             "rec/y.txt", "rec/sub/z.wav", "docs/read.me"}) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.wav")).constData(), 0600), 0);
    const auto inDir = [&dir](const QStringList &names) {
        QStringList full;
        for (const QString &name : names)
            full << dir.filePath(name);
        return full;
    };
    const TaskIntake::Sorted sorted
        = TaskIntake::sortPaths(inDir(paths), dropped ? TaskIntake::Origin::Drop : TaskIntake::Origin::Dialog);
    QCOMPARE(sorted.tasks, inDir(tasks));
    QCOMPARE(sorted.refused, refused);
}

QTEST_GUILESS_MAIN(LibraryRulesTest)
#include "tst_libraryrules.moc"
