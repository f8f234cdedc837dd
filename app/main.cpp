#include "app/appstate.h"
#include "ui/widget.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppState::appDir = QCoreApplication::applicationDirPath().replace(QLatin1Char('\\'), QLatin1Char('/'));
    auto *window = new Widget(nullptr);
    app.exec();
    delete window;
    return 0;
}
