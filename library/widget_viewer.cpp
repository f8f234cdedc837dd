#include "ui/widget.h"

void Widget::slotWordOpen(QListWidgetItem *)
{
}

void Widget::slotCloseWord()
{
}

