#include "ui/widget.h"

#include <QMouseEvent>

void Widget::mousePressEvent(QMouseEvent *)
{
}

void Widget::mouseReleaseEvent(QMouseEvent *)
{
}

void Widget::mouseMoveEvent(QMouseEvent *)
{
}

void Widget::slotShowMaxSize()
{
}

void Widget::slotClose()
{
}

void Widget::showHomePage()
{
}

void Widget::slotWavBtnChecked(bool)
{
}

void Widget::slotTxtBtnChecked(bool)
{
}
