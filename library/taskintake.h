#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

// Which of the paths a user hands over (chosen in the open dialog, or dropped on the window) become
// tasks, and which are refused.
namespace TaskIntake {

enum class Origin {
    Dialog, // chosen in the open dialog, whose "all files" group lets the user pick any file on purpose
    Drop, // dropped: only audio and video files, and those directly inside a dropped folder
};

struct Sorted
{
    QStringList tasks; // in the order given, a folder's files by name; each path once
    QStringList refused; // file names (a folder's own name) of what was left out, in the order given
};

// Paths may use the platform's separators; a trailing "/" is dropped. A dropped folder adds its
// audio and video files, not its subfolders; a folder without any is refused. A path that is neither
// a regular file nor a folder (missing, a pipe, a device) is always refused.
Sorted sortPaths(const QStringList &paths, Origin origin);

// Whether a drag carries at least one local file or folder: only such a drag is taken as tasks.
bool carriesLocalFiles(const QMimeData *data);
// The local files and folders a drag carries; other addresses are kept as they are, to be refused.
QStringList droppedPaths(const QMimeData *data);

} // namespace TaskIntake
