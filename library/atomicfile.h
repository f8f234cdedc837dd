#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file whole or leaves it as it was. Writes are unbuffered so that a full disk fails the
// write itself: a buffered write would only fail when the buffer is flushed at commit, and a failed
// flush there would still put the short temporary file in the document's place.
namespace AtomicFile {

// False with the reason in *error (may be null) when any step failed; the old file is then untouched.
bool write(const QString &path, const QByteArray &bytes, QString *error);

// What went wrong in a failed write of path with that error text, for a message that names the cause.
enum class Failure { Permission, DiskFull, Other };
Failure failureOf(const QString &path, const QString &error);

} // namespace AtomicFile
