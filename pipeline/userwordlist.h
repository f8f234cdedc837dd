#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// A user's own words: names, products, places, terms the recogniser's dictionary lacks. Stored in
// <dataDir>/.quillora/words.txt, UTF-8, one entry a line:
//
//   # a line beginning with # is a comment; empty lines are skipped
//   Kelvara
//   Orkney Vale                     (a phrase)
//   Quillora = K W IH L AO R AH     (with the user's pronunciation: CMU phones after "=")
//
// Every recognition request carries the entries in its "words" member.
struct UserWordEntry
{
    QString text;
    QString phones; // upper case, single spaces; empty: the service finds a pronunciation
    bool operator==(const UserWordEntry &other) const { return text == other.text && phones == other.phones; }
};

namespace UserWordList {

const qint64 maxFileBytes = 1024 * 1024;

QString storedPath(const QString &dataDir);

// A line that is not an entry; it is left out.
struct Problem
{
    enum Kind { NoLetter, TooLong, BadPhones, TooMany };
    Kind kind = NoLetter;
    int line = 0; // from 1
    QString text; // the line as written
};

struct Parsed
{
    QVector<UserWordEntry> entries; // in the file's order, repeats once
    QVector<Problem> problems;
};
Parsed parse(const QString &text);
// The file's text for these entries (a comment line, then one entry a line).
QString format(const QVector<UserWordEntry> &entries);

struct ReadResult
{
    enum Status { Ok, Missing, Unreadable, TooLarge, NotUtf8 };
    Status status = Missing;
    Parsed parsed;
    QString error; // the system's reason when Unreadable
};
// A missing file is an empty list.
ReadResult read(const QString &path);
// Replaces the file whole (its folder made when missing) or leaves it as it was.
bool write(const QString &path, const QVector<UserWordEntry> &entries, QString *error);

// The words of `after` that `before` lacks, as typed, once each, case aside: the words a correction
// brought. Only words of letters a-z (and inner apostrophes or hyphens) of two letters or more.
QStringList typedWords(const QString &before, const QString &after);
// Those of words that neither the dictionary (lower-case words) nor the list has.
QStringList unknownWords(const QStringList &words, const QSet<QString> &dictionary, const QVector<UserWordEntry> &list);
// The list with the words added at its end, those it has already left out.
QVector<UserWordEntry> withWords(QVector<UserWordEntry> list, const QStringList &words);
// The lower-case words of a pronunciation dictionary's text ("word PHONES", "word(2) PHONES" lines).
QSet<QString> dictionaryWords(const QByteArray &dictionary);

// What the interface and the command line say about a problem or a failed read.
QString describe(const Problem &problem);
QString describe(const ReadResult &result, const QString &path);
// A failed write, with the reason write() gave.
QString writeFailure(const QString &error);

} // namespace UserWordList
