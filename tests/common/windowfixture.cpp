#include "common/windowfixture.h"

#include "common/appfolders.h"

#include "media/phononbackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

WindowFixture::WindowFixture(const QString &appFolder)
{
    selectPhononBackend();
    useAppFolder(appFolder.isEmpty() ? appDir.path() : appFolder);
    Notice::setTestHook([this](const QString &text) {
        notices << text;
        return answer;
    });
}

WindowFixture::~WindowFixture()
{
    window.reset();
    Notice::setTestHook({});
    QStringList unused;
    Notice::takeNextFileNames(&unused);
}

Widget *WindowFixture::start()
{
    window.reset();
    window = std::make_unique<Widget>();
    return window.get();
}

QString WindowFixture::path(const QString &relative) const
{
    return AppState::appDir + QLatin1Char('/') + relative;
}

bool WindowFixture::write(const QString &relative, const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(path(relative)).path());
    QFile file(path(relative));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray WindowFixture::read(const QString &relative) const
{
    QFile file(path(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
