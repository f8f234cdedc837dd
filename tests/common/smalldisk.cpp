#include "common/smalldisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace SmallDisk {

namespace {
bool privateMounts = false;
}

void enterPrivateMounts()
{
    privateMounts = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0
        && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool available()
{
    return privateMounts;
}

Mount::Mount(const QString &folder, int kilobytes)
    : m_folder(folder)
{
    m_mounted = privateMounts && QDir().mkpath(folder)
        && QProcess::execute("mount", {"-t", "tmpfs", "-o", QStringLiteral("size=%1k").arg(kilobytes), "tmpfs", folder})
            == 0;
}

Mount::~Mount()
{
    if (m_mounted)
        QProcess::execute("umount", {"-l", m_folder});
}

bool Mount::fill()
{
    if (!m_mounted || !QDir(m_folder).mkpath(".filler"))
        return false;
    QFile filler(m_folder + "/.filler/filler");
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) { }
    return true;
}

bool Mount::drain()
{
    return m_mounted && QFile::remove(m_folder + "/.filler/filler");
}

bool Mount::makeReadOnly()
{
    return m_mounted && QProcess::execute("mount", {"-o", "remount,ro", m_folder}) == 0;
}

} // namespace SmallDisk
