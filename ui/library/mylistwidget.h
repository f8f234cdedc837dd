#pragma once

#include <QListWidget>
#include <QString>

#include <functional>

class QAction;
class QContextMenuEvent;

// A file list of the main window with a context menu: delete, save as, rename, and for a document
// with timings export subtitles. The list only remembers which entry the menu was opened on and asks
// for the work by a signal naming its kind and the entry's text.
class MyListWidget : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(MyListWidget)

public:
    MyListWidget(const QString &kind, QWidget *parent);

    // Whether the menu of an entry offers its subtitles ("word" lists only); none are offered unset.
    void setSubtitlesOffered(std::function<bool(const QString &name)> offered)
    {
        subtitlesOffered = std::move(offered);
    }

    QAction *deleteAction = nullptr;
    QAction *saveAsAction = nullptr;
    QAction *renameAction = nullptr;
    QAction *exportSubtitlesAction = nullptr;
    QAction *adaptVoiceAction = nullptr; // "适应我的声音…", below the document list's entries
    QAction *voiceProfilesAction = nullptr; // "说话人声音…", there too
    QListWidgetItem *menuItem = nullptr;
    QString kind;

signals:
    void deleteRequested(const QString &kind, const QString &name);
    void saveAsRequested(const QString &kind, const QString &name);
    void renameRequested(const QString &kind, const QString &name);
    void exportSubtitlesRequested(const QString &name);
    void adaptVoiceRequested();
    void voiceProfilesRequested();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

public slots:
    void slotDelFile();
    void slotSaveAs();
    void slotRename();
    void slotExportSubtitles();

private:
    std::function<bool(const QString &)> subtitlesOffered;
};
