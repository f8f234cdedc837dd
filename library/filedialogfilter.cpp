#include "library/filedialogfilter.h"

#include <QStringList>

namespace FileDialogFilter {

QString openFilesFilter()
{
    return forPlatform(QStringLiteral("Audio Files(*.pcm;*.wav;*.amr;*.wma;*.mp3;*.m4a;*.aac);;"
                                      "Video Files(*.mp4;*.3gp);;All Files(*.*)"));
}

QString forPlatform(const QString &filter)
{
    QStringList groups = filter.split(QStringLiteral(";;"));
    for (QString &group : groups) {
        const int open = group.lastIndexOf(QLatin1Char('('));
        if (open < 0 || !group.endsWith(QLatin1Char(')')))
            continue;
        const QStringList patterns
            = group.mid(open + 1, group.size() - open - 2).split(QRegExp(QStringLiteral("[; ]+")), Qt::SkipEmptyParts);
        QStringList mapped;
        for (const QString &pattern : patterns) {
            if (pattern == QLatin1String("*.*")) {
                mapped << QStringLiteral("*");
                continue;
            }
            // Names here are case-sensitive, and cameras and phones often write "REC001.WAV".
            for (const QString &spelling : {pattern, pattern.toUpper()}) {
                if (!mapped.contains(spelling))
                    mapped << spelling;
            }
        }
        group = group.left(open + 1) + mapped.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return groups.join(QStringLiteral(";;"));
}

} // namespace FileDialogFilter
