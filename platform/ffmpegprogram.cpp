#include "platform/ffmpegprogram.h"

#include <QFileInfo>
#include <QStandardPaths>

QString ffmpegProgram(const QString &appDir)
{
    const QFileInfo local(appDir + QStringLiteral("/ffmpeg"));
    if (local.isFile() && local.isExecutable())
        return local.filePath();
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}
