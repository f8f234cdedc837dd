#pragma once

// Helpers for tests that need the offline speech service or spoken English audio.
// Add tests/common/speechtestutil.cpp to a quillora_add_test source list to use them.

#include "app/deployment.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class QProcess;

namespace SpeechTestUtil {

// Credentials the test service accepts (24 and 32 letters and digits, like real ones).
QString testClientId();
QString testClientSecret();

// quillora-speechd from the build tree, on a free loopback port, with the test credentials.
class SpeechServiceProcess : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(SpeechServiceProcess)

public:
    explicit SpeechServiceProcess(QObject *parent = nullptr);
    ~SpeechServiceProcess() override; // ends the service

    // Starts the service (extra options such as "--queue", "0" are appended) and waits until it listens.
    // False when it did not start or listen within the time; log() then says why.
    bool start(const QStringList &extraArguments = {}, int timeoutMs = 30000);
    void stop();

    quint16 port() const { return listenPort; }
    qint64 pid() const; // 0 when not running
    QString hostAndPort() const;
    // Both endpoints at this service, with the test credentials.
    DeploymentConfig config() const;
    // Everything the service wrote to stderr so far (the listening line, one line per request).
    QString log();

private:
    void drain();

    QProcess *process = nullptr;
    quint16 listenPort = 0;
    QByteArray stderrText;
};

// A 16 kHz mono 16-bit PCM WAV at folder/baseName.wav of `text` spoken by espeak-ng (voice en-us+f2,
// the clearest for the English model), converted with ffmpeg. Empty on failure.
QString makeEnglishWav(const QString &folder, const QString &baseName, const QString &text);

// Ten everyday English sentences of about four seconds each that the offline model knows well.
QStringList everydaySentences();

// Sentences spoken one by one and joined, each followed by its pause: 16 kHz mono 16-bit samples and
// where each sentence's speech begins (ms from the start).
struct SpokenSentences
{
    QByteArray pcm;
    QVector<qint64> onsetsMs;
    QStringList words; // every sentence's normalizedWords, in order
    bool ok = false;
};
SpokenSentences speakSentences(const QString &folder, const QStringList &sentences, const QVector<double> &pausesAfter);
// The samples of a WAV that ffmpeg wrote (its header carries a LIST chunk before "data").
QByteArray pcmOfWav(const QString &wavPath);
// Milliseconds to the first sample louder than the quietest speech; -1 when there is none.
qint64 onsetMs(const QByteArray &pcm);
// How many cues ffmpeg reads from a subtitle file; -1 when it cannot read it.
int cuesFfmpegReads(const QString &subtitlePath);

// A canonical 44-byte-header RIFF/WAVE around `pcm` (format tag 1 is PCM, 3 IEEE float).
QByteArray wavBytes(
    const QByteArray &pcm, int sampleRate = 16000, int channels = 1, int bitsPerSample = 16, int formatTag = 1);
// `seconds` of 16 kHz mono 16-bit silence as WAV bytes.
QByteArray silentWav(double seconds);

// Lower-case words without punctuation ("Don't stop." -> "don't", "stop").
QStringList normalizedWords(const QString &text);
// Word-level edit distance (substitutions, insertions, deletions).
int wordEditDistance(const QStringList &reference, const QStringList &hypothesis);

// A free TCP port on 127.0.0.1 at the moment of asking.
quint16 freeLoopbackPort();

} // namespace SpeechTestUtil
