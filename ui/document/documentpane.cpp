#include "ui/document/documentpane.h"

#include "library/atomicfile.h"
#include "library/documentsave.h"
#include "library/documenttext.h"
#include "library/librarypaths.h"
#include "library/taskintake.h"
#include "pipeline/dictionarycheck.h"
#include "ui/newwordsbar.h"
#include "ui/notice.h"
#include "ui/theme.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

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

DocumentPane::DocumentPane(PlayerPane *player, QWidget *footArea, QWidget *parent)
    : QTextEdit(parent)
    , findBar(new QLabel(this))
    , findEdit(new QLineEdit(findBar))
    , findCountLabel(new QLabel(findBar))
    , newWordsBar(new NewWordsBar(parent))
    , player(player)
    , footArea(footArea)
    , dictionaryCheck(new DictionaryCheck(DictionaryCheck::installedDictionary(), this))
{
    setStyleSheet(QString::fromUtf8(Theme::textView));
    hide();
    setAccessibleName(tr("文档内容"));
    createFindBar();
    viewport()->installEventFilter(this);
    createWordPlayback();
    createUserWords();
}

void DocumentPane::openDocument(const QString &path, const QString &name)
{
    // Text never written anywhere is not dropped for another document.
    if (viewHoldsUnwrittenText() && path != wordFilePath) {
        const QString failure = writeOpenDocument();
        if (!failure.isEmpty()) {
            Notice::information(window(), failure + tr("\n为免丢失文本区中尚未保存的文字，没有打开“%1”。").arg(name));
            return;
        }
    }
    // The path is taken only once the document is read, so a later close never writes the text still
    // in the view into a document that failed to open.
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return;
    const QString unreadable = LibraryPaths::unreadableReason(path, name);
    if (!unreadable.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        Notice::information(
            window(), !unreadable.isEmpty() ? unreadable : tr("无法打开文档“%1”：%2").arg(name, file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    const DocumentText::Decoded decoded = DocumentText::decode(bytes);
    // Shown, a binary or undecodable file would come back as replacement characters on close.
    if (decoded.refusal != DocumentText::Refusal::None) {
        Notice::information(window(), openRefusal(name, decoded));
        return;
    }
    wordFilePath = path;
    clear();
    setPlainText(decoded.text);
    wordBaseline = DocumentSave::Baseline {document()->toRawText(), DocumentSave::digestOf(bytes), true};
    show();
    loadOpenTimings();
}

void DocumentPane::closeDocument()
{
    const QString failure = writeOpenDocument();
    if (!failure.isEmpty()) {
        Notice::information(window(), failure);
        return;
    }
    hide();
    updateSpokenWord();
}

QString DocumentPane::writeOpenDocument()
{
    if (wordFilePath.isEmpty())
        return QString();
    const QString raw = document()->toRawText();
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
        Notice::information(window(),
            tr("“%1”在别处被修改过。为免覆盖那些修改，文本区的文字已另存为“%2”。")
                .arg(LibraryPaths::fileName(wordFilePath), LibraryPaths::fileName(target)));
    // The timings describe the view's text: a document new at its path gets them whole.
    if (target != wordFilePath || !wordBaseline.written)
        openTimings.textChecksum.clear();
    wordFilePath = target;
    emit documentWritten(target);
    offerTypedWords(wordBaseline.viewText, raw);
    wordBaseline = DocumentSave::Baseline {raw, DocumentSave::digestOf(bytes), true};
    writeOpenTimings(raw);
    return QString();
}

bool DocumentPane::viewHoldsUnwrittenText() const
{
    return !wordBaseline.written && !wordFilePath.isEmpty() && !isHidden();
}

void DocumentPane::takeForRecognition()
{
    // Until then a close writes nothing: the earlier document is no place for a partial text.
    wordFilePath.clear();
    show();
    clear();
}

void DocumentPane::adoptWrittenDocument(const QString &documentPath)
{
    emit documentWritten(documentPath);
    wordFilePath = documentPath;
    wordBaseline = DocumentSave::baselineOf(documentPath, document()->toRawText());
    loadOpenTimings();
}

void DocumentPane::keepUnwrittenDocument(const QString &documentPath, const Timings::Record &timings)
{
    wordFilePath = documentPath;
    wordBaseline = DocumentSave::baselineOf(documentPath, QString());
    wordBaseline.written = false;
    openTimings = timings;
    openTimingsValid = true;
    openTimingsStale = false;
    wordTimelineStale = true;
    sourceGoneTold = false;
}

void DocumentPane::documentRemoved(const QString &path)
{
    if (wordFilePath == path)
        wordFilePath.clear();
}

void DocumentPane::documentRenamed(const QString &oldPath, const QString &newPath)
{
    if (wordFilePath == oldPath)
        wordFilePath = newPath;
}

bool DocumentPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == viewport())
        return wordClick(event) || takeFileDrop(event);
    if (watched == findEdit)
        return findKey(event);
    return QTextEdit::eventFilter(watched, event);
}

void DocumentPane::hideEvent(QHideEvent *event)
{
    closeFindBar();
    QTextEdit::hideEvent(event);
}

void DocumentPane::resizeEvent(QResizeEvent *event)
{
    placeFindBar();
    QTextEdit::resizeEvent(event);
}

bool DocumentPane::takeFileDrop(QEvent *event)
{
    // Files dropped on the view become tasks, not their paths typed into the document.
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!TaskIntake::carriesLocalFiles(drag->mimeData()))
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!TaskIntake::carriesLocalFiles(drop->mimeData()))
            return false;
        drop->acceptProposedAction();
        emit filesDropped(TaskIntake::droppedPaths(drop->mimeData()));
        return true;
    }
    default:
        return false;
    }
}
