#include "ui/windowdrag.h"

#include <QMouseEvent>
#include <QWidget>

namespace WindowDrag {

void press(const QMouseEvent *event, bool &dragging, QPoint &offset)
{
    if (event->button() != Qt::LeftButton)
        return;
    offset = event->pos();
    dragging = true;
}

void release(QMouseEvent *event, bool &dragging)
{
    dragging = false;
    event->accept();
}

void move(QWidget *window, const QMouseEvent *event, bool dragging, const QPoint &offset)
{
    if (event->buttons() == Qt::LeftButton && dragging)
        window->move(event->globalPos() - offset);
}

} // namespace WindowDrag
