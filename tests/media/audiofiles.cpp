#include "audiofiles.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QtEndian>

namespace AudioFiles {

namespace {
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        return QString();
    }
    return QString::fromLocal8Bit(process.readAll());
}

QString field(const QString &text, const QString &pattern)
{
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    return match.hasMatch() ? match.captured(1) : QString();
}
} // namespace

bool makeTone(const QString &path, double seconds, int frequencyHz)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=%1:sample_rate=16000").arg(frequencyHz), QStringLiteral("-t"),
            QString::number(seconds), QStringLiteral("-ac"), QStringLiteral("1"), path});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeSpokenWords(const QString &path, const QStringList &words, double secondsEach)
{
    QTemporaryDir dir;
    QStringList arguments {
        QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y")};
    QString filter;
    QString joined;
    for (int i = 0; i < words.size(); ++i) {
        const QString wav = dir.filePath(QStringLiteral("%1.wav").arg(i));
        if (QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wav, words.at(i)}) != 0)
            return false;
        arguments << QStringLiteral("-i") << wav;
        filter += QStringLiteral("[%1]aresample=16000,apad=whole_dur=%2[a%1];").arg(i).arg(secondsEach);
        joined += QStringLiteral("[a%1]").arg(i);
    }
    arguments << QStringLiteral("-filter_complex")
              << filter + joined + QStringLiteral("concat=n=%1:v=0:a=1").arg(words.size()) << QStringLiteral("-ac")
              << QStringLiteral("1") << path;
    return QProcess::execute(QStringLiteral("ffmpeg"), arguments) == 0;
}

Facts measure(const QString &path)
{
    Facts facts;
    const QString streams = run(QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
            QStringLiteral("stream=sample_rate,channels:format=duration"), QStringLiteral("-of"),
            QStringLiteral("default=noprint_wrappers=1"), path});
    facts.sampleRate = field(streams, QStringLiteral("sample_rate=(\\d+)")).toInt();
    facts.channels = field(streams, QStringLiteral("channels=(\\d+)")).toInt();
    bool ok = false;
    const double seconds = field(streams, QStringLiteral("duration=([0-9.]+)")).toDouble(&ok);
    if (ok)
        facts.seconds = seconds;
    const QString volume = run(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-i"), path, QStringLiteral("-af"), QStringLiteral("volumedetect"),
            QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    const double mean = field(volume, QStringLiteral("mean_volume: (-?[0-9.]+) dB")).toDouble(&ok);
    if (ok)
        facts.meanVolumeDb = mean;
    return facts;
}

bool headerSizesRight(const QString &path, qint64 *audioBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4096);
    const int data = head.indexOf("data", 12);
    if (!head.startsWith("RIFF") || data < 0 || data + 8 > head.size())
        return false;
    const qint64 riff = qFromLittleEndian<quint32>(head.constData() + 4);
    const qint64 audio = qFromLittleEndian<quint32>(head.constData() + data + 4);
    if (audioBytes)
        *audioBytes = audio;
    return riff == file.size() - 8 && audio == file.size() - data - 8;
}

} // namespace AudioFiles
