#include "common/programcopy.h"

#include "common/speechtestutil.h"

#include <QFile>
#include <QSettings>

#include <unistd.h>

ProgramCopy::ProgramCopy(const QString &serviceHost, int parallelRequests)
{
    const QString built = QStringLiteral(QUILLORA_BINARY_DIR "/quillora");
    const QString program = folder.filePath(QStringLiteral("quillora"));
    // The program finds its deployment file beside its own path, so a symbolic link would not do.
    valid = folder.isValid()
        && (::link(QFile::encodeName(built).constData(), QFile::encodeName(program).constData()) == 0
            || QFile::copy(built, program));
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
