#include "pipeline/document.h"

#include "library/atomicfile.h"
#include "pipeline/datapaths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QByteArray encode(const QString &text)
{
    return QTextCodec::codecForLocale()->fromUnicode(text);
}

bool write(const QString &path, const QString &text, QString *error)
{
    return AtomicFile::write(path, encode(text), error);
}

QString numberedPath(const QString &path, const QSet<QString> &taken)
{
    return numberedPath(path, [&taken](const QString &candidate) { return taken.contains(candidate); });
}

QString numberedPath(const QString &path, const std::function<bool(const QString &)> &isTaken)
{
    if (!isTaken(path))
        return path;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const bool hasSuffix = dot > slash;
    const QString stem = hasSuffix ? path.left(dot) : path;
    const QString suffix = hasSuffix ? path.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral(" (%1)").arg(n) + suffix;
        if (!isTaken(candidate))
            return candidate;
    }
}

QString writablePath(const QString &dataDir, const QString &named, const QSet<QString> &taken)
{
    return numberedPath(
        named, [&taken, &dataDir](const QString &path) { return taken.contains(path) || !mayReplace(dataDir, path); });
}

QString keptNotice(const QString &named, const QString &written)
{
    const int slash = named.lastIndexOf(QLatin1Char('/'));
    return QCoreApplication::translate(
        "ConversionEngine", "“%1”已被修改或不是本程序写入的，为免覆盖，新的文本已保存为“%2”。")
        .arg(named.mid(slash + 1), written.mid(written.lastIndexOf(QLatin1Char('/')) + 1));
}

namespace {
QByteArray sha1Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}
} // namespace

QString recordPath(const QString &dataDir, const QString &documentPath)
{
    return DataPaths::own(dataDir) + QStringLiteral("/documents/") + QString::fromLatin1(sha1Hex(documentPath.toUtf8()))
        + QStringLiteral(".sha1");
}

bool remember(const QString &dataDir, const QString &documentPath, const QByteArray &bytes)
{
    const QString record = recordPath(dataDir, documentPath);
    return QDir().mkpath(QFileInfo(record).path()) && AtomicFile::write(record, sha1Hex(bytes), nullptr);
}

bool mayReplace(const QString &dataDir, const QString &documentPath)
{
    // Only a file's text can be lost; a folder in the way makes the write fail and say so.
    if (!QFileInfo(documentPath).isFile())
        return true;
    QFile document(documentPath);
    QFile record(recordPath(dataDir, documentPath));
    if (!record.open(QIODevice::ReadOnly) || !document.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    return hash.addData(&document) && hash.result().toHex() == record.readAll().trimmed();
}

void forget(const QString &dataDir, const QString &documentPath)
{
    QFile::remove(recordPath(dataDir, documentPath));
}

bool copyRecord(const QString &dataDir, const QString &fromDocument, const QString &toDocument)
{
    forget(dataDir, toDocument);
    return QFile::copy(recordPath(dataDir, fromDocument), recordPath(dataDir, toDocument));
}

bool moveRecord(const QString &dataDir, const QString &fromDocument, const QString &toDocument)
{
    forget(dataDir, toDocument);
    return QFile::rename(recordPath(dataDir, fromDocument), recordPath(dataDir, toDocument));
}

} // namespace Document
