#include "ui/widget.h"

void Widget::slotReadJson(int, QByteArray)
{
}

void Widget::slotReadJsonError(int, QByteArray)
{
}

void Widget::slotBeginCover()
{
}

void Widget::slotBeginUpload()
{
}

void Widget::sltTokenTimeout()
{
}

void Widget::slotStopCover()
{
}

void Widget::requestToken()
{
}

void Widget::delayMsec(int)
{
}

