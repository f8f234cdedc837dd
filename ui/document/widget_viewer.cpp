#include "ui/widget.h"

#include "library/atomicfile.h"
#include "library/documenttext.h"
#include "library/librarypaths.h"
#include "ui/notice.h"

#include <QCoreApplication>
#include <QFile>
#include <QListWidgetItem>
#include <QTextEdit>

namespace {

QString openRefusal(const QString &name, const DocumentText::Decoded &decoded)
{
    if (decoded.refusal == DocumentText::Refusal::Binary)
        return QCoreApplication::translate("DocumentViewer", "无法打开文档“%1”：文件含有二进制数据，不是文本文档！")
            .arg(name);
    return QCoreApplication::translate("DocumentViewer", "无法打开文档“%1”：文件编码既不是 UTF-8 也不是 GB18030！")
        .arg(name);
}

QString saveFailure(const QString &path, const QString &error)
{
    const QString name = LibraryPaths::fileName(path);
    switch (AtomicFile::failureOf(path, error)) {
    case AtomicFile::Failure::Permission:
        return QCoreApplication::translate("DocumentViewer", "文档保存失败：没有写入“%1”的权限！").arg(name);
    case AtomicFile::Failure::DiskFull:
        return QCoreApplication::translate("DocumentViewer", "文档保存失败：磁盘空间已满，“%1”未能保存！").arg(name);
    case AtomicFile::Failure::Other:
        break;
    }
    return QCoreApplication::translate("DocumentViewer", "文档保存失败，文件可能正在被使用或为只读！");
}

} // namespace

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
    const QString path = LibraryPaths::locate(wordFiles, item->text());
    // The path is taken only once the document is read, so a later close never writes the text still
    // in the view into a document that failed to open.
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return;
    const QString unreadable = LibraryPaths::unreadableReason(path, item->text());
    if (!unreadable.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        Notice::information(this,
            !unreadable.isEmpty() ? unreadable : tr("无法打开文档“%1”：%2").arg(item->text(), file.errorString()));
        return;
    }
    const DocumentText::Decoded decoded = DocumentText::decode(file.readAll());
    // Shown, a binary or undecodable file would come back as replacement characters on close.
    if (decoded.refusal != DocumentText::Refusal::None) {
        Notice::information(this, openRefusal(item->text(), decoded));
        return;
    }
    wordFilePath = path;
    wordTextEdit->clear();
    wordTextEdit->setPlainText(decoded.text);
    wordTextAsOpened = wordTextEdit->document()->toRawText();
    wordTextEdit->show();
    loadOpenTimings();
}

void Widget::slotCloseWord()
{
    const QString failure = writeOpenDocument();
    if (!failure.isEmpty()) {
        Notice::information(this, failure);
        return;
    }
    wordTextEdit->hide();
    updateSpokenWord();
}

QString Widget::writeOpenDocument()
{
    if (wordFilePath.isEmpty())
        return QString();
    const QString raw = wordTextEdit->document()->toRawText();
    // The view's text is written in the format the document has on disk now, the run's own
    // documents included; what would not change the file is not written at all.
    QFile current(wordFilePath);
    const QByteArray onDisk = current.open(QIODevice::ReadOnly) ? current.readAll() : QByteArray();
    const bool present = current.isOpen();
    const DocumentText::Decoded found = DocumentText::decode(onDisk);
    const QByteArray bytes = DocumentText::encode(
        raw, found.refusal == DocumentText::Refusal::None ? found.format : DocumentText::Format());
    const bool unchanged = present && (bytes == onDisk || raw == wordTextAsOpened);
    QString error;
    if (!unchanged && !AtomicFile::write(wordFilePath, bytes, &error))
        return saveFailure(wordFilePath, error);
    wordTextAsOpened = raw;
    writeOpenTimings(raw);
    return QString();
}
