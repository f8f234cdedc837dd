#include "ui/widget.h"

void Widget::slotBeginRecord(bool)
{
}

void Widget::sltSetRecordTime()
{
}

