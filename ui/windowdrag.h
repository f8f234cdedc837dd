#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

// Moving a frameless window by dragging it with the left mouse button. The window keeps the state
// (whether a drag is under way, and where inside the window it began) and passes it in.
namespace WindowDrag {

// A left press begins a drag at the pressed point; any other button changes nothing.
void press(const QMouseEvent *event, bool &dragging, QPoint &offset);

// Any release ends the drag.
void release(QMouseEvent *event, bool &dragging);

// While dragging with exactly the left button held, the pressed point stays under the pointer.
void move(QWidget *window, const QMouseEvent *event, bool dragging, const QPoint &offset);

} // namespace WindowDrag
