#include "library/librarypaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace LibraryPaths {

QString fileName(const QString &path)
{
    return path.section(QLatin1Char('/'), -1, -1);
}

int indexOfName(const QStringList &paths, const QString &name)
{
    for (int i = 0; i < paths.size(); ++i) {
        if (fileName(paths.at(i)) == name)
            return i;
    }
    return -1;
}

QString locate(const QStringList &paths, const QString &name)
{
    const int index = indexOfName(paths, name);
    return index < 0 ? QString() : paths.at(index);
}

QStringList folderFiles(const QString &folder)
{
    QDir dir(folder);
    dir.setFilter(QDir::Files | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    QStringList paths;
    const QFileInfoList entries = dir.entryInfoList();
    for (const QFileInfo &entry : entries)
        paths << entry.filePath();
    return paths;
}

QString unreadableReason(const QString &path, const QString &shownName)
{
    // A name that is not valid UTF-8 comes out of decoding with U+FFFD in it, and would be encoded
    // back as another name: another file, or none.
    if (path.contains(QChar::ReplacementCharacter))
        return QCoreApplication::translate(
            "LibraryPaths", "文件名“%1”含有无法识别的字符（不是 UTF-8 编码），请先在文件管理器中重命名该文件！")
            .arg(shownName);
    const QFileInfo info(path);
    if (!info.exists())
        return QCoreApplication::translate("LibraryPaths", "文件“%1”不存在或已被删除！").arg(shownName);
    if (!info.isFile())
        return QCoreApplication::translate("LibraryPaths", "“%1”不是普通文件（如文件夹、命名管道或设备），无法使用！")
            .arg(shownName);
    if (!info.isReadable())
        return QCoreApplication::translate("LibraryPaths", "没有读取文件“%1”的权限！").arg(shownName);
    return QString();
}

bool isDocument(const QString &path)
{
    return path.section(QLatin1Char('.'), -1, -1) == QLatin1String("txt");
}

bool isUnfinishedWrite(const QString &path)
{
    // Six letters both cases: a user's "notes.txt.backup" is not taken for one.
    static const QRegularExpression pattern(
        QStringLiteral("\\.txt\\.(?=[A-Za-z]*[a-z])(?=[A-Za-z]*[A-Z])[A-Za-z]{6}$"));
    return pattern.match(fileName(path)).hasMatch() && fileName(path).size() > 11;
}

bool addTask(QStringList &taskFiles, const QString &path)
{
    if (taskFiles.contains(path, Qt::CaseSensitive))
        return false;
    taskFiles.insert(0, path);
    return true;
}

QString renameProposal(const QString &name)
{
    return name.section(QLatin1Char('.'), 0, 0);
}

bool isPlainName(const QString &base)
{
    // On Linux "/" would move the file into another folder, and a backslash is a separator where
    // these names may travel; neither can be part of a library entry's name.
    return !base.isEmpty() && !base.contains(QLatin1Char('/')) && !base.contains(QLatin1Char('\\'))
        && !base.contains(QChar(0));
}

NameProblem nameProblem(const QString &base, const QString &newFileName, int maxNameBytes)
{
    if (base.trimmed().isEmpty())
        return NameProblem::Empty;
    if (base.count(QLatin1Char('.')) == base.size())
        return NameProblem::DotsOnly;
    if (!isPlainName(base))
        return NameProblem::Separator;
    // A hidden file would vanish from the list at the next start.
    if (base.startsWith(QLatin1Char('.')))
        return NameProblem::LeadingDot;
    if (QFile::encodeName(newFileName).size() > maxNameBytes)
        return NameProblem::TooLong;
    return NameProblem::None;
}

QString renamedExtension(const QString &kind, const QString &oldName)
{
    if (kind != QLatin1String("wav"))
        return QStringLiteral(".txt");
    // A new suffix would not change what the file holds, only hide it from every program that opens it.
    const int dot = oldName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? oldName.mid(dot) : QString();
}

QString renamedPath(const QString &oldPath, const QString &newFileName)
{
    return oldPath.left(oldPath.lastIndexOf(QLatin1Char('/'))) + QLatin1Char('/') + newFileName;
}

bool replaceTask(QStringList &taskFiles, const QString &oldPath, const QString &newPath)
{
    const int first = taskFiles.indexOf(oldPath);
    if (first < 0)
        return false;
    taskFiles.removeAll(oldPath);
    taskFiles.insert(first, newPath);
    return true;
}

int taskEntry(const QStringList &entryPaths, const QStringList &entryNames, const QString &task)
{
    const int carried = entryPaths.indexOf(task);
    if (carried >= 0)
        return carried;
    for (int i = 0; i < entryNames.size(); ++i) {
        if (entryPaths.value(i).isEmpty() && entryNames.at(i) == fileName(task))
            return i;
    }
    return -1;
}

int entryTask(const QStringList &taskFiles, const QString &entryPath, const QString &entryName)
{
    if (!entryPath.isEmpty())
        return taskFiles.indexOf(entryPath);
    return entryName.isEmpty() ? -1 : indexOfName(taskFiles, entryName);
}

} // namespace LibraryPaths
