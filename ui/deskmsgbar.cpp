#include "ui/deskmsgbar.h"

#include "app/appstate.h"
#include "ui/resources.h"
#include "ui/theme.h"
#include "ui/windowdrag.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

deskMsgBar::deskMsgBar(QWidget *parent, const QString &text)
    : QDialog(parent)
{
    ensureImageResources();
    setFixedSize(320, 220);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAttribute(Qt::WA_QuitOnClose, false);

    auto *background = new QLabel(this);
    background->setGeometry(0, 0, 320, 220);
    background->setStyleSheet(QString::fromUtf8(Theme::messageBackground));

    auto *titleLabel = new QLabel(this);
    titleLabel->setGeometry(0, 0, 320, 40);
    titleLabel->setFont(AppState::appFont);
    titleLabel->setStyleSheet(QString::fromUtf8(Theme::messageTitle).arg(Theme::captionFontPx));
    titleLabel->setText(tr("  Quillora 提示"));

    textLabel = new QLabel(this);
    textLabel->setGeometry(20, 70, 280, 70);
    textLabel->setWordWrap(true);
    textLabel->setText(text);
    textLabel->setObjectName(QStringLiteral("textLabel"));
    textLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    textLabel->setStyleSheet(QString::fromUtf8(Theme::messageText).arg(Theme::captionFontPx));

    closeButton = new QPushButton(this);
    closeButton->setFixedSize(30, 30);
    closeButton->setCursor(Qt::PointingHandCursor);
    closeButton->move(width() - closeButton->width() - 5, 5);
    closeButton->setStyleSheet(QString::fromUtf8(Theme::messageCloseButton));
    closeButton->setToolTip(tr("关闭"));
    closeButton->setAccessibleName(closeButton->toolTip());

    sureButton = new QPushButton(this);
    sureButton->setDefault(true);
    sureButton->setFixedSize(80, 30);
    sureButton->setFocusPolicy(Qt::NoFocus);
    sureButton->setCursor(Qt::PointingHandCursor);
    sureButton->setText(tr("确定"));
    sureButton->setFont(AppState::appFont);
    sureButton->setStyleSheet(QString::fromUtf8(Theme::messageAcceptButton));
    sureButton->move((320 - 80) / 2, 220 - 30 - 20);

    move((AppState::screenWidth - 320) / 2, (AppState::screenHeight - 220) / 2);

    connect(sureButton, &QPushButton::clicked, this, &deskMsgBar::sureBtnSlot);
    connect(closeButton, &QPushButton::clicked, this, &deskMsgBar::cancleBtnSlot);
}

void deskMsgBar::mousePressEvent(QMouseEvent *event)
{
    WindowDrag::press(event, dragging, dragOffset);
}

void deskMsgBar::mouseReleaseEvent(QMouseEvent *event)
{
    WindowDrag::release(event, dragging);
}

void deskMsgBar::mouseMoveEvent(QMouseEvent *event)
{
    WindowDrag::move(this, event, dragging, dragOffset);
}

void deskMsgBar::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the button, Escape closes as the close button does; other keys do nothing.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        sureButton->click();
        break;
    case Qt::Key_Escape:
        closeButton->click();
        break;
    default:
        break;
    }
}

void deskMsgBar::sureBtnSlot()
{
    close();
}

void deskMsgBar::cancleBtnSlot()
{
    close();
}
