#include "ui/widget.h"

void Widget::slotOpenWav()
{
}

void Widget::slotAudioChanged(QString)
{
}

void Widget::slotPlay()
{
}

void Widget::slotForward()
{
}

void Widget::slotPause()
{
}

void Widget::updateCurrentTime()
{
}

void Widget::playend()
{
}

