#include "common/speechtestutil.h"
#include "speechd/options.h"
#include "speechd/recognizer.h"
#include "speechd/requesthandler.h"
#include "speechd/tokenkey.h"
#include "speechd/tokensigner.h"
#include "speechd/userwords.h"
#include "speechd/vocabulary.h"
#include "speechd/wavaudio.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <json/json.h>

#include <set>

#include <unistd.h>

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
    void defaultWorkers_data();
    void defaultWorkers();
    void tokensAreRandomAndRemembered();
    void tokensExpire();
    void tokenStoreForgetsOldestBeyondCapacity();
    void tokenChecks_data();
    void tokenChecks();
    void everyOneCharacterChangeIsRefused();
    void tokenKeyFile_data();
    void tokenKeyFile();
    void tokenKeySetting_data();
    void tokenKeySetting();
    void decodingForgetsEarlierRequests();
    void dictionaryKeepsKnownWords_data();
    void dictionaryKeepsKnownWords();
    void wordsMember_data();
    void wordsMember();
    void pronunciations_data();
    void pronunciations();
    void variantDecodersAreCachedPerWordSet();
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
        "--queue", "0", "--token-lifetime", "5", "--workers", "2", "--token-key-file", "/etc/key"}
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
    QTest::newRow("key file without path") << QStringList {"--token-key-file"} << false << ""
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
    const bool all = arguments.contains("--workers");
    QCOMPARE(options.workers, all ? 2 : speechd::defaultWorkerCount());
    QCOMPARE(QString::fromStdString(options.tokenKeyFile), all ? QStringLiteral("/etc/key") : QString());
}

void TestSpeechdParts::defaultWorkers_data()
{
    QTest::addColumn<uint>("online");
    QTest::addColumn<uint>("affinity");
    QTest::addColumn<int>("workers");
    QTest::newRow("two cores") << 2u << 2u << 2;
    QTest::newRow("capped at four") << 16u << 16u << 4;
    QTest::newRow("pinned to one core") << 8u << 1u << 1;
    QTest::newRow("affinity unknown") << 3u << 0u << 3;
    QTest::newRow("nothing known") << 0u << 0u << 1;
    QTest::newRow("online count unknown") << 0u << 2u << 2;
}

void TestSpeechdParts::defaultWorkers()
{
    QFETCH(uint, online);
    QFETCH(uint, affinity);
    QFETCH(int, workers);
    QCOMPARE(speechd::defaultWorkerCount(online, affinity), workers);
}

void TestSpeechdParts::tokensAreRandomAndRemembered()
{
    // Remembered by nobody: another signer with the same key (another instance) accepts them all.
    const std::string key(32, 'k');
    const speechd::TokenSigner store {key, std::chrono::seconds(60)};
    const speechd::TokenSigner sameKey {key, std::chrono::seconds(1)};
    const speechd::TokenSigner otherKey {std::string(32, 'K'), std::chrono::seconds(60)};
    static const QRegularExpression format(QStringLiteral("^[1-9][0-9]{12,15}\\.[0-9a-f]{32}\\.[0-9a-f]{64}$"));
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string token = store.issue();
        QVERIFY2(format.match(QString::fromStdString(token)).hasMatch(), token.c_str());
        QVERIFY(seen.insert(token.substr(token.find('.'))).second); // the random part differs every time
    }
    for (const std::string &token : seen)
        QVERIFY(!otherKey.isValid(token));
    const std::string token = store.issue();
    QVERIFY(store.isValid(token));
    QVERIFY(sameKey.isValid(token));
    QVERIFY(!otherKey.isValid(token));
    QVERIFY(!store.isValid(std::string(64, '0')));
    QVERIFY(!store.isValid(std::string()));
}

void TestSpeechdParts::tokensExpire()
{
    const speechd::TokenSigner store {std::string(32, 'k'), std::chrono::seconds(1)};
    const std::string token = store.issue();
    QVERIFY(store.isValid(token));
    QThread::msleep(1100);
    QVERIFY(!store.isValid(token));
}

void TestSpeechdParts::tokenStoreForgetsOldestBeyondCapacity()
{
    // Nothing is stored, so nothing is forgotten: the first of many tokens is as good as the last.
    const speechd::TokenSigner store {std::string(32, 'k'), std::chrono::seconds(60)};
    const std::string first = store.issue();
    for (int i = 0; i < 1000; ++i)
        store.issue();
    QVERIFY(store.isValid(first));
}

void TestSpeechdParts::tokenChecks_data()
{
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<bool>("valid");

    const std::string key(32, 'k');
    const qint64 now = 1800000000000;
    const std::string random(32, 'a');
    const QByteArray good = QByteArray::fromStdString(speechd::signToken(key, now + 1000, random));
    auto sign = [&](const std::string &signingKey, qint64 expiry, const std::string &part) {
        return QByteArray::fromStdString(speechd::signToken(signingKey, expiry, part));
    };
    QTest::newRow("valid") << good << now << true;
    QTest::newRow("last millisecond") << good << now + 999 << true;
    QTest::newRow("expired at its expiry") << good << now + 1000 << false;
    QTest::newRow("expired long ago") << good << now + 86400000 << false;
    QTest::newRow("signed with another key") << sign(std::string(32, 'x'), now + 1000, random) << now << false;
    QTest::newRow("key one byte longer") << sign(key + 'k', now + 1000, random) << now << false;
    QTest::newRow("empty") << QByteArray() << now << false;
    QTest::newRow("MAC in capitals") << good.left(good.lastIndexOf('.') + 1)
            + good.mid(good.lastIndexOf('.') + 1).toUpper()
                                     << now << false;
    QTest::newRow("MAC missing") << good.left(good.lastIndexOf('.')) << now << false;
    QTest::newRow("extended expiry, same MAC")
        << QByteArray::number(now + 999999) + good.mid(good.indexOf('.')) << now << false;
    QTest::newRow("old opaque token") << QByteArray(64, 'a') << now << false;
    QTest::newRow("expiry not a number") << sign(key, now + 1000, random).replace(0, 1, "x") << now << false;
}

void TestSpeechdParts::tokenChecks()
{
    QFETCH(QByteArray, token);
    QFETCH(qint64, now);
    QFETCH(bool, valid);
    QCOMPARE(speechd::checkToken(std::string(32, 'k'), token.toStdString(), now), valid);
}

void TestSpeechdParts::everyOneCharacterChangeIsRefused()
{
    const std::string key(32, 'k');
    const speechd::TokenSigner signer {key, std::chrono::seconds(3600)};
    const std::string token = signer.issue();
    QVERIFY(signer.isValid(token));
    for (size_t i = 0; i < token.size(); ++i) {
        for (char replacement : {'0', '9', 'a', 'f', 'F', '.', '-'}) {
            if (token[i] == replacement)
                continue;
            std::string altered = token;
            altered[i] = replacement;
            QVERIFY2(!signer.isValid(altered), altered.c_str());
        }
    }
    QVERIFY(!signer.isValid(token + '0'));
    QVERIFY(!signer.isValid(token.substr(1)));
}

void TestSpeechdParts::tokenKeyFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // the file is not made when empty and name has no "empty"
    QTest::addColumn<QString>("error"); // part of the message; empty when the key is read

    const QByteArray key32("0123456789abcdef0123456789abcdef");
    QTest::newRow("missing") << "nothere" << QByteArray() << "does not exist";
    QTest::newRow("empty file") << "empty" << QByteArray() << "holds 0 bytes";
    QTest::newRow("31 bytes") << "short" << key32.left(31) << "holds 31 bytes; a key needs at least 32";
    QTest::newRow("32 bytes") << "exact" << key32 << "";
    QTest::newRow("with newline, kept") << "newline" << key32 + '\n' << "";
    QTest::newRow("binary") << "binary" << QByteArray(40, '\0') + '\xff' << "";
    QTest::newRow("a folder") << "folder" << QByteArray() << "cannot be read";
    QTest::newRow("not a key file") << "huge" << QByteArray(64 * 1024 + 1, 'k') << "not a key file";
    QTest::newRow("unreadable") << "locked" << key32 << "cannot be read";
}

void TestSpeechdParts::tokenKeyFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (name == "folder") {
        QVERIFY(QDir(dir.path()).mkdir(name));
    } else if (name != "nothere") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        if (name == "locked") {
            if (geteuid() == 0)
                QSKIP("root reads any file");
            QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
        }
    }
    std::string key = "left over";
    std::string message;
    QCOMPARE(speechd::readTokenKey(path.toStdString(), key, message), error.isEmpty());
    if (error.isEmpty()) {
        QCOMPARE(QByteArray::fromStdString(key), content);
        return;
    }
    QVERIFY(key.empty());
    QVERIFY2(QString::fromStdString(message).contains(error), message.c_str());
    QVERIFY2(QString::fromStdString(message).contains(path), message.c_str());
    if (content.size() > 8 && content.size() < 100) // whatever it holds, the message never shows it
        QVERIFY(!QByteArray::fromStdString(message).contains(content.left(8)));
}

void TestSpeechdParts::tokenKeySetting_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected"); // relative to the ini file's folder when not absolute
    QTest::newRow("absolute") << QByteArray("[service]\ntoken_key_file=/etc/quillora/key\n") << "/etc/quillora/key";
    QTest::newRow("relative") << QByteArray("[service]\ntoken_key_file=keys/a.key\n") << "keys/a.key";
    QTest::newRow("absent") << QByteArray("[service]\nclient_id=x\n") << "";
    QTest::newRow("other section") << QByteArray("[homepage]\ntoken_key_file=/k\n") << "";
    QTest::newRow("no file") << QByteArray() << "";
}

void TestSpeechdParts::tokenKeySetting()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("quillora.ini");
    if (!ini.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    const QString setting = QString::fromStdString(speechd::tokenKeyFileSetting(path));
    if (expected.isEmpty() || expected.startsWith('/'))
        QCOMPARE(setting, expected);
    else
        QCOMPARE(setting, QDir(dir.path()).filePath(expected));
}

void TestSpeechdParts::decodingForgetsEarlierRequests()
{
    // A worker's text for a segment must not depend on what it decoded before, or two workers (two
    // instances) would give different texts for the same segment.
    QTemporaryDir dir;
    std::vector<std::vector<int16_t>> segments;
    for (const char *sentence : {"Open the window.", "Thank you very much.", "The weather is nice today."}) {
        const QString path = SpeechTestUtil::makeEnglishWav(dir.path(), QString::number(segments.size()), sentence);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray wav = file.readAll();
        segments.emplace_back();
        QVERIFY(speechd::readPcm16kMono(wav.constData(), size_t(wav.size()), segments.back()));
    }
    std::vector<std::string> firstTexts;
    speechd::Recognizer recognizer;
    QVERIFY(recognizer.load(SPEECHD_MODEL_DIR));
    for (const auto &samples : segments)
        firstTexts.push_back(recognizer.decode(samples.data(), samples.size()));
    for (size_t i = segments.size(); i-- > 0;)
        QCOMPARE(recognizer.decode(segments[i].data(), segments[i].size()), firstTexts[i]);
    // A fresh decoder agrees with one that has heard the others.
    speechd::Recognizer fresh;
    QVERIFY(fresh.load(SPEECHD_MODEL_DIR));
    QCOMPARE(fresh.decode(segments[2].data(), segments[2].size()), firstTexts[2]);
}

void TestSpeechdParts::dictionaryKeepsKnownWords_data()
{
    QTest::addColumn<QByteArray>("dictionary");
    QTest::addColumn<QByteArray>("kept"); // known words: "a", "window", "don't"
    QTest::newRow("unknown dropped") << QByteArray("a AH\nzyzzyva Z IH Z IY V AH\nwindow W IH N D OW\n")
                                     << QByteArray("a AH\nwindow W IH N D OW\n");
    QTest::newRow("alternatives follow their word")
        << QByteArray("a AH\na(2) EY\nab(2) AE B\n") << QByteArray("a AH\na(2) EY\n");
    QTest::newRow("apostrophe") << QByteArray("don't D OW N T\ndon D AA N\n") << QByteArray("don't D OW N T\n");
    QTest::newRow("tab separator") << QByteArray("window\tW IH N D OW\n") << QByteArray("window\tW IH N D OW\n");
    QTest::newRow("prefix of a word is not the word")
        << QByteArray("win W IH N\nwindows W IH N D OW Z\n") << QByteArray();
    QTest::newRow("last line without newline")
        << QByteArray("x EH K S\nwindow W IH N D OW") << QByteArray("window W IH N D OW");
    QTest::newRow("empty lines and no separator") << QByteArray("\n\nwindow\n") << QByteArray();
}

void TestSpeechdParts::dictionaryKeepsKnownWords()
{
    QFETCH(QByteArray, dictionary);
    QFETCH(QByteArray, kept);
    const std::set<std::string> known {"a", "window", "don't"};
    const std::string result = speechd::keepKnownWords(
        dictionary.toStdString(), [&known](const std::string &word) { return known.count(word) > 0; });
    QCOMPARE(QByteArray::fromStdString(result), kept);
}

void TestSpeechdParts::wordsMember_data()
{
    QTest::addColumn<QByteArray>("member"); // the JSON of "words"
    QTest::addColumn<QString>("error"); // a part of the refusal; empty when accepted
    QTest::addColumn<QStringList>("parsed"); // "text|phones", canonical order

    auto many = [](int count) {
        QByteArray list = "[";
        for (int i = 0; i < count; ++i)
            list += (i ? ",\"w" : "\"w") + QByteArray::number(i) + "\"";
        return list + "]";
    };
    const QByteArray sixtyFourE = QString(64, QChar(0xE9)).toUtf8();
    QTest::newRow("absent") << QByteArray("null") << QString() << QStringList();
    QTest::newRow("strings and objects, sorted, repeats once")
        << QByteArray(R"(["Zorblat", {"text": "Quillora", "phones": "k w ih1 l ao1 r ah0"}, "Zorblat"])") << QString()
        << QStringList {"Quillora|K W IH L AO R AH", "Zorblat|"};
    QTest::newRow("spaces collapsed") << QByteArray(R"(["  New \t York "])") << QString() << QStringList {"New York|"};
    QTest::newRow("empty phones are none")
        << QByteArray(R"([{"text": "Kelvara", "phones": " "}])") << QString() << QStringList {"Kelvara|"};
    QTest::newRow("64 characters of two bytes")
        << QByteArray("[\"" + sixtyFourE + "\"]") << QString() << QStringList {QString(64, QChar(0xE9)) + "|"};
    QTest::newRow("1000 entries") << many(1000) << QString() << QStringList();
    QTest::newRow("1001 entries") << many(1001) << QString("at most 1000") << QStringList();
    QTest::newRow("not an array") << QByteArray(R"("Zorblat")") << QString("must be an array") << QStringList();
    QTest::newRow("a number") << QByteArray("[\"a\", 7]") << QString("words[1] must be") << QStringList();
    QTest::newRow("object without text") << QByteArray(R"([{"phones": "AH"}])") << QString("words[0] must be")
                                         << QStringList();
    QTest::newRow("phones a number") << QByteArray(R"([{"text": "a", "phones": 3}])") << QString("words[0] must be")
                                     << QStringList();
    QTest::newRow("empty text") << QByteArray(R"(["ok", "   "])") << QString("words[1] is empty") << QStringList();
    QTest::newRow("65 characters") << QByteArray("[\"" + QByteArray(65, 'a') + "\"]") << QString("longer than 64")
                                   << QStringList();
    QTest::newRow("unknown phone") << QByteArray(R"([{"text": "Zorb", "phones": "Z QX B"}])")
                                   << QString("phones \"Z QX B\"") << QStringList();
    QTest::newRow("65 phones") << QByteArray(
        "[{\"text\": \"long\", \"phones\": \"" + QByteArray("AH ").repeated(65) + "\"}]")
                               << QString("phones") << QStringList();
}

void TestSpeechdParts::wordsMember()
{
    QFETCH(QByteArray, member);
    QFETCH(QString, error);
    QFETCH(QStringList, parsed);
    Json::Value value;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    QVERIFY(reader->parse(member.constData(), member.constData() + member.size(), &value, &errors));
    std::vector<speechd::UserWord> words;
    std::string message;
    const bool ok = speechd::parseUserWords(value, words, message);
    QCOMPARE(ok, error.isEmpty());
    if (!ok) {
        QVERIFY2(QString::fromStdString(message).contains(error), message.c_str());
        return;
    }
    if (QByteArray(QTest::currentDataTag()) == "1000 entries") {
        QCOMPARE(words.size(), size_t(1000));
        return;
    }
    QStringList got;
    for (const speechd::UserWord &word : words)
        got << QString::fromStdString(word.text + "|" + word.phones);
    QCOMPARE(got, parsed);
}

void TestSpeechdParts::pronunciations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("phones"); // the user's
    QTest::addColumn<QString>("name"); // the dictionary name; empty when unpronounced
    QTest::addColumn<QString>("expected"); // the pronunciation it gets; empty: the dictionary's own

    // The dictionary of this table knows "window" and "new" only; flite gives the rest.
    QTest::newRow("known word keeps the dictionary's") << "Window"
                                                       << ""
                                                       << "window"
                                                       << "";
    QTest::newRow("the user's wins over the dictionary") << "window"
                                                         << "W IH N D AH"
                                                         << "window"
                                                         << "W IH N D AH";
    QTest::newRow("the user's wins over flite") << "Zorblat"
                                                << "Z OW R B L AA T"
                                                << "zorblat"
                                                << "Z OW R B L AA T";
    QTest::newRow("unknown word from flite's rules") << "Zorblat"
                                                     << ""
                                                     << "zorblat"
                                                     << "Z AO R B L AE T";
    QTest::newRow("reduced vowel mapped to AH") << "Kelvara"
                                                << ""
                                                << "kelvara"
                                                << "K EH L V AA R AH";
    QTest::newRow("phrase: dictionary then flite") << "New Kelvara"
                                                   << ""
                                                   << "new_kelvara"
                                                   << "N UW K EH L V AA R AH";
    QTest::newRow("hyphen joins two readings") << "Zorb-Window"
                                               << ""
                                               << "zorb-window"
                                               << "Z AO R B W IH N D OW";
    QTest::newRow("digits have no reading") << "R2D2"
                                            << ""
                                            << ""
                                            << "";
    QTest::newRow("letters outside a-z have no reading") << QString::fromUtf8("Zo\xc3\xab") << ""
                                                         << ""
                                                         << "";
    QTest::newRow("punctuation has no reading") << "..."
                                                << ""
                                                << ""
                                                << "";
    QTest::newRow("one unreadable word sinks the phrase") << "Kelvara 42"
                                                          << ""
                                                          << ""
                                                          << "";
    QTest::newRow("the user's pronunciation reads anything") << "R2D2"
                                                             << "AA R T UW D IY T UW"
                                                             << "r2d2"
                                                             << "AA R T UW D IY T UW";
}

void TestSpeechdParts::pronunciations()
{
    QFETCH(QString, text);
    QFETCH(QString, phones);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const auto dictionary = [](const std::string &word) {
        return word == "window" ? std::string("W IH N D OW") : word == "new" ? std::string("N UW") : std::string();
    };
    const speechd::ResolvedWords resolved = speechd::resolveUserWords(
        {{text.toStdString(), phones.toStdString()}}, dictionary, speechd::fliteLetterToSound);
    if (name.isEmpty()) {
        QCOMPARE(resolved.words.size(), size_t(0));
        QCOMPARE(resolved.unpronounced, std::vector<std::string> {text.toStdString()});
        return;
    }
    QVERIFY(resolved.unpronounced.empty());
    QCOMPARE(resolved.words.size(), size_t(1));
    QCOMPARE(QString::fromStdString(resolved.words[0].name), name);
    QCOMPARE(QString::fromStdString(resolved.words[0].phones), expected);
    QCOMPARE(QString::fromStdString(resolved.words[0].text), text);
}

void TestSpeechdParts::variantDecodersAreCachedPerWordSet()
{
    QTemporaryDir dir;
    const QString path = SpeechTestUtil::makeEnglishWav(
        dir.path(), "named", "We drove from Kelvara to the coast in about three hours.");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    std::vector<int16_t> samples;
    QVERIFY(speechd::readPcm16kMono(wav.constData(), size_t(wav.size()), samples));
    std::vector<std::unique_ptr<speechd::Recognizer>> recognizers;
    recognizers.push_back(std::make_unique<speechd::Recognizer>());
    QVERIFY(recognizers.back()->load(SPEECHD_MODEL_DIR));
    speechd::DecodeQueue queue(std::move(recognizers), 4, 1);

    auto textOf = [&](const speechd::DecoderVariant &variant, speechd::Decoded &decoded) {
        if (!queue.decode(samples, variant, decoded))
            return QString("queue full");
        QString text;
        for (const auto &utterance : decoded.utterances) {
            for (const auto &word : utterance)
                text += QString::fromStdString(word.text) + ' ';
        }
        return text.trimmed();
    };
    speechd::DecoderVariant names;
    names.words = {{"Kelvara", ""}, {"R2D2", ""}};
    speechd::DecoderVariant others;
    others.words = {{"Zorblat", ""}};
    speechd::Decoded decoded;
    const QString plain = textOf(speechd::DecoderVariant(), decoded);
    QVERIFY2(!plain.contains("Kelvara", Qt::CaseInsensitive), qPrintable(plain));
    const QString first = textOf(names, decoded);
    // The user's word comes out as written; the unreadable one is named.
    QVERIFY2(first.contains("Kelvara"), qPrintable(first));
    QCOMPARE(decoded.unpronounced, std::vector<std::string> {"R2D2"});
    QCOMPARE(queue.variantBuilds(), size_t(1));
    QCOMPARE(textOf(names, decoded), first);
    QCOMPARE(queue.variantBuilds(), size_t(1)); // the second request of the set costs no build
    // The workers' own decoder never learnt the word.
    QCOMPARE(textOf(speechd::DecoderVariant(), decoded), plain);
    textOf(others, decoded);
    QCOMPARE(queue.variantBuilds(), size_t(2));
    // With room for one decoder, the other set was dropped and is built again.
    QCOMPARE(textOf(names, decoded), first);
    QCOMPARE(queue.variantBuilds(), size_t(3));
}

QTEST_GUILESS_MAIN(TestSpeechdParts)
#include "tst_speechdparts.moc"
