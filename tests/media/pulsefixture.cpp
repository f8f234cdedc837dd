#include "pulsefixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

void PulseFixture::ChildProcess::setupChildProcess()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the request was in place.
    if (qint64(::getppid()) != m_parentPid)
        ::_exit(1);
}

PulseFixture::PulseFixture(const QStringList &microphones)
    : m_microphones(microphones)
    , m_dir(QDir::tempPath() + QStringLiteral("/qpa-XXXXXX"))
{ }

PulseFixture::~PulseFixture()
{
    stop();
}

bool PulseFixture::runPactl(const QStringList &arguments, int timeoutMs)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), arguments);
    if (!pactl.waitForFinished(timeoutMs)) {
        pactl.kill();
        pactl.waitForFinished(1000);
        return false;
    }
    return pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

bool PulseFixture::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString root = m_dir.path();
    QDir().mkpath(root + QStringLiteral("/run"));
    QDir().mkpath(root + QStringLiteral("/home"));
    QFile::setPermissions(
        root + QStringLiteral("/run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = root + QStringLiteral("/run/pulse/native");

    QStringList arguments {QStringLiteral("-n"), QStringLiteral("--exit-idle-time=-1"),
        QStringLiteral("--disallow-exit"), QStringLiteral("--log-target=file:") + root + QStringLiteral("/pulse.log"),
        QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket,
        QStringLiteral("--load=module-null-sink sink_name=nullsink"),
        QStringLiteral("--load=module-null-sink sink_name=vspeaker rate=16000 channels=1")};
    for (const QString &name : m_microphones)
        arguments << QStringLiteral("--load=module-remap-source master=vspeaker.monitor source_name=") + name;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    env.remove(QStringLiteral("PULSE_SERVER"));
    m_daemon.setProcessEnvironment(env);
    // In the foreground rather than daemonised (-D): a daemon would leave this process's care and
    // outlive a test that crashes or is killed.
    m_daemon.setStandardInputFile(QProcess::nullDevice());
    m_daemon.setStandardOutputFile(root + QStringLiteral("/pulse.out"));
    m_daemon.setStandardErrorFile(root + QStringLiteral("/pulse.out"), QIODevice::Append);
    m_daemon.start(QStringLiteral("pulseaudio"), arguments);
    if (!m_daemon.waitForStarted(5000)) {
        m_error = QStringLiteral("pulseaudio did not start: ") + m_daemon.errorString();
        return false;
    }

    m_hadServer = qEnvironmentVariableIsSet("PULSE_SERVER");
    m_savedServer = qgetenv("PULSE_SERVER");
    m_serverSet = true;
    qputenv("PULSE_SERVER", (QStringLiteral("unix:") + socket).toLocal8Bit());

    QDeadlineTimer deadline(15000);
    while (!runPactl({QStringLiteral("info")})) {
        if (m_daemon.state() == QProcess::NotRunning || deadline.hasExpired()) {
            QFile log(root + QStringLiteral("/pulse.log"));
            log.open(QIODevice::ReadOnly);
            m_error
                = QStringLiteral("pulseaudio does not answer: ") + QString::fromLocal8Bit(log.readAll().right(2000));
            return false;
        }
        QThread::msleep(100);
    }
    runPactl({QStringLiteral("set-default-sink"), QStringLiteral("nullsink")});
    return true;
}

bool PulseFixture::playIntoSpeaker(const QStringList &input, const QString &streamName)
{
    if (m_tone.state() != QProcess::NotRunning) {
        m_tone.kill();
        m_tone.waitForFinished(2000);
    }
    m_tone.start(QStringLiteral("ffmpeg"),
        QStringList {
            QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-re")}
            + input
            + QStringList {QStringLiteral("-f"), QStringLiteral("pulse"), QStringLiteral("-buffer_duration"),
                QStringLiteral("50"), QStringLiteral("-device"), QStringLiteral("vspeaker"), streamName});
    if (!m_tone.waitForStarted(5000)) {
        m_error = QStringLiteral("ffmpeg did not start: ") + m_tone.errorString();
        return false;
    }
    return true;
}

bool PulseFixture::startSpeech(const QString &wavPath)
{
    return playIntoSpeaker({QStringLiteral("-i"), wavPath}, QStringLiteral("speech"));
}

bool PulseFixture::startTone(int frequencyHz)
{
    if (!playIntoSpeaker({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                             QStringLiteral("sine=frequency=%1:sample_rate=16000").arg(frequencyHz)},
            QStringLiteral("tone")))
        return false;
    // Let the stream settle before anybody listens.
    QThread::msleep(300);
    if (m_tone.state() != QProcess::Running) {
        m_error = QStringLiteral("the tone does not play");
        return false;
    }
    // The first capture after the tone starts loses a second or more; take that loss here.
    for (const QString &name : qAsConst(m_microphones)) {
        QProcess capture;
        capture.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-f"),
                QStringLiteral("pulse"), QStringLiteral("-i"), name, QStringLiteral("-t"), QStringLiteral("0.2"),
                QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
        if (!capture.waitForFinished(10000) || capture.exitCode() != 0) {
            capture.kill();
            capture.waitForFinished(1000);
            m_error = QStringLiteral("cannot capture from ") + name;
            return false;
        }
    }
    return true;
}

void PulseFixture::stop()
{
    if (m_tone.state() != QProcess::NotRunning) {
        m_tone.kill();
        m_tone.waitForFinished(3000);
    }
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(2000);
        }
    }
    if (m_serverSet) {
        if (m_hadServer)
            qputenv("PULSE_SERVER", m_savedServer);
        else
            qunsetenv("PULSE_SERVER");
        m_serverSet = false;
    }
}
