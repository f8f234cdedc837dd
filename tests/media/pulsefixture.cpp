#include "pulsefixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QThread>

#include <csignal>
#include <sys/types.h>

namespace {
// A daemon that ended but was not reaped yet (no init in a container) counts as gone.
bool alive(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const int afterName = text.lastIndexOf(')');
    return afterName < 0 || text.mid(afterName + 2, 1) != "Z";
}

bool waitGone(qint64 pid, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (alive(pid)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}
} // namespace

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

    QStringList arguments {QStringLiteral("-n"), QStringLiteral("-D"), QStringLiteral("--exit-idle-time=-1"),
        QStringLiteral("--disallow-exit"), QStringLiteral("--log-target=file:") + root + QStringLiteral("/pulse.log"),
        QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket,
        QStringLiteral("--load=module-null-sink sink_name=nullsink"),
        QStringLiteral("--load=module-null-sink sink_name=vspeaker rate=16000 channels=1")};
    for (const QString &name : m_microphones)
        arguments << QStringLiteral("--load=module-remap-source master=vspeaker.monitor source_name=") + name;

    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    env.remove(QStringLiteral("PULSE_SERVER"));
    daemon.setProcessEnvironment(env);
    daemon.start(QStringLiteral("pulseaudio"), arguments);
    // With -D the starter returns once the daemon is up.
    if (!daemon.waitForFinished(15000) || daemon.exitCode() != 0) {
        daemon.kill();
        daemon.waitForFinished(1000);
        m_error = QStringLiteral("pulseaudio did not start: ") + QString::fromLocal8Bit(daemon.readAllStandardError());
        return false;
    }
    QFile pidFile(root + QStringLiteral("/run/pulse/pid"));
    if (pidFile.open(QIODevice::ReadOnly))
        m_daemonPid = pidFile.readAll().trimmed().toLongLong();

    m_hadServer = qEnvironmentVariableIsSet("PULSE_SERVER");
    m_savedServer = qgetenv("PULSE_SERVER");
    m_serverSet = true;
    qputenv("PULSE_SERVER", (QStringLiteral("unix:") + socket).toLocal8Bit());

    QDeadlineTimer deadline(10000);
    while (!runPactl({QStringLiteral("info")})) {
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("pulseaudio does not answer");
            return false;
        }
        QThread::msleep(100);
    }
    runPactl({QStringLiteral("set-default-sink"), QStringLiteral("nullsink")});
    return true;
}

bool PulseFixture::startTone(int frequencyHz)
{
    m_tone.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-re"),
            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=%1:sample_rate=16000").arg(frequencyHz), QStringLiteral("-f"),
            QStringLiteral("pulse"), QStringLiteral("-buffer_duration"), QStringLiteral("50"),
            QStringLiteral("-device"), QStringLiteral("vspeaker"), QStringLiteral("tone")});
    if (!m_tone.waitForStarted(5000))
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
    if (m_daemonPid > 0) {
        ::kill(pid_t(m_daemonPid), SIGTERM);
        if (!waitGone(m_daemonPid, 5000)) {
            ::kill(pid_t(m_daemonPid), SIGKILL);
            waitGone(m_daemonPid, 2000);
        }
        m_daemonPid = 0;
    }
    if (m_serverSet) {
        if (m_hadServer)
            qputenv("PULSE_SERVER", m_savedServer);
        else
            qunsetenv("PULSE_SERVER");
        m_serverSet = false;
    }
}
