#pragma once

#include <QListWidget>
#include <QString>

class QAction;
class QContextMenuEvent;
class Widget;

// A file list of the main window with a context menu: delete, save as, rename, and for a document
// with timings export subtitles. The work is done by the owning window; the list only remembers
// which entry the menu was opened on.
class MyListWidget : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(MyListWidget)

public:
    MyListWidget(const QString &kind, Widget *owner, QWidget *parent);

    QAction *deleteAction = nullptr;
    QAction *saveAsAction = nullptr;
    QAction *renameAction = nullptr;
    QAction *adaptVoiceAction = nullptr; // "适应我的声音…", below the document list's entries
    QAction *exportSubtitlesAction = nullptr;
    Widget *owner = nullptr;
    QListWidgetItem *menuItem = nullptr;
    QString kind;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

public slots:
    void slotDelFile();
    void slotSaveAs();
    void slotRename();
    void slotExportSubtitles();
};
