#include "ui/widget.h"

void Widget::loadWavFiles()
{
}

void Widget::loadWordFiles()
{
}

void Widget::slotAddWav()
{
}

void Widget::slotLoadWav()
{
}

