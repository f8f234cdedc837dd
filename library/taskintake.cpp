#include "library/taskintake.h"

#include "library/filedialogfilter.h"
#include "library/librarypaths.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace TaskIntake {

namespace {
void addOnce(QStringList &list, const QString &path)
{
    if (!list.contains(path))
        list << path;
}
} // namespace

Sorted sortPaths(const QStringList &paths, Origin origin)
{
    Sorted sorted;
    for (const QString &given : paths) {
        QString path = QDir::fromNativeSeparators(given);
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        const QFileInfo info(path);
        if (info.isDir() && origin == Origin::Drop) {
            bool any = false;
            for (const QString &inside : LibraryPaths::folderFiles(path)) {
                if (QFileInfo(inside).isFile() && FileDialogFilter::isMediaFileName(inside)) {
                    addOnce(sorted.tasks, inside);
                    any = true;
                }
            }
            if (!any)
                addOnce(sorted.refused, LibraryPaths::fileName(path));
        } else if (info.isFile() && (origin == Origin::Dialog || FileDialogFilter::isMediaFileName(path))) {
            addOnce(sorted.tasks, path);
        } else {
            addOnce(sorted.refused, LibraryPaths::fileName(path));
        }
    }
    return sorted;
}

bool carriesLocalFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

QStringList droppedPaths(const QMimeData *data)
{
    QStringList paths;
    if (data && data->hasUrls()) {
        for (const QUrl &url : data->urls())
            paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    return paths;
}

} // namespace TaskIntake
