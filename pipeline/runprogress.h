#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "pipeline/timedtext.h"

// What a run has recognised of one file, kept after every segment so that converting the same file
// again sends only the segments still missing. Segments may be recognised in any order.
class RunProgress
{
public:
    // Which file, as it was: a file changed since (size or time) starts afresh.
    struct FileIdentity
    {
        QString path;
        qint64 size = -1;
        qint64 modifiedMs = -1;
        bool operator==(const FileIdentity &other) const
        {
            return path == other.path && size == other.size && modifiedMs == other.modifiedMs;
        }
    };
    static FileIdentity identityOf(const QString &path); // size -1 when the file does not exist

    RunProgress() = default;
    RunProgress(const FileIdentity &file, const QString &language, int segmentCount);

    // The same file, language and segment plan: the texts kept so far still hold.
    bool continues(const FileIdentity &file, const QString &language, int segmentCount) const;

    int segmentCount() const { return int(done.size()); }
    bool isDone(int segment) const { return segment >= 0 && segment < done.size() && done.at(segment); }
    int doneCount() const;
    // A segment recognised with a text (hasText) or without one (no speech in it).
    void setDone(int segment, bool hasText, const QString &text);
    bool anyText() const;
    // The texts of the segments that gave one, in segment order.
    QStringList texts() const;
    // How many of those come before segment.
    int textsBefore(int segment) const;

    // Optional, so that records written without them still read: the cut plan the segments were made
    // by (a resumed run cuts the same way) and each done segment's sentences, times from its start.
    QVector<qint64> cuts() const { return cutsCentis; }
    void setCuts(const QVector<qint64> &cuts) { cutsCentis = cuts; }
    QVector<TimedSentence> sentences(int segment) const { return segmentSentences.value(segment); }
    void setSentences(int segment, const QVector<TimedSentence> &sentences);

    QByteArray toJson() const;
    // False for anything that is not a complete record.
    static bool fromJson(const QByteArray &json, RunProgress *progress);

    // Where the record of a task file lives in the folder of records: one file per task path.
    static QString recordPath(const QString &folder, const QString &taskPath);

private:
    FileIdentity file;
    QString language;
    QVector<bool> done;
    QVector<bool> hasText;
    QStringList segmentTexts; // one per segment; empty where none was given
    QVector<qint64> cutsCentis;
    QVector<QVector<TimedSentence>> segmentSentences; // one per segment; empty where none are known
};
