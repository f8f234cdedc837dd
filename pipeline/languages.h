#pragma once

#include <QString>
#include <QVector>

// The recognition languages: the code the engine and the command line use, the selector's text (the key
// the window saves and the resume records keep) and the service's dev_pid, in the selector's order.
namespace Languages {

struct Language
{
    QString code; // "en"
    QString text; // "英文"
    int devPid = -1;
};
const QVector<Language> &all();
// The code of a code (any case) or a selector text (or its translation); empty when it names none.
QString codeOf(const QString &name);
// The selector text of a language named as codeOf accepts; empty when it names none.
QString textOf(const QString &name);
// dev_pid of a language named as codeOf accepts; -1 when it names none.
int devPidOf(const QString &name);
// What the interface shows for a language named as codeOf accepts, in the language shown.
QString displayName(const QString &name);

} // namespace Languages
