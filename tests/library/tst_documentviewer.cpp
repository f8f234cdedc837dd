#include "common/scriptedserver.h"
#include "common/testmain.h"
#include "listtestutil.h"

#include "library/mylistwidget.h"

#include <QComboBox>
#include <QTextEdit>
#include <QtTest>

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
    QVERIFY(fx.write("myWordFiles/a.txt", "文档A"));
    QVERIFY(fx.write("myWordFiles/b.txt", "文档B"));
    Widget *w = fx.start();
    w->slotWordOpen(w->wordList->item(0));
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
    QVERIFY(fx.write("myWordFiles/a.txt", "文档A"));
    QVERIFY(fx.write("myWordFiles/b.txt", "文档B"));
    Widget *w = fx.start();
    w->slotWordOpen(w->wordList->item(0));
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
    w->testSeams.serviceHost = service.hostAndPort();
    w->languageBox->setCurrentText(QStringLiteral("英文"));
    QVERIFY(fx.write("myWAVFiles/run.wav", "RIFF"));
    w->addTask(fx.path("myWAVFiles/run.wav"));
    w->slotBeginCover();
    QVERIFY(w->runActive());

    w->slotWordOpen(w->wordList->item(0));

    QCOMPARE(fx.notices, QStringList {"正在转换，请在转换结束后再打开文档！"});
    QCOMPARE(w->wordFilePath, fx.path("myWordFiles/run.txt"));
    QCOMPARE(w->wordTextEdit->toPlainText(), QStringLiteral("recognised so far"));
    QCOMPARE(fx.read("myWordFiles/a.txt"), QByteArray("文档A"));
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

QUILLORA_TEST_MAIN(DocumentViewerTest)
#include "tst_documentviewer.moc"
