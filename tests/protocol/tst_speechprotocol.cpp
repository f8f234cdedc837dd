#include "app/deployment.h"
#include "pipeline/networkfailure.h"
#include "pipeline/speechprotocol.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QSslError>
#include <QTemporaryDir>
#include <QtTest>

using namespace SpeechProtocol;

namespace {
QByteArray joinedByNul(const QByteArray &before, const QByteArray &after)
{
    return before + '\0' + after;
}
} // namespace

Q_DECLARE_METATYPE(RecognitionOutcome::Kind)

class TestSpeechProtocol : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void devPid_data();
    void devPid();
    void tokenUrl();
    void networkFailure_data();
    void networkFailure();
    void goldenBody();
    void body_data();
    void body();
    void bodyIsAsciiWhateverTheIdentifiers();
    void tokenReply_data();
    void tokenReply();
    void recognitionReply_data();
    void recognitionReply();
    void sentencesMember_data();
    void sentencesMember();
    void replyWithoutTimesIsOneSentence();

private:
    QString writeSegment(const QString &name, const QByteArray &bytes);
    QTemporaryDir dir;
};

void TestSpeechProtocol::initTestCase()
{
    QVERIFY(dir.isValid());
}

QString TestSpeechProtocol::writeSegment(const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestSpeechProtocol::devPid_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("devPid");
    QTest::newRow("mandarin near field") << QStringLiteral("中文近场") << 1537;
    QTest::newRow("mandarin far field") << QStringLiteral("中文远场") << 1936;
    QTest::newRow("english") << QStringLiteral("英文") << 1737;
    QTest::newRow("cantonese") << QStringLiteral("粤语") << 1637;
    QTest::newRow("sichuan") << QStringLiteral("四川话") << 1837;
    QTest::newRow("unknown") << QStringLiteral("English") << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("trailing space is another text") << QStringLiteral("英文 ") << -1;
}

void TestSpeechProtocol::devPid()
{
    QFETCH(QString, language);
    QFETCH(int, devPid);
    QCOMPARE(devPidForLanguage(language), devPid);
}

void TestSpeechProtocol::tokenUrl()
{
    DeploymentConfig config;
    config.tokenHost = QStringLiteral("speech.example:8080");
    config.clientId = QStringLiteral("a1b2c3d4e5f6g7h8i9j0k1l2");
    config.clientSecret = QStringLiteral("Z9y8X7w6V5u4T3s2R1q0P9o8N7m6L5k4");
    QCOMPARE(config.tokenUrl(),
        QStringLiteral("http://speech.example:8080/oauth/2.0/token?grant_type=client_credentials"
                       "&client_id=a1b2c3d4e5f6g7h8i9j0k1l2"
                       "&client_secret=Z9y8X7w6V5u4T3s2R1q0P9o8N7m6L5k4"));
}

void TestSpeechProtocol::networkFailure_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("certificateError"); // -1: none
    QTest::addColumn<QString>("message");
    const QString untrusted = "无法验证语音服务器 h:1 的证书（%1）。连接已中断，未发送任何音频或凭据。"
                              "请检查部署配置中的服务器地址和证书文件（ca_file）。";
    const int handshake = QNetworkReply::SslHandshakeFailedError;
    const int closed = QNetworkReply::RemoteHostClosedError;
    QTest::newRow("another host's certificate")
        << 2 << true << handshake << int(QSslError::HostNameMismatch) << untrusted.arg("证书不属于这个主机名");
    QTest::newRow("expired") << 0 << true << handshake << int(QSslError::CertificateExpired)
                             << untrusted.arg("证书已过期");
    QTest::newRow("plain recognition closed") << 2 << false << closed << -1 << "转换失败，请检查网络信号是否充足！";
    QTest::newRow("tls token closed") << 0 << true << closed << -1 << "获取访问令牌失败，请检查网络连接是否断开！";
    QTest::newRow("recognition timed out") << 2 << false << int(QNetworkReply::OperationCanceledError) << -1
                                           << "语音服务器 h:1 在 180 秒内没有响应，转换已停止，请稍后再试！";
}

void TestSpeechProtocol::networkFailure()
{
    QFETCH(int, id);
    QFETCH(bool, tls);
    QFETCH(int, error);
    QFETCH(int, certificateError);
    QFETCH(QString, message);
    NetworkFailure failure;
    failure.error = error;
    failure.tls = tls;
    failure.host = QStringLiteral("h:1");
    failure.timedOut = error == QNetworkReply::OperationCanceledError; // as the client reports its own bound
    failure.timeoutMs = 180000;
    if (certificateError >= 0)
        failure.certificateErrors << certificateError;
    QCOMPARE(networkFailureMessage(id, failure), message);
}

void TestSpeechProtocol::goldenBody()
{
    const QString path = writeSegment(QStringLiteral("golden.wav"), QByteArray("abc\0xyz", 7));
    QVERIFY(!path.isEmpty());
    const QByteArray expected = "{\n"
                                "   \"channel\" : 1,\n"
                                "   \"cuid\" : \"00-1A-2B-3C-4D-5E\",\n"
                                "   \"dev_pid\" : 1737,\n"
                                "   \"format\" : \"wav\",\n"
                                "   \"len\" : 7,\n"
                                "   \"rate\" : 16000,\n"
                                "   \"speech\" : \"YWJjAHh5eg==\",\n"
                                "   \"token\" : \"24.abc-DEF_123\"\n"
                                "}\n";
    QCOMPARE(buildRecognitionBody(
                 path, QStringLiteral("24.abc-DEF_123"), QStringLiteral("00-1A-2B-3C-4D-5E"), QStringLiteral("英文")),
        expected);
}

void TestSpeechProtocol::body_data()
{
    QTest::addColumn<QString>("segment"); // file name in the temporary folder; "-" for a missing file
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QByteArray>("devPidLine"); // empty: no dev_pid member
    QTest::addColumn<int>("len");

    QByteArray binary;
    for (int i = 0; i < 1000; ++i)
        binary.append(char(i * 37 % 256));
    QTest::newRow("sichuan") << "a.wav" << QByteArray("RIFF") << QStringLiteral("四川话")
                             << QByteArray("   \"dev_pid\" : 1837,\n") << 4;
    QTest::newRow("cantonese binary") << "b.wav" << binary << QStringLiteral("粤语")
                                      << QByteArray("   \"dev_pid\" : 1637,\n") << 1000;
    QTest::newRow("unknown language") << "c.wav" << QByteArray("xy") << QStringLiteral("Klingon") << QByteArray() << 2;
    QTest::newRow("empty file") << "d.wav" << QByteArray() << QStringLiteral("中文近场")
                                << QByteArray("   \"dev_pid\" : 1537,\n") << 0;
    QTest::newRow("unreadable segment") << "-" << QByteArray() << QStringLiteral("中文远场")
                                        << QByteArray("   \"dev_pid\" : 1936,\n") << 0;
}

void TestSpeechProtocol::body()
{
    QFETCH(QString, segment);
    QFETCH(QByteArray, content);
    QFETCH(QString, language);
    QFETCH(QByteArray, devPidLine);
    QFETCH(int, len);

    const QString path = segment == QLatin1String("-") ? dir.filePath(QStringLiteral("missing/none.wav"))
                                                       : writeSegment(segment, content);
    QVERIFY(!path.isEmpty());
    const QByteArray body = buildRecognitionBody(path, QStringLiteral("t"), QStringLiteral("m"), language);

    QVERIFY(body.startsWith("{\n   \"channel\" : 1,\n   \"cuid\" : \"m\",\n"));
    QVERIFY(body.endsWith("\n}\n"));
    QCOMPARE(body.contains("dev_pid"), !devPidLine.isEmpty());
    if (!devPidLine.isEmpty())
        QVERIFY(body.contains(devPidLine));
    QVERIFY(body.contains("   \"len\" : " + QByteArray::number(len) + ",\n"));
    QVERIFY(body.contains("   \"speech\" : \"" + content.toBase64() + "\",\n"));

    // Keys in ascending order, one member per line.
    QStringList keys;
    const QList<QByteArray> lines = body.split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("   \""))
            keys << QString::fromLatin1(line.mid(4, line.indexOf('"', 4) - 4));
    }
    QStringList sorted = keys;
    sorted.sort();
    QCOMPARE(keys, sorted);
    QCOMPARE(keys.size(), devPidLine.isEmpty() ? 7 : 8);
}

void TestSpeechProtocol::bodyIsAsciiWhateverTheIdentifiers()
{
    const QString path = writeSegment(QStringLiteral("ascii.wav"), QByteArray(3000, '\xff'));
    QVERIFY(!path.isEmpty());
    const QByteArray body
        = buildRecognitionBody(path, QStringLiteral("tök\"en\\"), QStringLiteral("机器-01\n"), QStringLiteral("英文"));
    for (const char c : body)
        QVERIFY2(uchar(c) < 0x80, body.left(200));
    // Quotes and backslashes in the identifiers are escaped, so the document stays one valid object
    // whose speech member is the whole segment.
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    QCOMPARE(object.value("speech").toString().toLatin1(), QByteArray(3000, '\xff').toBase64());
    QCOMPARE(object.value("len").toInt(), 3000);
    QVERIFY(object.value("token").toString().endsWith(QStringLiteral("\"en\\")));
    QVERIFY(object.value("cuid").toString().endsWith(QStringLiteral("-01\n")));
    QVERIFY(!object.contains("mllr"));
    // The user's voice adaptation, line breaks and all, as one string member.
    const QByteArray voice("1\n3\n13\n1.000000 -0.010000 \n");
    const QJsonObject adapted = QJsonDocument::fromJson(
        buildRecognitionBody(path, QStringLiteral("t"), QStringLiteral("m"), QStringLiteral("英文"), {}, voice))
                                    .object();
    QCOMPARE(adapted.value("mllr").toString().toLatin1(), voice);
    QCOMPARE(adapted.value("speech"), object.value("speech"));
}

void TestSpeechProtocol::tokenReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("token");

    QTest::newRow("token") << QByteArray(R"({"access_token":"24.a.b","expires_in":2592000,"scope":"x"})") << true
                           << QStringLiteral("24.a.b");
    QTest::newRow("error object without token")
        << QByteArray(R"({"error":"invalid_client","error_description":"unknown client"})") << true << QString();
    QTest::newRow("text after NUL ignored")
        << joinedByNul(R"({"access_token":"t1"})", "trailing junk") << true << QStringLiteral("t1");
    QTest::newRow("NUL cuts the object") << joinedByNul(R"({"access_token":)", R"("t1"})") << false << QString();
    QTest::newRow("comments allowed") << QByteArray("// issued\n{\"access_token\":\"t2\" /* fresh */}") << true
                                      << QStringLiteral("t2");
    QTest::newRow("utf-8 token") << QByteArray("{\"access_token\":\"\xE4\xBB\xA4\"}") << true << QStringLiteral("令");
    QTest::newRow("malformed") << QByteArray("{\"access_token\":") << false << QString();
    QTest::newRow("empty body") << QByteArray() << false << QString();
    QTest::newRow("array root") << QByteArray(R"(["access_token"])") << false << QString();
    QTest::newRow("string root") << QByteArray(R"("access_token")") << false << QString();
    QTest::newRow("deep nesting") << QByteArray(5000, '[') << false << QString();
}

void TestSpeechProtocol::tokenReply()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    QFETCH(QString, token);
    const TokenReply reply = decodeTokenReply(body);
    QCOMPARE(reply.ok, ok);
    QCOMPARE(reply.accessToken, token);
}

void TestSpeechProtocol::recognitionReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<RecognitionOutcome::Kind>("kind");
    QTest::addColumn<int>("errNo");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    const auto S = RecognitionOutcome::Success;
    QTest::newRow("success with text") << QByteArray(R"({"err_no":0,"err_msg":"success.","result":["hello world"]})")
                                       << S << 0 << true << QStringLiteral("hello world") << QString();
    QTest::newRow("only element 0 is read") << QByteArray(R"({"err_no":0,"result":["first","second"]})") << S << 0
                                            << true << QStringLiteral("first") << QString();
    QTest::newRow("chinese text") << QByteArray("{\"err_no\":0,\"result\":[\"\xE4\xBD\xA0\xE5\xA5\xBD\"]}") << S << 0
                                  << true << QStringLiteral("你好") << QString();
    QTest::newRow("empty result") << QByteArray(R"({"err_no":0,"result":[]})") << S << 0 << false << QString()
                                  << QString();
    QTest::newRow("no result") << QByteArray(R"({"err_no":0})") << S << 0 << false << QString() << QString();
    QTest::newRow("result not an array") << QByteArray(R"({"err_no":0,"result":"text"})") << S << 0 << false
                                         << QString() << QString();
    QTest::newRow("result element an object")
        << QByteArray(R"({"err_no":0,"result":[{"a":1}]})") << S << 0 << false << QString() << QString();
    QTest::newRow("no err_no") << QByteArray(R"({"result":["hi"]})") << S << 0 << true << QStringLiteral("hi")
                               << QString();
    QTest::newRow("text after NUL") << joinedByNul(R"({"err_no":0,"result":["ok"]})", R"({"err_no":3302})") << S << 0
                                    << true << QStringLiteral("ok") << QString();

    const struct
    {
        int errNo;
        const char *message;
    } failures[] = {
        {3301, "语音识别结果实际为空！"},
        {3302, "鉴权失败！"},
        {3303, "语音服务器后端繁忙，或是音频质量过低！"},
        {3307, "语音服务器后端识别出错！"},
        {3309, "服务端无法将音频转为pcm格式，可能是音频格式问题！"},
        {3313, "语音服务器解析超时！"},
        {3314, "音频长度过短！"},
        {3315, "语音服务器处理超时！"},
        {3316, "音频转为pcm失败！"},
    };
    for (const auto &failure : failures) {
        QTest::addRow("fail %d", failure.errNo)
            << QByteArray("{\"err_no\":" + QByteArray::number(failure.errNo) + ",\"err_msg\":\"x\"}")
            << RecognitionOutcome::Fail << failure.errNo << false << QString() << QString::fromUtf8(failure.message);
    }
    QTest::newRow("retry 3304") << QByteArray(R"({"err_no":3304,"err_msg":"busy"})") << RecognitionOutcome::Retry
                                << 3304 << false << QString() << QString();
    QTest::newRow("unknown 9999") << QByteArray(R"({"err_no":9999})") << RecognitionOutcome::Ignored << 9999 << false
                                  << QString() << QString();
    QTest::newRow("negative code") << QByteArray(R"({"err_no":-1})") << RecognitionOutcome::Ignored << -1 << false
                                   << QString() << QString();
    QTest::newRow("code as text") << QByteArray(R"({"err_no":"3302"})") << RecognitionOutcome::Ignored << 0 << false
                                  << QString() << QString();
    QTest::newRow("code beyond int") << QByteArray(R"({"err_no":1e300})") << RecognitionOutcome::Ignored << 0 << false
                                     << QString() << QString();
    QTest::newRow("malformed json") << QByteArray(R"({"err_no":0,"result":["unterminated)")
                                    << RecognitionOutcome::Unparsable << 0 << false << QString() << QString();
    QTest::newRow("empty body") << QByteArray() << RecognitionOutcome::Unparsable << 0 << false << QString()
                                << QString();
    QTest::newRow("number root") << QByteArray("3302") << RecognitionOutcome::Unparsable << 0 << false << QString()
                                 << QString();
    QTest::newRow("deep nesting") << QByteArray(100000, '[') << RecognitionOutcome::Unparsable << 0 << false
                                  << QString() << QString();
}

void TestSpeechProtocol::recognitionReply()
{
    QFETCH(QByteArray, body);
    QFETCH(RecognitionOutcome::Kind, kind);
    QFETCH(int, errNo);
    QFETCH(bool, hasText);
    QFETCH(QString, text);
    QFETCH(QString, message);

    const RecognitionOutcome outcome = decodeRecognitionReply(body);
    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.errNo, errNo);
    QCOMPARE(outcome.hasText, hasText);
    QCOMPARE(outcome.text, text);
    QCOMPARE(outcome.message, message);
}

// A reply with result[0] "Hi there. Go." and the given "sentences" member (a segment of 5 s).
static QByteArray timedReply(const QByteArray &sentences)
{
    return R"({"err_no":0,"result":["Hi there. Go."],"sentences":)" + sentences + "}";
}

void TestSpeechProtocol::sentencesMember_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("spans"); // "text start-end [word start-end ...]; ..." or empty: no times

    const QByteArray good
        = R"([{"text":"Hi there.","start":100,"end":900,"words":[{"word":"Hi","start":100,"end":400},)"
          R"({"word":"there.","start":400,"end":900}]},{"text":"Go.","start":2000,"end":2300,)"
          R"("words":[{"word":"Go.","start":2000,"end":2300}]}])";
    QTest::newRow("accepted") << timedReply(good)
                              << "Hi there. 100-900 Hi 100-400 there. 400-900; Go. 2000-2300 Go. 2000-2300";
    QTest::newRow("a sentence ending at the segment's end")
        << timedReply(R"([{"text":"Go.","start":0,"end":5000,"words":[]}])") << "Go. 0-5000";
    QTest::newRow("no sentences") << timedReply("[]") << "";
    QTest::newRow("not an array") << timedReply(R"({"text":"Go."})") << "";
    QTest::newRow("sentence not an object") << timedReply(R"(["Go."])") << "";
    QTest::newRow("text not a string") << timedReply(R"([{"text":7,"start":0,"end":100,"words":[]}])") << "";
    QTest::newRow("start as text") << timedReply(R"([{"text":"Go.","start":"0","end":100,"words":[]}])") << "";
    QTest::newRow("end missing") << timedReply(R"([{"text":"Go.","start":0,"words":[]}])") << "";
    QTest::newRow("time a fraction") << timedReply(R"([{"text":"Go.","start":0.5,"end":100,"words":[]}])") << "";
    QTest::newRow("words missing") << timedReply(R"([{"text":"Go.","start":0,"end":100}])") << "";
    QTest::newRow("negative start") << timedReply(R"([{"text":"Go.","start":-10,"end":100,"words":[]}])") << "";
    QTest::newRow("end before start") << timedReply(R"([{"text":"Go.","start":300,"end":100,"words":[]}])") << "";
    QTest::newRow("beyond the segment") << timedReply(R"([{"text":"Go.","start":4000,"end":5001,"words":[]}])") << "";
    QTest::newRow("sentences out of order") << timedReply(
        R"([{"text":"A.","start":2000,"end":2300,"words":[]},{"text":"B.","start":100,"end":900,)"
        R"("words":[]}])") << "";
    QTest::newRow("word outside its sentence")
        << timedReply(R"([{"text":"Go.","start":0,"end":100,"words":[{"word":"Go.","start":0,"end":200}]}])") << "";
    QTest::newRow("words out of order") << timedReply(
        R"([{"text":"A b.","start":0,"end":900,"words":[{"word":"A","start":500,"end":900},)"
        R"({"word":"b.","start":0,"end":400}]}])")
                                        << "";
    QTest::newRow("word not a string") << timedReply(
        R"([{"text":"Go.","start":0,"end":100,"words":[{"word":null,"start":0,"end":100}]}])")
                                       << "";
}

void TestSpeechProtocol::sentencesMember()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, spans);

    const RecognitionOutcome outcome = decodeRecognitionReply(body, 5000);
    // Whatever the member holds, the text stands and the run goes on.
    QCOMPARE(outcome.kind, RecognitionOutcome::Success);
    QCOMPARE(outcome.text, QStringLiteral("Hi there. Go."));
    QStringList got;
    for (const TimedSentence &sentence : outcome.sentences) {
        QString item = QStringLiteral("%1 %2-%3").arg(sentence.text).arg(sentence.startMs).arg(sentence.endMs);
        for (const TimedWord &word : sentence.words)
            item += QStringLiteral(" %1 %2-%3").arg(word.text).arg(word.startMs).arg(word.endMs);
        got << item;
    }
    QCOMPARE(got.join(QStringLiteral("; ")), spans);
    // An empty member is well formed: a reply with text but no words the decoder could time.
    QCOMPARE(outcome.hasTimes, !spans.isEmpty() || QTest::currentDataTag() == QLatin1String("no sentences"));
}

void TestSpeechProtocol::replyWithoutTimesIsOneSentence()
{
    const RecognitionOutcome plain = decodeRecognitionReply(R"({"err_no":0,"result":["hello world"]})", 60000);
    QVERIFY(!plain.hasTimes);
    const QVector<TimedSentence> whole = sentencesOrWholeSegment(plain, 60000);
    QCOMPARE(whole.size(), 1);
    QCOMPARE(whole[0].text, QStringLiteral("hello world"));
    QCOMPARE(whole[0].startMs, 0);
    QCOMPARE(whole[0].endMs, 60000);
    QVERIFY(sentencesOrWholeSegment(decodeRecognitionReply(R"({"err_no":0,"result":[]})"), 60000).isEmpty());
}

QTEST_GUILESS_MAIN(TestSpeechProtocol)
#include "tst_speechprotocol.moc"
