#include "app/appstate.h"
#include "app/commandline.h"
#include "app/conversioncommand.h"
#include "app/machineid.h"
#include "app/translation.h"
#include "app/ui_startup.h"
#include "media/phononbackend.h"
#include "platform/processes.h"
#include "ui/resources.h"
#include "ui/widget.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    // Chosen before any QApplication exists: the command line needs no display and no window.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // An option the window does not know is refused there as bad usage, before any window exists.
    if (CommandLine::isWanted(arguments) || !CommandLine::isForWindow(arguments))
        return runConversionCommand(argc, argv);
    if (!checkDisplay(arguments))
        return 1;

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    displayReached();
    prepareApplication();
    Translation::install();
    if (checkSingleInstance())
        return 0;
    if (checkDataFolder())
        return 1;
    reportDeployment();

    AppState::machineId = readMachineId();
    ensureImageResources();
    QIcon icon;
    icon.addPixmap(QPixmap(QStringLiteral(":/images/marlinLogo.png")), QIcon::Normal, QIcon::Off);
    QApplication::setWindowIcon(icon);

    selectPhononBackend();
    auto *window = new Widget(nullptr);
    // Being told to end (log-out, kill, Ctrl+C) closes the window as its close button does.
    watchTerminationSignals(window, [window](int) { window->slotClose(); });
    app.exec();
    delete window;
    return 0;
}
