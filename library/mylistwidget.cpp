#include "library/mylistwidget.h"

#include "ui/widget.h"

#include <QAction>
#include <QContextMenuEvent>

MyListWidget::MyListWidget(const QString &kind, Widget *owner, QWidget *parent)
    : QListWidget(parent)
    , owner(owner)
    , kind(kind)
{
    deleteAction = new QAction(QStringLiteral("删除"), this);
    saveAsAction = new QAction(QStringLiteral("另存为"), this);
    renameAction = new QAction(QStringLiteral("重命名"), this);
}

void MyListWidget::contextMenuEvent(QContextMenuEvent *event)
{
    QListWidget::contextMenuEvent(event);
}

void MyListWidget::slotDelFile()
{
}

void MyListWidget::slotSaveAs()
{
}

void MyListWidget::slotRename()
{
}
