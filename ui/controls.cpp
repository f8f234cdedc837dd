#include "ui/controls.h"

#include "ui/theme.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace Controls {

QPushButton *button(QWidget *parent, const QString &tooltip, const char *sheet)
{
    auto *button = new QPushButton(parent);
    if (!tooltip.isEmpty())
        button->setToolTip(tooltip);
    button->setStyleSheet(QString::fromUtf8(sheet));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QComboBox *comboBox(QWidget *parent, const QRect &geometry)
{
    auto *combo = new QComboBox(parent);
    combo->setGeometry(geometry);
    combo->setStyleSheet(QString::fromUtf8(Theme::comboBox));
    return combo;
}

QLabel *label(QWidget *parent, const QRect &geometry, const QString &sheet, const QString &text)
{
    auto *label = new QLabel(parent);
    label->setGeometry(geometry);
    if (!text.isEmpty())
        label->setText(text);
    label->setStyleSheet(sheet);
    return label;
}

} // namespace Controls
