#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The text document a task file becomes.
namespace Document {

// "talk.mp3" -> "talk.txt"; a name without "." keeps all of it as the stem.
QString fileNameFor(const QString &taskPath);
// dataDir + "/myWordFiles/" + fileNameFor(taskPath).
QString pathFor(const QString &dataDir, const QString &taskPath);

// The text view's plain text after each segment's text was appended as a paragraph ending in a line
// break: every text ends with "\n", consecutive texts are separated by an empty line.
QString textOf(const QStringList &segmentTexts);

// Writes text in the locale's encoding, atomically: the document is either replaced whole or left as
// it was. On failure returns false and puts the reason into *error.
bool write(const QString &path, const QString &text, QString *error);

// path itself unless taken already holds it; then "stem (2).txt", "stem (3).txt", ... the first that is
// not taken. A run passes the documents it wrote, so two tasks "talk.mp3" and "talk.wav" of one run
// give "talk.txt" and "talk (2).txt" and neither transcript is lost.
QString numberedPath(const QString &path, const QSet<QString> &taken);

} // namespace Document
