#pragma once

#include <QByteArray>
#include <QString>

// Whether the text view may write its text into the document it belongs to: a change made to the
// file elsewhere since the view last matched it is never written over.
namespace DocumentSave {

// The document as the view last matched it on disk.
struct Baseline
{
    QString viewText; // the view's raw text then
    QByteArray digest; // of the file's bytes then; empty when no file was there
    bool written = true; // false while the view's text has never been in the file (its save failed)
};

QByteArray digestOf(const QByteArray &bytes);
// The view shows viewText of the file at path as it is now.
Baseline baselineOf(const QString &path, const QString &viewText);

enum class Action {
    Keep, // nothing to write: the file already says it, or the view holds no edits for it
    Write, // into the document
    WriteElsewhere, // under the first free numbered name beside it: the file was changed elsewhere
};
// bytes: the view's text as it would be written; onDisk: the file now, when present.
Action plan(const Baseline &baseline, const QString &rawViewText, const QByteArray &bytes, bool present,
    const QByteArray &onDisk);

// "talk.txt" -> "talk (2).txt", "talk (3).txt", ... the first name nothing holds.
QString elsewherePath(const QString &path);

} // namespace DocumentSave
