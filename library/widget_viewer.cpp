#include "ui/widget.h"

#include "library/atomicfile.h"
#include "library/documenttext.h"
#include "library/librarypaths.h"
#include "ui/notice.h"

#include <QFile>
#include <QListWidgetItem>
#include <QTextEdit>

void Widget::slotWordOpen(QListWidgetItem *item)
{
    // The run collects its text in the same view and saves it to wordFilePath; a document opened now
    // would receive the run's text.
    if (runActive()) {
        Notice::information(this, QStringLiteral("正在转换，请在转换结束后再打开文档！"));
        return;
    }
    const QString path = LibraryPaths::locate(wordFiles, item->text());
    // The path is taken only once the document is read, so a later close never writes the text still
    // in the view into a document that failed to open.
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QString text = DocumentText::fromBytes(file.readAll());
    wordFilePath = path;
    wordTextEdit->clear();
    wordTextEdit->setPlainText(text);
    wordTextEdit->show();
}

void Widget::slotCloseWord()
{
    if (wordFilePath.isEmpty()) {
        wordTextEdit->hide();
        return;
    }
    if (!AtomicFile::write(wordFilePath, DocumentText::toBytes(wordTextEdit->document()->toRawText()), nullptr)) {
        Notice::information(this, QStringLiteral("文档保存失败，文件可能正在被使用或为只读！"));
        return;
    }
    wordTextEdit->hide();
}
