#include "app/deployment.h"

#include "deploymentdefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include <cstdio>

namespace {

// Why the file at path cannot serve as the deployment, or an empty text.
QString deploymentFileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return QStringLiteral("cannot be read");
    const QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return QStringLiteral("is not a valid INI file");
    // Read directly: loading the whole configuration here would report its other problems twice.
    const DeploymentConfig defaults = defaultDeploymentConfig();
    if (!parseServiceHost(ini.value(QStringLiteral("service/token_host"), defaults.tokenHost).toString()).valid
        || !parseServiceHost(ini.value(QStringLiteral("service/api_host"), defaults.apiHost).toString()).valid)
        return QStringLiteral("has a token_host or api_host that is not host[:port] or https://host[:port]");
    return QString();
}

} // namespace

ServiceHost parseServiceHost(const QString &setting)
{
    ServiceHost result;
    result.hostAndPort = setting;
    const int schemeEnd = setting.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        const QString scheme = setting.left(schemeEnd).toLower();
        if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
            return result;
        result.tls = scheme == QLatin1String("https");
        result.hostAndPort = setting.mid(schemeEnd + 3);
    }
    const QUrl url(QStringLiteral("http://") + result.hostAndPort + QLatin1Char('/'));
    result.valid
        = url.isValid() && !url.host().isEmpty() && url.path() == QLatin1String("/") && url.userInfo().isEmpty();
    result.host = url.host();
    result.port = url.port(result.tls ? 443 : 80);
    return result;
}

QString ServiceHost::origin() const
{
    return (tls ? QStringLiteral("https://") : QStringLiteral("http://")) + hostAndPort;
}

QString DeploymentConfig::tokenUrl() const
{
    return QStringLiteral("%1/oauth/2.0/token?grant_type=client_credentials&client_id=%2&client_secret=%3")
        .arg(parseServiceHost(tokenHost).origin(), clientId, clientSecret);
}

QString DeploymentConfig::recognitionUrl() const
{
    return parseServiceHost(apiHost).origin() + QStringLiteral("/server_api");
}

QString DeploymentConfig::healthUrl() const
{
    return parseServiceHost(apiHost).origin() + QStringLiteral("/healthz");
}

int parseParallelRequests(const QString &text, bool *valid)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    *valid = ok && value >= 0;
    return *valid ? value : 0;
}

namespace {

int parallelRequestsSetting(const QString &text, const QString &origin)
{
    bool valid = false;
    const int value = parseParallelRequests(text, &valid);
    if (!valid)
        std::fprintf(stderr,
            "quillora: parallel_requests=\"%s\" in %s is not a whole number from 0 up; automatic is used\n",
            qUtf8Printable(text), qUtf8Printable(origin));
    return value;
}

} // namespace

DeploymentConfig defaultDeploymentConfig()
{
    DeploymentConfig config;
    config.tokenHost = QStringLiteral(QUILLORA_DEFAULT_TOKEN_HOST);
    config.apiHost = QStringLiteral(QUILLORA_DEFAULT_API_HOST);
    config.clientId = QStringLiteral(QUILLORA_DEFAULT_CLIENT_ID);
    config.clientSecret = QStringLiteral(QUILLORA_DEFAULT_CLIENT_SECRET);
    config.homePageAddress = QStringLiteral(QUILLORA_DEFAULT_HOMEPAGE);
    config.parallelRequests
        = parallelRequestsSetting(QStringLiteral(QUILLORA_DEFAULT_PARALLEL_REQUESTS), QStringLiteral("the build"));
    return config;
}

DeploymentConfig loadDeploymentConfig(const QString &iniPath)
{
    DeploymentConfig config = defaultDeploymentConfig();
    if (!QFileInfo(iniPath).isReadable())
        return config;
    const QSettings ini(iniPath, QSettings::IniFormat);
    config.tokenHost = ini.value(QStringLiteral("service/token_host"), config.tokenHost).toString();
    config.apiHost = ini.value(QStringLiteral("service/api_host"), config.apiHost).toString();
    config.clientId = ini.value(QStringLiteral("service/client_id"), config.clientId).toString();
    config.clientSecret = ini.value(QStringLiteral("service/client_secret"), config.clientSecret).toString();
    config.homePageAddress = ini.value(QStringLiteral("homepage/address"), config.homePageAddress).toString();
    const QString caFile = ini.value(QStringLiteral("service/ca_file")).toString();
    if (!caFile.isEmpty())
        config.caFile = QDir::cleanPath(QFileInfo(iniPath).absoluteDir().absoluteFilePath(caFile));
    const QVariant parallel = ini.value(QStringLiteral("service/parallel_requests"));
    if (parallel.isValid())
        config.parallelRequests = parallelRequestsSetting(parallel.toString(), iniPath);
    return config;
}

QStringList deploymentFiles(const QString &appDir)
{
    return {appDir + QStringLiteral("/quillora.ini"), QStringLiteral(QUILLORA_SYSTEM_DEPLOYMENT_FILE)};
}

DeploymentConfig loadFirstDeploymentConfig(const QStringList &files, QString *problem)
{
    for (const QString &path : files) {
        if (!QFileInfo::exists(path))
            continue;
        const QString why = deploymentFileProblem(path);
        if (why.isEmpty())
            return loadDeploymentConfig(path);
        *problem = QStringLiteral("%1 %2; using the built-in defaults").arg(path, why);
        return defaultDeploymentConfig();
    }
    return defaultDeploymentConfig();
}

DeploymentConfig readDeploymentConfig(const QString &appDir)
{
    QString problem;
    const DeploymentConfig config = loadFirstDeploymentConfig(deploymentFiles(appDir), &problem);
    if (!problem.isEmpty()) {
        const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(program), qUtf8Printable(problem));
    }
    return config;
}
