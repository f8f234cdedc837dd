#include "ui/library/mylistwidget.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFont>
#include <QMenu>

MyListWidget::MyListWidget(const QString &kind, QWidget *parent)
    : QListWidget(parent)
    , kind(kind)
{
    deleteAction = new QAction(tr("删除"), this);
    saveAsAction = new QAction(tr("另存为"), this);
    renameAction = new QAction(tr("重命名"), this);
    exportSubtitlesAction = new QAction(tr("导出字幕…"), this);
    adaptVoiceAction = new QAction(tr("适应我的声音…"), this);
    voiceProfilesAction = new QAction(tr("说话人声音…"), this);

    QFont listFont;
    listFont.setPointSize(11);
    setFont(listFont);

    connect(deleteAction, &QAction::triggered, this, &MyListWidget::slotDelFile);
    connect(saveAsAction, &QAction::triggered, this, &MyListWidget::slotSaveAs);
    connect(renameAction, &QAction::triggered, this, &MyListWidget::slotRename);
    connect(exportSubtitlesAction, &QAction::triggered, this, &MyListWidget::slotExportSubtitles);
    connect(adaptVoiceAction, &QAction::triggered, this, &MyListWidget::adaptVoiceRequested);
    connect(voiceProfilesAction, &QAction::triggered, this, &MyListWidget::voiceProfilesRequested);
}

void MyListWidget::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu acts on the entry under the pointer, whatever the selection is.
    QListWidgetItem *item = itemAt(event->pos());
    if (!item) {
        // Below the documents: what concerns them all.
        if (kind == QLatin1String("word")) {
            QMenu menu(this);
            menu.addAction(adaptVoiceAction);
            menu.addAction(voiceProfilesAction);
            menu.exec(event->globalPos());
        }
        return;
    }
    menuItem = item;
    QMenu menu(this);
    menu.addAction(deleteAction);
    menu.addAction(saveAsAction);
    menu.addAction(renameAction);
    if (kind == QLatin1String("word") && subtitlesOffered && subtitlesOffered(item->text()))
        menu.addAction(exportSubtitlesAction);
    menu.exec(event->globalPos());
}

void MyListWidget::slotDelFile()
{
    if (menuItem)
        emit deleteRequested(kind, menuItem->text());
}

void MyListWidget::slotSaveAs()
{
    if (menuItem)
        emit saveAsRequested(kind, menuItem->text());
}

void MyListWidget::slotRename()
{
    if (menuItem)
        emit renameRequested(kind, menuItem->text());
}

void MyListWidget::slotExportSubtitles()
{
    if (menuItem)
        emit exportSubtitlesRequested(menuItem->text());
}
