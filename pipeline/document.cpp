#include "pipeline/document.h"

#include "library/atomicfile.h"

#include <QTextCodec>

namespace Document {

QString fileNameFor(const QString &taskPath)
{
    const QString name = taskPath.mid(taskPath.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + QStringLiteral(".txt");
}

QString pathFor(const QString &dataDir, const QString &taskPath)
{
    return dataDir + QStringLiteral("/myWordFiles/") + fileNameFor(taskPath);
}

QString textOf(const QStringList &segmentTexts)
{
    QString text;
    for (const QString &segment : segmentTexts) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += segment + QLatin1Char('\n');
    }
    return text;
}

bool write(const QString &path, const QString &text, QString *error)
{
    return AtomicFile::write(path, QTextCodec::codecForLocale()->fromUnicode(text), error);
}

QString numberedPath(const QString &path, const QSet<QString> &taken)
{
    if (!taken.contains(path))
        return path;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const bool hasSuffix = dot > slash;
    const QString stem = hasSuffix ? path.left(dot) : path;
    const QString suffix = hasSuffix ? path.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral(" (%1)").arg(n) + suffix;
        if (!taken.contains(candidate))
            return candidate;
    }
}

} // namespace Document
