#include "library/documentsave.h"

#include "pipeline/document.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace DocumentSave {

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

Baseline baselineOf(const QString &path, const QString &viewText)
{
    Baseline baseline;
    baseline.viewText = viewText;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        baseline.digest = digestOf(file.readAll());
    return baseline;
}

Action plan(const Baseline &baseline, const QString &rawViewText, const QByteArray &bytes, bool present,
    const QByteArray &onDisk)
{
    if (present && bytes == onDisk)
        return Action::Keep;
    // A document gone from disk loses nothing when the view's text takes its place again.
    if (!present)
        return Action::Write;
    if (baseline.written && rawViewText == baseline.viewText)
        return Action::Keep;
    return digestOf(onDisk) == baseline.digest ? Action::Write : Action::WriteElsewhere;
}

QString elsewherePath(const QString &path)
{
    return Document::numberedPath(path, [](const QString &candidate) { return QFileInfo::exists(candidate); });
}

} // namespace DocumentSave
