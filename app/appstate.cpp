#include "app/appstate.h"

#include "app/deployment.h"

namespace AppState {
int screenWidth = 0;
int screenHeight = 0;
int availableHeight = 0;
QList<Screen> screens;
QString machineId;
QFont appFont;
std::unique_ptr<QLockFile> instanceGuard;
QString appDir;
QString dataDir;
} // namespace AppState

const DeploymentConfig &deploymentConfig()
{
    static const DeploymentConfig config = readDeploymentConfig(AppState::appDir);
    return config;
}
