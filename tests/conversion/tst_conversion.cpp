#include "common/testmain.h"
#include "conversiontestutil.h"

#include "app/appstate.h"
#include "pipeline/audioprep.h"
#include "pipeline/document.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"
#include "ui/library/mylistwidget.h"
#include "ui/tasks/speakerchoice.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace ConversionTest;

// The conversion run against a scripted speech service: outcomes, retries, stops, failures, and a run
// that is kept apart from what the user does meanwhile.
class TestConversion : public QObject
{
    Q_OBJECT
private slots:
    void documentTextMatchesView_data();
    void documentTextMatchesView();
    void twoTasksTwoDocuments();
    void tokenFirstThenReused();
    void retriesResendTheSameSegment();
    void stopDuringRetryPauseSendsNothing();
    void rejectedTokenIsDropped();
    void tooShortLastSegmentHoldsNoWords();
    void waitingOutcomes_data();
    void waitingOutcomes();
    void recognitionNetworkError();
    void tokenNetworkError();
    void tokenTimeout();
    void emptyTaskList();
    void listClearedWhileAuthenticating();
    void changesDuringRun_data();
    void changesDuringRun();
    void stoppedRunsReplyIsNotTheNextRuns();
    void documentThatCannotBeWritten();
    void failedRunKeepsOldDocument();

private:
    static QString makeTask(Fixture &f, const QString &name, qint64 samples)
    {
        const QString path = f.media.filePath(name);
        if (name.endsWith(".mp3")) {
            const QString wav = f.media.filePath("source-" + QString::number(samples) + ".wav");
            if (!makeNoiseWav(wav, samples) || !runFfmpeg({"-i", wav, "-b:a", "64k", path}))
                return QString();
        } else if (!makeNoiseWav(path, samples)) {
            return QString();
        }
        return path;
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static bool waitIdle(Fixture &f, int ms = 60000)
    {
        return QTest::qWaitFor([&] { return f.idle(); }, ms);
    }
    static QString documentOf(Fixture &f, const QString &name) { return f.appDir.path() + "/myWordFiles/" + name; }
};

void TestConversion::twoTasksTwoDocuments()
{
    Fixture f;
    const QString a = makeTask(f, "a.mp3", 2008000); // 125.5 s: three segments
    const QString b = makeTask(f, "b.wav", 480000); // 30 s: one copied segment
    QVERIFY(!a.isEmpty() && !b.isEmpty());
    f.addTask(b);
    f.addTask(a);

    ButtonTexts texts(f.window.get());
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(texts.distinct(),
        (QStringList {"转换中...", "预处理...", "转写:0.0%", "转写:33.3%", "转写:66.7%", "转写:100.0%", "预处理...",
            "转写:0.0%", "转写:100.0%", "开始转换"}));
    QCOMPARE(readFile(documentOf(f, "a.txt")), QByteArray("segment 0\n\nsegment 1\n\nsegment 2\n"));
    QCOMPARE(readFile(documentOf(f, "b.txt")), QByteArray("segment 3\n"));
    QCOMPARE(f.window->wordTextEdit->toPlainText(), QString("segment 3\n"));
    QVERIFY(f.window->taskFiles.isEmpty());
    QCOMPARE(f.window->audioCombo->count(), 0);
    QVERIFY(!QFile::exists(f.media.filePath("a_16k.wav")));
    QVERIFY(!QFile::exists(f.media.filePath("b_16k.wav")));
    QCOMPARE(QDir(f.tmpFolder()).entryList(QDir::Files), QStringList());
    QVERIFY(f.window->closeWordBtn->isEnabled());

    // Converted again: the documents are rewritten and still listed once each.
    f.addTask(a);
    f.addTask(b);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.window->wordFiles.count(documentOf(f, "a.txt")), 1);
    QCOMPARE(f.window->wordFiles.count(documentOf(f, "b.txt")), 1);
    QCOMPARE(f.window->wordList->findItems("a.txt", Qt::MatchExactly).size(), 1);
    QCOMPARE(readFile(documentOf(f, "b.txt")), QByteArray("segment 4\n"));
    QCOMPARE(readFile(documentOf(f, "a.txt")), QByteArray("segment 5\n\nsegment 6\n\nsegment 7\n"));
}

void TestConversion::tokenFirstThenReused()
{
    Fixture f;
    f.window->accessToken.clear();
    const QString a = makeTask(f, "t.wav", 160000);
    f.addTask(a);
    ButtonTexts texts(f.window.get());
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(texts.distinct().mid(0, 3), (QStringList {"认证中...", "转换中...", "预处理..."}));
    QCOMPARE(f.window->accessToken, QString("scripted-token"));
    QCOMPARE(f.server.tokenRequestCount(), 1);
    QVERIFY(f.server.requests.first().path.startsWith("/oauth/2.0/token?grant_type=client_credentials&client_id="));

    f.addTask(a);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.tokenRequestCount(), 1);
    QCOMPARE(f.notices, (QStringList {"文件已经全部转换完成！", "文件已经全部转换完成！"}));
}

void TestConversion::retriesResendTheSameSegment()
{
    Fixture f;
    for (int i = 0; i < 3; ++i)
        f.server.recognitionReplies.enqueue(ScriptedServer::errNo(3304));
    f.addTask(makeTask(f, "r.wav", 160000));
    ButtonTexts texts(f.window.get());
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));

    const QList<ScriptedServer::Request> sent = f.server.recognitionRequests();
    QCOMPARE(sent.size(), 4);
    for (const ScriptedServer::Request &request : sent)
        QCOMPARE(request.body, sent.first().body);
    QStringList pauses = texts.texts.filter("重申请");
    QCOMPARE(pauses.size(), 3);
    for (const QString &pause : pauses) {
        bool ok = false;
        const int seconds = pause.mid(5, pause.size() - 6).toInt(&ok);
        QVERIFY2(ok && seconds >= 1 && seconds <= 10, qPrintable(pause));
    }
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(readFile(documentOf(f, "r.txt")), QByteArray("segment 3\n"));
}

void TestConversion::stopDuringRetryPauseSendsNothing()
{
    Fixture f;
    f.window->testSeams.retryPauseUnitMs = 300;
    f.server.recognitionReplies.enqueue(ScriptedServer::errNo(3304));
    f.addTask(makeTask(f, "s.wav", 160000));
    connect(f.window.get(), &Widget::startButtonTextChanged, this, [&f](const QString &text) {
        if (text.startsWith("重申请"))
            QTimer::singleShot(50, f.window.get(), &Widget::slotStopCover);
    });
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f, 20000));
    QTest::qWait(3500); // longer than the longest pause
    QCOMPARE(f.server.recognitionRequests().size(), 1);
    QVERIFY(f.idle());
    QCOMPARE(f.notices, QStringList());
}

void TestConversion::rejectedTokenIsDropped()
{
    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::errNo(3302));
    f.addTask(makeTask(f, "k.wav", 160000));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"鉴权失败！"});
    QVERIFY(f.window->accessToken.isEmpty());

    // The next start asks for a new token instead of sending the rejected one again.
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.tokenRequestCount(), 1);
    QCOMPARE(f.window->accessToken, QString("scripted-token"));
    QVERIFY(f.server.recognitionRequests().last().body.contains("scripted-token"));
    QCOMPARE(f.notices.last(), QString("文件已经全部转换完成！"));
}

void TestConversion::tooShortLastSegmentHoldsNoWords()
{
    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::json(R"({"err_no": 0, "result": ["the minute"]})"));
    f.server.recognitionReplies.enqueue(ScriptedServer::errNo(3314));
    f.addTask(makeTask(f, "tail.wav", 961600)); // 60.1 s: the second segment is a tenth of a second
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.recognitionRequests().size(), 2);
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(readFile(documentOf(f, "tail.txt")), QByteArray("the minute\n"));
    QVERIFY(f.window->taskFiles.isEmpty());
}

void TestConversion::waitingOutcomes_data()
{
    QTest::addColumn<ScriptedServer::Reply>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("code outside the table")
        << ScriptedServer::json("{\"err_no\": 9999}") << "语音服务器返回了无法识别的错误码 9999，转换已停止！";
    QTest::newRow("code as text") << ScriptedServer::json("{\"err_no\": \"3302\"}")
                                  << "语音服务器返回了无法识别的错误码 \"3302\"，转换已停止！";
    QTest::newRow("not json") << ScriptedServer::json("<html>busy</html>") << "语音服务器的应答无法解析，转换已停止！";
    QTest::newRow("json array") << ScriptedServer::json("[1, 2]") << "语音服务器的应答无法解析，转换已停止！";
    QTest::newRow("never answered") << ScriptedServer::silence()
                                    << "本机语音识别服务在 1 秒内没有响应，转换已停止，请稍后重新开始转换！";
}

// Whatever the service answers, or if it never does, the run ends with a message.
void TestConversion::waitingOutcomes()
{
    QFETCH(ScriptedServer::Reply, reply);
    QFETCH(QString, message);
    Fixture f;
    f.window->testSeams.requestTimeoutMs = 500;
    f.server.recognitionReplies.enqueue(reply);
    const QString task = makeTask(f, "w.wav", 160000);
    f.addTask(task);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.server.recognitionRequests().size(), 1);
    QCOMPARE(f.notices, QStringList {message});
    QCOMPARE(Notice::lastInformationDetail(), "文件：" + task); // the box names the file below the message
    QCOMPARE(f.window->taskFiles, QStringList {task});
}

void TestConversion::recognitionNetworkError()
{
    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::Reply {500, "oops", false});
    f.addTask(makeTask(f, "n.wav", 160000));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"转换失败，请检查网络信号是否充足！"});
    QVERIFY(f.window->closeWordBtn->isEnabled());
}

void TestConversion::tokenNetworkError()
{
    Fixture f;
    f.window->accessToken.clear();
    f.server.tokenReplies.enqueue(ScriptedServer::Reply {401, "{}", false});
    f.addTask(makeTask(f, "n.wav", 16000));
    f.window->closeWordBtn->setEnabled(false);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f, 20000));
    QCOMPARE(f.notices, QStringList {"获取访问令牌失败，请检查网络连接是否断开！"});
    QCOMPARE(Notice::lastInformationDetail(), QString()); // no file had begun
    QVERIFY(!f.window->closeWordBtn->isEnabled()); // left as it was
    QVERIFY(!f.window->tokenTimer->isActive());
}

void TestConversion::tokenTimeout()
{
    Fixture f;
    f.window->accessToken.clear();
    f.server.tokenReplies.enqueue(ScriptedServer::silence());
    f.addTask(makeTask(f, "t.wav", 16000));
    QElapsedTimer clock;
    clock.start();
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f, 20000));
    // A coarse QTimer may fire up to 5% early.
    QVERIFY2(clock.elapsed() >= 7600, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.notices, QStringList {"获取访问令牌超时！"});
    QCOMPARE(f.server.tokenRequestCount(), 1);
    QVERIFY(f.window->accessToken.isEmpty());
}

void TestConversion::emptyTaskList()
{
    Fixture f;
    f.window->slotBeginCover();
    QCOMPARE(f.notices, QStringList {"请先添加需要转换的文件！"});
    QVERIFY(f.idle());
    QVERIFY(f.server.requests.isEmpty());
}

void TestConversion::listClearedWhileAuthenticating()
{
    Fixture f;
    f.window->accessToken.clear();
    f.server.tokenReplies.enqueue(ScriptedServer::silence());
    f.addTask(makeTask(f, "c.wav", 16000));
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.tokenRequestCount(), 1, 10000);
    f.window->taskFiles.clear();
    f.window->audioCombo->clear();
    f.server.answerHeld(ScriptedServer::json("{\"access_token\": \"late\"}"));
    QVERIFY(waitIdle(f, 5000));
    QCOMPARE(f.notices, QStringList {"请先添加需要转换的文件！"});
    QVERIFY(!f.window->tokenTimer->isActive());
}

void TestConversion::changesDuringRun_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("task added at the front") << "add";
    QTest::newRow("task list cleared") << "clear";
    QTest::newRow("text view replaced") << "view";
    QTest::newRow("another language chosen") << "language";
}

void TestConversion::changesDuringRun()
{
    QFETCH(QString, change);
    Fixture f;
    const QString run = makeTask(f, "run.wav", 1120000); // two segments
    const QString other = makeTask(f, "other.wav", 16000);
    f.addTask(run);
    bool changed = false;
    bool selectorEnabledDuringRun = true;
    connect(&f.server, &ScriptedServer::requestReceived, this, [&] {
        if (changed)
            return;
        changed = true;
        selectorEnabledDuringRun = f.window->languageBox->isEnabled() || f.window->speakerChoice->isEnabled();
        if (change == "add") {
            f.addTask(other);
        } else if (change == "clear") {
            f.window->taskFiles.clear();
            f.window->audioCombo->clear();
        } else if (change == "language") {
            f.window->languageBox->setCurrentText("中文近场");
        } else {
            f.window->wordTextEdit->setPlainText("something the user typed");
            f.window->wordFilePath = documentOf(f, "elsewhere.txt");
        }
    });
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(readFile(documentOf(f, "run.txt")), QByteArray("segment 0\n\nsegment 1\n"));
    QVERIFY(!QFile::exists(documentOf(f, "elsewhere.txt")));
    QVERIFY(f.window->taskFiles.isEmpty());
    QVERIFY(!QFile::exists(f.media.filePath("run_16k.wav")));
    if (change == "add")
        QCOMPARE(readFile(documentOf(f, "other.txt")), QByteArray("segment 2\n"));
    else
        QVERIFY(!QFile::exists(documentOf(f, "other.txt")));
    // The run keeps the language it started with, and the selector says so while it runs.
    QVERIFY(!selectorEnabledDuringRun);
    QVERIFY(f.window->languageBox->isEnabled());
    QVERIFY(f.window->speakerChoice->isEnabled());
    const QByteArray english = "\"dev_pid\" : " + QByteArray::number(SpeechProtocol::devPidForLanguage("英文"));
    for (const ScriptedServer::Request &request : f.server.recognitionRequests())
        QVERIFY(request.body.contains(english));
}

void TestConversion::stoppedRunsReplyIsNotTheNextRuns()
{
    Fixture f;
    f.server.recognitionReplies.enqueue(ScriptedServer::silence());
    f.addTask(makeTask(f, "late.wav", 1120000));
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 1, 30000);
    f.window->slotStopCover();
    QVERIFY(f.idle());
    f.window->slotBeginCover();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.recognitionRequests().size(), 2, 30000);
    // The old request's answer comes late; the new run must still get its own.
    f.server.answerHeld(ScriptedServer::json("{\"err_no\": 0, \"result\": [\"stale\"]}"));
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});
    QCOMPARE(readFile(documentOf(f, "late.txt")), QByteArray("segment 1\n\nsegment 2\n"));
}

void TestConversion::documentThatCannotBeWritten()
{
    Fixture f;
    const QString task = makeTask(f, "d.wav", 16000);
    QVERIFY(QDir(f.appDir.path() + "/myWordFiles").mkdir("d.txt"));
    f.addTask(task);
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(f.notices.size(), 1);
    QVERIFY2(f.notices.first().startsWith("无法保存文本文档“d.txt”"), qPrintable(f.notices.first()));
    QCOMPARE(f.window->taskFiles, QStringList {task});
    QVERIFY(f.window->closeWordBtn->isEnabled());
}

void TestConversion::failedRunKeepsOldDocument()
{
    Fixture f;
    const QString document = documentOf(f, "keep.txt");
    QFile old(document);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier text\n");
    old.close();
    f.server.recognitionReplies.enqueue(ScriptedServer::errNo(3303));
    f.addTask(makeTask(f, "keep.wav", 16000));
    f.window->slotBeginCover();
    QVERIFY(waitIdle(f));
    QCOMPARE(readFile(document), QByteArray("earlier text\n"));
}

void TestConversion::documentTextMatchesView_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("none") << QStringList();
    QTest::newRow("one") << QStringList {"hello world"};
    QTest::newRow("three") << QStringList {"one", "two two", "三"};
}

void TestConversion::documentTextMatchesView()
{
    // The document holds what the text view shows after each segment was appended to it.
    QFETCH(QStringList, texts);
    QTextEdit view;
    view.clear();
    for (const QString &text : texts)
        view.append(text + '\n');
    QCOMPARE(Document::textOf(texts), view.toPlainText());
}

QUILLORA_TEST_MAIN(TestConversion)
#include "tst_conversion.moc"
