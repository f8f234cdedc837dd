// The user's own words in the window: the "自定义词汇…" dialog keeps the stored list whole, and a saved
// correction offers the words typed into it that the dictionary lacks.
#include "common/smalldisk.h"
#include "common/testmain.h"
#include "common/windowfixture.h"

#include "pipeline/userwordlist.h"
#include "ui/library/mylistwidget.h"
#include "ui/newwordsbar.h"
#include "ui/wordlistdialog.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

namespace {

QStringList storedTexts()
{
    QStringList texts;
    for (const UserWordEntry &entry : UserWordList::read(UserWordList::storedPath(AppState::dataDir)).parsed.entries)
        texts << entry.text + (entry.phones.isEmpty() ? QString() : QStringLiteral(" = ") + entry.phones);
    return texts;
}

// The dialog as the document view's context menu opens it.
WordListDialog *openFromViewMenu(Widget *w)
{
    emit w->wordTextEdit->customContextMenuRequested(QPoint(5, 5));
    QMenu *menu = nullptr;
    if (!QTest::qWaitFor([&] { return (menu = w->findChild<QMenu *>()) != nullptr; }, 2000))
        return nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == QStringLiteral("自定义词汇…"))
            action->trigger();
    }
    menu->close();
    return w->findChild<WordListDialog *>();
}

} // namespace

class UserWordsTest : public QObject
{
    Q_OBJECT

private slots:
    void dialogKeepsTheStoredList_data();
    void dialogKeepsTheStoredList();
    void unreadableListIsNotOpened();
    void correctionOffersNewWords();
};

void UserWordsTest::dialogKeepsTheStoredList_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<QString>("problem"); // a part of the dialog's message; empty when it saves
    QTest::addColumn<QStringList>("stored"); // the list afterwards

    QTest::newRow("saved") << "Kelvara\n  Orkney Vale\nQuillora = k w ih1 l ao r ah\n"
                           << false << QString()
                           << QStringList {"Kelvara", "Orkney Vale", "Quillora = K W IH L AO R AH"};
    QTest::newRow("a line of punctuation: nothing written")
        << "Kelvara\n...!\n"
        << false << QStringLiteral("第 2 行") << QStringList {"Zorblat"};
    QTest::newRow("full disk: the old list stays") << "Kelvara\n"
                                                   << true << QStringLiteral("保存失败") << QStringList {"Zorblat"};
}

void UserWordsTest::dialogKeepsTheStoredList()
{
    QFETCH(QString, typed);
    QFETCH(bool, fullDisk);
    QFETCH(QString, problem);
    QFETCH(QStringList, stored);
    if (fullDisk && !SmallDisk::available())
        QSKIP("mounting a small file system needs root and a mount namespace of the test's own");
    WindowFixture fx;
    QVERIFY(fx.write(".quillora/words.txt", "Zorblat\n"));
    std::unique_ptr<SmallDisk::Mount> disk;
    if (fullDisk) {
        disk = std::make_unique<SmallDisk::Mount>(fx.path(".quillora"), 64);
        QVERIFY(disk->mounted());
        QVERIFY(fx.write(".quillora/words.txt", "Zorblat\n"));
    }
    Widget *w = fx.start();
    WordListDialog *dialog = openFromViewMenu(w);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->editor()->toPlainText(), QStringLiteral("Zorblat\n"));
    dialog->editor()->setPlainText(typed);
    if (fullDisk)
        QVERIFY(disk->fill());
    dialog->accept();

    const auto *message = dialog->findChild<QLabel *>(QStringLiteral("wordListProblems"));
    if (problem.isEmpty()) {
        QTRY_VERIFY(!w->findChild<WordListDialog *>());
    } else {
        QVERIFY(dialog->isVisible()); // open, with what the user typed, to be put right
        QVERIFY2(message->isVisible() && message->text().contains(problem), qPrintable(message->text()));
        QCOMPARE(dialog->editor()->toPlainText(), typed);
        dialog->reject();
    }
    QCOMPARE(storedTexts(), stored);
}

void UserWordsTest::unreadableListIsNotOpened()
{
    WindowFixture fx;
    QVERIFY(fx.write(".quillora/words.txt",
        QByteArray("Kelv\xff"
                   "ara\n")));
    Widget *w = fx.start();
    QCOMPARE(w->taskBar->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(w->taskBar->actions().size(), 1);
    QCOMPARE(w->taskBar->actions().first()->text(), QStringLiteral("自定义词汇…"));
    w->taskBar->actions().first()->trigger();
    QCOMPARE(fx.notices.size(), 1);
    QVERIFY2(fx.notices.first().contains(QStringLiteral("不是 UTF-8")), qPrintable(fx.notices.first()));
    QVERIFY(!w->findChild<WordListDialog *>());
    QCOMPARE(fx.read(".quillora/words.txt"),
        QByteArray("Kelv\xff"
                   "ara\n"));
}

void UserWordsTest::correctionOffersNewWords()
{
    WindowFixture fx;
    QVERIFY(fx.write("myWordFiles/trip.txt", "We drove from killer to the coast.\n"));
    QVERIFY(fx.write(".quillora/words.txt", "Zorblat\n"));
    Widget *w = fx.start();
    w->slotWordOpen(w->wordList->item(0));
    // The user corrects the name, and types a word already listed and words the dictionary has.
    w->wordTextEdit->setPlainText(QStringLiteral("We drove from Kelvara to the coast with Zorblat and friends.\n"));
    w->closeWordBtn->click();
    QVERIFY(fx.notices.isEmpty()); // no box: the offer is the bar
    QTRY_VERIFY_WITH_TIMEOUT(w->newWordsBar->isVisible(), 10000);
    QCOMPARE(w->newWordsBar->offered(), QStringList {"Kelvara"});
    QVERIFY(w->newWordsBar->findChild<QLabel *>()->text().contains("Kelvara"));
    w->newWordsBar->addButton()->click();
    QVERIFY(!w->newWordsBar->isVisible());
    QCOMPARE(storedTexts(), (QStringList {"Zorblat", "Kelvara"}));

    // Saved again with the word now listed: nothing to offer.
    w->slotWordOpen(w->wordList->item(0));
    w->wordTextEdit->setPlainText(QStringLiteral("We drove from Kelvara to the coast, Kelvara said.\n"));
    w->closeWordBtn->click();
    QTest::qWait(500);
    QVERIFY(!w->newWordsBar->isVisible());
}

QUILLORA_TEST_MAIN(UserWordsTest, {}, SmallDisk::enterPrivateMounts)
#include "tst_userwords.moc"
