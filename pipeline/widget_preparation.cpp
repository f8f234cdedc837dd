#include "ui/widget.h"

void Widget::slotGetAudioLengthFinish()
{
}

void Widget::slotCutAudioFinish()
{
}

void Widget::onReadOutput()
{
}

void Widget::convertAudioFormat()
{
}

void Widget::slotConvertAudioFormatFinish()
{
}

void Widget::getAudioLength()
{
}

void Widget::clearFolder(const QString &)
{
}

