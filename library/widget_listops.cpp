#include "ui/widget.h"

void Widget::delFile(const QString &, const QString &)
{
}

void Widget::saveFileAs(const QString &, const QString &)
{
}

void Widget::renameFile(const QString &, const QString &)
{
}

