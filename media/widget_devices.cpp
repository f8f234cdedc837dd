#include "ui/widget.h"

#include "platform/capturedevices.h"

#include <QComboBox>

void Widget::getAudioDev()
{
    const QList<CaptureDevices::Device> devices = CaptureDevices::available();
    for (const CaptureDevices::Device &device : devices) {
        if (device.name == QLatin1String("default"))
            continue;
        // The realm goes in first: adding the first item makes it current, and the recorder may look.
        deviceRealms.append(device.realm);
        deviceCombo->insertItem(deviceCombo->count(), device.name);
    }
}

void Widget::slotAudioDeviceChanged(QString text)
{
    deviceName = text;
}
