#include "ui/widget.h"

#include "library/librarypaths.h"
#include "ui/document/documentpane.h"
#include "ui/library/librarypane.h"
#include "ui/notice.h"
#include "ui/tasks/taskpane.h"

#include <QAction>
#include <QListWidgetItem>

void Widget::connectDocument()
{
    connect(documentPane, &DocumentPane::filesDropped, this,
        [this](const QStringList &paths) { taskPane->addTaskFiles(paths, TaskIntake::Origin::Drop); });
    connect(documentPane, &DocumentPane::documentWritten, this, [this](const QString &path) {
        if (!wordFiles.contains(path))
            libraryPane->appendLibraryFile(QStringLiteral("word"), path);
    });
    // Always at hand: the task bar's own context menu.
    auto *editWords = new QAction(tr("自定义词汇…"), taskBar);
    connect(editWords, &QAction::triggered, documentPane, &DocumentPane::editUserWords);
    taskBar->addAction(editWords);
    taskBar->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void Widget::slotWordOpen(QListWidgetItem *item)
{
    // The run collects its text in the same view and saves it to wordFilePath; a document opened now
    // would receive the run's text.
    if (runActive()) {
        Notice::information(this, tr("正在转换，请在转换结束后再打开文档！"));
        return;
    }
    if (liveActive()) {
        Notice::information(this, tr("正在边录边转，请在录音结束、文字写入文档后再打开文档！"));
        return;
    }
    documentPane->openDocument(LibraryPaths::locate(wordFiles, item->text()), item->text());
}

void Widget::slotCloseWord()
{
    documentPane->closeDocument();
}

void Widget::adoptWrittenDocument(const QString &documentPath)
{
    documentPane->adoptWrittenDocument(documentPath);
}

QString Widget::writeOpenDocument()
{
    return documentPane->writeOpenDocument();
}

bool Widget::viewHoldsUnwrittenText() const
{
    return documentPane->viewHoldsUnwrittenText();
}

bool Widget::documentTimed() const
{
    return documentPane->documentTimed();
}

const WordAlign::Timeline &Widget::viewTimeline()
{
    return documentPane->viewTimeline();
}

void Widget::playPauseFromCaret()
{
    documentPane->playPauseFromCaret();
}

void Widget::updateSpokenWord()
{
    documentPane->updateSpokenWord();
}

void Widget::renameSpeaker(int speaker)
{
    documentPane->renameSpeaker(speaker);
}
