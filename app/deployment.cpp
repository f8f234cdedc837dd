#include "app/deployment.h"

#include "app/appstate.h"
#include "deploymentdefaults.h"

#include <QFileInfo>
#include <QSettings>

#include <cstdio>

QString DeploymentConfig::tokenUrl() const
{
    return QStringLiteral("http://%1/oauth/2.0/token?grant_type=client_credentials&client_id=%2&client_secret=%3")
        .arg(tokenHost, clientId, clientSecret);
}

QString DeploymentConfig::recognitionUrl() const
{
    return QStringLiteral("http://%1/server_api").arg(apiHost);
}

QString DeploymentConfig::healthUrl() const
{
    return QStringLiteral("http://%1/healthz").arg(apiHost);
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
    const QVariant parallel = ini.value(QStringLiteral("service/parallel_requests"));
    if (parallel.isValid())
        config.parallelRequests = parallelRequestsSetting(parallel.toString(), iniPath);
    return config;
}

const DeploymentConfig &deploymentConfig()
{
    static const DeploymentConfig config = loadDeploymentConfig(AppState::appDir + QStringLiteral("/quillora.ini"));
    return config;
}
