#include "common/speechtestutil.h"

#include "platform/processes.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

#include <algorithm>
#include <vector>

namespace SpeechTestUtil {

QString testClientId()
{
    return QStringLiteral("TestClientId000000000001");
}

QString testClientSecret()
{
    return QStringLiteral("TestClientSecret0000000000000001");
}

SpeechServiceProcess::SpeechServiceProcess(QObject *parent)
    : QObject(parent)
{ }

SpeechServiceProcess::~SpeechServiceProcess()
{
    stop();
}

bool SpeechServiceProcess::start(const QStringList &extraArguments, int timeoutMs)
{
    stop();
    stderrText.clear();
    // A test that crashes must not leave its service running.
    process = newChildEndingWithParent(this);
    process->setProgram(QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd"));
    // Port 0: the service picks a free port itself and names it, so two test runs never collide.
    process->setArguments(
        QStringList {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--client-id"),
            testClientId(), QStringLiteral("--client-secret"), testClientSecret()}
        + extraArguments);
    process->setReadChannel(QProcess::StandardError);
    // Keep reading its log so a long test never fills the pipe and stalls the service.
    connect(process, &QProcess::readyReadStandardError, this, &SpeechServiceProcess::drain);
    process->start();
    if (!process->waitForStarted(timeoutMs))
        return false;

    static const QRegularExpression listening(QStringLiteral("listening on [^\\s]*:(\\d+)"));
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        drain();
        const QRegularExpressionMatch match = listening.match(QString::fromLocal8Bit(stderrText));
        if (match.hasMatch()) {
            listenPort = quint16(match.captured(1).toUInt());
            return true;
        }
        if (process->state() == QProcess::NotRunning)
            return false;
        process->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 200)));
    }
    return false;
}

void SpeechServiceProcess::stop()
{
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(2000);
        }
    }
    drain();
    delete process;
    process = nullptr;
    listenPort = 0;
}

void SpeechServiceProcess::drain()
{
    if (process)
        stderrText += process->readAllStandardError();
}

qint64 SpeechServiceProcess::pid() const
{
    return process ? process->processId() : 0;
}

QString SpeechServiceProcess::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(listenPort);
}

DeploymentConfig SpeechServiceProcess::config() const
{
    DeploymentConfig config = defaultDeploymentConfig();
    config.tokenHost = hostAndPort();
    config.apiHost = hostAndPort();
    config.clientId = testClientId();
    config.clientSecret = testClientSecret();
    return config;
}

QString SpeechServiceProcess::log()
{
    drain();
    return QString::fromLocal8Bit(stderrText);
}

QString makeEnglishWav(const QString &folder, const QString &baseName, const QString &text)
{
    const QString spoken = folder + QLatin1Char('/') + baseName + QStringLiteral(".espeak.wav");
    const QString wav = folder + QLatin1Char('/') + baseName + QStringLiteral(".wav");
    QProcess espeak;
    espeak.start(QStringLiteral("espeak-ng"),
        {QStringLiteral("-v"), QStringLiteral("en-us+f2"), QStringLiteral("-w"), spoken, text});
    if (!espeak.waitForFinished(60000) || espeak.exitStatus() != QProcess::NormalExit || espeak.exitCode() != 0)
        return QString();
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error"),
            QStringLiteral("-i"), spoken, QStringLiteral("-ar"), QStringLiteral("16000"), QStringLiteral("-ac"),
            QStringLiteral("1"), QStringLiteral("-acodec"), QStringLiteral("pcm_s16le"), wav});
    const bool converted
        = ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    QFile::remove(spoken);
    return converted && QFile::exists(wav) ? wav : QString();
}

QByteArray pcmOfWav(const QString &wavPath)
{
    QFile file(wavPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray bytes = file.readAll();
    const int data = bytes.indexOf("data");
    return data < 0 ? QByteArray() : bytes.mid(data + 8);
}

qint64 onsetMs(const QByteArray &pcm)
{
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    for (int i = 0; i < pcm.size() / 2; ++i) {
        if (qAbs(int(samples[i])) > 500)
            return qint64(i) / 16;
    }
    return -1;
}

QStringList everydaySentences()
{
    return {
        "Please open the window because it is very warm in this room.",
        "My brother bought a new car last week and drove it to the city.",
        "The train to London leaves at half past seven every morning.",
        "She likes to read books about history and science in the evening.",
        "We walked along the river and watched the boats go by.",
        "The children played in the garden until it was time for dinner.",
        "He wrote a long letter to his friend who lives in another country.",
        "The weather is nice today and we will go for a walk.",
        "Our teacher told us a story about a small town by the sea.",
        "They opened the shop early because many people were waiting.",
    };
}

SpokenSentences speakSentences(const QString &folder, const QStringList &sentences, const QVector<double> &pausesAfter)
{
    SpokenSentences spoken;
    for (int i = 0; i < sentences.size(); ++i) {
        const QByteArray piece = pcmOfWav(makeEnglishWav(folder, QStringLiteral("s%1").arg(i), sentences.at(i)));
        if (piece.isEmpty())
            return spoken;
        spoken.onsetsMs << spoken.pcm.size() / 32 + onsetMs(piece);
        spoken.pcm += piece + QByteArray(int(pausesAfter.value(i) * 16000) * 2, '\0');
        spoken.words += normalizedWords(sentences.at(i));
    }
    spoken.ok = true;
    return spoken;
}

int cuesFfmpegReads(const QString &subtitlePath)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"),
            subtitlePath, QStringLiteral("-f"), QStringLiteral("srt"), QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(30000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return -1;
    return QString::fromUtf8(ffmpeg.readAllStandardOutput()).count(QStringLiteral(" --> "));
}

QByteArray wavBytes(const QByteArray &pcm, int sampleRate, int channels, int bitsPerSample, int formatTag)
{
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint16 blockAlign = quint16(channels * bitsPerSample / 8);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(formatTag) << quint16(channels) << quint32(sampleRate)
        << quint32(sampleRate * blockAlign) << blockAlign << quint16(bitsPerSample);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), pcm.size());
    return wav;
}

QByteArray silentWav(double seconds)
{
    return wavBytes(QByteArray(int(seconds * 16000) * 2, '\0'));
}

QStringList normalizedWords(const QString &text)
{
    static const QRegularExpression notWordChar(QStringLiteral("[^a-z0-9']+"));
    return text.toLower().split(notWordChar, Qt::SkipEmptyParts);
}

int wordEditDistance(const QStringList &reference, const QStringList &hypothesis)
{
    std::vector<int> previous(size_t(hypothesis.size()) + 1);
    std::vector<int> current(previous.size());
    for (size_t j = 0; j < previous.size(); ++j)
        previous[j] = int(j);
    for (int i = 1; i <= reference.size(); ++i) {
        current[0] = i;
        for (int j = 1; j <= hypothesis.size(); ++j) {
            const int substitution = previous[size_t(j) - 1] + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1);
            current[size_t(j)] = std::min({substitution, previous[size_t(j)] + 1, current[size_t(j) - 1] + 1});
        }
        std::swap(previous, current);
    }
    return previous.back();
}

quint16 freeLoopbackPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

} // namespace SpeechTestUtil
