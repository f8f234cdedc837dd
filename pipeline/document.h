#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// The text document a task file becomes.
namespace Document {

// "talk.mp3" -> "talk.txt"; a name without "." keeps all of it as the stem.
QString fileNameFor(const QString &taskPath);
// dataDir + "/myWordFiles/" + fileNameFor(taskPath).
QString pathFor(const QString &dataDir, const QString &taskPath);

// The text view's plain text after each segment's text was appended as a paragraph ending in a line
// break: every text ends with "\n", consecutive texts are separated by an empty line.
QString textOf(const QStringList &segmentTexts);

// The bytes write() puts on disk for text: the locale's encoding.
QByteArray encode(const QString &text);
// Writes text in the locale's encoding, atomically: the document is either replaced whole or left as
// it was. On failure returns false and puts the reason into *error.
bool write(const QString &path, const QString &text, QString *error);

// path itself unless taken already holds it; then "stem (2).txt", "stem (3).txt", ... the first that is
// not taken. A run passes the documents it wrote, so two tasks "talk.mp3" and "talk.wav" of one run
// give "talk.txt" and "talk (2).txt" and neither transcript is lost.
QString numberedPath(const QString &path, const QSet<QString> &taken);
// The same numbering, each candidate judged by isTaken.
QString numberedPath(const QString &path, const std::function<bool(const QString &)> &isTaken);

// Where a run writes a file of its own named `named` (a document, a subtitle file): numbered past those
// in `taken` (written earlier by the same run) and past any file the user wrote or changed.
QString writablePath(const QString &dataDir, const QString &named, const QSet<QString> &taken);
// What a run says when it wrote `written` instead of `named` so as not to replace the user's file.
QString keptNotice(const QString &named, const QString &written);

// What the program keeps of each document it wrote, to tell the user's own documents and edits from
// its output: the SHA-1 of the bytes, in <dataDir>/.quillora/documents/<SHA-1 of the path>.sha1.
// Renaming, copying or deleting a document does the same to its record.
QString recordPath(const QString &dataDir, const QString &documentPath);
bool remember(const QString &dataDir, const QString &documentPath, const QByteArray &bytes);
// True when nothing is at documentPath or it holds exactly what the program last wrote there: only
// then may a run replace it.
bool mayReplace(const QString &dataDir, const QString &documentPath);
void forget(const QString &dataDir, const QString &documentPath);
bool copyRecord(const QString &dataDir, const QString &fromDocument, const QString &toDocument);
bool moveRecord(const QString &dataDir, const QString &fromDocument, const QString &toDocument);

} // namespace Document
