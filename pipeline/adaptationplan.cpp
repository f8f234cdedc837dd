#include "pipeline/adaptationplan.h"

#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace AdaptationPlan {

namespace {

bool heardThere(const TimedSentence &sentence)
{
    if (sentence.lostWords || sentence.words.isEmpty())
        return false;
    return std::none_of(sentence.words.cbegin(), sentence.words.cend(),
        [](const TimedWord &word) { return word.edit == TimedWord::Edit::Inserted; });
}

bool corrected(const TimedSentence &sentence)
{
    return sentence.lostWords || std::any_of(sentence.words.cbegin(), sentence.words.cend(), [](const TimedWord &word) {
        return word.edit != TimedWord::Edit::None;
    });
}

} // namespace

QString utteranceId(int index)
{
    return QStringLiteral("u") + QString::number(index).rightJustified(5, QLatin1Char('0'));
}

QString dictionarySpelling(const QString &word)
{
    static const QRegularExpression ends(QStringLiteral("^[^\\p{L}]+|[^\\p{L}]+$"));
    static const QRegularExpression spelt(QStringLiteral("^[a-z]+('[a-z]+)*$"));
    QString spelling = word.toLower();
    spelling.replace(QChar(0x2019), QLatin1Char('\'')).remove(ends);
    return spelt.match(spelling).hasMatch() ? spelling : QString();
}

QString transcriptOf(const QVector<TimedWord> &words)
{
    QStringList spelt;
    for (const TimedWord &word : words) {
        const QString spelling = dictionarySpelling(word.text);
        if (spelling.isEmpty())
            return QString();
        spelt << spelling;
    }
    return spelt.join(QLatin1Char(' '));
}

QVector<Utterance> agreedSentences(const QString &audioPath, const QVector<TimedSentence> &sentences)
{
    int lastCorrected = -1;
    for (int i = 0; i < sentences.size(); ++i) {
        if (corrected(sentences.at(i)))
            lastCorrected = i;
    }
    QVector<Utterance> used;
    for (int i = 0; i <= lastCorrected; ++i) {
        const TimedSentence &sentence = sentences.at(i);
        if (!heardThere(sentence))
            continue;
        const qint64 first = sentence.words.first().startMs;
        const qint64 last = sentence.words.last().endMs;
        const QString transcript = transcriptOf(sentence.words);
        if (transcript.isEmpty() || last <= first || last - first > longestUtteranceMs)
            continue;
        const qint64 previousEnd
            = i > 0 && !sentences.at(i - 1).words.isEmpty() ? sentences.at(i - 1).words.last().endMs : 0;
        const qint64 nextStart = i + 1 < sentences.size() && !sentences.at(i + 1).words.isEmpty()
            ? sentences.at(i + 1).words.first().startMs
            : last + marginMs;
        used.append({audioPath, std::max({qint64(0), first - marginMs, std::min(first, previousEnd)}),
            std::min(last + marginMs, std::max(last, nextStart)), transcript});
    }
    return used;
}

QSet<QString> dictionaryWords(const QByteArray &dictionary)
{
    static const QRegularExpression variant(QStringLiteral("\\(\\d+\\)$"));
    QSet<QString> words;
    for (const QByteArray &line : dictionary.split('\n')) {
        const int space = line.indexOf(' ');
        if (space > 0)
            words.insert(QString::fromUtf8(line.left(space)).remove(variant));
    }
    return words;
}

bool isPronounceable(const QString &transcript, const QSet<QString> &words)
{
    const QStringList spelt = transcript.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return !spelt.isEmpty()
        && std::all_of(spelt.cbegin(), spelt.cend(), [&words](const QString &word) { return words.contains(word); });
}

QByteArray mixtureWeightsFromSendump(const QByteArray &sendump)
{
    const auto word = [&sendump](qint64 at, quint32 *value) {
        if (at < 0 || at + 4 > sendump.size())
            return false;
        *value = qFromLittleEndian<quint32>(sendump.constData() + at);
        return true;
    };
    qint64 at = 0;
    quint32 length = 0;
    int features = 0;
    int mixwShift = 10;
    // The header: length-prefixed strings, ended by a length of 0.
    for (int strings = 0;; ++strings) {
        if (strings > 1000 || !word(at, &length) || length > 65536 || at + 4 + length > sendump.size())
            return {};
        const QByteArray text = sendump.mid(int(at + 4), int(length)).replace('\0', "");
        at += 4 + length;
        if (length == 0)
            break;
        if (text.startsWith("feature_count "))
            features = text.mid(14).toInt();
        if (text.startsWith("mixw_shift "))
            mixwShift = text.mid(11).toInt();
        if (text.startsWith("cluster_count ") && text.mid(14).toInt() != 0)
            return {}; // clustered weights: not what this model uses
    }
    quint32 codewords = 0;
    quint32 pdfs = 0;
    if (!word(at, &codewords) || !word(at + 4, &pdfs) || features <= 0 || features > 16 || codewords == 0
        || codewords > 4096 || pdfs == 0 || pdfs > 1000000 || mixwShift < 0 || mixwShift > 20)
        return {};
    at += 8;
    const qint64 cells = qint64(features) * codewords * pdfs;
    if (at + cells != sendump.size())
        return {};
    float table[256];
    for (int b = 0; b < 256; ++b)
        table[b] = float(std::pow(1.0001, -double(b << mixwShift)));
    const QByteArray head("s3\nversion 1.0\nendhdr\n");
    QByteArray out(head.size() + 4 + 16 + int(cells) * 4, Qt::Uninitialized);
    char *p = out.data();
    std::memcpy(p, head.constData(), size_t(head.size()));
    p += head.size();
    const quint32 fields[] = {0x11223344u, pdfs, quint32(features), codewords, quint32(cells)};
    for (quint32 field : fields) {
        qToLittleEndian(field, p);
        p += 4;
    }
    // The dump is by feature, codeword, senone; the weights file by senone, feature, codeword.
    const auto *bytes = reinterpret_cast<const uchar *>(sendump.constData() + at);
    for (int f = 0; f < features; ++f) {
        for (quint32 c = 0; c < codewords; ++c) {
            for (quint32 s = 0; s < pdfs; ++s) {
                const float weight = table[*bytes++];
                qToLittleEndian(weight, p + ((qint64(s) * features + f) * codewords + c) * 4);
            }
        }
    }
    return out;
}

QStringList transcodeArguments(const QString &audioPath, const QString &rawPath)
{
    return {QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-v"), QStringLiteral("error"),
        QStringLiteral("-i"), audioPath, QStringLiteral("-vn"), QStringLiteral("-ac"), QStringLiteral("1"),
        QStringLiteral("-ar"), QStringLiteral("16000"), QStringLiteral("-f"), QStringLiteral("s16le"), rawPath};
}

QStringList featureArguments(const QString &modelDir, const QString &controlFile, const QString &workDir)
{
    return {QStringLiteral("-argfile"), modelDir + QStringLiteral("/feat.params"), QStringLiteral("-samprate"),
        QStringLiteral("16000"), QStringLiteral("-c"), controlFile, QStringLiteral("-di"), workDir,
        QStringLiteral("-do"), workDir, QStringLiteral("-ei"), QStringLiteral("raw"), QStringLiteral("-eo"),
        QStringLiteral("mfc"), QStringLiteral("-raw"), QStringLiteral("yes"), QStringLiteral("-input_endian"),
        QStringLiteral("little"), QStringLiteral("-remove_silence"), QStringLiteral("no")};
}

QStringList countArguments(const QString &modelDir, const QString &dictionary, const QString &workDir)
{
    return {QStringLiteral("-hmmdir"), modelDir, QStringLiteral("-moddeffn"), modelDir + QStringLiteral("/mdef.txt"),
        QStringLiteral("-ts2cbfn"), QStringLiteral(".ptm."), QStringLiteral("-feat"), QStringLiteral("1s_c_d_dd"),
        QStringLiteral("-svspec"), QStringLiteral("0-12/13-25/26-38"), QStringLiteral("-cmn"), QStringLiteral("batch"),
        QStringLiteral("-agc"), QStringLiteral("none"), QStringLiteral("-dictfn"), dictionary,
        QStringLiteral("-fdictfn"), modelDir + QStringLiteral("/noisedict"), QStringLiteral("-ctlfn"),
        workDir + QStringLiteral("/utterances.ctl"), QStringLiteral("-lsnfn"),
        workDir + QStringLiteral("/utterances.lsn"), QStringLiteral("-cepdir"), workDir, QStringLiteral("-accumdir"),
        workDir, QStringLiteral("-timing"), QStringLiteral("no")};
}

QStringList solveArguments(const QString &modelDir, const QString &workDir, const QString &transformPath)
{
    return {QStringLiteral("-meanfn"), modelDir + QStringLiteral("/means"), QStringLiteral("-varfn"),
        modelDir + QStringLiteral("/variances"), QStringLiteral("-outmllrfn"), transformPath,
        QStringLiteral("-accumdir"), workDir};
}

QByteArray controlFile(const QVector<Utterance> &utterances, const QVector<int> &rawIndex)
{
    QByteArray text;
    for (int i = 0; i < utterances.size(); ++i) {
        const Utterance &u = utterances.at(i);
        // Frames are 10 ms.
        text += "audio" + QByteArray::number(rawIndex.value(i)) + ' ' + QByteArray::number(u.startMs / 10) + ' '
            + QByteArray::number(u.endMs / 10) + ' ' + utteranceId(i).toLatin1() + '\n';
    }
    return text;
}

QByteArray transcriptFile(const QVector<Utterance> &utterances)
{
    QByteArray text;
    for (int i = 0; i < utterances.size(); ++i)
        text += "<s> " + utterances.at(i).transcript.toUtf8() + " </s> (" + utteranceId(i).toLatin1() + ")\n";
    return text;
}

QStringList unalignedUtterances(const QString &countOutput)
{
    // "utt> seq id frames deleted states alpha beta reest posterior frame-lik utt-lik": an utterance it
    // could not align stops after alpha; the summary may follow on the same line.
    QStringList ids;
    const QStringList records = countOutput.split(QStringLiteral("utt>"));
    for (int i = 1; i < records.size(); ++i) {
        const QStringList fields = records.at(i)
                                       .section(QStringLiteral("overall>"), 0, 0)
                                       .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (fields.size() >= 2 && fields.size() < 11)
            ids << fields.at(1);
    }
    return ids;
}

int countedUtterances(const QString &countOutput)
{
    return countOutput.count(QStringLiteral("utt>"));
}

} // namespace AdaptationPlan
