#pragma once

#include <QDialog>
#include <QPoint>

class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPushButton;

// The program's own message box: frameless, always on top, draggable; only its two buttons close it.
class deskMsgBar : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(deskMsgBar)

public:
    deskMsgBar(QWidget *parent, const QString &text);

    QLabel *textLabel = nullptr;
    QPushButton *sureButton = nullptr;
    QPushButton *closeButton = nullptr;
    bool dragging = false;
    QPoint dragOffset;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

public slots:
    void sureBtnSlot();
    void cancleBtnSlot();
};
