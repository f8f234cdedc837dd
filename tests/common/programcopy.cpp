#include "common/programcopy.h"

#include "common/speechtestutil.h"

#include <QFile>
#include <QSettings>

#include <unistd.h>

namespace {
// The program finds its deployment file beside its own path, so a symbolic link would not do.
bool linkOrCopy(const QString &built, const QString &copy)
{
    return ::link(QFile::encodeName(built).constData(), QFile::encodeName(copy).constData()) == 0
        || QFile::copy(built, copy);
}
} // namespace

ProgramCopy::ProgramCopy(const QString &serviceHost, int parallelRequests)
{
    valid = folder.isValid()
        && linkOrCopy(QStringLiteral(QUILLORA_BINARY_DIR "/quillora"), folder.filePath(QStringLiteral("quillora")));
    QSettings ini(folder.filePath(QStringLiteral("quillora.ini")), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("service"));
    ini.setValue(QStringLiteral("token_host"), serviceHost);
    ini.setValue(QStringLiteral("api_host"), serviceHost);
    ini.setValue(QStringLiteral("client_id"), SpeechTestUtil::testClientId());
    ini.setValue(QStringLiteral("client_secret"), SpeechTestUtil::testClientSecret());
    ini.setValue(QStringLiteral("parallel_requests"), parallelRequests);
    ini.endGroup();
    ini.sync();
    valid = valid && ini.status() == QSettings::NoError;
}

bool ProgramCopy::addSpeechService() const
{
    return linkOrCopy(
        QStringLiteral(QUILLORA_BINARY_DIR "/quillora-speechd"), folder.filePath(QStringLiteral("quillora-speechd")));
}

void ProgramCopy::start(QProcess &process, const QStringList &arguments) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    if (!lang.isEmpty()) {
        for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LANG"), lang);
    }
    for (const QString &name : variables.keys())
        env.insert(name, variables.value(name));
    process.setProcessEnvironment(env);
    process.start(folder.filePath(QStringLiteral("quillora")), arguments);
}

ProgramCopy::Result ProgramCopy::run(const QStringList &arguments, int timeoutMs) const
{
    QProcess process;
    start(process, arguments);
    Result result;
    if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    else
        process.kill();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}
