#include "common/testmain.h"
#include "listtestutil.h"

#include "pipeline/document.h"
#include "pipeline/subtitles.h"
#include "pipeline/timings.h"
#include "pipeline/voiceprofiles.h"
#include "ui/library/mylistwidget.h"
#include "ui/voiceadaptationdialog.h"
#include "ui/voiceprofilesdialog.h"

#include <QAction>
#include <QMenu>
#include <QTextEdit>
#include <QToolTip>
#include <QtTest>

namespace {

// The record a conversion of sourceRelative (relative to the fixture; absolute when it starts with
// "/") would have left for the document: two sentences.
Timings::Record recordFrom(const WindowFixture &fx, const QString &sourceRelative)
{
    Timings::Record record;
    record.sourcePath = sourceRelative.startsWith('/') ? sourceRelative : fx.path(sourceRelative);
    record.textChecksum = Timings::checksumOf(QStringLiteral("Hi there. Go on.\n"));
    TimedSentence first {QStringLiteral("Hi there."), 1200, 2000,
        {{QStringLiteral("Hi"), 1200, 1500}, {QStringLiteral("there."), 1500, 2000}}};
    TimedSentence second {QStringLiteral("Go on."), 63000, 63800,
        {{QStringLiteral("Go"), 63000, 63300}, {QStringLiteral("on."), 63300, 63800}}};
    record.sentences = {first, second};
    return record;
}

// A window whose text folder holds timed.txt, with timings from myWAVFiles/talk.mp3, and plain.txt
// without any.
Widget *startWithTimings(WindowFixture &fx, const QString &source = QStringLiteral("myWAVFiles/talk.mp3"))
{
    fx.write(QStringLiteral("myWAVFiles/talk.mp3"), "ID3");
    fx.write(QStringLiteral("myWordFiles/timed.txt"), "Hi there. Go on.\n");
    fx.write(QStringLiteral("myWordFiles/plain.txt"), "plain\n");
    Widget *w = fx.start();
    const Timings::Record record = recordFrom(fx, source);
    if (!Timings::write(AppState::dataDir, fx.path(QStringLiteral("myWordFiles/timed.txt")), record, nullptr))
        return nullptr;
    return w;
}

QStringList menuOn(MyListWidget *list, int row)
{
    QStringList shown;
    QTimer::singleShot(50, [&shown] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                shown << action->text();
            menu->close();
        }
    });
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    QTest::qWait(100);
    return shown;
}

} // namespace

class SubtitleExportTest : public QObject
{
    Q_OBJECT

private slots:
    void menuOffersExportForTimedDocuments();
    void timingsFollowTheDocument_data();
    void timingsFollowTheDocument();
    void exportSubtitles_data();
    void exportSubtitles();
    void correctionsKeepTheirTimes_data();
    void correctionsKeepTheirTimes();
    void listOffersTheVoices();
};

void SubtitleExportTest::menuOffersExportForTimedDocuments()
{
    WindowFixture fx;
    Widget *w = startWithTimings(fx);
    QVERIFY(w);
    MyListWidget *list = w->wordList;
    list->show();
    list->resize(198, 300);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QStringList three = {"删除", "另存为", "重命名"};
    QCOMPARE(itemTexts(list), (QStringList {"plain.txt", "timed.txt"}));
    QCOMPARE(menuOn(list, 0), three);
    QCOMPARE(menuOn(list, 1), three + QStringList {"导出字幕…"});
    // Changed in another editor: the times describe a text that is gone.
    QVERIFY(fx.write(QStringLiteral("myWordFiles/timed.txt"), "Hi there, changed elsewhere.\n"));
    QCOMPARE(menuOn(list, 1), three);
    // Playing from a word says why it cannot, once.
    w->slotWordOpen(list->item(1));
    w->playPauseFromCaret();
    w->playPauseFromCaret();
    QCOMPARE(fx.notices,
        QStringList {"“timed.txt”在别处被修改过，它的时间信息描述的是修改前的文字：不能再从词语播放，"
                     "也不能导出字幕。重新转换原音频可以得到新的时间信息。"});
    QVERIFY(!w->playStarted);
    w->slotCloseWord();
    QVERIFY(fx.write(QStringLiteral("myWordFiles/timed.txt"), "Hi there. Go on.\n"));
    QCOMPARE(menuOn(list, 1), three + QStringList {"导出字幕…"});
    // An unreadable record counts as none.
    QVERIFY(fx.write(
        Timings::recordPath(AppState::dataDir, fx.path("myWordFiles/timed.txt")).remove(fx.appDir.path() + '/'),
        "{\"version\":1,"));
    QCOMPARE(menuOn(list, 1), three);
}

void SubtitleExportTest::timingsFollowTheDocument_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("timed"); // documents with a record afterwards, relative
    QTest::addColumn<QString>("source"); // their records' source afterwards

    const QString talk = QStringLiteral("myWAVFiles/talk.mp3");
    QTest::newRow("rename") << "rename" << QStringList {"myWordFiles/renamed.txt"} << talk;
    QTest::newRow("save as") << "save as" << QStringList {"myWordFiles/timed.txt", "copies/copy.txt"} << talk;
    QTest::newRow("delete") << "delete" << QStringList() << talk;
    QTest::newRow("delete answered No") << "keep" << QStringList {"myWordFiles/timed.txt"} << talk;
    QTest::newRow("recording renamed") << "rename recording" << QStringList {"myWordFiles/timed.txt"}
                                       << "myWAVFiles/renamed.mp3"; // an audio file keeps its suffix
}

void SubtitleExportTest::timingsFollowTheDocument()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, timed);
    QFETCH(QString, source);
    WindowFixture fx;
    Widget *w = startWithTimings(fx);
    QVERIFY(w);
    QVERIFY(QDir().mkpath(fx.path("copies")));
    QString offered;
    if (operation.startsWith("rename")) {
        answerRenameDialog(QStringLiteral("renamed"), RenameAnswer::Ok, &offered);
        if (operation == "rename")
            w->renameFile("word", "timed.txt");
        else
            w->renameFile("wav", "talk.mp3");
    } else if (operation == "save as") {
        Notice::setNextFileNames({fx.path("copies/copy.txt")});
        w->saveFileAs("word", "timed.txt");
    } else {
        fx.answer = operation == "delete" ? QMessageBox::Yes : QMessageBox::No;
        w->delFile("word", "timed.txt");
    }

    const QStringList candidates
        = {"myWordFiles/timed.txt", "myWordFiles/renamed.txt", "copies/copy.txt", "myWordFiles/plain.txt"};
    QStringList found;
    for (const QString &document : candidates) {
        Timings::Record record;
        if (Timings::read(AppState::dataDir, fx.path(document), &record)) {
            found << document;
            QCOMPARE(Timings::toJson(record), Timings::toJson(recordFrom(fx, source)));
        }
    }
    QCOMPARE(found, timed);
    // Nothing else is left behind: one record per document that has one.
    QCOMPARE(QDir(AppState::dataDir + "/.quillora/timings").entryList(QDir::Files).size(), timed.size());
}

void SubtitleExportTest::exportSubtitles_data()
{
    QTest::addColumn<QString>("source"); // the record's source; "/" at the start: outside the fixture
    QTest::addColumn<QString>("chosen"); // relative; empty: cancelled
    QTest::addColumn<QString>("proposal"); // relative
    QTest::addColumn<QString>("written"); // relative; empty: nothing
    QTest::addColumn<QString>("message");

    QTest::newRow("SubRip beside the source") << "myWAVFiles/talk.mp3"
                                              << "myWAVFiles/talk.srt"
                                              << "myWAVFiles/talk.srt"
                                              << "myWAVFiles/talk.srt"
                                              << "";
    QTest::newRow("WebVTT") << "myWAVFiles/talk.mp3"
                            << "myWAVFiles/talk.vtt"
                            << "myWAVFiles/talk.srt"
                            << "myWAVFiles/talk.vtt"
                            << "";
    QTest::newRow("no suffix typed gets .srt") << "myWAVFiles/talk.mp3"
                                               << "myWAVFiles/clip"
                                               << "myWAVFiles/talk.srt"
                                               << "myWAVFiles/clip.srt"
                                               << "";
    QTest::newRow("source folder gone: beside the document") << "/nonexistent-folder-of-quillora/talk.mp3"
                                                             << "myWordFiles/talk.srt"
                                                             << "myWordFiles/talk.srt"
                                                             << "myWordFiles/talk.srt"
                                                             << "";
    QTest::newRow("cancelled") << "myWAVFiles/talk.mp3"
                               << ""
                               << "myWAVFiles/talk.srt"
                               << ""
                               << "";
    QTest::newRow("folder gone is reported") << "myWAVFiles/talk.mp3"
                                             << "gone/talk.srt"
                                             << "myWAVFiles/talk.srt"
                                             << ""
                                             << "导出字幕失败，无法写入%1：";
}

void SubtitleExportTest::exportSubtitles()
{
    QFETCH(QString, source);
    QFETCH(QString, chosen);
    QFETCH(QString, proposal);
    QFETCH(QString, written);
    QFETCH(QString, message);
    WindowFixture fx;
    Widget *w = startWithTimings(fx, source);
    QVERIFY(w);
    Notice::setNextFileNames(chosen.isEmpty() ? QStringList() : QStringList {fx.path(chosen)});
    QToolTip::hideText();

    w->exportSubtitles("timed.txt");

    const Notice::FileDialogRequest request = Notice::lastFileDialogRequest();
    QCOMPARE(request.directory, fx.path(proposal));
    QCOMPARE(request.filter, QStringLiteral("SubRip (*.srt);;WebVTT (*.vtt)"));
    if (message.isEmpty()) {
        QCOMPARE(fx.notices, QStringList());
    } else {
        QCOMPARE(fx.notices.size(), 1);
        QVERIFY2(fx.notices.first().startsWith(message.arg(fx.path(chosen))), qPrintable(fx.notices.first()));
        QVERIFY(fx.notices.first().size() > message.arg(fx.path(chosen)).size()); // the reason follows
    }
    // Success is said by the list, naming the file, with no box to close.
    QCOMPARE(QToolTip::text(), written.isEmpty() ? QString() : "字幕已导出：" + fx.path(written));
    if (written.isEmpty())
        return;
    QVERIFY(Document::mayReplace(fx.appPath(), fx.path(written))); // the program's own file now
    const QByteArray text = fx.read(written);
    const bool vtt = written.endsWith(".vtt");
    const QByteArray expected = vtt ? "WEBVTT\n\n00:00:01.200 --> 00:00:02.000\nHi there.\n\n"
                                      "00:01:03.000 --> 00:01:03.800\nGo on.\n\n"
                                    : "1\n00:00:01,200 --> 00:00:02,000\nHi there.\n\n"
                                      "2\n00:01:03,000 --> 00:01:03,800\nGo on.\n\n";
    QCOMPARE(text, expected);
}

void SubtitleExportTest::correctionsKeepTheirTimes_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QByteArray>("srt"); // empty: the document has no timings, before or after

    QTest::newRow("two words corrected") << "timed.txt"
                                         << QByteArray("1\n00:00:01,200 --> 00:00:02,000\nHi where.\n\n"
                                                       "2\n00:01:03,000 --> 00:01:03,800\nGo away now.\n\n");
    QTest::newRow("no record: written as before") << "plain.txt" << QByteArray();
}

// Corrections in the view, saved on close, move into the timings and the subtitles made afterwards.
void SubtitleExportTest::correctionsKeepTheirTimes()
{
    QFETCH(QString, document);
    QFETCH(QByteArray, srt);
    WindowFixture fx;
    Widget *w = startWithTimings(fx);
    QVERIFY(w);
    w->slotWordOpen(w->wordList->findItems(document, Qt::MatchExactly).value(0));
    QTextCursor cursor(w->wordTextEdit->document());
    for (const auto &[from, to] :
        {qMakePair(QString("there."), QString("where.")), qMakePair(QString("on."), QString("away now."))}) {
        cursor = w->wordTextEdit->document()->find(from);
        if (!cursor.isNull())
            cursor.insertText(to);
    }
    const QString edited = w->wordTextEdit->toPlainText();
    w->slotCloseWord();
    QCOMPARE(fx.read("myWordFiles/" + document), edited.toUtf8());
    Timings::Record record;
    QCOMPARE(Timings::read(AppState::dataDir, fx.path("myWordFiles/" + document), &record), !srt.isEmpty());
    if (srt.isEmpty())
        return;
    QCOMPARE(record.textChecksum, Timings::checksumOf(edited));
    QCOMPARE(record.sourcePath, fx.path("myWAVFiles/talk.mp3"));
    Notice::setNextFileNames({fx.path("myWAVFiles/talk.srt")});
    w->exportSubtitles(document);
    QCOMPARE(fx.read("myWAVFiles/talk.srt"), srt);
}

// Below the documents, what concerns them all: the adaptation to the user's voice and the named voices,
// which the dialog renames and removes in the store itself.
void SubtitleExportTest::listOffersTheVoices()
{
    WindowFixture fx;
    Widget *w = startWithTimings(fx);
    QVERIFY(w);
    SpeakerModel::Stats voice;
    for (int i = 0; i < 400; ++i) {
        SpeakerModel::Frame frame {};
        for (int d = 0; d < SpeakerModel::dims; ++d)
            frame[size_t(d)] = float((i * (d + 3)) % 17) - 8.0f;
        voice.add(frame);
    }
    VoiceProfiles stored(AppState::dataDir);
    QVERIFY(stored.load());
    QCOMPARE(stored.add(QStringLiteral("王经理"), voice), VoiceProfiles::Change::Done);
    QCOMPARE(stored.add(QStringLiteral("李老师"), voice), VoiceProfiles::Change::Done);
    QVERIFY(stored.save());

    w->wordList->adaptVoiceAction->trigger();
    QVERIFY(w->findChild<VoiceAdaptationDialog *>() && w->findChild<VoiceAdaptationDialog *>()->isVisible());
    w->wordList->voiceProfilesAction->trigger();
    auto *dialog = w->findChild<VoiceProfilesDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    const auto shown = [dialog] { return itemTexts(dialog->list); };
    QCOMPARE(shown(), (QStringList {"王经理", "李老师"}));
    dialog->list->setCurrentRow(0);
    dialog->nameEdit->setText(QStringLiteral("李老师"));
    dialog->renameBtn->click();
    QCOMPARE(dialog->messageLabel->text(), QStringLiteral("已有名为“李老师”的声音。"));
    dialog->nameEdit->setText(QStringLiteral("  王 总 "));
    dialog->renameBtn->click();
    fx.answer = QMessageBox::Yes;
    dialog->list->setCurrentRow(1);
    dialog->removeBtn->click();
    QVERIFY(stored.load());
    QCOMPARE(stored.names(), QStringList {"王 总"});
    QCOMPARE(shown(), QStringList {"王 总"});
}

QUILLORA_TEST_MAIN(SubtitleExportTest)
#include "tst_subtitleexport.moc"
