#include "pipeline/document.h"

#include <QSaveFile>
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray bytes = QTextCodec::codecForLocale()->fromUnicode(text);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace Document
