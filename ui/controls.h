#pragma once

#include <QRect>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// How the window's panes make their controls: fixed geometry, one style sheet each.
namespace Controls {

// A push button with the pointing-hand cursor, its sheet and (unless empty) its tooltip.
QPushButton *button(QWidget *parent, const QString &tooltip, const char *sheet);
QComboBox *comboBox(QWidget *parent, const QRect &geometry);
QLabel *label(QWidget *parent, const QRect &geometry, const QString &sheet, const QString &text = QString());

} // namespace Controls
