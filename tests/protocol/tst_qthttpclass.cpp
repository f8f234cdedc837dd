#include "pipeline/qthttpclass.h"

#include "common/scriptedserver.h"
#include "common/speechtestutil.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

namespace {

// Every request answered with the same status and body.
std::function<ScriptedServer::Reply(const ScriptedServer::Request &)> always(int status, const QByteArray &body)
{
    return [status, body](const ScriptedServer::Request &) { return ScriptedServer::Reply {status, body, false}; };
}

bool hasHeader(const QByteArray &head, const QByteArray &line)
{
    return head.split('\n').contains(line + '\r') || head.endsWith('\n' + line);
}

} // namespace

class TestQtHttpClass : public QObject
{
    Q_OBJECT

private slots:
    void initialState();
    void getCarriesJsonContentType();
    void postHeaders_data();
    void postHeaders();
    void replyStatus_data();
    void replyStatus();
    void unreachableHostIsAnError();
    void twoSendsReportTheirOwnIds();
    void signalsThenSlotInOrder();
};

void TestQtHttpClass::initialState()
{
    QtHttpClass client;
    QCOMPARE(client.requestId, -1);
    QVERIFY(client.manager);
    QCOMPARE(client.manager->parent(), &client);
}

void TestQtHttpClass::getCarriesJsonContentType()
{
    ScriptedServer server;
    QVERIFY(server.isListening());
    const QByteArray replyBody = R"({"access_token":"x"})";
    server.answer = always(200, replyBody);
    QtHttpClass client;
    QSignalSpy finished(&client, &QtHttpClass::sigReplyFinish);
    client.httpGet(0, server.url(QStringLiteral("/oauth/2.0/token?grant_type=client_credentials&client_id=a")));
    QCOMPARE(client.requestId, 0);
    QVERIFY(finished.wait(10000));
    QCOMPARE(server.requests.size(), 1);
    const QByteArray head = server.requests.first().head;
    QVERIFY2(head.startsWith("get /oauth/2.0/token?grant_type=client_credentials&client_id=a http/1.1"), head);
    QVERIFY2(hasHeader(head, "content-type: application/json"), head);
    QVERIFY(server.requests.first().body.isEmpty());
    QCOMPARE(finished.first().at(0).toInt(), 0);
    QCOMPARE(finished.first().at(1).toByteArray(), replyBody);
}

void TestQtHttpClass::postHeaders_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty body") << QByteArray();
    QTest::newRow("json body") << QByteArray("{\n   \"format\" : \"wav\"\n}\n");
    QTest::newRow("large body") << QByteArray(3 * 1024 * 1024, 'A');
}

void TestQtHttpClass::postHeaders()
{
    QFETCH(QByteArray, body);
    ScriptedServer server;
    QVERIFY(server.isListening());
    server.answer = always(200, R"({"err_no":0})");
    QtHttpClass client;
    QSignalSpy finished(&client, &QtHttpClass::sigReplyFinish);
    client.httpPost(2, server.url(QStringLiteral("/server_api")), body);
    QVERIFY(finished.wait(20000));
    QCOMPARE(server.requests.size(), 1);
    const QByteArray head = server.requests.first().head;
    QVERIFY2(head.startsWith("post /server_api http/1.1"), head);
    QVERIFY2(hasHeader(head, "content-type: application/json"), head);
    QVERIFY2(hasHeader(head, "content-length: " + QByteArray::number(body.size())), head);
    QCOMPARE(server.requests.first().body, body);
    QCOMPARE(finished.first().at(0).toInt(), 2);
}

void TestQtHttpClass::replyStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("asError");
    QTest::newRow("200 ok") << 200 << false;
    QTest::newRow("401 unauthorized") << 401 << true;
    QTest::newRow("404 not found") << 404 << true;
    QTest::newRow("413 too large") << 413 << true;
    QTest::newRow("500 server error") << 500 << true;
}

void TestQtHttpClass::replyStatus()
{
    QFETCH(int, status);
    QFETCH(bool, asError);
    ScriptedServer server;
    QVERIFY(server.isListening());
    const QByteArray replyBody = R"({"error":"scripted"})";
    server.answer = always(status, replyBody);
    QtHttpClass client;
    QSignalSpy finished(&client, &QtHttpClass::sigReplyFinish);
    QSignalSpy failed(&client, &QtHttpClass::sigReplyError);
    client.httpGet(0, server.url(QStringLiteral("/oauth/2.0/token")));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, 10000);
    QSignalSpy &reported = asError ? failed : finished;
    QCOMPARE(reported.size(), 1);
    QCOMPARE(reported.first().at(0).toInt(), 0);
    // The body travels with an error too, though the window never reads it.
    QCOMPARE(reported.first().at(1).toByteArray(), replyBody);
}

void TestQtHttpClass::unreachableHostIsAnError()
{
    const quint16 port = SpeechTestUtil::freeLoopbackPort();
    QVERIFY(port != 0);
    QtHttpClass client;
    QSignalSpy failed(&client, &QtHttpClass::sigReplyError);
    client.httpPost(2, QStringLiteral("http://127.0.0.1:%1/server_api").arg(port), "{}");
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.first().at(0).toInt(), 2);
    QVERIFY(failed.first().at(1).toByteArray().isEmpty());
}

void TestQtHttpClass::twoSendsReportTheirOwnIds()
{
    ScriptedServer server;
    QVERIFY(server.isListening());
    server.holdUntil = 2; // neither reply arrives before both requests were sent
    server.answer = always(200, R"({"err_no":0})");
    QtHttpClass client;
    QSignalSpy finished(&client, &QtHttpClass::sigReplyFinish);
    client.httpGet(0, server.url(QStringLiteral("/oauth/2.0/token")));
    client.httpPost(2, server.url(QStringLiteral("/server_api")), "{}");
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 10000);
    QCOMPARE(client.requestId, 2);
    QList<int> ids {finished.at(0).at(0).toInt(), finished.at(1).at(0).toInt()};
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, QList<int>({0, 2}));
}

void TestQtHttpClass::signalsThenSlotInOrder()
{
    const QMetaObject &meta = QtHttpClass::staticMetaObject;
    const int first = meta.methodOffset();
    QCOMPARE(meta.methodCount() - first, 3);
    QCOMPARE(meta.method(first).methodSignature(), QByteArray("sigReplyFinish(int,QByteArray)"));
    QCOMPARE(meta.method(first).methodType(), QMetaMethod::Signal);
    QCOMPARE(meta.method(first + 1).methodSignature(), QByteArray("sigReplyError(int,QByteArray)"));
    QCOMPARE(meta.method(first + 2).methodSignature(), QByteArray("sltReplyFinished(QNetworkReply*)"));
    QCOMPARE(meta.method(first + 2).methodType(), QMetaMethod::Slot);
    QCOMPARE(meta.method(first + 2).parameterNames(), QList<QByteArray> {"reply"});
}

QTEST_GUILESS_MAIN(TestQtHttpClass)
#include "tst_qthttpclass.moc"
