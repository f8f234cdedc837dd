#include "common/smalldisk.h"
#include "common/speechtestutil.h"
#include "common/testmain.h"
#include "common/timedsentences.h"
#include "common/voicetransforms.h"
#include "pipeline/adaptationplan.h"
#include "pipeline/adaptationtext.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/timings.h"
#include "pipeline/voiceadaptation.h"
#include "pipeline/wordalign.h"
#include "speechd/voicetransform.h"
#include "ui/voiceadaptationdialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <QtTest>

using SpeechTestUtil::everydaySentences;
using SpeechTestUtil::makeEnglishWav;
using SpeechTestUtil::speakSentences;
using SpeechTestUtil::SpokenSentences;
using TimedSentences::sentencesOf;

namespace {

const QString model = QStringLiteral("/usr/share/pocketsphinx/model/en-us");

// sentencesOf's form with marks: "~word" written over recognised words, "+word" inserted, a sentence
// beginning with "!" lost recognised words.
QVector<TimedSentence> markedSentences(const QString &written)
{
    QString plain = written;
    plain.remove(QLatin1Char('~')).remove(QLatin1Char('+')).remove(QLatin1Char('!'));
    QVector<TimedSentence> sentences = sentencesOf(plain);
    const QStringList parts = written.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (int s = 0; s < sentences.size(); ++s) {
        const QString part = parts.at(s).trimmed();
        sentences[s].lostWords = part.startsWith(QLatin1Char('!'));
        const QStringList words = part.mid(sentences[s].lostWords ? 1 : 0).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int w = 0; w < sentences[s].words.size(); ++w) {
            const QChar mark = words.at(w).at(0);
            sentences[s].words[w].edit = mark == QLatin1Char('~') ? TimedWord::Edit::Replaced
                : mark == QLatin1Char('+')                        ? TimedWord::Edit::Inserted
                                                                  : TimedWord::Edit::None;
        }
    }
    return sentences;
}

QString marksOf(const QVector<TimedSentence> &sentences)
{
    QStringList parts;
    for (const TimedSentence &sentence : sentences) {
        QStringList words;
        for (const TimedWord &word : sentence.words)
            words << (word.edit == TimedWord::Edit::Replaced          ? QStringLiteral("~")
                             : word.edit == TimedWord::Edit::Inserted ? QStringLiteral("+")
                                                                      : QString())
                    + word.text;
        parts << (sentence.lostWords ? QStringLiteral("!") : QString()) + words.join(QLatin1Char(' '));
    }
    return parts.join(QStringLiteral("; "));
}

QString transform(double scale = 1.0)
{
    return voiceTransformText(scale);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestVoiceAdaptation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void agreedSentences_data();
    void agreedSentences();
    void editsRemembered_data();
    void editsRemembered();
    void countOutputRead_data();
    void countOutputRead();
    void transformChecked_data();
    void transformChecked();
    void mixtureWeightsFromModel();
    void documentSentences_data();
    void documentSentences();
    void adaptsFromPairs();
    void failureKeepsPrevious_data();
    void failureKeepsPrevious();
    void dialogAdaptsFromDocuments_data();
    void dialogAdaptsFromDocuments();

private:
    QVector<VoiceAdaptation::Pair> pairs(const QStringList &texts, const QString &tag);
    VoiceAdaptation::Result run(
        VoiceAdaptation &adaptation, const QVector<VoiceAdaptation::Pair> &input, int cancelAtPercent = -1);

    QTemporaryDir audio;
    QStringList wavs; // everydaySentences() spoken, in order
};

void TestVoiceAdaptation::initTestCase()
{
    QVERIFY(audio.isValid());
    const QStringList sentences = everydaySentences();
    for (int i = 0; i < sentences.size(); ++i) {
        wavs << makeEnglishWav(audio.path(), QStringLiteral("s%1").arg(i), sentences.at(i));
        QVERIFY(!wavs.last().isEmpty());
    }
}

void TestVoiceAdaptation::agreedSentences_data()
{
    QTest::addColumn<QString>("timed"); // markedSentences' form
    QTest::addColumn<QString>("used"); // transcript@start-end; ...

    const QString three = "Hi@1000-1400 there.@1400-1900; Go@3000-3300 on.@3300-3800; Be@6000-6200 calm.@6200-6900";
    QTest::newRow("not corrected: none") << three << "";
    QTest::newRow("a replaced word: its sentence and those before, not after")
        << "Hi@1000-1400 there.@1400-1900; Go@3000-3300 ~in.@3300-3800; Be@6000-6200 calm.@6200-6900"
        << "hi there@850-2050; go in@2850-3950";
    QTest::newRow("a sentence with an inserted word is left out")
        << "Hi@1000-1400 there.@1400-1900; Go@3000-3300 +right@3300-3300 on.@3300-3800"
        << "hi there@850-2050";
    QTest::newRow("a sentence that lost recognised words is left out")
        << "Hi@1000-1400 there.@1400-1900; !Go@3000-3300 ~on.@3300-3800"
        << "hi there@850-2050";
    QTest::newRow("margins stop at the neighbours' words")
        << "Hi@1000-1400 there.@1400-1900; ~Go@1950-2300 on.@2300-2800; Be@2850-3000 calm.@3000-3100"
        << "hi there@850-1950; go on@1900-2850";
    QTest::newRow("no margin before the start of the file") << "~Hi@50-400 there.@400-900"
                                                            << "hi there@0-1050";
    QTest::newRow("spellings: case, punctuation, apostrophes, titles")
        << "~\"Don't@0-500 tell@500-900 Mr.@900-1200 O'Brien!\"@1200-2000"
        << "don't tell mr o'brien@0-2150";
    QTest::newRow("a number has no spelling") << "~Room@0-500 101.@500-900; ~Go@2000-2300 on.@2300-2800"
                                              << "go on@1850-2950";
    QTest::newRow("longer than a minute") << "~Talk@0-30000 on.@30000-60500"
                                          << "";
    QTest::newRow("a correction in the last sentence takes them all")
        << "Hi@1000-1400 there.@1400-1900; Go@3000-3300 on.@3300-3800; Be@6000-6200 ~come.@6200-6900"
        << "hi there@850-2050; go on@2850-3950; be come@5850-7050";
}

void TestVoiceAdaptation::agreedSentences()
{
    QFETCH(QString, timed);
    QFETCH(QString, used);
    QStringList got;
    for (const AdaptationPlan::Utterance &u : AdaptationPlan::agreedSentences("/a.wav", markedSentences(timed))) {
        QCOMPARE(u.audioPath, QStringLiteral("/a.wav"));
        got << QStringLiteral("%1@%2-%3").arg(u.transcript).arg(u.startMs).arg(u.endMs);
    }
    QCOMPARE(got.join(QStringLiteral("; ")), used);
}

void TestVoiceAdaptation::editsRemembered_data()
{
    QTest::addColumn<QString>("timed"); // the record before the save, marks included
    QTest::addColumn<QString>("text"); // the document saved
    QTest::addColumn<QString>("marks"); // the record after it, through its file form

    const QString two = "Hi@100-400 there.@400-900; Go@2000-2300 on.@2300-2800";
    QTest::newRow("unchanged: no marks") << two << "Hi there. Go on."
                                         << "Hi there.; Go on.";
    QTest::newRow("replaced one for one") << two << "Hi where. Go on."
                                          << "Hi ~where.; Go on.";
    QTest::newRow("two by one") << two << "Hello. Go on."
                                << "~Hello.; Go on.";
    QTest::newRow("inserted") << two << "Hi there. Go right on."
                              << "Hi there.; Go +right on.";
    QTest::newRow("deleted: the sentence lost words") << two << "Hi there. on."
                                                      << "Hi there.; !on.";
    QTest::newRow("deleted at the end") << two << "Hi there. Go"
                                        << "Hi there.; !Go";
    QTest::newRow("marks last through a later save") << "Hi@100-400 ~where.@400-900; !Go@2000-2300 on.@2300-2800"
                                                     << "Hi where. Go on. Now."
                                                     << "Hi ~where.; !Go on. +Now.";
}

void TestVoiceAdaptation::editsRemembered()
{
    QFETCH(QString, timed);
    QFETCH(QString, text);
    QFETCH(QString, marks);
    Timings::Record record;
    record.sourcePath = "/a.wav";
    record.sentences = WordAlign::realigned(markedSentences(timed), text);
    Timings::Record read;
    QVERIFY(Timings::fromJson(Timings::toJson(record), &read));
    QCOMPARE(marksOf(read.sentences), marks);
}

void TestVoiceAdaptation::countOutputRead_data()
{
    QTest::addColumn<QString>("output"); // bw's standard output, as it wrote it
    QTest::addColumn<int>("counted");
    QTest::addColumn<QStringList>("unaligned");

    const QString aligned = "utt>     0                    u00000  350    0   168 23  10 9 2.806843e-102 -1.678700e+02 "
                            "-5.875450e+04\n";
    const QString failed = "utt>     1                    u00001  375    0   168 48 \n";
    QTest::newRow("all aligned") << aligned << 1 << QStringList();
    QTest::newRow("one failed") << aligned + failed << 2 << QStringList {"u00001"};
    QTest::newRow("no frames, summary on the same line")
        << aligned + "utt>     9                    u00009    0overall> stats 711 (-0) -1.718688e+02 -1.221987e+05\n"
        << 2 << QStringList {"u00009"};
    QTest::newRow("nothing yet") << "column defns\n\t<seq>\n" << 0 << QStringList();
}

void TestVoiceAdaptation::countOutputRead()
{
    QFETCH(QString, output);
    QFETCH(int, counted);
    QFETCH(QStringList, unaligned);
    QCOMPARE(AdaptationPlan::countedUtterances(output), counted);
    QCOMPARE(AdaptationPlan::unalignedUtterances(output), unaligned);
}

void TestVoiceAdaptation::transformChecked_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("as the tool writes it") << transform() << true;
    QTest::newRow("exponents and signs") << transform().replace("0.010000", "1e-2").replace("-0.010000", "-1E-02")
                                         << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("two classes") << "2" + transform().mid(1) << false;
    QTest::newRow("four streams") << transform().replace(0, 3, "1\n4") << false;
    QTest::newRow("a stream of 12") << transform().replace("\n13\n", "\n12\n") << false;
    QTest::newRow("a value missing") << transform().left(transform().lastIndexOf(' ', -3)) << false;
    QTest::newRow("a value too many") << transform() + "1.0" << false;
    QTest::newRow("not a number") << transform().replace("0.010000", "nan") << false;
    QTest::newRow("a word") << transform().replace(4, 2, "x3") << false;
    QTest::newRow("beyond range") << transform(5000) << false;
    QTest::newRow("variance scale 0") << transform(0) << false;
    QTest::newRow("too large") << transform() + QString(40000, ' ') << false;
}

void TestVoiceAdaptation::transformChecked()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    std::string problem;
    QCOMPARE(VoiceTransform::isWellFormed(text.toStdString(), &problem), accepted);
    QCOMPARE(problem.empty(), accepted);
}

void TestVoiceAdaptation::mixtureWeightsFromModel()
{
    const QByteArray sendump = fileBytes(model + "/en-us/sendump");
    QVERIFY(!sendump.isEmpty());
    const QByteArray weights = AdaptationPlan::mixtureWeightsFromSendump(sendump);
    const QByteArray head("s3\nversion 1.0\nendhdr\n");
    QVERIFY(weights.startsWith(head));
    const char *p = weights.constData() + head.size();
    quint32 fields[5];
    memcpy(fields, p, sizeof fields);
    QCOMPARE(fields[0], 0x11223344u);
    const quint32 senones = fields[1], features = fields[2], codewords = fields[3];
    QCOMPARE(features, 3u);
    QCOMPARE(fields[4], senones * features * codewords);
    QCOMPARE(weights.size(), int(head.size() + 20 + fields[4] * 4));
    // Laid out by senone, feature, codeword: each senone's weights of one feature are a distribution.
    const auto *w = reinterpret_cast<const float *>(p + 20);
    for (quint32 s = 0; s < senones; s += senones / 7) {
        for (quint32 f = 0; f < features; ++f) {
            double sum = 0;
            for (quint32 c = 0; c < codewords; ++c)
                sum += w[(s * features + f) * codewords + c];
            QVERIFY2(sum > 0.9 && sum < 1.1, qPrintable(QString("senone %1 feature %2: %3").arg(s).arg(f).arg(sum)));
        }
    }
    QVERIFY(AdaptationPlan::mixtureWeightsFromSendump(sendump.left(sendump.size() - 1)).isEmpty());
    QVERIFY(AdaptationPlan::mixtureWeightsFromSendump(QByteArray(64, '\xff')).isEmpty());
}

void TestVoiceAdaptation::documentSentences_data()
{
    QTest::addColumn<QString>("saved"); // the document's text on disk
    QTest::addColumn<bool>("sourceThere");
    QTest::addColumn<int>("sentences");

    QTest::newRow("saved after a correction") << "Hi where. Go on.\n" << true << 1;
    QTest::newRow("changed outside the program since") << "Hi where. Go on and on.\n" << true << 0;
    QTest::newRow("source audio gone") << "Hi where. Go on.\n" << false << 0;
}

void TestVoiceAdaptation::documentSentences()
{
    QFETCH(QString, saved);
    QFETCH(bool, sourceThere);
    QFETCH(int, sentences);
    QTemporaryDir data;
    const QString document = data.filePath("myWordFiles/talk.txt");
    QVERIFY(QDir().mkpath(data.filePath("myWordFiles")));
    const QString source = sourceThere ? wavs.first() : data.filePath("gone.wav");
    const QString corrected = "Hi where. Go on.\n";
    Timings::Record record;
    record.sourcePath = source;
    record.textChecksum = Timings::checksumOf(corrected);
    record.sentences
        = WordAlign::realigned(sentencesOf("Hi@100-400 there.@400-900; Go@2000-2300 on.@2300-2800"), corrected);
    QString error;
    QVERIFY2(Timings::write(data.path(), document, record, &error), qPrintable(error));
    QFile file(document);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(saved.toUtf8());
    file.close();
    const QVector<AdaptationPlan::Utterance> found = VoiceAdaptation::documentSentences(data.path(), {document});
    QCOMPARE(found.size(), sentences);
    if (sentences)
        QCOMPARE(found.first().transcript, QStringLiteral("hi where"));
}

QVector<VoiceAdaptation::Pair> TestVoiceAdaptation::pairs(const QStringList &texts, const QString &tag)
{
    QVector<VoiceAdaptation::Pair> result;
    for (int i = 0; i < texts.size() && i < wavs.size(); ++i) {
        const QString textPath = audio.filePath(QStringLiteral("%1%2.txt").arg(tag).arg(i));
        QFile file(textPath);
        if (file.open(QIODevice::WriteOnly))
            file.write(texts.at(i).toUtf8());
        result.append({wavs.at(i), textPath});
    }
    return result;
}

VoiceAdaptation::Result TestVoiceAdaptation::run(
    VoiceAdaptation &adaptation, const QVector<VoiceAdaptation::Pair> &input, int cancelAtPercent)
{
    QSignalSpy finished(&adaptation, &VoiceAdaptation::finished);
    QVector<int> seen;
    connect(&adaptation, &VoiceAdaptation::progressChanged, &adaptation, [&](int percent) {
        seen << percent;
        if (cancelAtPercent >= 0 && percent >= cancelAtPercent)
            adaptation.cancel();
    });
    adaptation.startFromPairs(input);
    if (!adaptation.isRunning() && finished.isEmpty())
        return {};
    if (finished.isEmpty())
        finished.wait(180000);
    adaptation.disconnect(&adaptation);
    if (finished.size() != 1)
        return {VoiceAdaptation::Failure::ToolFailed, "no single finished signal", {}, 0};
    for (int i = 1; i < seen.size(); ++i) {
        if (seen.at(i) < seen.at(i - 1))
            return {VoiceAdaptation::Failure::ToolFailed, "progress went back", {}, 0};
    }
    return finished.first().first().value<VoiceAdaptation::Result>();
}

void TestVoiceAdaptation::adaptsFromPairs()
{
    QTemporaryDir data;
    VoiceAdaptation adaptation(data.path());
    const VoiceAdaptation::Result result = run(adaptation, pairs(everydaySentences(), "right"));
    QVERIFY2(result.failure == VoiceAdaptation::Failure::None, qPrintable(AdaptationText::outcome(result)));
    VoiceProfile::Profile stored;
    QVERIFY(VoiceProfile::read(data.path(), &stored));
    QCOMPARE(stored.transform, result.profile.transform);
    QCOMPARE(stored.sentences, everydaySentences().size());
    QVERIFY2(stored.speechMs > 30000 && stored.speechMs < 60000, qPrintable(QString::number(stored.speechMs)));
    QCOMPARE(stored.date, QDate::currentDate());
    QCOMPARE(AdaptationText::profileSummary(stored),
        QStringLiteral("已适应：1 分钟的语音，%1").arg(QDate::currentDate().toString(Qt::ISODate)));
    QVERIFY(transform() != QString::fromLatin1(stored.transform)); // estimated, not a stand-in
    QString error;
    QVERIFY(VoiceProfile::remove(data.path(), &error));
    QVERIFY(!VoiceProfile::read(data.path(), &stored));
}

void TestVoiceAdaptation::failureKeepsPrevious_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("says");

    QTest::newRow("texts of other audio")
        << "mismatch" << int(VoiceAdaptation::Failure::Mismatch) << "音频与文本对不上";
    QTest::newRow("too little speech") << "short" << int(VoiceAdaptation::Failure::TooLittleSpeech) << "至少需要 30 秒";
    QTest::newRow("no text has a spelling")
        << "numbers" << int(VoiceAdaptation::Failure::NoUsableSentence) << "没有可用的句子";
    QTest::newRow("a tool fails") << "tool" << int(VoiceAdaptation::Failure::ToolFailed) << "mllr_solve";
    QTest::newRow("cancelled while counting") << "cancel" << int(VoiceAdaptation::Failure::Cancelled) << "已取消";
    QTest::newRow("full disk") << "disk" << int(VoiceAdaptation::Failure::WriteFailed) << "无法保存";
}

void TestVoiceAdaptation::failureKeepsPrevious()
{
    QFETCH(QString, fault);
    QFETCH(int, failure);
    QFETCH(QString, says);
    QTemporaryDir data;
    VoiceProfile::Profile previous {transform(0.9).toLatin1(), 720000, 130, QDate(2026, 12, 10)};
    QString error;
    QVERIFY(VoiceProfile::write(data.path(), previous, &error));
    const QByteArray before = fileBytes(VoiceProfile::path(data.path()));

    VoiceAdaptation adaptation(data.path());
    QStringList texts = everydaySentences();
    QTemporaryDir tools;
    std::unique_ptr<SmallDisk::Mount> disk;
    int cancelAt = -1;
    if (fault == "mismatch") {
        std::rotate(texts.begin(), texts.begin() + 1, texts.end());
    } else if (fault == "short") {
        texts = texts.mid(0, 3);
    } else if (fault == "numbers") {
        for (QString &text : texts)
            text = "Call 555 0100 at 9.";
    } else if (fault == "tool") {
        QFile::link("/usr/lib/sphinxtrain/bw", tools.filePath("bw"));
        QFile script(tools.filePath("mllr_solve"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho 'FATAL: \"main.c\", line 1: out of luck' >&2\nexit 3\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        adaptation.setToolFolder(tools.path());
    } else if (fault == "cancel") {
        cancelAt = 41; // bw under way
    } else if (fault == "disk") {
        if (!SmallDisk::available())
            QSKIP("needs root for a small disk of its own");
        disk = std::make_unique<SmallDisk::Mount>(data.filePath(".quillora"), 64);
        QVERIFY(disk->mounted());
        QVERIFY(VoiceProfile::write(data.path(), previous, &error));
        QVERIFY(disk->fill());
    }
    const VoiceAdaptation::Result result = run(adaptation, pairs(texts, fault), cancelAt);
    QCOMPARE(int(result.failure), failure);
    QVERIFY2(AdaptationText::outcome(result).contains(says), qPrintable(AdaptationText::outcome(result)));
    QVERIFY(AdaptationText::outcome(result).endsWith("原来的声音模型仍在使用。"));
    QCOMPARE(fileBytes(VoiceProfile::path(data.path())), before);
    VoiceProfile::Profile kept;
    QVERIFY(VoiceProfile::read(data.path(), &kept));
    QCOMPARE(AdaptationText::profileSummary(kept), QStringLiteral("已适应：12 分钟的语音，2026-12-10"));
    QVERIFY(!adaptation.isRunning());
    QTRY_COMPARE(QDir::temp().entryList({"quillora-adapt-*"}).size(), 0);
}

void TestVoiceAdaptation::dialogAdaptsFromDocuments_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("adapted, then back to the model as it ships") << false;
    QTest::newRow("cancelled: the default stays") << true;
}

// One recording of the ten sentences and its document, corrected in the last sentence and saved, as
// the view leaves it; the dialog learns from the document list.
void TestVoiceAdaptation::dialogAdaptsFromDocuments()
{
    QFETCH(bool, cancel);
    QTemporaryDir data;
    QVERIFY(QDir().mkpath(data.filePath("myWordFiles")) && QDir().mkpath(data.filePath("myWAVFiles")));
    const QStringList texts = everydaySentences();
    const SpokenSentences spoken = speakSentences(audio.path(), texts, QVector<double>(texts.size(), 1.0));
    QVERIFY(spoken.ok);
    const QString source = data.filePath("myWAVFiles/talk.wav");
    QFile wav(source);
    QVERIFY(wav.open(QIODevice::WriteOnly));
    wav.write(SpeechProtocol::wavOfPcm(spoken.pcm));
    wav.close();
    Timings::Record record;
    record.sourcePath = source;
    for (int i = 0; i < texts.size(); ++i) {
        const qint64 end = i + 1 < texts.size() ? spoken.onsetsMs.at(i + 1) - 1000 : spoken.pcm.size() / 32 - 1000;
        TimedSentence sentence {texts.at(i), spoken.onsetsMs.at(i), end, {}};
        sentence.words = Timings::timedWords(sentence);
        record.sentences.append(sentence);
    }
    record.sentences.last().words.last().edit = TimedWord::Edit::Replaced;
    const QString text = texts.join(' ') + "\n";
    record.textChecksum = Timings::checksumOf(text);
    const QString document = data.filePath("myWordFiles/talk.txt");
    QString error;
    QVERIFY(Timings::write(data.path(), document, record, &error));
    QFile file(document);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();

    VoiceAdaptationDialog dialog(data.path(), [document]() { return QStringList {document}; });
    dialog.show();
    QCOMPARE(dialog.profileLabel->text(), QStringLiteral("使用默认声音模型。"));
    QVERIFY(!dialog.resetBtn->isEnabled());
    QSignalSpy finished(dialog.adaptation(), &VoiceAdaptation::finished);
    // The window's event loop keeps turning while the tools work.
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&]() { longestStallMs = std::max(longestStallMs, sinceTick.restart()); });
    sinceTick.start();
    tick.start(10);
    dialog.adaptBtn->click();
    QVERIFY(!dialog.adaptBtn->isEnabled() && dialog.cancelBtn->isEnabled() && dialog.progressBar->isVisible());
    if (cancel) {
        QTRY_VERIFY_WITH_TIMEOUT(dialog.progressBar->value() >= 41, 120000);
        dialog.cancelBtn->click();
    }
    QVERIFY(finished.size() == 1 || finished.wait(180000));
    tick.stop();
    QVERIFY2(longestStallMs < 1000, qPrintable(QString::number(longestStallMs)));
    QVERIFY(dialog.adaptBtn->isEnabled() && !dialog.cancelBtn->isEnabled() && !dialog.progressBar->isVisible());
    if (cancel) {
        QCOMPARE(dialog.messageLabel->text(), QStringLiteral("已取消适应声音，原来的声音模型仍在使用。"));
        QCOMPARE(dialog.profileLabel->text(), QStringLiteral("使用默认声音模型。"));
        QVERIFY(!QFile::exists(VoiceProfile::path(data.path())));
        return;
    }
    const QString summary = QStringLiteral("已适应：1 分钟的语音，%1").arg(QDate::currentDate().toString(Qt::ISODate));
    QVERIFY2(dialog.messageLabel->text() == summary, qPrintable(dialog.messageLabel->text()));
    QCOMPARE(dialog.profileLabel->text(), summary);
    VoiceProfile::Profile stored;
    QVERIFY(VoiceProfile::read(data.path(), &stored));
    QCOMPARE(stored.sentences, texts.size());
    QVERIFY(dialog.resetBtn->isEnabled());
    dialog.resetBtn->click();
    QCOMPARE(dialog.profileLabel->text(), QStringLiteral("使用默认声音模型。"));
    QCOMPARE(dialog.messageLabel->text(), QStringLiteral("已恢复默认声音模型。"));
    QVERIFY(!QFile::exists(VoiceProfile::path(data.path())));
}

QUILLORA_TEST_MAIN(TestVoiceAdaptation, {}, SmallDisk::enterPrivateMounts)
#include "tst_voiceadaptation.moc"
