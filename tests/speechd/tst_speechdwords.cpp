// A user's words through a real quillora-speechd: refused when malformed, reaching only the requests
// that carry them, and a second request of the same set served by the decoder built for the first.
#include "common/speechhttp.h"
#include "common/speechtestutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QtTest>

using namespace SpeechTestUtil;

namespace {

const char *const namedSentence = "We drove from Kelvara to the coast in about three hours.";

QJsonArray manyWords(int count, int length = 6)
{
    QJsonArray words;
    for (int i = 0; i < count; ++i)
        words.append(QStringLiteral("w%1").arg(i).leftJustified(length, QLatin1Char('x')));
    return words;
}

} // namespace

class TestSpeechdWords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void malformedWordsAreRefused_data();
    void malformedWordsAreRefused();
    void wordsReachTheirOwnRequestsOnly();

private:
    QByteArray body(const QJsonValue &words) const;
    int decoderBuilds();

    QTemporaryDir dir;
    SpeechServiceProcess service;
    QNetworkAccessManager network;
    QString token;
    QByteArray namedWav;
};

void TestSpeechdWords::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(service.start({QStringLiteral("--workers"), QStringLiteral("2")}), qPrintable(service.log()));
    token = fetchToken(network, service);
    QVERIFY(!token.isEmpty());
    QFile file(makeEnglishWav(dir.path(), QStringLiteral("named"), QString::fromLatin1(namedSentence)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    namedWav = file.readAll();
}

QByteArray TestSpeechdWords::body(const QJsonValue &words) const
{
    QJsonObject request = requestObject(token, namedWav);
    if (!words.isUndefined())
        request.insert(QStringLiteral("words"), words);
    return QJsonDocument(request).toJson();
}

int TestSpeechdWords::decoderBuilds()
{
    return service.log().count(QStringLiteral("built a decoder for"));
}

void TestSpeechdWords::malformedWordsAreRefused_data()
{
    QTest::addColumn<QJsonValue>("words");
    QTest::addColumn<QString>("message"); // a part of err_msg

    QTest::newRow("an object") << QJsonValue(QJsonObject {{"text", "Kelvara"}}) << "words must be an array";
    QTest::newRow("a number inside") << QJsonValue(QJsonArray {"Kelvara", 5}) << "words[1] must be";
    QTest::newRow("1001 entries") << QJsonValue(manyWords(1001)) << "at most 1000";
    QTest::newRow("65 characters") << QJsonValue(QJsonArray {QString(65, QLatin1Char('k'))}) << "longer than 64";
    QTest::newRow("a phone the model lacks")
        << QJsonValue(QJsonArray {QJsonObject {{"text", "Kelvara"}, {"phones", "K EH L V AX R"}}})
        << "words[0]: phones";
}

void TestSpeechdWords::malformedWordsAreRefused()
{
    QFETCH(QJsonValue, words);
    QFETCH(QString, message);
    const QByteArray request = body(words);
    const QJsonObject json = exchange(network, recognitionUrl(service.hostAndPort()), &request).json();
    QCOMPARE(json.value("err_no").toInt(), 3309);
    QVERIFY2(json.value("err_msg").toString().contains(message), qPrintable(json.value("err_msg").toString()));
    QVERIFY(!json.contains("result"));
}

void TestSpeechdWords::wordsReachTheirOwnRequestsOnly()
{
    const QByteArray plainBody = body(QJsonValue::Undefined);
    const HttpAnswer reference = exchange(network, recognitionUrl(service.hostAndPort()), &plainBody);
    QCOMPARE(reference.json().value("err_no").toInt(), 0);
    const QString referenceText = reference.json().value("result").toArray().at(0).toString();
    QVERIFY2(!referenceText.contains("Kelvara"), qPrintable(referenceText));

    // Two users on one service, their requests interleaved and in flight together.
    const QByteArray namesBody = body(QJsonArray {"Kelvara", "R2D2", "Orkney Vale"});
    QList<QNetworkReply *> withWords;
    QList<QNetworkReply *> without;
    QNetworkRequest post(QUrl(recognitionUrl(service.hostAndPort())));
    post.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    for (int round = 0; round < 2; ++round) {
        withWords << network.post(post, namesBody);
        without << network.post(post, plainBody);
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(withWords.begin(), withWords.end(), [](QNetworkReply *r) { return r->isFinished(); })
            && std::all_of(without.begin(), without.end(), [](QNetworkReply *r) { return r->isFinished(); }),
        120000);
    for (QNetworkReply *reply : withWords) {
        const QJsonObject json = QJsonDocument::fromJson(reply->readAll()).object();
        QCOMPARE(json.value("err_no").toInt(), 0);
        const QString text = json.value("result").toArray().at(0).toString();
        QVERIFY2(text.contains("Kelvara"), qPrintable(text));
        QCOMPARE(json.value("unpronounced_words").toArray(), QJsonArray {"R2D2"});
        reply->deleteLater();
    }
    for (QNetworkReply *reply : without) {
        // Byte for byte what the service answered before anyone sent words.
        QCOMPARE(reply->readAll(), reference.body);
        reply->deleteLater();
    }

    // The set's decoder is kept: the next request of the same set builds none.
    const int builds = decoderBuilds();
    QVERIFY(builds >= 1 && builds <= 2);
    const HttpAnswer again = exchange(network, recognitionUrl(service.hostAndPort()), &namesBody);
    QVERIFY(again.json().value("result").toArray().at(0).toString().contains("Kelvara"));
    QCOMPARE(decoderBuilds(), builds);
}

QTEST_GUILESS_MAIN(TestSpeechdWords)
#include "tst_speechdwords.moc"
