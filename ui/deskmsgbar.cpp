#include "ui/deskmsgbar.h"

#include "app/appstate.h"
#include "ui/resources.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
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
    background->setStyleSheet(QStringLiteral("background:white;border:1px solid #9e9e9e;border-radius:2px"));

    auto *titleLabel = new QLabel(this);
    titleLabel->setGeometry(0, 0, 320, 40);
    titleLabel->setFont(AppState::appFont);
    titleLabel->setStyleSheet(QStringLiteral("font:bold %1px;color:white;background:#0c80e8").arg(14));
    titleLabel->setText(QStringLiteral("  Quillora 提示"));

    textLabel = new QLabel(this);
    textLabel->setGeometry(20, 70, 280, 70);
    textLabel->setWordWrap(true);
    textLabel->setText(text);
    textLabel->setObjectName(QStringLiteral("textLabel"));
    textLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    textLabel->setStyleSheet(QStringLiteral("font:%1px; color:black;background:transparent").arg(14));

    closeButton = new QPushButton(this);
    closeButton->setFixedSize(30, 30);
    closeButton->setCursor(Qt::PointingHandCursor);
    closeButton->move(width() - closeButton->width() - 5, 5);
    closeButton->setStyleSheet(QStringLiteral("QPushButton{border-image:url(:/images/closeBtn_p.png);}"));

    sureButton = new QPushButton(this);
    sureButton->setDefault(true);
    sureButton->setFixedSize(80, 30);
    sureButton->setFocusPolicy(Qt::NoFocus);
    sureButton->setCursor(Qt::PointingHandCursor);
    sureButton->setText(tr("确定"));
    sureButton->setFont(AppState::appFont);
    sureButton->setStyleSheet(
        QStringLiteral("QPushButton:enabled{color:white;font: 14px;background:#0c80e8;border:1px solod "
                       "#6ab3bf;border-radius:3px} "
                       "QPushButton:!enabled{color:white;font: 14px;background:gray;border:1px solod "
                       "#6ab3bf;border-radius:3px}"));
    sureButton->move((320 - 80) / 2, 220 - 30 - 20);

    move((AppState::screenWidth - 320) / 2, (AppState::screenHeight - 220) / 2);

    connect(sureButton, &QPushButton::clicked, this, &deskMsgBar::sureBtnSlot);
    connect(closeButton, &QPushButton::clicked, this, &deskMsgBar::cancleBtnSlot);
}

void deskMsgBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragOffset = event->pos();
    dragging = true;
}

void deskMsgBar::mouseReleaseEvent(QMouseEvent *event)
{
    dragging = false;
    event->accept();
}

void deskMsgBar::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton && dragging)
        move(event->globalPos() - dragOffset);
}

void deskMsgBar::keyPressEvent(QKeyEvent *)
{
    // Swallowed on purpose: Escape and Enter neither close the box nor press its button.
}

void deskMsgBar::sureBtnSlot()
{
    close();
}

void deskMsgBar::cancleBtnSlot()
{
    close();
}
