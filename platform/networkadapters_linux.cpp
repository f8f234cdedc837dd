#include "platform/networkadapters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {
QString readTrimmed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
}

QByteArray parseHardwareAddress(const QString &text)
{
    QByteArray bytes;
    if (text.isEmpty())
        return bytes;
    for (const QString &part : text.split(QLatin1Char(':'))) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || value > 0xff)
            return QByteArray();
        bytes.append(static_cast<char>(value));
    }
    return bytes;
}

constexpr int kArpHardwareEther = 1;
} // namespace

QList<NetworkAdapter> listNetworkAdapters(const QString &sysClassNet)
{
    struct Entry
    {
        int index;
        NetworkAdapter adapter;
    };
    QList<Entry> entries;
    const QDir dir(sysClassNet);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        const QString base = dir.filePath(name);
        Entry entry;
        entry.index = readTrimmed(base + QStringLiteral("/ifindex")).toInt();
        // Wi-Fi devices report the Ethernet hardware type too, but are not Ethernet adapters.
        const bool wireless = QFileInfo::exists(base + QStringLiteral("/wireless"))
            || QFileInfo::exists(base + QStringLiteral("/phy80211"));
        entry.adapter.ethernet = readTrimmed(base + QStringLiteral("/type")).toInt() == kArpHardwareEther && !wireless;
        entry.adapter.description = QFileInfo(base).canonicalFilePath();
        entry.adapter.address = parseHardwareAddress(readTrimmed(base + QStringLiteral("/address")));
        entries.append(entry);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.index < b.index; });
    QList<NetworkAdapter> adapters;
    for (const Entry &entry : entries)
        adapters.append(entry.adapter);
    return adapters;
}
