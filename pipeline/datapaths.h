#pragma once

#include <QString>

// Where the program keeps what it writes under a data folder: the one place these paths are built.
namespace DataPaths {

QString documents(const QString &dataDir); // myWordFiles: the text documents
QString recordings(const QString &dataDir); // myWAVFiles
QString temporary(const QString &dataDir); // myTmpWAVFiles: each run's folder of segments
QString own(const QString &dataDir); // .quillora: the program's own files, out of the user's way
QString settings(const QString &dataDir); // .quillora/settings.ini: what the window remembers
QString progressRecords(const QString &dataDir); // .quillora/progress: what resumes a conversion

} // namespace DataPaths
