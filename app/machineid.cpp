#include "app/machineid.h"

#include "platform/networkadapters.h"

QString machineIdFromAdapters(const QList<NetworkAdapter> &adapters)
{
    QString result;
    for (const NetworkAdapter &adapter : adapters) {
        if (!adapter.ethernet || adapter.description.contains(QLatin1String("Virtual"), Qt::CaseInsensitive))
            continue;
        for (int i = 0; i < adapter.address.size(); ++i) {
            if (i > 0)
                result += QLatin1Char('-');
            result += QString::number(static_cast<unsigned char>(adapter.address.at(i)), 16);
        }
        if (!result.isEmpty())
            return result;
    }
    return result;
}

QString readMachineId()
{
    return machineIdFromAdapters(listNetworkAdapters());
}
