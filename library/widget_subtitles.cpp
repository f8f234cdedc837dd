#include "ui/widget.h"

#include "app/appstate.h"
#include "library/atomicfile.h"
#include "library/documenttext.h"
#include "library/librarypaths.h"
#include "library/mylistwidget.h"
#include "pipeline/document.h"
#include "pipeline/subtitles.h"
#include "pipeline/timings.h"
#include "ui/notice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QToolTip>

namespace {
// Beside the source, named after it; beside the document when the source's folder is gone.
QString subtitleProposal(const QString &sourcePath, const QString &documentPath)
{
    const QFileInfo source(sourcePath);
    const QString folder = source.dir().exists() ? source.path() : QFileInfo(documentPath).path();
    return folder + QLatin1Char('/') + source.completeBaseName() + QStringLiteral(".srt");
}

// A name without either suffix gets the SubRip one, the first filter.
QString withSubtitleSuffix(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("srt") || suffix == QLatin1String("vtt") ? path : path + QStringLiteral(".srt");
}
} // namespace

bool Widget::readDocumentTimings(const QString &documentPath, Timings::Record *record)
{
    QFile file(documentPath);
    return file.open(QIODevice::ReadOnly) && Timings::read(AppState::dataDir, documentPath, record)
        && record->textChecksum == Timings::checksumOf(DocumentText::fromBytes(file.readAll()));
}

bool Widget::hasTimings(const QString &documentName)
{
    Timings::Record record;
    return readDocumentTimings(LibraryPaths::locate(wordFiles, documentName), &record);
}

void Widget::exportSubtitles(const QString &documentName)
{
    const QString document = LibraryPaths::locate(wordFiles, documentName);
    Timings::Record record;
    if (!readDocumentTimings(document, &record)) {
        Notice::information(this, tr("导出字幕失败：该文本没有时间信息！"));
        return;
    }
    const QString chosen = Notice::getSaveFileName(
        this, tr("导出字幕"), subtitleProposal(record.sourcePath, document), Subtitles::dialogFilter());
    if (chosen.isEmpty())
        return;
    const QString path = withSubtitleSuffix(chosen);
    const QByteArray text = Subtitles::fileText(record, Subtitles::formatForPath(path));
    QString error;
    if (!AtomicFile::write(path, text, &error)) {
        Notice::information(this, tr("导出字幕失败，无法写入%1：%2").arg(path, error));
        return;
    }
    // A command line's subtitles of the same document may replace what was exported, and only that.
    Document::remember(AppState::dataDir, path, text);
    // Said without a box to close: a note by the list for a few seconds.
    const QString done = tr("字幕已导出：%1").arg(QDir::toNativeSeparators(path));
    wordList->setAccessibleDescription(done);
    QToolTip::showText(wordList->mapToGlobal(QPoint(0, wordList->height())), done, wordList, QRect(), 8000);
}
