#pragma once

#include "app/appstate.h"
#include "ui/notice.h"
#include "ui/widget.h"

#include <QByteArray>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A main window over a real temporary application folder, built as start-up builds it (the playback
// backend chosen first). Message boxes are answered at once with `answer` and their texts kept in
// `notices`; file dialogs are answered through Notice::setNextFileNames.
struct WindowFixture
{
    // appFolder: an application folder that outlives the fixture; a fresh one otherwise.
    explicit WindowFixture(const QString &appFolder = QString());
    ~WindowFixture();

    // Builds the window over the folder (again, when one was built before).
    Widget *start();
    QString appPath() const { return AppState::appDir; }
    // A path inside the application folder.
    QString path(const QString &relative) const;
    bool write(const QString &relative, const QByteArray &bytes) const;
    QByteArray read(const QString &relative) const; // "<missing>" when it cannot be read

    QTemporaryDir appDir;
    QStringList notices;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    std::unique_ptr<Widget> window;
};
