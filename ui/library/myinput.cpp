#include "ui/library/myinput.h"

#include "ui/theme.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

MyInput::MyInput(QWidget *parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    setFixedSize(320, 180);

    titleLabel = new QLabel(this);
    titleLabel->setGeometry(0, 0, 320, 30);
    titleLabel->setText(tr("重命名"));
    titleLabel->setStyleSheet(QString::fromUtf8(Theme::caption).arg(Theme::captionFontPx));

    closeButton = new QPushButton(titleLabel);
    closeButton->setGeometry(290, 2, 26, 26);
    closeButton->setToolTip(tr("关闭"));
    closeButton->setStyleSheet(QString::fromUtf8(Theme::closeButton));
    closeButton->setCursor(Qt::PointingHandCursor);
    closeButton->setAccessibleName(closeButton->toolTip());
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &MyInput::slotClose);

    nameEdit = new QLineEdit(this);
    nameEdit->setGeometry(40, 80, 240, 36);
    nameEdit->setAccessibleName(tr("新名称"));

    okButton = new QPushButton(this);
    okButton->setGeometry(140, 140, 60, 26);
    okButton->setStyleSheet(QString::fromUtf8(Theme::renameOkButton));
    okButton->setText(tr("确定"));
    // Enter in the name field renames; Escape (the dialog's reject) closes without renaming.
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &MyInput::slotOK);
}

void MyInput::slotOK()
{
    cancelled = false;
    close();
}

void MyInput::slotClose()
{
    cancelled = true;
    close();
}
