// A user's voice adaptation through a real quillora-speechd: a malformed transform refused while the
// service answers everyone else, a transform reaching only the requests that carry it, its decoder kept.
#include "common/speechhttp.h"
#include "common/speechtestutil.h"
#include "common/voicetransforms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QtTest>

using namespace SpeechTestUtil;

class TestSpeechdVoice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void malformedTransformsAreRefused_data();
    void malformedTransformsAreRefused();
    void voiceReachesItsOwnRequestsOnly();

private:
    QByteArray body(const QJsonValue &mllr) const;
    QByteArray plainAnswer();

    QTemporaryDir dir;
    SpeechServiceProcess service;
    QNetworkAccessManager network;
    QString token;
    QByteArray wav;
};

void TestSpeechdVoice::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(service.start({QStringLiteral("--workers"), QStringLiteral("2")}), qPrintable(service.log()));
    token = fetchToken(network, service);
    QVERIFY(!token.isEmpty());
    QFile file(makeEnglishWav(dir.path(), QStringLiteral("s"), everydaySentences().first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    wav = file.readAll();
}

QByteArray TestSpeechdVoice::body(const QJsonValue &mllr) const
{
    QJsonObject request = requestObject(token, wav);
    if (!mllr.isUndefined())
        request.insert(QStringLiteral("mllr"), mllr);
    return QJsonDocument(request).toJson();
}

QByteArray TestSpeechdVoice::plainAnswer()
{
    const QByteArray plain = body(QJsonValue::Undefined);
    return exchange(network, recognitionUrl(service.hostAndPort()), &plain).body;
}

void TestSpeechdVoice::malformedTransformsAreRefused_data()
{
    QTest::addColumn<QJsonValue>("mllr");
    QTest::addColumn<QString>("message"); // a part of err_msg

    QTest::newRow("a number") << QJsonValue(5) << "not a string";
    QTest::newRow("two classes") << QJsonValue("2" + voiceTransformText().mid(1)) << "not one class";
    QTest::newRow("a value missing") << QJsonValue(voiceTransformText().left(voiceTransformText().size() - 12))
                                     << "wrong number of values";
    QTest::newRow("not a number") << QJsonValue(voiceTransformText().replace("0.010000", "inf")) << "not a number";
    QTest::newRow("40 KB") << QJsonValue(voiceTransformText() + QString(40000, ' ')) << "too large";
}

void TestSpeechdVoice::malformedTransformsAreRefused()
{
    QFETCH(QJsonValue, mllr);
    QFETCH(QString, message);
    const QByteArray reference = plainAnswer();
    const QByteArray request = body(mllr);
    const QJsonObject json = exchange(network, recognitionUrl(service.hostAndPort()), &request).json();
    QCOMPARE(json.value("err_no").toInt(), 3309);
    const QString said = json.value("err_msg").toString();
    QVERIFY2(said.startsWith("mllr is not a voice transform") && said.contains(message), qPrintable(said));
    QVERIFY(!json.contains("result"));
    QCOMPARE(plainAnswer(), reference); // the others are answered as before
}

void TestSpeechdVoice::voiceReachesItsOwnRequestsOnly()
{
    const QByteArray reference = plainAnswer();
    QCOMPARE(QJsonDocument::fromJson(reference).object().value("err_no").toInt(), 0);
    // A transform far from the identity, so that its effect shows in the text.
    const QByteArray adapted = body(voiceTransformText(1.0, 2.5));
    const QByteArray plain = body(QJsonValue::Undefined);
    QList<QNetworkReply *> withVoice;
    QList<QNetworkReply *> without;
    QNetworkRequest post(QUrl(recognitionUrl(service.hostAndPort())));
    post.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    for (int round = 0; round < 2; ++round) {
        withVoice << network.post(post, adapted);
        without << network.post(post, plain);
    }
    const auto done = [](const QList<QNetworkReply *> &replies) {
        return std::all_of(replies.begin(), replies.end(), [](QNetworkReply *r) { return r->isFinished(); });
    };
    QTRY_VERIFY_WITH_TIMEOUT(done(withVoice) && done(without), 120000);
    QByteArray adaptedAnswer;
    for (QNetworkReply *reply : withVoice) {
        const QByteArray answer = reply->readAll();
        QVERIFY2(answer != reference, answer.constData());
        QVERIFY(adaptedAnswer.isEmpty() || answer == adaptedAnswer); // one voice, one result
        adaptedAnswer = answer;
        reply->deleteLater();
    }
    for (QNetworkReply *reply : without) {
        QCOMPARE(reply->readAll(), reference); // byte for byte as before anyone was adapted
        reply->deleteLater();
    }
    const int builds = service.log().count(QStringLiteral("and a voice in"));
    QVERIFY(builds >= 1 && builds <= 2);
    QCOMPARE(exchange(network, recognitionUrl(service.hostAndPort()), &adapted).body, adaptedAnswer);
    QCOMPARE(service.log().count(QStringLiteral("and a voice in")), builds);
}

QTEST_GUILESS_MAIN(TestSpeechdVoice)
#include "tst_speechdvoice.moc"
