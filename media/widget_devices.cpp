#include "ui/widget.h"

void Widget::getAudioDev()
{
}

void Widget::slotAudioDeviceChanged(QString)
{
}

