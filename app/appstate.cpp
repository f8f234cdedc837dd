#include "app/appstate.h"

#include "app/deployment.h"

namespace AppState {
int screenWidth = 0;
int screenHeight = 0;
int availableHeight = 0;
QString machineId;
QFont appFont;
QSharedMemory instanceGuard(QStringLiteral("KestrelOpened"));
QString appDir;
QString dataDir;
} // namespace AppState

const DeploymentConfig &deploymentConfig()
{
    static const DeploymentConfig config = readDeploymentConfig(AppState::appDir);
    return config;
}
