#include "app/ui_startup.h"

#include "app/appstate.h"
#include "app/instanceguard.h"
#include "ui/deskmsgbar.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextCodec>
#include <QTimer>

#include <cstdio>

void prepareApplication()
{
    // Qt 5 reads every literal as UTF-8; the locale codec is the one left to install. On Linux it is
    // UTF-8 whatever LANG says, so Chinese text, documents and file names never turn into "?".
#ifdef Q_OS_WIN
    QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
#else
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif

    AppState::appFont = QFont(QStringLiteral("微软雅黑"));
    QApplication::setFont(AppState::appFont);
    AppState::appFont.setPixelSize(AppState::appFont.pointSize() * 90 / 72);

    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary) {
        const QRect desktop = primary->virtualGeometry();
        AppState::screenWidth = desktop.width();
        AppState::screenHeight = desktop.height();
        AppState::availableHeight = primary->availableGeometry().height();
    }

    AppState::appDir = QCoreApplication::applicationDirPath().replace(QLatin1Char('\\'), QLatin1Char('/'));
}

bool checkSingleInstance()
{
    const QString message = acquireInstanceGuard(AppState::instanceGuard);
    if (message.isEmpty())
        return false;
    auto *box = new deskMsgBar(nullptr, message);
    if (qEnvironmentVariableIsSet("QUILLORA_DISMISS_STARTUP_MESSAGE")) {
        // Lets scripted runs (tests, screenshots) see the message and answer it without a person.
        std::printf("%s\n", message.toLocal8Bit().constData());
        std::fflush(stdout);
        QTimer::singleShot(0, box->sureButton, &QPushButton::click);
    }
    box->exec();
    box->deleteLater();
    return true;
}
