#pragma once

#include <QString>
#include <QStringList>

// The rules that keep a file list's items and its path list paired. Items show file names, the path
// list holds full paths, and the two are matched by file name, never by position, because a rename
// moves the item to the end of its list while the path keeps its place.
namespace LibraryPaths {

// The text after the last "/"; the whole text when there is none.
QString fileName(const QString &path);

// Index of the first path whose file name equals name exactly (case-sensitive), or -1.
int indexOfName(const QStringList &paths, const QString &name);

// The first path whose file name equals name, or an empty text.
QString locate(const QStringList &paths, const QString &name);

// Plain files of a folder (no "." and "..", no hidden files), sorted by name ignoring case, as full
// paths with forward slashes. A missing folder gives an empty list.
QStringList folderFiles(const QString &folder);

// Why the file at path cannot be read as a task or a document, naming it as shown: empty when it is
// a regular file this user may read. Only stats the path: a named pipe would block whoever opens it.
QString unreadableReason(const QString &path, const QString &shownName);

// Only documents whose whole path ends in ".txt" exactly belong in the text folder.
bool isDocument(const QString &path);

// What an atomic write of a document leaves when the program dies in it on a file system without
// unnamed temporary files: "<name>.txt." and six letters of mixed case.
bool isUnfinishedWrite(const QString &path);

// Puts path at the head of the task list unless it is already there; true when it was added.
bool addTask(QStringList &taskFiles, const QString &path);

// The name the rename dialog offers: the part of name before its first ".".
QString renameProposal(const QString &name);

// A name the user typed is usable as a file name in the same folder: not empty and no folder parts.
bool isPlainName(const QString &base);

// What is wrong with a name typed for a rename (base) and the file name it gives, for a folder whose
// file names may have at most maxNameBytes bytes.
enum class NameProblem { None, Empty, DotsOnly, LeadingDot, Separator, TooLong };
NameProblem nameProblem(const QString &base, const QString &newFileName, int maxNameBytes);

// Extension a renamed entry of the given kind ("wav" or "word") named oldName receives, dot included:
// a document's ".txt"; an audio file keeps its own (a recording's ".wav", an MP3's ".mp3"), none if it has none.
QString renamedExtension(const QString &kind, const QString &oldName);

// Path of oldPath after renaming its file to newFileName, in the same folder.
QString renamedPath(const QString &oldPath, const QString &newFileName);

// Replaces every occurrence of oldPath by one newPath at the place of the first; false when absent.
bool replaceTask(QStringList &taskFiles, const QString &oldPath, const QString &newPath);

// The task selector's entries show file names and carry their task's full path; an entry made
// without one (by hand) stands for the first task of its name. Two tasks may share a name.
// The entry standing for task among the entries' paths and names, or -1.
int taskEntry(const QStringList &entryPaths, const QStringList &entryNames, const QString &task);
// The index in taskFiles of the task an entry stands for, or -1.
int entryTask(const QStringList &taskFiles, const QString &entryPath, const QString &entryName);

} // namespace LibraryPaths
