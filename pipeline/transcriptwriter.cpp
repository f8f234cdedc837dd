#include "pipeline/transcriptwriter.h"

#include "library/atomicfile.h"
#include "pipeline/document.h"
#include "pipeline/speakerturns.h"
#include "pipeline/timings.h"

#include <QDir>

namespace TranscriptWriter {

Written write(const QString &dataDir, const QString &folder, const QString &sourcePath, const QStringList &texts,
    const QVector<QVector<TimedSentence>> &segmentSentences, const QVector<qint64> &segmentStartsMs,
    const QSet<QString> &taken, const Speakers *speakers)
{
    Written written;
    const QString named = folder + QLatin1Char('/') + Document::fileNameFor(sourcePath);
    written.namedPath = Document::numberedPath(named, taken);
    written.path = Document::writablePath(dataDir, named, taken);
    QDir().mkpath(folder);
    Timings::Record record = Timings::recordFor(sourcePath, QString(), segmentSentences, segmentStartsMs);
    QString documentText = Document::textOf(texts);
    if (speakers && speakers->names.size() > 1) {
        record.sentences = SpeakerTurns::labelled(record.sentences, speakers->wordSpeaker, speakers->wordUncertain);
        record.speakerNames = speakers->names;
        record.labelSuffix = speakers->labelSuffix;
        record.voices = speakers->voices;
        documentText = SpeakerTurns::documentText(record.sentences, record.speakerNames, record.labelSuffix);
    }
    record.textChecksum = Timings::checksumOf(documentText);
    const QByteArray bytes = Document::encode(documentText);
    if (!AtomicFile::write(written.path, bytes, &written.error))
        return written;
    written.ok = true;
    Document::remember(dataDir, written.path, bytes);
    // A document without times still opens and converts; only its subtitles are not offered.
    if (!Timings::write(dataDir, written.path, record, nullptr))
        Timings::remove(dataDir, written.path);
    return written;
}

} // namespace TranscriptWriter
