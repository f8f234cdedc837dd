#include "common/scriptedserver.h"
#include "common/smalldisk.h"
#include "common/testmain.h"
#include "listtestutil.h"

#include "common/timedsentences.h"
#include "pipeline/runtexts.h"
#include "pipeline/timings.h"
#include "pipeline/voiceprofiles.h"
#include "ui/document/documentpane.h"
#include "ui/library/mylistwidget.h"
#include "ui/player/playerpane.h"
#include "ui/tasks/speakerchoice.h"

#include <QComboBox>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTextCodec>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

namespace {
// The file's inode: a document written again, even with the same bytes, gets a new one.
ino_t inodeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QByteArray gb18030(const QString &text)
{
    return QTextCodec::codecForName("GB18030")->fromUnicode(text);
}

void appendInView(QTextEdit *view, const QString &text)
{
    QTextCursor cursor(view->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

// A window over the documents a.txt ("文档A") and b.txt ("文档B") with a.txt open in the view; null when
// they could not be written.
Widget *startWithFirstOfTwoOpen(WindowFixture &fx)
{
    if (!fx.write("myWordFiles/a.txt", "文档A") || !fx.write("myWordFiles/b.txt", "文档B"))
        return nullptr;
    Widget *w = fx.start();
    w->slotWordOpen(w->wordList->item(0));
    return w;
}

// Begins converting a recording; the run stays in its first step, making sure of the scripted service,
// until it is stopped. False when it did not begin.
bool beginWaitingRun(const WindowFixture &fx, Widget *w, const ScriptedServer &service)
{
    w->testSeams.serviceHost = service.hostAndPort();
    w->languageBox->setCurrentText(QStringLiteral("英文"));
    if (!fx.write("myWAVFiles/run.wav", "RIFF"))
        return false;
    w->addTask(fx.path("myWAVFiles/run.wav"));
    w->slotBeginCover();
    return w->runActive();
}
} // namespace

class DocumentViewerTest : public QObject
{
    Q_OBJECT

private slots:
    void closeWithoutEditsKeepsBytes_data();
    void closeWithoutEditsKeepsBytes();
    void editAndReopen();
    void closeBeforeAnythingOpened();
    void openingAnotherDropsEdits();
    void missingDocumentChangesNothing();
    void refusedDuringConversion();
    void failedSaveKeepsViewOpen();
    void documentKeepsItsFormat_data();
    void documentKeepsItsFormat();
    void saveFailureSaysWhy_data();
    void saveFailureSaysWhy();
    void outsideChangesAreKept_data();
    void outsideChangesAreKept();
    void renameSpeaker();
    void paneWithoutWindow_data();
    void paneWithoutWindow();
};

void DocumentViewerTest::closeWithoutEditsKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    QTest::newRow("recognised chinese") << QByteArray("今天我们讨论一下项目进度。下周发布。\n")
                                        << "今天我们讨论一下项目进度。下周发布。\n";
    QTest::newRow("looks like markup") << QByteArray("<b>加粗</b> &lt;tag&gt; <p>x</p>")
                                       << "<b>加粗</b> &lt;tag&gt; <p>x</p>";
    QTest::newRow("several lines and a no-break space")
        << QByteArray("one\n\ntwo\xc2\xa0three\n") << QString::fromUtf8("one\n\ntwo\xc2\xa0three\n");
    QTest::newRow("empty document") << QByteArray() << QString();
}

void DocumentViewerTest::closeWithoutEditsKeepsBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/doc.txt", bytes));
    Widget *w = fx.start();

    w->slotWordOpen(w->wordList->item(0));
    QVERIFY(w->wordTextEdit->isVisible());
    QCOMPARE(w->wordTextEdit->toPlainText(), QString(shown).replace(QChar::Nbsp, ' '));
    QCOMPARE(w->wordFilePath, fx.path("myWordFiles/doc.txt"));
    w->closeWordBtn->click();

    QVERIFY(!w->wordTextEdit->isVisible());
    QCOMPARE(fx.read("myWordFiles/doc.txt"), bytes);
    QVERIFY(fx.notices.isEmpty());
}

void DocumentViewerTest::editAndReopen()
{
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/doc.txt", "原文"));
    Widget *w = fx.start();
    emit w->wordList->itemDoubleClicked(w->wordList->item(0));
    w->wordTextEdit->setFocus();
    QTest::keyClick(w->wordTextEdit, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(w->wordTextEdit, " edited");
    QTest::keyClick(w->wordTextEdit, Qt::Key_Return);
    QTest::sendKeyEvent(QTest::Click, w->wordTextEdit, Qt::Key_unknown, QStringLiteral("第二行"), Qt::NoModifier);
    w->closeWordBtn->click();

    const QByteArray expected("原文 edited\n第二行");
    QCOMPARE(fx.read("myWordFiles/doc.txt"), expected);
    emit w->wordList->itemDoubleClicked(w->wordList->item(0));
    QCOMPARE(w->wordTextEdit->toPlainText().toUtf8(), expected);
}

void DocumentViewerTest::closeBeforeAnythingOpened()
{
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/doc.txt", "keep"));
    Widget *w = fx.start();
    w->wordTextEdit->setPlainText("stray text");
    w->wordTextEdit->show();
    w->closeWordBtn->click();

    QVERIFY(!w->wordTextEdit->isVisible());
    QVERIFY(fx.notices.isEmpty());
    QCOMPARE(fx.read("myWordFiles/doc.txt"), QByteArray("keep"));
    QCOMPARE(QDir(fx.path("myWordFiles")).entryList(QDir::Files), QStringList {"doc.txt"});
    QCOMPARE(QDir(fx.appDir.path()).entryList(QDir::Files), QStringList());
}

void DocumentViewerTest::openingAnotherDropsEdits()
{
    WindowFixture fx;
    Widget *w = startWithFirstOfTwoOpen(fx);
    QVERIFY(w);
    w->wordTextEdit->setPlainText("changed A");
    w->slotWordOpen(w->wordList->item(1));

    QCOMPARE(w->wordTextEdit->toPlainText(), QStringLiteral("文档B"));
    QCOMPARE(fx.read("myWordFiles/a.txt"), QByteArray("文档A"));
    w->closeWordBtn->click();
    QCOMPARE(fx.read("myWordFiles/a.txt"), QByteArray("文档A"));
    QCOMPARE(fx.read("myWordFiles/b.txt"), QByteArray("文档B"));
}

// A document removed behind the program's back opens nothing, and the view keeps belonging to the
// document it showed: closing never writes that text under the missing document's name.
void DocumentViewerTest::missingDocumentChangesNothing()
{
    WindowFixture fx;
    Widget *w = startWithFirstOfTwoOpen(fx);
    QVERIFY(w);
    w->wordTextEdit->setPlainText("文档A, edited");
    QVERIFY(QFile::remove(fx.path("myWordFiles/b.txt")));
    w->slotWordOpen(w->wordList->item(1));

    QCOMPARE(w->wordFilePath, fx.path("myWordFiles/a.txt"));
    QCOMPARE(w->wordTextEdit->toPlainText(), QStringLiteral("文档A, edited"));
    w->closeWordBtn->click();
    QVERIFY(!QFile::exists(fx.path("myWordFiles/b.txt")));
    QCOMPARE(fx.read("myWordFiles/a.txt"), QByteArray("文档A, edited"));
}

void DocumentViewerTest::refusedDuringConversion()
{
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/a.txt", "文档A"));
    Widget *w = fx.start();
    w->wordFilePath = fx.path("myWordFiles/run.txt");
    w->wordTextEdit->setPlainText("recognised so far");
    w->wordTextEdit->show();
    // A run that is still making sure of its service when the document is asked for.
    ScriptedServer service;
    QVERIFY(beginWaitingRun(fx, w, service));

    w->slotWordOpen(w->wordList->item(0));

    QCOMPARE(fx.notices, QStringList {"正在转换，请在转换结束后再打开文档！"});
    QCOMPARE(w->wordFilePath, fx.path("myWordFiles/run.txt"));
    QCOMPARE(w->wordTextEdit->toPlainText(), QStringLiteral("recognised so far"));
    QCOMPARE(fx.read("myWordFiles/a.txt"), QByteArray("文档A"));
    // A double-click on the entry, as the window system delivers it, is one request, refused once.
    w->txtBtn->click();
    fx.notices.clear();
    QWidget *entries = w->wordList->viewport();
    const QPoint entry = w->wordList->visualItemRect(w->wordList->item(0)).center();
    QTest::mouseClick(entries, Qt::LeftButton, {}, entry);
    QTest::mouseDClick(entries, Qt::LeftButton, {}, entry);
    QTest::mouseRelease(entries, Qt::LeftButton, {}, entry);
    QCOMPARE(fx.notices, QStringList {"正在转换，请在转换结束后再打开文档！"});
    w->slotStopCover();
}

void DocumentViewerTest::failedSaveKeepsViewOpen()
{
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/a.txt", "文档A"));
    Widget *w = fx.start();
    w->slotWordOpen(w->wordList->item(0));
    w->wordTextEdit->setPlainText("edits worth keeping");
    QVERIFY(QDir(fx.path("myWordFiles")).removeRecursively());

    w->closeWordBtn->click();

    QCOMPARE(fx.notices.size(), 1);
    QVERIFY(w->wordTextEdit->isVisible());
    QCOMPARE(w->wordTextEdit->toPlainText(), QStringLiteral("edits worth keeping"));
    // Once the folder is back the same button saves the edits.
    QVERIFY(QDir().mkdir(fx.path("myWordFiles")));
    w->closeWordBtn->click();
    QVERIFY(!w->wordTextEdit->isVisible());
    QCOMPARE(fx.read("myWordFiles/a.txt"), QByteArray("edits worth keeping"));
}

void DocumentViewerTest::documentKeepsItsFormat_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown"); // null: refused
    QTest::addColumn<QByteArray>("afterEdit"); // the file after "改" is typed at the end and the view closed

    QTest::newRow("gb18030") << gb18030("今天开会。\n明天休息。\n") << "今天开会。\n明天休息。\n"
                             << gb18030("今天开会。\n明天休息。\n改");
    QTest::newRow("crlf") << QByteArray("one\r\ntwo\r\n") << "one\ntwo\n" << QByteArray("one\r\ntwo\r\n\xe6\x94\xb9");
    QTest::newRow("gb18030 with crlf") << gb18030("会议\r\n记录") << "会议\n记录" << gb18030("会议\r\n记录改");
    QTest::newRow("utf-8 with byte-order mark") << QByteArray("\xef\xbb\xbfmark\n") << "mark\n"
                                                << QByteArray("\xef\xbb\xbfmark\n\xe6\x94\xb9");
    QTest::newRow("mixed line ends, unchanged") << QByteArray("a\r\nb\nc") << "a\nb\nc" << QByteArray();
    QByteArray elf("\x7f"
                   "ELF\x02\x01\x01");
    elf.append(QByteArray(100000 - elf.size(), '\0'));
    QTest::newRow("binary") << elf << QString() << elf;
    QTest::newRow("neither utf-8 nor gb18030")
        << QByteArray("caf\xe9 au lait\n") << QString() << QByteArray("caf\xe9 au lait\n");
}

// A document is shown in its own encoding and written back as it was found; unchanged, it is not
// written at all; one that is no text is refused with a message naming it and never written.
void DocumentViewerTest::documentKeepsItsFormat()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QByteArray, afterEdit);
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/doc.txt", bytes));
    const QString path = fx.path("myWordFiles/doc.txt");
    const ino_t written = inodeOf(path);
    Widget *w = fx.start();

    w->slotWordOpen(w->wordList->item(0));
    if (shown.isNull()) {
        QCOMPARE(fx.notices.size(), 1);
        QVERIFY2(fx.notices.first().startsWith("无法打开文档“doc.txt”："), qPrintable(fx.notices.first()));
        QVERIFY(!w->wordTextEdit->isVisible());
        QVERIFY(w->wordFilePath.isEmpty());
        w->closeWordBtn->click();
        QCOMPARE(fx.read("myWordFiles/doc.txt"), bytes);
        QCOMPARE(inodeOf(path), written);
        return;
    }
    QCOMPARE(w->wordTextEdit->toPlainText(), shown);
    w->closeWordBtn->click();
    QVERIFY(!w->wordTextEdit->isVisible());
    QCOMPARE(fx.read("myWordFiles/doc.txt"), bytes);
    QCOMPARE(inodeOf(path), written);
    if (afterEdit.isEmpty())
        return;

    w->slotWordOpen(w->wordList->item(0));
    appendInView(w->wordTextEdit, "改");
    w->closeWordBtn->click();
    QCOMPARE(fx.read("myWordFiles/doc.txt"), afterEdit);
    QVERIFY(fx.notices.isEmpty());
}

void DocumentViewerTest::saveFailureSaysWhy_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("message");
    QTest::newRow("disk full") << false << "文档保存失败：磁盘空间已满，“a.txt”未能保存！";
    QTest::newRow("read-only file system") << true << "文档保存失败：没有写入“a.txt”的权限！";
}

// On a real small file system: the edits stay in the view and the document stays as it was.
void DocumentViewerTest::saveFailureSaysWhy()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, message);
    if (!SmallDisk::available())
        QSKIP("mounting a small file system needs root and a mount namespace of the test's own");
    WindowFixture fx;
    SmallDisk::Mount disk(fx.path("myWordFiles"), 64);
    QVERIFY(disk.mounted());
    QVERIFY(fx.write("myWordFiles/a.txt", "文档A"));
    Widget *w = fx.start();
    w->slotWordOpen(w->wordList->item(0));
    appendInView(w->wordTextEdit, QString(40000, QChar(0x6587)));
    QVERIFY(readOnly ? disk.makeReadOnly() : disk.fill());

    w->closeWordBtn->click();

    QCOMPARE(fx.notices, QStringList {message});
    QVERIFY(w->wordTextEdit->isVisible());
    QCOMPARE(fx.read("myWordFiles/a.txt"), QByteArray("文档A"));
}

void DocumentViewerTest::outsideChangesAreKept_data()
{
    QTest::addColumn<bool>("edited"); // "改" typed at the end of the view after opening
    QTest::addColumn<QString>("outside"); // "append" (+ "taken": doc (2).txt exists), "delete" or "view's text"
    QTest::addColumn<QString>("saving"); // "close" or "conversion"
    QTest::addColumn<QByteArray>("document"); // doc.txt afterwards
    QTest::addColumn<QString>("copy"); // the numbered file the view's text went to; empty: none

    const QByteArray appended("原文\nline added in a shell\n");
    const QByteArray viewText("原文\n改");
    QTest::newRow("edited, line appended: copy") << true << "append"
                                                 << "close" << appended << "doc (2).txt";
    QTest::newRow("edited, before a conversion") << true << "append"
                                                 << "conversion" << appended << "doc (2).txt";
    QTest::newRow("copy name taken: the next") << true << "append taken"
                                               << "close" << appended << "doc (3).txt";
    QTest::newRow("unedited: nothing written") << false << "append"
                                               << "close" << appended << "";
    QTest::newRow("edited, removed: written again") << true << "delete"
                                                    << "close" << viewText << "";
    QTest::newRow("edited, same text elsewhere") << true << "view's text"
                                                 << "close" << viewText << "";
}

// A document changed on disk while it is open is never written over: the view's edits go to a
// numbered name beside it, and the message names both.
void DocumentViewerTest::outsideChangesAreKept()
{
    QFETCH(bool, edited);
    QFETCH(QString, outside);
    QFETCH(QString, saving);
    QFETCH(QByteArray, document);
    QFETCH(QString, copy);
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/doc.txt", "原文\n"));
    Widget *w = fx.start();
    w->slotWordOpen(w->wordList->item(0));
    appendInView(w->wordTextEdit, edited ? "改" : "");
    if (outside.startsWith("append")) {
        QFile file(fx.path("myWordFiles/doc.txt"));
        QVERIFY(file.open(QIODevice::Append));
        file.write("line added in a shell\n");
    } else if (outside == "delete") {
        QVERIFY(QFile::remove(fx.path("myWordFiles/doc.txt")));
    } else if (outside == "view's text") {
        QVERIFY(fx.write("myWordFiles/doc.txt", "原文\n改"));
    }
    if (outside.endsWith("taken"))
        QVERIFY(fx.write("myWordFiles/doc (2).txt", "someone else's"));

    ScriptedServer service;
    if (saving == "close") {
        w->closeWordBtn->click();
        QVERIFY(!w->wordTextEdit->isVisible());
    } else {
        QVERIFY(beginWaitingRun(fx, w, service));
        w->slotStopCover();
    }

    QCOMPARE(fx.read("myWordFiles/doc.txt"), document);
    if (copy.isEmpty()) {
        QVERIFY(fx.notices.isEmpty());
        return;
    }
    QCOMPARE(fx.read("myWordFiles/" + copy), QByteArray("原文\n改"));
    QCOMPARE(
        fx.notices, QStringList {"“doc.txt”在别处被修改过。为免覆盖那些修改，文本区的文字已另存为“" + copy + "”。"});
    QVERIFY(w->wordFiles.contains(fx.path("myWordFiles/" + copy)));
    QCOMPARE(w->wordList->findItems(copy, Qt::MatchExactly).size(), 1);
}

// The pane serves without the window: what it wrote and the files dropped on it are said by its signals
// alone, for whoever lists documents and takes tasks.
void DocumentViewerTest::paneWithoutWindow_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("elsewhere"); // written over the document while it is open, unless empty
    QTest::addColumn<QStringList>("dropped"); // names of files dropped on the view
    QTest::addColumn<QStringList>("written"); // the names documentWritten gives, in order
    QTest::addColumn<QByteArray>("kept"); // the document after closing

    QTest::newRow("unchanged, nothing written")
        << "" << QByteArray() << QStringList() << QStringList() << QByteArray("原文");
    QTest::newRow("edited in place") << "，改过" << QByteArray() << QStringList() << QStringList {"doc.txt"}
                                     << QByteArray("原文，改过");
    QTest::newRow("changed elsewhere, written beside")
        << "，改过" << QByteArray("别处的") << QStringList() << QStringList {"doc (2).txt"} << QByteArray("别处的");
    QTest::newRow("files dropped, asked for as tasks")
        << "" << QByteArray() << QStringList {"a.wav", "b c.mp3"} << QStringList() << QByteArray("原文");
}

void DocumentViewerTest::paneWithoutWindow()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, elsewhere);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, written);
    QFETCH(QByteArray, kept);
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/doc.txt", "原文"));
    QWidget host;
    auto *area = new QWidget(&host);
    auto *pane = new DocumentPane(new PlayerPane(new QWidget(area)), area, &host);
    QSignalSpy writes(pane, &DocumentPane::documentWritten);
    QSignalSpy drops(pane, &DocumentPane::filesDropped);

    pane->openDocument(fx.path("myWordFiles/doc.txt"), QStringLiteral("doc.txt"));
    QVERIFY(!pane->isHidden());
    appendInView(pane, typed);
    if (!elsewhere.isEmpty())
        QVERIFY(fx.write("myWordFiles/doc.txt", elsewhere));
    QList<QUrl> urls;
    QStringList paths;
    for (const QString &name : dropped) {
        QVERIFY(fx.write("in/" + name, "RIFF"));
        paths << fx.path("in/" + name);
        urls << QUrl::fromLocalFile(paths.last());
    }
    if (!urls.isEmpty()) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pane->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pane->viewport(), &drop);
        QVERIFY(drop.isAccepted());
    }
    QCOMPARE(pane->toPlainText(), "原文" + typed);
    pane->closeDocument();

    QVERIFY(pane->isHidden());
    QCOMPARE(drops.size(), dropped.isEmpty() ? 0 : 1);
    QCOMPARE(drops.value(0).value(0).toStringList(), paths);
    QStringList names;
    for (const QList<QVariant> &signal : writes)
        names << QFileInfo(signal.at(0).toString()).fileName();
    QCOMPARE(names, written);
    for (const QString &name : written)
        QCOMPARE(QString::fromUtf8(fx.read("myWordFiles/" + name)), "原文" + typed);
    QCOMPARE(fx.read("myWordFiles/doc.txt"), kept);
    QCOMPARE(fx.notices.size(), elsewhere.isEmpty() ? 0 : 1);
}

QUILLORA_TEST_MAIN(DocumentViewerTest, {}, SmallDisk::enterPrivateMounts)
// A labelled document with its timings: one speaker renamed from the view's menu, every label of it at
// once, undone and redone as one edit, and the name in the record once saved. The speakers' choice is
// remembered for the next window.
void DocumentViewerTest::renameSpeaker()
{
    WindowFixture fx;
    const QString text = "说话人 1：大家好。\n\n说话人 2：你好。\n\n说话人 1：开始吧。\n";
    const QString document = fx.path("myWordFiles/talk.txt");
    QVERIFY(fx.write("myWordFiles/talk.txt", text.toUtf8()));
    Timings::Record record;
    record.sourcePath = fx.path("myWAVFiles/talk.wav");
    record.textChecksum = Timings::checksumOf(text);
    record.sentences = TimedSentences::sentencesOf("大家好。@0-900; 你好。@1000-1800; 开始吧。@2000-2900");
    for (int i = 0; i < record.sentences.size(); ++i)
        record.sentences[i].speaker = i == 1 ? 2 : 1;
    record.speakerNames = RunTexts::speakerLabels().names(2);
    record.labelSuffix = RunTexts::speakerLabels().suffix;
    // Each speaker's voice, as a labelled conversion keeps it: naming one remembers it.
    for (int k = 0; k < 2; ++k) {
        SpeakerModel::Stats voice;
        voice.count = 300;
        voice.sum.fill(30.0 * (k + 1));
        voice.products.fill(300.0 * (k + 2));
        record.voices.push_back(voice);
    }
    QString error;
    QVERIFY2(Timings::write(AppState::dataDir, document, record, &error), qPrintable(error));
    Widget *w = fx.start();
    w->speakerChoice->setCurrentIndex(w->speakerChoice->findData(0));
    w->slotWordOpen(w->wordList->item(0));
    QTextEdit *view = w->wordTextEdit;
    QVERIFY(w->documentTimed());

    // The view's menu at the first place of `at`: its rename entry, or none; the menu is closed again.
    const auto renameEntry = [&](const QString &at) {
        QTextCursor cursor(view->document());
        cursor.setPosition(view->toPlainText().indexOf(at) + 1);
        emit view->customContextMenuRequested(view->cursorRect(cursor).center());
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QAction *found = nullptr;
        for (QAction *action : menu ? menu->actions() : QList<QAction *>()) {
            if (action->text() == QStringLiteral("重命名说话人…"))
                found = action;
        }
        return std::make_pair(menu, found);
    };
    const auto rename = [&](const QString &at, const QString &name) {
        auto [shown, entry] = renameEntry(at);
        QVERIFY(entry);
        const QPointer<QMenu> menu(shown); // a modal dialog closes it
        QString offered;
        answerRenameDialog(name, RenameAnswer::Ok, &offered);
        entry->trigger();
        if (menu)
            menu->close();
        QCOMPARE(offered, QStringLiteral("说话人 1"));
    };

    rename("开始吧", "说话人 2");
    QCOMPARE(fx.notices, QStringList {"已有说话人名为“说话人 2”，请换一个名称！"});
    QCOMPARE(view->toPlainText(), text);
    rename("说话人 1", "王经理");
    const QString renamed = "王经理：大家好。\n\n说话人 2：你好。\n\n王经理：开始吧。\n";
    QCOMPARE(view->toPlainText(), renamed);
    QCOMPARE(w->openTimings.speakerNames, QStringList({"王经理", "说话人 2"}));
    VoiceProfiles named(AppState::dataDir);
    QVERIFY(named.load());
    QCOMPARE(named.profiles().size(), 1);
    QCOMPARE(named.profiles().first().name, QStringLiteral("王经理"));
    QCOMPARE(named.profiles().first().stats.count, record.voices.front().count);
    // The new labels are no spoken words: the word at the last one is the sentence after it.
    const int lastLabel = renamed.lastIndexOf("王经理");
    QCOMPARE(w->viewTimeline().word(w->viewTimeline().wordAt(lastLabel)).offset, renamed.indexOf("开始吧"));

    view->undo();
    QCOMPARE(view->toPlainText(), text);
    QCOMPARE(w->openTimings.speakerNames, record.speakerNames);
    view->redo();
    QCOMPARE(view->toPlainText(), renamed);
    w->closeWordBtn->click();
    QCOMPARE(QString::fromUtf8(fx.read("myWordFiles/talk.txt")), renamed);
    Timings::Record saved;
    QVERIFY(Timings::read(AppState::dataDir, document, &saved));
    QCOMPARE(saved.speakerNames, QStringList({"王经理", "说话人 2"}));
    QCOMPARE(saved.textChecksum, Timings::checksumOf(renamed));
    QStringList speakers;
    for (const TimedSentence &sentence : saved.sentences)
        speakers << QStringLiteral("%1 %2").arg(sentence.speaker).arg(sentence.text);
    QCOMPARE(speakers, QStringList({"1 大家好。", "2 你好。", "1 开始吧。"}));
    QCOMPARE(fx.notices.size(), 1);

    // A document without speakers offers no renaming.
    QVERIFY(fx.write("myWordFiles/plain.txt", "没有说话人。\n"));
    w->loadWordList();
    w->slotWordOpen(w->wordList->findItems("plain.txt", Qt::MatchExactly).value(0));
    auto [menu, entry] = renameEntry("没有");
    QVERIFY(menu && !entry);
    menu->close();

    Widget *next = fx.start();
    QCOMPARE(next->speakerChoice->currentText(), QStringLiteral("自动区分说话人"));
    QCOMPARE(next->engineOptions().speakers, 0);
    QCOMPARE(next->engineOptions().speakerLabels.nameFormat, QStringLiteral("说话人 %1"));
}

#include "tst_documentviewer.moc"
