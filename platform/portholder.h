#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Who holds a TCP port on this machine, from /proc: the kernel's socket tables name the owner's user
// and the socket's inode, and a process's open descriptors name that inode when they are ours to read.
namespace PortHolder {

struct Socket
{
    quint16 port = 0; // local port
    int state = 0; // the kernel's TCP state: 0x0A listening, 0x07 bound (or closed)
    uint uid = 0;
    quint64 inode = 0;
};
// The entries of /proc/net/tcp or /proc/net/tcp6, from its text; lines that do not parse are left out.
QVector<Socket> parseSockets(const QByteArray &table);

struct Holder
{
    bool found = false; // a socket of this machine holds the port
    uint uid = 0;
    QString user; // the uid's name, or the number when it has none
    qint64 pid = 0; // 0: not ours to see (another user's process)
    QString program; // the process's name, when pid is known
};
// The socket listening on `port` (any address), else one merely bound to it, and its owner.
Holder holderOf(quint16 port);

} // namespace PortHolder
