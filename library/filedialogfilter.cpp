#include "library/filedialogfilter.h"

#include <QStringList>

namespace FileDialogFilter {

namespace {
const char audioGroup[] = "Audio Files(*.pcm;*.wav;*.amr;*.wma;*.mp3;*.m4a;*.aac)";
const char videoGroup[] = "Video Files(*.mp4;*.3gp)";
} // namespace

QString openFilesFilter()
{
    return forPlatform(QLatin1String(audioGroup) + QStringLiteral(";;") + QLatin1String(videoGroup)
        + QStringLiteral(";;All Files(*.*)"));
}

bool isMediaFileName(const QString &fileName)
{
    const QString name = fileName.section(QLatin1Char('/'), -1, -1);
    for (const char *group : {audioGroup, videoGroup}) {
        const QString text = QLatin1String(group);
        const int open = text.indexOf(QLatin1Char('('));
        const QStringList patterns = text.mid(open + 1, text.size() - open - 2).split(QLatin1Char(';'));
        for (const QString &pattern : patterns) {
            // "*.wav" matches "a.wav" but not a hidden ".wav" with no name before the suffix.
            const QString suffix = pattern.mid(1);
            if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive))
                return true;
        }
    }
    return false;
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
