#pragma once

#include <QString>

// Where the speech service lives and who we are to it. Compiled-in defaults (CMake cache variables)
// may be overridden by a read-only "quillora.ini" beside the executable; the program never writes it.
struct DeploymentConfig
{
    QString tokenHost; // host or host:port of the token endpoint
    QString apiHost; // host or host:port of the recognition endpoint
    QString clientId;
    QString clientSecret;
    QString homePageAddress;
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
// The configuration in force: the defaults and appDir + "/quillora.ini".
const DeploymentConfig &deploymentConfig();
