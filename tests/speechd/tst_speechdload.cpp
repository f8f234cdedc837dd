#include "common/speechhttp.h"
#include "common/speechtestutil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <vector>

using namespace SpeechTestUtil;

namespace {

// The service's own limits (speechd/httpfront.h): 2 s to a request's first byte, 1 s between reads.
const int keepAliveMs = 2000;
const int readTimeoutMs = 1000;
// Scheduling slack on a busy two-core machine.
const int slackMs = 1000;

// Holds `count` connections open the way an attacker would: each either sends nothing, or trickles a
// request one header line every two seconds. A connection the service closes is opened again at once,
// so the pressure lasts; how long each one lived is recorded.
class ConnectionHolder : public QObject
{
public:
    enum class Mode { Idle, SlowHeaders };

    ConnectionHolder(quint16 port, int count, Mode mode)
        : port(port)
        , mode(mode)
    {
        for (int i = 0; i < count; ++i)
            open();
        connect(&trickle, &QTimer::timeout, this, &ConnectionHolder::sendHeaderLine);
        trickle.start(2000);
    }
    ~ConnectionHolder() override { stop(); }

    void stop()
    {
        trickle.stop();
        for (Held &held : connections) {
            held.socket->disconnect(this);
            held.socket->abort();
        }
    }
    int connected() const
    {
        return int(std::count_if(connections.begin(), connections.end(),
            [](const Held &held) { return held.socket->state() == QAbstractSocket::ConnectedState; }));
    }
    // Lifetimes of the connections the service closed, from the last byte sent (or the connect) to the close.
    std::vector<qint64> silences;

private:
    struct Held
    {
        QTcpSocket *socket;
        QElapsedTimer sinceLastByte;
    };

    void open()
    {
        auto *socket = new QTcpSocket(this);
        const size_t index = connections.size();
        connections.push_back({socket, {}});
        connect(socket, &QTcpSocket::connected, this, [this, index] {
            Held &held = connections[index];
            held.sinceLastByte.start();
            if (mode == Mode::SlowHeaders)
                write(held, "GET /oauth/2.0/token HTTP/1.1\r\n");
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, index] {
            Held &held = connections[index];
            silences.push_back(held.sinceLastByte.elapsed());
            held.socket->abort();
            held.socket->connectToHost(QHostAddress::LocalHost, port);
        });
        socket->connectToHost(QHostAddress::LocalHost, port);
    }

    void write(Held &held, const QByteArray &bytes)
    {
        held.socket->write(bytes);
        held.sinceLastByte.restart();
    }

    void sendHeaderLine()
    {
        if (mode != Mode::SlowHeaders)
            return;
        for (Held &held : connections) {
            if (held.socket->state() == QAbstractSocket::ConnectedState)
                write(held, "X-Slow: still here\r\n");
        }
    }

    const quint16 port;
    const Mode mode;
    std::vector<Held> connections;
    QTimer trickle;
};

} // namespace

// Issue-free clients keep being served while slow and idle connections are held against the service.
class TestSpeechdLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void heldConnections_data();
    void heldConnections();

private:
    QTemporaryDir dir;
    SpeechServiceProcess service;
    QNetworkAccessManager network;
    QByteArray recognitionBody;
    qint64 quietRecognitionMs = 0;
};

void TestSpeechdLoad::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(service.start({QStringLiteral("--workers"), QStringLiteral("1")}), qPrintable(service.log()));
    const QString path = makeEnglishWav(
        dir.path(), QStringLiteral("sentence"), QStringLiteral("Please open the window because it is warm."));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString token = fetchToken(network, service);
    QVERIFY(!token.isEmpty());
    recognitionBody = requestBody(token, file.readAll());
    // The decoding time without any pressure: the best of two, the first also waiting for the model.
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(
            exchange(network, recognitionUrl(service.hostAndPort()), &recognitionBody).json().value("err_no").toInt(-1),
            0);
        quietRecognitionMs = i == 0 ? timer.elapsed() : std::min(quietRecognitionMs, timer.elapsed());
    }
}

void TestSpeechdLoad::heldConnections_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("closedWithinMs"); // after the last byte each one sent
    QTest::newRow("64 sending a header line every 2 s")
        << 64 << int(ConnectionHolder::Mode::SlowHeaders) << readTimeoutMs + slackMs;
    QTest::newRow("256 idle") << 256 << int(ConnectionHolder::Mode::Idle) << keepAliveMs + slackMs;
}

void TestSpeechdLoad::heldConnections()
{
    QFETCH(int, count);
    QFETCH(int, mode);
    QFETCH(int, closedWithinMs);

    ConnectionHolder holder(service.port(), count, ConnectionHolder::Mode(mode));
    QTRY_COMPARE_WITH_TIMEOUT(holder.connected(), count, 5000);
    QTest::qWait(300); // every one has reached a service thread

    // A fresh connection each time, as a new client would come.
    network.clearConnectionCache();
    QElapsedTimer timer;
    timer.start();
    const HttpAnswer token = exchange(
        network, tokenUrl(service.hostAndPort(), credentialsQuery(testClientId(), testClientSecret())), nullptr, 10000);
    const qint64 tokenMs = timer.elapsed();
    QCOMPARE(token.status, 200);
    QVERIFY2(tokenMs <= 1000, qPrintable(QString::number(tokenMs)));

    network.clearConnectionCache();
    timer.restart();
    const HttpAnswer recognition = exchange(network, recognitionUrl(service.hostAndPort()), &recognitionBody);
    const qint64 recognitionMs = timer.elapsed();
    QCOMPARE(recognition.json().value("err_no").toInt(-1), 0);
    QVERIFY2(recognitionMs <= quietRecognitionMs + 1000,
        qPrintable(QStringLiteral("%1 ms, %2 ms without pressure").arg(recognitionMs).arg(quietRecognitionMs)));
    qInfo("%d held: token in %lld ms, recognition in %lld ms (%lld ms without pressure)", count, tokenMs, recognitionMs,
        quietRecognitionMs);

    // The service closes every held connection itself, each within its time-out.
    QTRY_VERIFY_WITH_TIMEOUT(int(holder.silences.size()) >= count, closedWithinMs + 3000);
    holder.stop();
    const qint64 longest = *std::max_element(holder.silences.begin(), holder.silences.end());
    QVERIFY2(longest <= closedWithinMs, qPrintable(QStringLiteral("held for %1 ms").arg(longest)));
}

QTEST_GUILESS_MAIN(TestSpeechdLoad)
#include "tst_speechdload.moc"
