#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private PulseAudio daemon in a temporary folder with virtual microphones fed from a null sink,
// so recordings capture real audio on a machine without a sound card. While it runs, this process
// (and every child it starts) talks to it through PULSE_SERVER. The daemon and the tone are children
// of this process, stopped by pid, never by name, and they die with it should the test crash or be
// killed before it can stop them.
class PulseFixture
{
public:
    // Every name in microphones becomes a capture source listening to the same virtual speaker.
    explicit PulseFixture(const QStringList &microphones = {QStringLiteral("virtmic")});
    ~PulseFixture();
    Q_DISABLE_COPY(PulseFixture)

    bool start();
    // A tone into the virtual speaker, in real time, so the microphones hear it.
    bool startTone(int frequencyHz = 440);
    // A WAV file into the virtual speaker once, in real time (replacing the tone); silence after it.
    bool startSpeech(const QString &wavPath);
    void stop();

    QString error() const { return m_error; }
    QStringList microphones() const { return m_microphones; }
    qint64 daemonPid() const { return m_daemon.processId(); }

private:
    bool playIntoSpeaker(const QStringList &input, const QString &streamName);
    bool runPactl(const QStringList &arguments, int timeoutMs = 3000);

    // A child that gets SIGKILL when this process ends, however it ends.
    class ChildProcess : public QProcess
    {
    protected:
        void setupChildProcess() override;

    private:
        const qint64 m_parentPid = QCoreApplication::applicationPid();
    };

    QStringList m_microphones;
    QTemporaryDir m_dir;
    ChildProcess m_daemon;
    ChildProcess m_tone;
    QString m_error;
    QByteArray m_savedServer;
    bool m_hadServer = false;
    bool m_serverSet = false;
};
