// Prints the folder this copy would keep the user's files in, decided as the program decides it at start.
#include "app/appstate.h"
#include "app/installlayout.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    nameApplication();
    locateFolders();
    std::printf("%s\n", qUtf8Printable(AppState::dataDir));
    return 0;
}
