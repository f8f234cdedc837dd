#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One network adapter as the platform lists it.
struct NetworkAdapter
{
    bool ethernet = false; // hardware type Ethernet
    QString description; // qualifies only without "Virtual" in it, any case
    QByteArray address; // hardware address bytes
};

// The network adapters in a stable order (interface index). On Linux an interface is read from
// sysfs: Ethernet when its type is ARPHRD_ETHER and it is no Wi-Fi device (no "wireless" or
// "phy80211" entry), and its description is the resolved device path,
// which for software devices (loopback, bridges, veth, tun, ...) lies under ".../devices/virtual/".
QList<NetworkAdapter> listNetworkAdapters(const QString &sysClassNet = QStringLiteral("/sys/class/net"));
