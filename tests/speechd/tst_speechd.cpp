#include "common/speechhttp.h"
#include "common/speechtestutil.h"
#include "pipeline/qthttpclass.h"
#include "pipeline/speechprotocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace SpeechTestUtil;

namespace {

const char *const englishSentences[] = {
    "The weather is nice today and we will go for a walk in the park.",
    "Please open the window because it is very warm in this room.",
    "My brother bought a new car last week and drove it to the city.",
    "We need to finish this report before the meeting on Monday morning.",
    "She likes to read books about history and science in the evening.",
};

} // namespace

class TestSpeechd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tokenEndpoint_data();
    void tokenEndpoint();
    void tokensDiffer();
    void rejections_data();
    void rejections();
    void oversizeBodyGets413();
    void fullSegmentIsNotTooLarge();
    void unknownPathGets404();
    void englishThroughTheClient();
    void fullQueueAsksForRetry();
    void expiredTokenIsRejected();
    void oneLogLinePerRequest();

private:
    QTemporaryDir dir;
    SpeechServiceProcess service;
    QNetworkAccessManager network;
    QString token;
    QByteArray spokenWav; // one English sentence
    int requestsSent = 0;
};

void TestSpeechd::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(service.start(), qPrintable(service.log()));
    token = fetchToken(network, service);
    ++requestsSent;
    QVERIFY(!token.isEmpty());
    const QString path = makeEnglishWav(dir.path(), QStringLiteral("short"), QStringLiteral("Good morning."));
    QVERIFY(!path.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    spokenWav = file.readAll();
}

void TestSpeechd::tokenEndpoint_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");

    const QString id = testClientId();
    const QString secret = testClientSecret();
    QTest::newRow("right credentials") << credentialsQuery(id, secret) << 200 << QString();
    QTest::newRow("wrong secret") << credentialsQuery(id, secret.left(31) + 'X') << 401 << "invalid_client";
    QTest::newRow("wrong client id") << credentialsQuery("X" + id.mid(1), secret) << 401 << "invalid_client";
    QTest::newRow("secret prefix only") << credentialsQuery(id, secret.left(8)) << 401 << "invalid_client";
    QTest::newRow("missing secret") << QStringLiteral("grant_type=client_credentials&client_id=%1").arg(id) << 401
                                    << "invalid_client";
    QTest::newRow("missing credentials") << QStringLiteral("grant_type=client_credentials") << 401 << "invalid_client";
    QTest::newRow("other grant type")
        << QStringLiteral("grant_type=password&client_id=%1&client_secret=%2").arg(id, secret) << 400
        << "unsupported_grant_type";
}

void TestSpeechd::tokenEndpoint()
{
    QFETCH(QString, query);
    QFETCH(int, status);
    QFETCH(QString, error);
    const HttpAnswer answer = exchange(network, tokenUrl(service.hostAndPort(), query));
    ++requestsSent;
    QCOMPARE(answer.status, status);
    const QJsonObject json = answer.json();
    QVERIFY2(!json.isEmpty(), answer.body);
    if (status == 200) {
        // Expiry, random part and signature: ASCII the client sends back as it came.
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]+\\.[0-9a-f]{32}\\.[0-9a-f]{64}$"))
                    .match(json.value("access_token").toString())
                    .hasMatch());
        QVERIFY(json.value("expires_in").toInt() > 0);
        QVERIFY(json.contains("scope"));
        // The client's own decoding finds the token.
        QCOMPARE(SpeechProtocol::decodeTokenReply(answer.body).accessToken, json.value("access_token").toString());
    } else {
        QCOMPARE(json.value("error").toString(), error);
        QVERIFY(!json.contains("access_token"));
    }
}

void TestSpeechd::tokensDiffer()
{
    const QString second = fetchToken(network, service);
    ++requestsSent;
    QVERIFY(!second.isEmpty());
    QVERIFY(second != token);
}

void TestSpeechd::rejections_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("errNo");

    const QByteArray wav = spokenWav;
    auto edited = [&](const std::function<void(QJsonObject &)> &edit) {
        QJsonObject request = requestObject(token, wav);
        edit(request);
        return QJsonDocument(request).toJson();
    };
    auto withAudio = [&](const QByteArray &audio, int devPid = 1737) {
        return QJsonDocument(requestObject(token, audio, devPid)).toJson();
    };

    QTest::newRow("token not issued") << edited([](QJsonObject &r) { r["token"] = QString(64, 'a'); }) << 3302;
    QTest::newRow("no token") << edited([](QJsonObject &r) { r.remove("token"); }) << 3302;
    QTest::newRow("token a number") << edited([](QJsonObject &r) { r["token"] = 5; }) << 3302;
    QTest::newRow("token checked before format") << edited([](QJsonObject &r) {
        r["token"] = "x";
        r["format"] = "mp3";
    }) << 3302;
    QTest::newRow("format mp3") << edited([](QJsonObject &r) { r["format"] = "mp3"; }) << 3309;
    QTest::newRow("rate 8000") << edited([](QJsonObject &r) { r["rate"] = 8000; }) << 3309;
    QTest::newRow("rate as text") << edited([](QJsonObject &r) { r["rate"] = "16000"; }) << 3309;
    QTest::newRow("channel 2") << edited([](QJsonObject &r) { r["channel"] = 2; }) << 3309;
    QTest::newRow("speech not base64") << edited([](QJsonObject &r) { r["speech"] = "not base64!"; }) << 3309;
    QTest::newRow("speech missing") << edited([](QJsonObject &r) { r.remove("speech"); }) << 3309;
    QTest::newRow("len one short") << edited([&](QJsonObject &r) { r["len"] = wav.size() - 1; }) << 3309;
    QTest::newRow("len missing") << edited([](QJsonObject &r) { r.remove("len"); }) << 3309;
    QTest::newRow("bytes not a wav") << withAudio(QByteArray(20000, 'x')) << 3309;
    QTest::newRow("8 kHz wav") << withAudio(wavBytes(QByteArray(16000, '\0'), 8000)) << 3309;
    QTest::newRow("stereo wav") << withAudio(wavBytes(QByteArray(64000, '\0'), 16000, 2)) << 3309;
    QTest::newRow("empty speech") << withAudio(QByteArray()) << 3309;
    QTest::newRow("malformed json") << QByteArray("{\"format\": \"wav\", ") << 3309;
    QTest::newRow("json array") << QByteArray("[1,2,3]") << 3309;
    QTest::newRow("empty body") << QByteArray() << 3309;
    QTest::newRow("deeply nested") << QByteArray(200000, '[') << 3309;
    QTest::newRow("0.2 s of audio") << withAudio(silentWav(0.2)) << 3314;
    QTest::newRow("short checked before language") << withAudio(silentWav(0.2), 1537) << 3314;
    QTest::newRow("mandarin") << withAudio(wav, 1537) << 3307;
    QTest::newRow("cantonese") << withAudio(wav, 1637) << 3307;
    QTest::newRow("sichuan") << withAudio(wav, 1837) << 3307;
    QTest::newRow("no dev_pid means mandarin") << edited([](QJsonObject &r) { r.remove("dev_pid"); }) << 3307;
    QTest::newRow("silence recognises nothing") << withAudio(silentWav(1.0)) << 3301;
    QTest::newRow("english speech") << withAudio(wav) << 0;
}

void TestSpeechd::rejections()
{
    QFETCH(QByteArray, body);
    QFETCH(int, errNo);
    const HttpAnswer answer = exchange(network, recognitionUrl(service.hostAndPort()), &body);
    ++requestsSent;
    // Every recognition answer is HTTP 200: the client only reads err_no from a reply without a network error.
    QCOMPARE(answer.status, 200);
    const QJsonObject json = answer.json();
    QCOMPARE(json.value("err_no").toInt(-1), errNo);
    QVERIFY(json.value("err_msg").isString());
    QCOMPARE(json.contains("result"), errNo == 0);
    if (errNo == 3307)
        QVERIFY2(json.value("err_msg").toString().contains("not available offline"), answer.body);
    if (errNo == 0)
        QVERIFY(!json.value("result").toArray().at(0).toString().isEmpty());
}

void TestSpeechd::oversizeBodyGets413()
{
    const QByteArray body(8 * 1024 * 1024 + 1, 'a');
    const HttpAnswer answer = exchange(network, recognitionUrl(service.hostAndPort()), &body);
    ++requestsSent;
    QCOMPARE(answer.status, 413);
}

void TestSpeechd::fullSegmentIsNotTooLarge()
{
    // The body limit must leave room for the longest segment the program sends: 60 s.
    const QByteArray body = requestBody(token, silentWav(60.0));
    QVERIFY(body.size() > 2560000);
    const HttpAnswer answer = exchange(network, recognitionUrl(service.hostAndPort()), &body);
    ++requestsSent;
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.json().value("err_no").toInt(-1), 3301); // silence: nothing recognised
}

void TestSpeechd::unknownPathGets404()
{
    const HttpAnswer answer = exchange(network, QStringLiteral("http://%1/admin").arg(service.hostAndPort()));
    ++requestsSent;
    QCOMPARE(answer.status, 404);
}

void TestSpeechd::englishThroughTheClient()
{
    // The program's own path: body builder, QtHttpClass, reply decoding.
    QtHttpClass client;
    QSignalSpy finished(&client, &QtHttpClass::sigReplyFinish);
    int referenceWords = 0;
    int errors = 0;
    int index = 0;
    for (const char *sentence : englishSentences) {
        const QString path = makeEnglishWav(dir.path(), QStringLiteral("sentence%1").arg(index++), sentence);
        QVERIFY(!path.isEmpty());
        const QByteArray body = SpeechProtocol::buildRecognitionBody(
            path, token, QStringLiteral("00-11-22-33-44-55"), QStringLiteral("英文"));
        finished.clear();
        client.httpPost(SpeechProtocol::RecognitionRequest, service.config().recognitionUrl(), body);
        ++requestsSent;
        QVERIFY(finished.wait(120000));
        const SpeechProtocol::RecognitionOutcome outcome
            = SpeechProtocol::decodeRecognitionReply(finished.first().at(1).toByteArray());
        QCOMPARE(outcome.kind, SpeechProtocol::RecognitionOutcome::Success);
        QVERIFY(outcome.hasText);
        const QStringList reference = normalizedWords(QString::fromLatin1(sentence));
        const int distance = wordEditDistance(reference, normalizedWords(outcome.text));
        qInfo("WER %d/%d: \"%s\" -> \"%s\"", distance, int(reference.size()), sentence, qPrintable(outcome.text));
        referenceWords += reference.size();
        errors += distance;
    }
    const double wordErrorRate = double(errors) / referenceWords;
    qInfo("word error rate over the set: %.1f%%", 100 * wordErrorRate);
    QVERIFY2(wordErrorRate <= 0.5, qPrintable(QString::number(wordErrorRate)));
}

void TestSpeechd::fullQueueAsksForRetry()
{
    // No waiting room at all: while the one worker decodes, any other request must be turned away.
    SpeechServiceProcess busy;
    QVERIFY2(
        busy.start({QStringLiteral("--queue"), QStringLiteral("0"), QStringLiteral("--workers"), QStringLiteral("1")}),
        qPrintable(busy.log()));
    QVERIFY(waitUntilHealthy(network, busy.hostAndPort())); // while loading, no worker takes a request either
    const QString busyToken = fetchToken(network, busy);
    QString text;
    for (int i = 0; i < 2; ++i)
        text += QString::fromLatin1(englishSentences[i]) + ' ';
    const QString path = makeEnglishWav(dir.path(), QStringLiteral("medium"), text);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray body = QJsonDocument(requestObject(busyToken, file.readAll())).toJson();

    // Two requests at once: the one that arrives second finds the worker busy, whichever it is, since
    // decoding takes seconds and the two arrive milliseconds apart.
    const QString url = recognitionUrl(busy.hostAndPort());
    QNetworkRequest request {QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    std::unique_ptr<QNetworkReply> first(network.post(request, body));
    std::unique_ptr<QNetworkReply> second(network.post(request, body));
    QTRY_VERIFY_WITH_TIMEOUT(first->isFinished() && second->isFinished(), 120000);
    QList<int> codes;
    for (QNetworkReply *reply : {first.get(), second.get()}) {
        const QByteArray answer = reply->readAll();
        codes << QJsonDocument::fromJson(answer).object().value("err_no").toInt(-1);
        if (codes.last() == 3304)
            QCOMPARE(SpeechProtocol::decodeRecognitionReply(answer).kind, SpeechProtocol::RecognitionOutcome::Retry);
    }
    std::sort(codes.begin(), codes.end());
    QVERIFY2(codes == (QList<int> {0, 3304}), qPrintable(busy.log()));
    // Once the worker is free the retry goes through.
    QCOMPARE(exchange(network, url, &body).json().value("err_no").toInt(-1), 0);
}

void TestSpeechd::expiredTokenIsRejected()
{
    SpeechServiceProcess shortLived;
    QVERIFY(shortLived.start({QStringLiteral("--token-lifetime"), QStringLiteral("1")}));
    const QString expiring = fetchToken(network, shortLived);
    QVERIFY(!expiring.isEmpty());
    const QByteArray body = QJsonDocument(requestObject(expiring, silentWav(0.2))).toJson();
    const QString url = recognitionUrl(shortLived.hostAndPort());
    QCOMPARE(exchange(network, url, &body).json().value("err_no").toInt(), 3314); // valid: reaches the audio check
    QTest::qWait(1200);
    QCOMPARE(exchange(network, url, &body).json().value("err_no").toInt(), 3302);
    // A token of one service instance is worthless at another.
    QCOMPARE(exchange(network, recognitionUrl(service.hostAndPort()), &body).json().value("err_no").toInt(), 3302);
    ++requestsSent;
}

void TestSpeechd::oneLogLinePerRequest()
{
    // A request the HTTP layer refuses before any handler runs is logged too.
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, service.port());
    QVERIFY(raw.waitForConnected(5000));
    raw.write("NONSENSE\r\n\r\n");
    QByteArray answer;
    while (raw.waitForReadyRead(5000))
        answer += raw.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 400"), answer);
    ++requestsSent;
    QTRY_VERIFY_WITH_TIMEOUT(service.log().count('\n') >= requestsSent + 1, 5000);
    QTest::qWait(100); // no line after the last request's

    const QStringList lines = service.log().split('\n', Qt::SkipEmptyParts);
    QVERIFY(lines.first().contains("listening on"));
    QVERIFY2(lines.size() - 1 == requestsSent, qPrintable(service.log()));
    // The token query carries the secret: it must never reach the log.
    QVERIFY(!service.log().contains(testClientSecret()));
    QVERIFY(lines.filter(" 413 ").size() == 1);
}

QTEST_GUILESS_MAIN(TestSpeechd)
#include "tst_speechd.moc"
