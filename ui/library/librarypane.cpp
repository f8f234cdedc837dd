#include "ui/library/librarypane.h"

#include "library/atomicfile.h"
#include "library/librarypaths.h"
#include "pipeline/document.h"
#include "pipeline/subtitles.h"
#include "pipeline/timings.h"
#include "ui/chromelayout.h"
#include "ui/controls.h"
#include "ui/documenttimings.h"
#include "ui/library/myinput.h"
#include "ui/library/mylistwidget.h"
#include "ui/notice.h"
#include "ui/theme.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QToolTip>
#include <QVBoxLayout>

#include <unistd.h>

namespace {
QPushButton *makePageButton(QWidget *parent, const QString &text, const QString &icon, const char *sheet)
{
    auto *button = new QPushButton(parent);
    button->setStyleSheet(QString::fromUtf8(sheet));
    button->setText(text);
    button->setFixedSize(198, 50);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(24, 24));
    button->setCursor(Qt::PointingHandCursor);
    button->setCheckable(true);
    return button;
}

MyListWidget *makeFileList(const QString &kind, QWidget *parent)
{
    auto *list = new MyListWidget(kind, parent);
    list->setStyleSheet(QString::fromUtf8(Theme::fileList));
    list->setFixedWidth(198);
    list->setSpacing(2);
    list->hide();
    return list;
}

// Shows or hides one list; the visible lists share the panel height below the two page buttons, the
// audio list taking the upper half.
void showPageList(bool checked, QWidget *list, QWidget *other, QWidget *audioList, const ListHeights &heights)
{
    if (checked) {
        if (other->isHidden()) {
            list->setFixedHeight(heights.full);
        } else {
            audioList->setFixedHeight(heights.upper);
            (audioList == list ? other : list)->setFixedHeight(heights.lower);
        }
        list->show();
    } else {
        list->hide();
        if (!other->isHidden())
            other->setFixedHeight(heights.full);
    }
}
} // namespace

LibraryPane::LibraryPane(const QString &dataDir, QWidget *parent)
    : QLabel(parent)
    , wavBtn(makePageButton(this, tr("音频文件"), QStringLiteral(":/images/audio.png"), Theme::wavPageButton))
    , addWavBtn(Controls::button(wavBtn, tr("添加到任务"), Theme::addWavButton))
    , txtBtn(makePageButton(this, tr("文本文档"), QStringLiteral(":/images/word.png"), Theme::txtPageButton))
    , wavList(makeFileList(QStringLiteral("wav"), this))
    , wordList(makeFileList(QStringLiteral("word"), this))
    , dataDir(dataDir)
{
    setGeometry(0, 30, 200, 698);
    setStyleSheet(QString::fromUtf8(Theme::leftPanel));
    connect(wavBtn, &QPushButton::toggled, this, &LibraryPane::showWavPage);
    addWavBtn->setGeometry(150, 5, 38, 40);
    connect(addWavBtn, &QPushButton::clicked, this, &LibraryPane::addSelectedRecordings);
    connect(txtBtn, &QPushButton::toggled, this, &LibraryPane::showTxtPage);
    wavList->setSelectionMode(QAbstractItemView::MultiSelection);
    connect(wordList, &QListWidget::itemDoubleClicked, this, &LibraryPane::documentOpenRequested);
    for (MyListWidget *list : {wavList, wordList}) {
        connect(list, &MyListWidget::deleteRequested, this, &LibraryPane::delFile);
        connect(list, &MyListWidget::saveAsRequested, this, &LibraryPane::saveFileAs);
        connect(list, &MyListWidget::renameRequested, this, &LibraryPane::renameFile);
    }
    connect(wordList, &MyListWidget::exportSubtitlesRequested, this, &LibraryPane::exportSubtitles);
    wordList->setSubtitlesOffered([this](const QString &name) { return hasTimings(name); });

    // A hidden list takes no room: with both hidden the page buttons sit one under the other at the top.
    auto *leftLayout = new QVBoxLayout(this);
    leftLayout->addWidget(wavBtn);
    leftLayout->addSpacing(0);
    leftLayout->addWidget(wavList);
    leftLayout->addSpacing(0);
    leftLayout->addWidget(txtBtn);
    leftLayout->addSpacing(0);
    leftLayout->addWidget(wordList);
    leftLayout->addStretch(0);
    leftLayout->setSpacing(0);
    leftLayout->setContentsMargins(1, 0, 0, 0);

    makeFolders();
    loadWavList();
    loadWordList();
}

QString LibraryPane::locate(const QString &kind, const QString &name)
{
    return LibraryPaths::locate(libraryPaths(kind), name);
}

void LibraryPane::showWavPage(bool checked)
{
    showPageList(checked, wavList, wordList, wavList, listHeights(height(), wavBtn->height()));
}

void LibraryPane::showTxtPage(bool checked)
{
    showPageList(checked, wordList, wavList, wavList, listHeights(height(), wavBtn->height()));
}

void LibraryPane::addSelectedRecordings()
{
    const QList<QListWidgetItem *> items = wavList->selectedItems();
    QStringList paths;
    for (const QListWidgetItem *item : items) {
        const QString path = locate(QStringLiteral("wav"), item->text());
        if (!path.isEmpty())
            paths << path;
    }
    emit tasksRequested(paths);
}

QStringList &LibraryPane::libraryPaths(const QString &kind)
{
    return kind == QLatin1String("wav") ? wavFiles : wordFiles;
}

MyListWidget *LibraryPane::libraryList(const QString &kind)
{
    return kind == QLatin1String("wav") ? wavList : wordList;
}

void LibraryPane::appendLibraryFile(const QString &kind, const QString &path)
{
    libraryPaths(kind).append(path);
    libraryList(kind)->addItem(LibraryPaths::fileName(path));
}

void LibraryPane::makeFolders()
{
    // One level each; a folder that cannot be made shows when something is written into it.
    for (const char *name : {"/myWordFiles", "/myWAVFiles", "/myTmpWAVFiles"}) {
        const QString path = dataDir + QLatin1String(name);
        if (!QDir(path).exists())
            QDir().mkdir(path);
    }
}

void LibraryPane::loadWavList()
{
    const QStringList paths = LibraryPaths::folderFiles(dataDir + QStringLiteral("/myWAVFiles"));
    for (const QString &path : paths)
        appendLibraryFile(QStringLiteral("wav"), path);
}

void LibraryPane::loadWordList()
{
    const QStringList paths = LibraryPaths::folderFiles(dataDir + QStringLiteral("/myWordFiles"));
    // Whatever else the user keeps here stays on disk, unlisted; only the program's own leftovers go.
    for (const QString &path : paths) {
        if (LibraryPaths::isDocument(path))
            appendLibraryFile(QStringLiteral("word"), path);
        else if (LibraryPaths::isUnfinishedWrite(path))
            QFile::remove(path);
    }
}

namespace {
// The item showing name exactly; on Linux "a.wav" and "A.wav" are two different files.
QListWidgetItem *itemNamed(QListWidget *list, const QString &name)
{
    const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return found.isEmpty() ? nullptr : found.first();
}

void removeItem(QListWidget *list, QListWidgetItem *item)
{
    if (!item)
        return;
    list->removeItemWidget(item);
    delete item;
}

// Copies through a temporary file that replaces the destination only once complete, so a failed copy
// never leaves a truncated file behind and never damages the file it was to replace.
bool copyReplacing(const QString &source, const QString &destination)
{
    QFile in(source);
    if (source.isEmpty() || !in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            break;
        }
    }
    return out.commit();
}

int maxNameBytes(const QString &folder)
{
    const long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 ? int(limit) : 255;
}

QString nameRefusal(LibraryPaths::NameProblem problem, int maxBytes)
{
    switch (problem) {
    case LibraryPaths::NameProblem::Empty:
    case LibraryPaths::NameProblem::DotsOnly:
        return QCoreApplication::translate("ListOperations", "重命名失败，文件名不能为空，也不能只由“.”组成！");
    case LibraryPaths::NameProblem::LeadingDot:
        return QCoreApplication::translate("ListOperations", "重命名失败，文件名不能以“.”开头！");
    case LibraryPaths::NameProblem::Separator:
        return QCoreApplication::translate("ListOperations", "重命名失败，文件名不能包含“/”或“\\”！");
    case LibraryPaths::NameProblem::TooLong:
        return QCoreApplication::translate("ListOperations", "重命名失败，文件名过长（最多 %1 字节）！").arg(maxBytes);
    case LibraryPaths::NameProblem::None:
        break;
    }
    return QString();
}
} // namespace

void LibraryPane::delFile(const QString &kind, const QString &name)
{
    const bool wav = kind == QLatin1String("wav");
    const QString path = locate(kind, name);
    const QString question = wav ? tr("确定要删除该录音文件吗？") : tr("确定要删除该文本文件吗？");
    if (Notice::question(nullptr, tr("提示"), question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;

    // A file that cannot be removed still leaves the lists; it is listed again at the next start.
    QFile::remove(path);
    libraryPaths(kind).removeAll(path);
    removeItem(libraryList(kind), itemNamed(libraryList(kind), name));
    if (path.isEmpty())
        return;
    if (wav) {
        emit recordingRemoved(path);
        return;
    }
    // The view no longer belongs to a deleted document, so closing it cannot bring the file back.
    emit documentRemoved(path);
    if (!QFile::exists(path)) {
        Timings::remove(dataDir, path);
        Document::forget(dataDir, path);
    }
}

void LibraryPane::saveFileAs(const QString &kind, const QString &name)
{
    const QString source = locate(kind, name);
    const QString proposal
        = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/') + name;
    const QString filter
        = kind == QLatin1String("wav") ? tr("Audio File(*.wav)") : tr("Text File(*.txt);;Text File(*.doc)");
    const QString destination = Notice::getSaveFileName(window(), tr("另存为"), proposal, filter);
    if (destination.isEmpty())
        return;
    // The save dialog has already asked before an existing file is replaced.
    if (!copyReplacing(source, destination))
        Notice::information(window(), tr("另存为失败，无法写入所选位置！"));
    else if (kind == QLatin1String("word")) {
        Timings::copy(dataDir, source, destination);
        Document::copyRecord(dataDir, source, destination);
    }
}

void LibraryPane::renameFile(const QString &kind, const QString &name)
{
    MyInput input(window());
    input.nameEdit->setText(LibraryPaths::renameProposal(name));
    input.exec();
    const QString base = input.nameEdit->text();
    if (input.cancelled)
        return;

    const QString oldPath = locate(kind, name);
    const QString newName = base + LibraryPaths::renamedExtension(kind, name);
    const QString newPath = LibraryPaths::renamedPath(oldPath, newName);
    const QString folder = QFileInfo(oldPath).absolutePath();
    const LibraryPaths::NameProblem problem = LibraryPaths::nameProblem(base, newName, maxNameBytes(folder));
    QString refusal = nameRefusal(problem, maxNameBytes(folder));
    if (refusal.isEmpty() && QFileInfo::exists(newPath))
        refusal = tr("重命名失败，已存在同名文件“%1”！").arg(newName);
    if (refusal.isEmpty() && !oldPath.isEmpty() && !QFileInfo(folder).isWritable())
        refusal = tr("重命名失败，没有修改文件夹“%1”的权限！").arg(QFileInfo(folder).fileName());
    if (refusal.isEmpty() && (oldPath.isEmpty() || !QFile::rename(oldPath, newPath)))
        refusal = tr("重命名失败，文件正在被使用！");
    if (!refusal.isEmpty()) {
        Notice::information(window(), refusal);
        return;
    }

    if (kind == QLatin1String("wav")) {
        Timings::renameSource(dataDir, oldPath, newPath); // its documents still play from it
    } else {
        Timings::move(dataDir, oldPath, newPath);
        Document::moveRecord(dataDir, oldPath, newPath);
    }
    QStringList &paths = libraryPaths(kind);
    paths[paths.indexOf(oldPath)] = newPath;
    removeItem(libraryList(kind), itemNamed(libraryList(kind), name));
    libraryList(kind)->addItem(newName);
    if (kind == QLatin1String("wav"))
        emit recordingRenamed(oldPath, newPath);
    else
        emit documentRenamed(oldPath, newPath); // an open document follows, so closing it saves there
}

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

bool LibraryPane::hasTimings(const QString &documentName)
{
    Timings::Record record;
    return readDocumentTimings(dataDir, locate(QStringLiteral("word"), documentName), &record);
}

void LibraryPane::exportSubtitles(const QString &documentName)
{
    const QString document = locate(QStringLiteral("word"), documentName);
    Timings::Record record;
    if (!readDocumentTimings(dataDir, document, &record)) {
        Notice::information(window(), tr("导出字幕失败：该文本没有时间信息！"));
        return;
    }
    const QString chosen = Notice::getSaveFileName(
        window(), tr("导出字幕"), subtitleProposal(record.sourcePath, document), Subtitles::dialogFilter());
    if (chosen.isEmpty())
        return;
    const QString path = withSubtitleSuffix(chosen);
    const QByteArray text = Subtitles::fileText(record, Subtitles::formatForPath(path));
    QString error;
    if (!AtomicFile::write(path, text, &error)) {
        Notice::information(window(), tr("导出字幕失败，无法写入%1：%2").arg(path, error));
        return;
    }
    // A command line's subtitles of the same document may replace what was exported, and only that.
    Document::remember(dataDir, path, text);
    // Said without a box to close: a note by the list for a few seconds.
    const QString done = tr("字幕已导出：%1").arg(QDir::toNativeSeparators(path));
    wordList->setAccessibleDescription(done);
    QToolTip::showText(wordList->mapToGlobal(QPoint(0, wordList->height())), done, wordList, QRect(), 8000);
}
