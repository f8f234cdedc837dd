#include "app/ui_startup.h"

#include "app/appstate.h"
#include "app/commandline.h"
#include "app/deployment.h"
#include "app/installlayout.h"
#include "app/instanceguard.h"
#include "app/translation.h"
#include "pipeline/localspeechservice.h"
#include "ui/deskmsgbar.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

void prepareApplication()
{
    prepareCoreApplication();
    AppState::appFont = QFont(QStringLiteral("微软雅黑"));
    QApplication::setFont(AppState::appFont);
    AppState::appFont.setPixelSize(AppState::appFont.pointSize() * 90 / 72);

    measureScreens();
    // A screen plugged in or out, or a panel moved, changes where the window may go.
    const auto watch = [](QScreen *screen) {
        QObject::connect(screen, &QScreen::availableGeometryChanged, qApp, &measureScreens);
        QObject::connect(screen, &QScreen::geometryChanged, qApp, &measureScreens);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qApp, &QGuiApplication::screenAdded, qApp, [watch](QScreen *screen) {
        watch(screen);
        measureScreens();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, qApp, [] { QTimer::singleShot(0, qApp, &measureScreens); });
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, qApp, &measureScreens);
}

void measureScreens()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QRect desktop = primary->virtualGeometry();
    AppState::screenWidth = desktop.width();
    AppState::screenHeight = desktop.height();
    AppState::availableHeight = primary->availableGeometry().height();
    AppState::screens.clear();
    AppState::screens.append({primary->geometry(), primary->availableGeometry()});
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary)
            AppState::screens.append({screen->geometry(), screen->availableGeometry()});
    }
}

namespace {

void showStartupMessage(const QString &message)
{
    // The label wraps only where a line may break: a long path may break after each "/".
    auto *box = new deskMsgBar(nullptr, QString(message).replace(QLatin1Char('/'), QStringLiteral("/\u200b")));
    if (qEnvironmentVariableIsSet("QUILLORA_DISMISS_STARTUP_MESSAGE")) {
        // Lets scripted runs (tests, screenshots) see the message and answer it without a person.
        std::printf("%s\n", message.toLocal8Bit().constData());
        std::fflush(stdout);
        QTimer::singleShot(0, box->sureButton, &QPushButton::click);
    }
    box->exec();
    box->deleteLater();
}

} // namespace

bool checkSingleInstance()
{
    const QString message = acquireInstanceGuard(AppState::instanceGuard);
    if (message.isEmpty())
        return false;
    showStartupMessage(message);
    return true;
}

bool checkDataFolder()
{
    const QString message = makeDataDir(AppState::dataDir);
    if (message.isEmpty())
        return false;
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    showStartupMessage(message);
    return true;
}

void reportDeployment()
{
    LocalSpeechService::warnOfUnencryptedHosts(deploymentConfig());
}

namespace {

QByteArray &noDisplayLine()
{
    static QByteArray line;
    return line;
}

QtMessageHandler &toolkitHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

void whileReachingDisplay(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fputs(noDisplayLine().constData(), stderr);
        std::fflush(stderr);
        ::_exit(1);
    }
    // The platform plugin's own complaints would bury the one line that says what to do.
    if (context.category && qstrncmp(context.category, "qt.qpa", 6) == 0)
        return;
    toolkitHandler()(type, context, message);
}

} // namespace

bool checkDisplay(const QStringList &arguments)
{
    noDisplayLine() = Translation::early("UiStartup",
                          QT_TRANSLATE_NOOP("UiStartup", "没有可用的显示器：请在桌面上启动 Quillora，或使用 --convert"))
                          .toLocal8Bit()
        + '\n';
    if (!CommandLine::displayNamed(arguments, qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("DISPLAY"),
            qEnvironmentVariable("WAYLAND_DISPLAY"))) {
        std::fputs(noDisplayLine().constData(), stderr);
        return false;
    }
    toolkitHandler() = qInstallMessageHandler(whileReachingDisplay);
    return true;
}

void displayReached()
{
    qInstallMessageHandler(toolkitHandler());
}
