#include "ui/widget.h"

#include "app/appstate.h"
#include "library/librarypaths.h"
#include "library/myinput.h"
#include "library/mylistwidget.h"
#include "pipeline/document.h"
#include "pipeline/timings.h"
#include "ui/notice.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>
#include <QStandardPaths>

#include <unistd.h>

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

void Widget::delFile(const QString &kind, const QString &name)
{
    const bool wav = kind == QLatin1String("wav");
    const QString path = LibraryPaths::locate(libraryPaths(kind), name);
    const QString question = wav ? tr("确定要删除该录音文件吗？") : tr("确定要删除该文本文件吗？");
    if (Notice::question(nullptr, tr("提示"), question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;

    // A file that cannot be removed still leaves the lists; it is listed again at the next start.
    QFile::remove(path);
    libraryPaths(kind).removeAll(path);
    removeItem(libraryList(kind), itemNamed(libraryList(kind), name));
    // The view no longer belongs to a deleted document, so closing it cannot bring the file back.
    if (!path.isEmpty() && wordFilePath == path)
        wordFilePath.clear();
    if (wav)
        removeTask(path);
    else if (!path.isEmpty() && !QFile::exists(path)) {
        Timings::remove(AppState::dataDir, path);
        Document::forget(AppState::dataDir, path);
    }
}

void Widget::saveFileAs(const QString &kind, const QString &name)
{
    const QString source = LibraryPaths::locate(libraryPaths(kind), name);
    const QString proposal
        = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/') + name;
    const QString filter
        = kind == QLatin1String("wav") ? tr("Audio File(*.wav)") : tr("Text File(*.txt);;Text File(*.doc)");
    const QString destination = Notice::getSaveFileName(this, tr("另存为"), proposal, filter);
    if (destination.isEmpty())
        return;
    // The save dialog has already asked before an existing file is replaced.
    if (!copyReplacing(source, destination))
        Notice::information(this, tr("另存为失败，无法写入所选位置！"));
    else if (kind == QLatin1String("word")) {
        Timings::copy(AppState::dataDir, source, destination);
        Document::copyRecord(AppState::dataDir, source, destination);
    }
}

void Widget::renameFile(const QString &kind, const QString &name)
{
    MyInput input(this);
    input.nameEdit->setText(LibraryPaths::renameProposal(name));
    input.exec();
    const QString base = input.nameEdit->text();
    if (input.cancelled)
        return;

    const QString oldPath = LibraryPaths::locate(libraryPaths(kind), name);
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
        Notice::information(this, refusal);
        return;
    }

    if (kind == QLatin1String("wav")) {
        renameTask(oldPath, newPath);
        Timings::renameSource(AppState::dataDir, oldPath, newPath); // its documents still play from it
    } else {
        Timings::move(AppState::dataDir, oldPath, newPath);
        Document::moveRecord(AppState::dataDir, oldPath, newPath);
    }
    QStringList &paths = libraryPaths(kind);
    paths[paths.indexOf(oldPath)] = newPath;
    // An open document follows its new name, so closing it saves under that name.
    if (wordFilePath == oldPath)
        wordFilePath = newPath;
    removeItem(libraryList(kind), itemNamed(libraryList(kind), name));
    libraryList(kind)->addItem(newName);
}
