#pragma once

#include <QString>
#include <QStringList>

// A token_host or api_host setting: "host[:port]" or "http://host[:port]" (plain HTTP), or
// "https://host[:port]" (TLS, the certificate verified).
struct ServiceHost
{
    bool valid = false;
    bool tls = false;
    QString host; // without brackets around an IPv6 address
    int port = 80; // the scheme's port when the setting names none
    QString hostAndPort; // the setting without its scheme
    // "http://host:port" or "https://host:port" as the setting writes them, no trailing slash.
    QString origin() const;
};
ServiceHost parseServiceHost(const QString &setting);

// Where the speech service lives and who we are to it. Compiled-in defaults (CMake cache variables)
// may be overridden by a read-only "quillora.ini" beside the executable or, for an installed copy,
// /etc/quillora/quillora.ini; the program never writes either.
struct DeploymentConfig
{
    QString tokenHost; // [https://]host[:port] of the token endpoint
    QString apiHost; // [https://]host[:port] of the recognition endpoint
    QString clientId;
    QString clientSecret;
    QString homePageAddress;
    // PEM file of the certificate authorities trusted for https hosts instead of the system's store;
    // absolute (ca_file= is relative to the deployment file's folder). Empty: the system's store.
    QString caFile;
    // Recognition requests of a run in flight at once; 0 is automatic: as many as the local service has
    // workers, 1 for a service elsewhere.
    int parallelRequests = 0;

    // Token URL: query keys in the order grant_type, client_id, client_secret, unescaped.
    QString tokenUrl() const;
    QString recognitionUrl() const;
    // The service's health and worker count, asked to decide how many requests to send at once.
    QString healthUrl() const;
};

// A parallel_requests value: a whole number from 0 up; anything else (negative, not a number) is
// automatic (0) and *valid is false.
int parseParallelRequests(const QString &text, bool *valid);

DeploymentConfig defaultDeploymentConfig();
// Defaults overridden by the [service]/[homepage] keys of the file, when it exists and is readable.
DeploymentConfig loadDeploymentConfig(const QString &iniPath);

// The deployment files for a program in appDir, in the order consulted: beside it, then the system's.
QStringList deploymentFiles(const QString &appDir);
// The first of `files` that exists, over the defaults. One that cannot be read or is malformed (not INI,
// or a host that is not [https://]host[:port]) gives the defaults, and *problem one line naming it and why.
DeploymentConfig loadFirstDeploymentConfig(const QStringList &files, QString *problem);
// loadFirstDeploymentConfig of deploymentFiles(appDir); a problem goes to standard error.
DeploymentConfig readDeploymentConfig(const QString &appDir);
// The configuration in force, read once: readDeploymentConfig(AppState::appDir).
const DeploymentConfig &deploymentConfig();
