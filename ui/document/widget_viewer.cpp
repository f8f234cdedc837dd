#include "ui/widget.h"

#include "library/atomicfile.h"
#include "library/documentsave.h"
#include "library/documenttext.h"
#include "library/librarypaths.h"
#include "ui/library/librarypane.h"
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
    // Text never written anywhere is not dropped for another document.
    if (viewHoldsUnwrittenText() && path != wordFilePath) {
        const QString failure = writeOpenDocument();
        if (!failure.isEmpty()) {
            Notice::information(
                this, failure + tr("\n为免丢失文本区中尚未保存的文字，没有打开“%1”。").arg(item->text()));
            return;
        }
    }
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
    const QByteArray bytes = file.readAll();
    const DocumentText::Decoded decoded = DocumentText::decode(bytes);
    // Shown, a binary or undecodable file would come back as replacement characters on close.
    if (decoded.refusal != DocumentText::Refusal::None) {
        Notice::information(this, openRefusal(item->text(), decoded));
        return;
    }
    wordFilePath = path;
    wordTextEdit->clear();
    wordTextEdit->setPlainText(decoded.text);
    wordBaseline = DocumentSave::Baseline {wordTextEdit->document()->toRawText(), DocumentSave::digestOf(bytes), true};
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
    const DocumentSave::Action action = DocumentSave::plan(wordBaseline, raw, bytes, present, onDisk);
    if (action == DocumentSave::Action::Keep) {
        // An unedited view of a file changed elsewhere still shows the old text: it matches nothing.
        if (bytes == onDisk)
            wordBaseline = DocumentSave::Baseline {raw, DocumentSave::digestOf(onDisk), true};
        writeOpenTimings(raw);
        return QString();
    }
    const QString target
        = action == DocumentSave::Action::WriteElsewhere ? DocumentSave::elsewherePath(wordFilePath) : wordFilePath;
    QString error;
    if (!AtomicFile::write(target, bytes, &error))
        return saveFailure(target, error);
    if (target != wordFilePath)
        Notice::information(this,
            tr("“%1”在别处被修改过。为免覆盖那些修改，文本区的文字已另存为“%2”。")
                .arg(LibraryPaths::fileName(wordFilePath), LibraryPaths::fileName(target)));
    // The timings describe the view's text: a document new at its path gets them whole.
    if (target != wordFilePath || !wordBaseline.written)
        openTimings.textChecksum.clear();
    wordFilePath = target;
    if (!wordFiles.contains(target))
        libraryPane->appendLibraryFile(QStringLiteral("word"), target);
    offerTypedWords(wordBaseline.viewText, raw);
    wordBaseline = DocumentSave::Baseline {raw, DocumentSave::digestOf(bytes), true};
    writeOpenTimings(raw);
    return QString();
}

bool Widget::viewHoldsUnwrittenText() const
{
    return !wordBaseline.written && !wordFilePath.isEmpty() && !wordTextEdit->isHidden();
}
