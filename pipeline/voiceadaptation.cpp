#include "pipeline/voiceadaptation.h"

#include "library/documenttext.h"
#include "pipeline/timings.h"
#include "speechd/voicetransform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <QtConcurrent>

namespace {

const QString defaultToolFolder = QStringLiteral("/usr/lib/sphinxtrain");
const QString defaultModelFolder = QStringLiteral("/usr/share/pocketsphinx/model/en-us");
const qint64 largestText = 1024 * 1024;
const qint64 bytesPerMs = 32; // 16 kHz, 16 bits

// Where each step's share of the progress bar begins.
int stepStart(int step)
{
    static const int starts[] = {5, 10, 30, 40, 95, 100};
    return starts[step];
}

QString acousticModel(const QString &modelFolder)
{
    return modelFolder + QStringLiteral("/en-us");
}

QString dictionary(const QString &modelFolder)
{
    return modelFolder + QStringLiteral("/cmudict-en-us.dict");
}

bool readText(const QString &path, QString *text)
{
    QFile file(path);
    if (file.size() > largestText || !file.open(QIODevice::ReadOnly))
        return false;
    *text = DocumentText::fromBytes(file.readAll());
    return true;
}

// The tool's last FATAL or ERROR line, else its last line: what it said went wrong.
QString lastComplaint(const QString &errors)
{
    const QStringList lines = errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = lines.size() - 1; i >= 0; --i) {
        if (lines.at(i).startsWith(QLatin1String("FATAL")) || lines.at(i).startsWith(QLatin1String("ERROR")))
            return lines.at(i).trimmed().left(300);
    }
    return lines.isEmpty() ? QString() : lines.last().trimmed().left(300);
}

} // namespace

VoiceAdaptation::VoiceAdaptation(const QString &dataDir, QObject *parent)
    : QObject(parent)
    , dataDir(dataDir)
    , toolFolder(defaultToolFolder)
    , modelFolder(defaultModelFolder)
{
    qRegisterMetaType<VoiceAdaptation::Result>();
}

VoiceAdaptation::~VoiceAdaptation()
{
    if (process)
        process->disconnect(this); // QProcess's own destructor ends the tool
}

QVector<AdaptationPlan::Utterance> VoiceAdaptation::documentSentences(
    const QString &dataDir, const QStringList &documents)
{
    QVector<AdaptationPlan::Utterance> sentences;
    for (const QString &document : documents) {
        Timings::Record record;
        QString text;
        if (!Timings::read(dataDir, document, &record) || !readText(document, &text)
            || record.textChecksum != Timings::checksumOf(text) || !QFileInfo(record.sourcePath).isFile())
            continue;
        sentences += AdaptationPlan::agreedSentences(record.sourcePath, record.sentences);
    }
    return sentences;
}

void VoiceAdaptation::startFromDocuments(const QStringList &documents)
{
    const QString data = dataDir;
    start([data, documents](int *, QString *) { return documentSentences(data, documents); });
}

void VoiceAdaptation::startFromPairs(const QVector<Pair> &pairs)
{
    start([pairs](int *skipped, QString *problem) {
        QVector<AdaptationPlan::Utterance> utterances;
        for (const Pair &pair : pairs) {
            QString text;
            if (!QFileInfo(pair.audioPath).isFile()) {
                *problem = pair.audioPath;
                return QVector<AdaptationPlan::Utterance>();
            }
            if (!readText(pair.textPath, &text)) {
                *problem = pair.textPath;
                return QVector<AdaptationPlan::Utterance>();
            }
            QVector<TimedWord> words;
            for (const QString &word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
                words.append({word, 0, 0});
            const QString transcript = AdaptationPlan::transcriptOf(words);
            if (transcript.isEmpty())
                ++*skipped;
            else
                utterances.append({pair.audioPath, -1, -1, transcript});
        }
        return utterances;
    });
}

void VoiceAdaptation::start(std::function<QVector<AdaptationPlan::Utterance>(int *, QString *)> collect)
{
    cancel();
    running = true;
    const quint64 run = ++generation;
    work = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillora-adapt-XXXXXX"));
    if (!work->isValid()) {
        fail(Failure::WriteFailed, work->errorString());
        return;
    }
    progress(0);
    const QString model = acousticModel(modelFolder);
    const QString dict = dictionary(modelFolder);
    const QString workPath = work->path();
    auto *watcher = new QFutureWatcher<Collected>(this);
    connect(watcher, &QFutureWatcher<Collected>::finished, this, [this, watcher, run]() {
        watcher->deleteLater();
        if (run == generation)
            collected(watcher->result());
    });
    // Reading the documents, the dictionary and the model's weights is file work: off this thread.
    watcher->setFuture(QtConcurrent::run([collect, model, dict, workPath]() {
        Collected result;
        const QVector<AdaptationPlan::Utterance> all = collect(&result.skipped, &result.problem);
        QFile dictionaryFile(dict);
        QFile sendump(model + QStringLiteral("/sendump"));
        if (!result.problem.isEmpty() || all.isEmpty())
            return result;
        if (!dictionaryFile.open(QIODevice::ReadOnly)) {
            result.problem = dict;
            return result;
        }
        const QSet<QString> words = AdaptationPlan::dictionaryWords(dictionaryFile.readAll());
        for (const AdaptationPlan::Utterance &u : all) {
            if (AdaptationPlan::isPronounceable(u.transcript, words))
                result.utterances.append(u);
            else
                ++result.skipped;
        }
        const QByteArray weights = sendump.open(QIODevice::ReadOnly)
            ? AdaptationPlan::mixtureWeightsFromSendump(sendump.readAll())
            : QByteArray();
        QDir().mkpath(workPath + QStringLiteral("/model"));
        QFile out(workPath + QStringLiteral("/model/mixture_weights"));
        if (weights.isEmpty())
            result.problem = sendump.fileName();
        else if (!out.open(QIODevice::WriteOnly) || out.write(weights) != weights.size())
            result.problem = out.fileName();
        return result;
    }));
}

void VoiceAdaptation::collected(const Collected &result)
{
    skipped = result.skipped;
    if (!result.problem.isEmpty()) {
        fail(Failure::Unreadable, result.problem);
        return;
    }
    if (result.utterances.isEmpty()) {
        fail(Failure::NoUsableSentence);
        return;
    }
    utterances = result.utterances;
    audioFiles.clear();
    rawIndex.clear();
    for (const AdaptationPlan::Utterance &u : utterances) {
        int index = audioFiles.indexOf(u.audioPath);
        if (index < 0) {
            index = audioFiles.size();
            audioFiles << u.audioPath;
        }
        rawIndex << index;
    }
    const QString model = work->path() + QStringLiteral("/model/");
    for (const QString &name : {QStringLiteral("means"), QStringLiteral("variances"),
             QStringLiteral("transition_matrices"), QStringLiteral("noisedict"), QStringLiteral("feat.params")})
        QFile::link(acousticModel(modelFolder) + QLatin1Char('/') + name, model + name);
    step = Step::Model;
    transcoded = 0;
    progress(stepStart(0));
    runStep();
}

QString VoiceAdaptation::tool(Step which) const
{
    switch (which) {
    case Step::Model:
        return QStringLiteral("pocketsphinx_mdef_convert");
    case Step::Transcode:
        return QStringLiteral("ffmpeg");
    case Step::Features:
        return QStringLiteral("sphinx_fe");
    case Step::Count:
        return toolFolder + QStringLiteral("/bw");
    case Step::Solve:
        return toolFolder + QStringLiteral("/mllr_solve");
    }
    return QString();
}

QStringList VoiceAdaptation::argumentsFor(Step which) const
{
    const QString path = work->path();
    switch (which) {
    case Step::Model:
        return {QStringLiteral("-text"), acousticModel(modelFolder) + QStringLiteral("/mdef"),
            path + QStringLiteral("/model/mdef.txt")};
    case Step::Transcode:
        return AdaptationPlan::transcodeArguments(
            audioFiles.at(transcoded), path + QStringLiteral("/audio%1.raw").arg(transcoded));
    case Step::Features:
        return AdaptationPlan::featureArguments(
            path + QStringLiteral("/model"), path + QStringLiteral("/audio.ctl"), path);
    case Step::Count:
        return AdaptationPlan::countArguments(path + QStringLiteral("/model"), dictionary(modelFolder), path);
    case Step::Solve:
        return AdaptationPlan::solveArguments(
            path + QStringLiteral("/model"), path, path + QStringLiteral("/mllr_matrix"));
    }
    return {};
}

void VoiceAdaptation::runStep()
{
    if (process) {
        process->disconnect(this);
        process->deleteLater();
    }
    process = new QProcess(this);
    processOutput.clear();
    processErrors.clear();
    process->setWorkingDirectory(work->path());
    const quint64 run = generation;
    connect(process, &QProcess::readyReadStandardOutput, this, [this]() {
        processOutput += process->readAllStandardOutput();
        if (step == Step::Count) {
            const int done = AdaptationPlan::countedUtterances(QString::fromUtf8(processOutput));
            progress(stepStart(3) + (stepStart(4) - stepStart(3)) * done / std::max(1, utterances.size()));
        }
    });
    connect(process, &QProcess::readyReadStandardError, this,
        [this]() { processErrors += process->readAllStandardError(); });
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        [this, run](int code, QProcess::ExitStatus status) {
            if (run == generation)
                stepFinished(code, status == QProcess::CrashExit);
        });
    connect(process, &QProcess::errorOccurred, this, [this, run](QProcess::ProcessError error) {
        if (run == generation && error == QProcess::FailedToStart)
            fail(Failure::ToolFailed, tool(step) + QStringLiteral(": ") + process->errorString());
    });
    process->start(tool(step), argumentsFor(step));
}

void VoiceAdaptation::stepFinished(int exitCode, bool crashed)
{
    processOutput += process->readAllStandardOutput();
    processErrors += process->readAllStandardError();
    if (exitCode != 0 || crashed) {
        const QString said = lastComplaint(QString::fromLocal8Bit(processErrors));
        fail(Failure::ToolFailed,
            QFileInfo(tool(step)).fileName() + (said.isEmpty() ? QString() : QStringLiteral(": ") + said));
        return;
    }
    switch (step) {
    case Step::Model:
        step = Step::Transcode;
        break;
    case Step::Transcode:
        ++transcoded;
        progress(stepStart(1) + (stepStart(2) - stepStart(1)) * transcoded / audioFiles.size());
        if (transcoded == audioFiles.size())
            afterTranscode();
        else
            runStep();
        return;
    case Step::Features:
        step = Step::Count;
        break;
    case Step::Count: {
        const QStringList unaligned = AdaptationPlan::unalignedUtterances(QString::fromLocal8Bit(processOutput));
        qint64 speechMs = 0;
        int aligned = 0;
        for (int i = 0; i < utterances.size(); ++i) {
            if (!unaligned.contains(AdaptationPlan::utteranceId(i))) {
                speechMs += utterances.at(i).endMs - utterances.at(i).startMs;
                ++aligned;
            }
        }
        // The tool aligns most text to audio of about its length; failing on more than a fifth of the
        // utterances means the texts are not what was said.
        if (aligned == 0 || unaligned.size() * 5 > utterances.size()) {
            fail(Failure::Mismatch, QString::number(unaligned.size()));
            return;
        }
        if (speechMs < minimumSpeechMs) {
            fail(Failure::TooLittleSpeech, QString::number(speechMs / 1000));
            return;
        }
        skipped += unaligned.size();
        alignedSpeechMs = speechMs;
        alignedCount = aligned;
        step = Step::Solve;
        break;
    }
    case Step::Solve:
        store();
        return;
    }
    progress(stepStart(int(step)));
    runStep();
}

void VoiceAdaptation::afterTranscode()
{
    // A whole file's utterance is as long as its audio; one too long for the tools is left out.
    QVector<AdaptationPlan::Utterance> kept;
    QVector<int> keptIndex;
    qint64 speechMs = 0;
    for (int i = 0; i < utterances.size(); ++i) {
        AdaptationPlan::Utterance u = utterances.at(i);
        const qint64 audioMs
            = QFileInfo(work->path() + QStringLiteral("/audio%1.raw").arg(rawIndex.at(i))).size() / bytesPerMs;
        if (u.startMs < 0) {
            u.startMs = 0;
            u.endMs = audioMs;
        }
        // The features end a few frames before the samples do.
        u.endMs = std::min(u.endMs, audioMs - 30);
        if (u.endMs - u.startMs < 300 || u.endMs - u.startMs > AdaptationPlan::longestUtteranceMs) {
            ++skipped;
            continue;
        }
        speechMs += u.endMs - u.startMs;
        kept << u;
        keptIndex << rawIndex.at(i);
    }
    utterances = kept;
    rawIndex = keptIndex;
    if (utterances.isEmpty()) {
        fail(Failure::NoUsableSentence);
        return;
    }
    if (speechMs < minimumSpeechMs) {
        fail(Failure::TooLittleSpeech, QString::number(speechMs / 1000));
        return;
    }
    QByteArray audioList;
    for (int i = 0; i < audioFiles.size(); ++i)
        audioList += "audio" + QByteArray::number(i) + '\n';
    const QString path = work->path();
    const auto save = [](const QString &file, const QByteArray &bytes) {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    };
    if (!save(path + QStringLiteral("/audio.ctl"), audioList)
        || !save(path + QStringLiteral("/utterances.ctl"), AdaptationPlan::controlFile(utterances, rawIndex))
        || !save(path + QStringLiteral("/utterances.lsn"), AdaptationPlan::transcriptFile(utterances))) {
        fail(Failure::WriteFailed, path);
        return;
    }
    step = Step::Features;
    progress(stepStart(2));
    runStep();
}

void VoiceAdaptation::store()
{
    QFile file(work->path() + QStringLiteral("/mllr_matrix"));
    const QByteArray transform = file.size() <= qint64(VoiceTransform::maximumBytes) && file.open(QIODevice::ReadOnly)
        ? file.readAll()
        : QByteArray();
    std::string problem;
    if (!VoiceTransform::isWellFormed(transform.toStdString(), &problem)) {
        fail(Failure::ToolFailed, QStringLiteral("mllr_solve: ") + QString::fromStdString(problem));
        return;
    }
    Result result;
    result.profile.transform = transform;
    result.profile.speechMs = alignedSpeechMs;
    result.profile.sentences = alignedCount;
    result.profile.date = QDate::currentDate();
    result.skipped = skipped;
    QString error;
    if (!VoiceProfile::write(dataDir, result.profile, &error)) {
        fail(Failure::WriteFailed, error);
        return;
    }
    finish(result);
}

void VoiceAdaptation::cancel()
{
    if (!running)
        return;
    fail(Failure::Cancelled);
}

void VoiceAdaptation::fail(Failure failure, const QString &detail)
{
    Result result;
    result.failure = failure;
    result.detail = detail;
    result.skipped = skipped;
    finish(result);
}

void VoiceAdaptation::finish(Result result)
{
    ++generation;
    running = false;
    if (process) {
        process->disconnect(this);
        if (process->state() == QProcess::NotRunning) {
            process->deleteLater();
        } else {
            connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process, &QObject::deleteLater);
            process->kill();
        }
        process = nullptr;
    }
    work.reset();
    if (result.failure == Failure::None)
        progress(100);
    emit finished(result);
}

void VoiceAdaptation::progress(int percent)
{
    emit progressChanged(percent);
}
