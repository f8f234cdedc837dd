#include "platform/portholder.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <pwd.h>
#include <unistd.h>

namespace PortHolder {

namespace {
constexpr int listening = 0x0A;
constexpr int bound = 0x07; // TCP_CLOSE: bound but neither listening nor connected

QByteArray readProcFile(const QString &path)
{
    // Files under /proc report a size of 0: read until the end, not by size.
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString userName(uint uid)
{
    const passwd *entry = ::getpwuid(uid);
    return entry && entry->pw_name ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

// The process whose descriptors include the socket with this inode; 0 when none we may read does.
qint64 processOwning(quint64 inode)
{
    const QByteArray target = "socket:[" + QByteArray::number(inode) + ']';
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool numeric = false;
        const qint64 number = pid.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QByteArray fdFolder = "/proc/" + pid.toLatin1() + "/fd";
        DIR *folder = ::opendir(fdFolder.constData()); // another user's: not ours to read
        if (!folder)
            continue;
        bool owns = false;
        while (const dirent *entry = ::readdir(folder)) {
            char link[64] = {};
            const QByteArray path = fdFolder + '/' + entry->d_name;
            const ssize_t length = ::readlink(path.constData(), link, sizeof link - 1);
            if (length > 0 && target == QByteArray(link, int(length))) {
                owns = true;
                break;
            }
        }
        ::closedir(folder);
        if (owns)
            return number;
    }
    return 0;
}
} // namespace

QVector<Socket> parseSockets(const QByteArray &table)
{
    // "  0: 0100007F:2268 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000 0 4242 1 ..."
    QVector<Socket> sockets;
    const QList<QByteArray> lines = table.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() < 10 || !fields.at(0).endsWith(':'))
            continue;
        const int colon = fields.at(1).lastIndexOf(':');
        bool ok[4] = {};
        Socket socket;
        socket.port = quint16(fields.at(1).mid(colon + 1).toUInt(&ok[0], 16));
        socket.state = fields.at(3).toInt(&ok[1], 16);
        socket.uid = fields.at(7).toUInt(&ok[2]);
        socket.inode = fields.at(9).toULongLong(&ok[3]);
        if (colon > 0 && ok[0] && ok[1] && ok[2] && ok[3])
            sockets << socket;
    }
    return sockets;
}

Holder holderOf(quint16 port)
{
    QVector<Socket> sockets;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"})
        sockets += parseSockets(readProcFile(QString::fromLatin1(table)));
    const Socket *chosen = nullptr;
    for (const Socket &socket : qAsConst(sockets)) {
        if (socket.port != port || (socket.state != listening && socket.state != bound) || socket.inode == 0)
            continue;
        if (!chosen || socket.state == listening)
            chosen = &socket;
        if (socket.state == listening)
            break;
    }
    Holder holder;
    if (!chosen)
        return holder;
    holder.found = true;
    holder.uid = chosen->uid;
    holder.user = userName(chosen->uid);
    holder.pid = processOwning(chosen->inode);
    if (holder.pid > 0)
        holder.program
            = QString::fromLocal8Bit(readProcFile(QStringLiteral("/proc/%1/comm").arg(holder.pid))).trimmed();
    return holder;
}

} // namespace PortHolder
