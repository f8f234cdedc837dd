#include "common/speechtestutil.h"
#include "speechd/options.h"
#include "speechd/requesthandler.h"
#include "speechd/tokenstore.h"
#include "speechd/wavaudio.h"

#include <QDataStream>
#include <QThread>
#include <QtTest>

#include <set>

using SpeechTestUtil::wavBytes;

namespace {

QByteArray le32(quint32 value)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << value;
    return bytes;
}

QByteArray chunk(const QByteArray &id, const QByteArray &content, bool pad = true)
{
    QByteArray bytes = id + le32(quint32(content.size())) + content;
    if (pad && content.size() % 2)
        bytes += '\0';
    return bytes;
}

// The fmt chunk of 16 kHz mono 16-bit PCM, as wavBytes writes it.
QByteArray pcmFormatChunk()
{
    return wavBytes(QByteArray()).mid(12, 24);
}

QByteArray pcmOf(int samples)
{
    QByteArray pcm;
    for (int i = 0; i < samples; ++i) {
        const qint16 value = qint16(i * 129 - 20000);
        pcm.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
    }
    return pcm;
}

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

} // namespace

class TestSpeechdParts : public QObject
{
    Q_OBJECT

private slots:
    void wav_data();
    void wav();
    void base64_data();
    void base64();
    void hostPort_data();
    void hostPort();
    void arguments_data();
    void arguments();
    void tokensAreRandomAndRemembered();
    void tokensExpire();
    void tokenStoreForgetsOldestBeyondCapacity();
};

void TestSpeechdParts::wav_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("samples");

    const QByteArray pcm = pcmOf(1000);
    QByteArray withStreamSize = wavBytes(pcm);
    withStreamSize.replace(40, 4, le32(0xFFFFFFFFu));
    QByteArray withZeroSize = wavBytes(pcm);
    withZeroSize.replace(40, 4, le32(0));
    QByteArray truncated = wavBytes(pcm);
    truncated.chop(501); // half a sample too

    QByteArray extensible = QByteArray::fromHex("feff"
                                                "0100"
                                                "803e0000"
                                                "007d0000"
                                                "0200"
                                                "1000"
                                                "1600"
                                                "1000"
                                                "00000000"
                                                "0100000000001000800000aa00389b71");
    QByteArray extensibleFloat = extensible;
    extensibleFloat[24] = 3;

    QTest::newRow("plain 44-byte header") << wavBytes(pcm) << true << 1000;
    QTest::newRow("LIST chunk before data")
        << riff(pcmFormatChunk() + chunk("LIST", "INFOISFT\x0e\0\0\0Lavf59.27.100\0") + chunk("data", pcm)) << true
        << 1000;
    QTest::newRow("odd chunk padded") << riff(pcmFormatChunk() + chunk("junk", "abc") + chunk("data", pcm)) << true
                                      << 1000;
    QTest::newRow("stream data size 0xFFFFFFFF") << withStreamSize << true << 1000;
    QTest::newRow("stream data size 0") << withZeroSize << true << 1000;
    QTest::newRow("truncated data") << truncated << true << 749;
    QTest::newRow("extensible pcm") << riff(chunk("fmt ", extensible) + chunk("data", pcm)) << true << 1000;
    QTest::newRow("extensible float") << riff(chunk("fmt ", extensibleFloat) + chunk("data", pcm)) << false << 0;
    QTest::newRow("empty data") << wavBytes(QByteArray()) << true << 0;
    QTest::newRow("8 kHz") << wavBytes(pcm, 8000) << false << 0;
    QTest::newRow("44.1 kHz") << wavBytes(pcm, 44100) << false << 0;
    QTest::newRow("stereo") << wavBytes(pcm, 16000, 2) << false << 0;
    QTest::newRow("8-bit") << wavBytes(pcm, 16000, 1, 8) << false << 0;
    QTest::newRow("float") << wavBytes(pcm, 16000, 1, 32, 3) << false << 0;
    QTest::newRow("no fmt chunk") << riff(chunk("data", pcm)) << false << 0;
    QTest::newRow("short fmt chunk") << riff(chunk("fmt ", pcmFormatChunk().mid(8, 10)) + chunk("data", pcm)) << false
                                     << 0;
    QTest::newRow("no data chunk") << riff(pcmFormatChunk()) << false << 0;
    QTest::newRow("chunk larger than file")
        << riff(pcmFormatChunk() + "junk" + le32(0x7FFFFFF0u) + chunk("data", pcm)) << false << 0;
    QTest::newRow("not RIFF") << QByteArray("RIFX") + wavBytes(pcm).mid(4) << false << 0;
    QTest::newRow("not WAVE") << wavBytes(pcm).replace(8, 4, "AVI ") << false << 0;
    QTest::newRow("mp3 bytes") << QByteArray::fromHex("494433040000000000") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("header only") << QByteArray("RIFF\0\0\0\0WAVE", 12) << false << 0;
}

void TestSpeechdParts::wav()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, accepted);
    QFETCH(int, samples);
    std::vector<int16_t> out;
    QCOMPARE(speechd::readPcm16kMono(file.constData(), size_t(file.size()), out), accepted);
    QCOMPARE(int(out.size()), samples);
    if (samples > 0) {
        // Little-endian samples, in order.
        QCOMPARE(out.front(), int16_t(-20000));
        QCOMPARE(out[10], int16_t(10 * 129 - 20000));
    }
}

void TestSpeechdParts::base64_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("bytes");

    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
    QTest::newRow("two padding") << QByteArray("YQ==") << true << QByteArray("a");
    QTest::newRow("one padding") << QByteArray("YWI=") << true << QByteArray("ab");
    QTest::newRow("no padding") << QByteArray("YWJj") << true << QByteArray("abc");
    QTest::newRow("every byte") << all.toBase64() << true << all;
    QTest::newRow("missing padding") << QByteArray("YQ") << false << QByteArray();
    QTest::newRow("url alphabet") << QByteArray("-_-_") << false << QByteArray();
    QTest::newRow("line break") << QByteArray("YWJj\nYWJj") << false << QByteArray();
    QTest::newRow("padding in the middle") << QByteArray("YQ==YWJj") << false << QByteArray();
    QTest::newRow("data after padding") << QByteArray("YQ=j") << false << QByteArray();
    QTest::newRow("three padding") << QByteArray("Y===") << false << QByteArray();
    QTest::newRow("NUL byte") << QByteArray("YW\0j", 4) << false << QByteArray();
    QTest::newRow("high byte") << QByteArray("YW\xC3j") << false << QByteArray();
}

void TestSpeechdParts::base64()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, bytes);
    std::string out;
    QCOMPARE(speechd::decodeBase64(text.toStdString(), out), valid);
    if (valid)
        QCOMPARE(QByteArray::fromStdString(out), bytes);
}

void TestSpeechdParts::hostPort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("ipv4 with port") << "127.0.0.1:8808" << true << "127.0.0.1" << 8808;
    QTest::newRow("name without port") << "localhost" << true << "localhost" << 80;
    QTest::newRow("any port") << "127.0.0.1:0" << true << "127.0.0.1" << 0;
    QTest::newRow("ipv6") << "[::1]:9000" << true << "::1" << 9000;
    QTest::newRow("ipv6 without port") << "[::1]" << true << "::1" << 80;
    QTest::newRow("port too large") << "127.0.0.1:65536" << false << "" << 0;
    QTest::newRow("port not a number") << "127.0.0.1:http" << false << "" << 0;
    QTest::newRow("no host") << ":8808" << false << "" << 0;
    QTest::newRow("unclosed bracket") << "[::1:80" << false << "" << 0;
}

void TestSpeechdParts::hostPort()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    std::string parsedHost;
    int parsedPort = -1;
    QCOMPARE(speechd::splitHostPort(text.toStdString(), parsedHost, parsedPort), valid);
    if (valid) {
        QCOMPARE(QString::fromStdString(parsedHost), host);
        QCOMPARE(parsedPort, port);
    }
}

void TestSpeechdParts::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("listen");
    QTest::addColumn<QString>("clientId");
    QTest::addColumn<int>("queue");
    QTest::addColumn<int>("lifetime");

    QTest::newRow("none: configuration stays") << QStringList() << true << "10.0.0.1:1"
                                               << "cfg" << 8 << 2592000;
    QTest::newRow("all") << QStringList {"--listen", "127.0.0.1:0", "--client-id", "id", "--client-secret", "s",
        "--queue", "0", "--token-lifetime", "5", "--workers", "2"}
                         << true << "127.0.0.1:0"
                         << "id" << 0 << 5;
    QTest::newRow("missing value") << QStringList {"--client-id"} << false << ""
                                   << "" << 0 << 0;
    QTest::newRow("unknown option") << QStringList {"--port", "80"} << false << ""
                                    << "" << 0 << 0;
    QTest::newRow("negative queue") << QStringList {"--queue", "-1"} << false << ""
                                    << "" << 0 << 0;
    QTest::newRow("zero workers") << QStringList {"--workers", "0"} << false << ""
                                  << "" << 0 << 0;
    QTest::newRow("bad listen") << QStringList {"--listen", "nowhere:port"} << false << ""
                                << "" << 0 << 0;
}

void TestSpeechdParts::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(QString, listen);
    QFETCH(QString, clientId);
    QFETCH(int, queue);
    QFETCH(int, lifetime);

    speechd::Options options;
    options.host = "10.0.0.1";
    options.port = 1;
    options.credentials.clientId = "cfg";
    std::vector<std::string> list;
    for (const QString &argument : arguments)
        list.push_back(argument.toStdString());
    std::string error;
    QCOMPARE(speechd::parseArguments(list, options, error), valid);
    QCOMPARE(error.empty(), valid);
    if (!valid)
        return;
    QCOMPARE(QStringLiteral("%1:%2").arg(QString::fromStdString(options.host)).arg(options.port), listen);
    QCOMPARE(QString::fromStdString(options.credentials.clientId), clientId);
    QCOMPARE(options.queueCapacity, queue);
    QCOMPARE(options.tokenLifetimeSeconds, qint64(lifetime));
}

void TestSpeechdParts::tokensAreRandomAndRemembered()
{
    speechd::TokenStore store {std::chrono::seconds(60)};
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string token = store.issue();
        QCOMPARE(token.size(), size_t(64));
        QVERIFY(token.find_first_not_of("0123456789abcdef") == std::string::npos);
        QVERIFY(seen.insert(token).second);
    }
    for (const std::string &token : seen)
        QVERIFY(store.isValid(token));
    QVERIFY(!store.isValid(std::string(64, '0')));
    QVERIFY(!store.isValid(std::string()));
}

void TestSpeechdParts::tokensExpire()
{
    speechd::TokenStore store {std::chrono::seconds(1)};
    const std::string token = store.issue();
    QVERIFY(store.isValid(token));
    QThread::msleep(1100);
    QVERIFY(!store.isValid(token));
}

void TestSpeechdParts::tokenStoreForgetsOldestBeyondCapacity()
{
    speechd::TokenStore store {std::chrono::seconds(60), 3};
    const std::string first = store.issue();
    const std::string second = store.issue();
    store.issue();
    store.issue();
    QVERIFY(!store.isValid(first));
    QVERIFY(store.isValid(second));
}

QTEST_GUILESS_MAIN(TestSpeechdParts)
#include "tst_speechdparts.moc"
