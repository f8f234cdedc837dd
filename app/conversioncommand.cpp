#include "app/conversioncommand.h"

#include "app/adaptcommand.h"
#include "app/appstate.h"
#include "app/commandline.h"
#include "app/deployment.h"
#include "app/installlayout.h"
#include "app/machineid.h"
#include "app/translation.h"
#include "library/atomicfile.h"
#include "pipeline/conversionengine.h"
#include "pipeline/datapaths.h"
#include "pipeline/document.h"
#include "pipeline/localspeechservice.h"
#include "pipeline/runtexts.h"
#include "pipeline/speechclient.h"
#include "pipeline/subtitles.h"
#include "pipeline/timings.h"
#include "pipeline/userwordlist.h"
#include "platform/processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using CommandLine::ExitStatus;

namespace {

void writeTo(FILE *stream, const QString &text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Presents one engine's run over the files given, as the window presents its task list: the files
// left are the task list, a failed file is reported and dropped, and the run goes on with the rest.
class ConversionCommand : public QObject
{
    Q_DISABLE_COPY(ConversionCommand)

public:
    // outputDir: where the files asked for go; the engine's documentDir is a scratch folder when no
    // document is asked for.
    ConversionCommand(const ConversionEngine::Options &options, const QString &language, const QStringList &files,
        const QStringList &formats, const QString &outputDir)
        : engine(options)
        , language(language)
        , files(files)
        , formats(formats)
        , outputDir(outputDir)
        , remaining(files)
        , lines(::isatty(STDERR_FILENO) == 1)
    {
        connect(&engine, &ConversionEngine::progressChanged, this, [this](const ConversionEngine::Progress &progress) {
            writeTo(stderr, lines.progress(RunTexts::progressText(progress)));
        });
        connect(&engine, &ConversionEngine::fileStarted, this, [this](const QString &task) {
            current = task;
            writeTo(stderr, lines.fileStarted(task, int(this->files.indexOf(task)) + 1, int(this->files.size())));
        });
        connect(&engine, &ConversionEngine::documentWritten, this, [this](const QString &task, const QString &path) {
            remaining.removeOne(task);
            writeOutputs(task, path);
        });
        connect(&engine, &ConversionEngine::taskMissing, this, [this](const QString &task) {
            missing = task;
            remaining.removeOne(task);
        });
        connect(&engine, &ConversionEngine::runEnded, this, &ConversionCommand::onRunEnded);
    }

    QString refusal() const { return RunTexts::languageRefusal(engine, language); }

    void start()
    {
        current.clear();
        missing.clear();
        if (!engine.start(language, [this] { return remaining.value(0); }))
            onRefused();
    }

    void stop(int signalNumber)
    {
        if (stopping)
            return;
        stopping = true;
        engine.stop();
        writeTo(stderr,
            lines.finish()
                + QCoreApplication::translate(
                    "ConversionCommand", "转换已中断；已识别的部分已保留，再次转换同一文件时继续。\n"));
        QCoreApplication::exit(CommandLine::exitStatusForSignal(signalNumber));
    }

private:
    // The subtitle files named after the document, in the output folder, each protected as documents
    // are; then the document, when it was not asked for, goes from its scratch folder with its timings.
    void writeOutputs(const QString &task, const QString &documentPath)
    {
        const QString dataDir = engine.options().dataDir;
        const bool documentWanted = formats.contains(QStringLiteral("txt"));
        QStringList written;
        if (documentWanted)
            written << documentPath;
        Timings::Record record;
        const bool timed = Timings::read(dataDir, documentPath, &record);
        bool subtitlesWritten = true;
        for (const QString &format : formats) {
            if (format == QLatin1String("txt"))
                continue;
            const QString named = CommandLine::subtitlePathFor(
                outputDir + QLatin1Char('/') + QFileInfo(documentPath).fileName(), format);
            const QString shown = Document::numberedPath(named, ownFiles);
            const QString path = Document::writablePath(dataDir, named, ownFiles);
            const QByteArray bytes = Subtitles::fileText(record, Subtitles::formatForPath(path));
            QString error = QCoreApplication::translate("ConversionCommand", "没有时间信息");
            if (timed && AtomicFile::write(path, bytes, &error)) {
                Document::remember(dataDir, path, bytes);
                ownFiles.insert(path);
                written << path;
                if (path != shown)
                    keptNotes << Document::keptNotice(shown, path);
                continue;
            }
            anyFailed = true;
            subtitlesWritten = false;
            writeTo(stderr,
                lines.failed(task,
                    QCoreApplication::translate("ConversionCommand", "无法写入字幕文件“%1”（%2）。").arg(path, error)));
        }
        if (!documentWanted) {
            // Not a word of the text is lost: without its subtitles, the document is kept after all.
            const QString kept = subtitlesWritten ? QString() : keepDocument(documentPath);
            if (!kept.isEmpty())
                written << kept;
            QFile::remove(documentPath);
            Timings::remove(dataDir, documentPath);
            Document::forget(dataDir, documentPath);
        }
        if (!written.isEmpty())
            writeTo(stderr, lines.documentWritten(written.join(QCoreApplication::translate("CommandLine", "、"))));
    }

    // The scratch document copied into the output folder by the documents' rule; where it went, or empty.
    QString keepDocument(const QString &scratchPath)
    {
        const QString dataDir = engine.options().dataDir;
        QFile scratch(scratchPath);
        if (!scratch.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray bytes = scratch.readAll();
        const QString named = outputDir + QLatin1Char('/') + QFileInfo(scratchPath).fileName();
        const QString path = Document::writablePath(dataDir, named, ownFiles);
        if (!AtomicFile::write(path, bytes, nullptr))
            return QString();
        Document::remember(dataDir, path, bytes);
        Timings::copy(dataDir, scratchPath, path);
        ownFiles.insert(path);
        if (path != named)
            keptNotes << Document::keptNotice(named, path);
        return path;
    }

    void onRefused() { reportFailure(QString(), refusal()); }

    void onRunEnded(const ConversionEngine::RunEnd &end)
    {
        if (stopping)
            return;
        if (end.succeeded()) {
            // The documents and subtitles written under a new name to keep the old ones.
            const QStringList kept = RunTexts::notes(end) + keptNotes;
            if (!kept.isEmpty())
                writeTo(stderr, lines.finish() + kept.join(QLatin1Char('\n')) + QLatin1Char('\n'));
            QCoreApplication::exit(anyFailed ? ExitStatus::SomeFailed : ExitStatus::AllConverted);
            return;
        }
        reportFailure(!missing.isEmpty() ? missing
                : end.fileWasStarted     ? current
                                         : QString(),
            RunTexts::endMessage(end));
    }

    void reportFailure(const QString &task, const QString &message)
    {
        anyFailed = true;
        writeTo(stderr, lines.failed(task, message));
        if (task.isEmpty()) {
            // Nothing could begin (service, token): every other file would meet the same.
            for (const QString &file : qAsConst(remaining))
                writeTo(stderr, lines.failed(file, QCoreApplication::translate("ConversionCommand", "未转换。")));
            QCoreApplication::exit(ExitStatus::SomeFailed);
            return;
        }
        remaining.removeOne(task);
        if (remaining.isEmpty())
            QCoreApplication::exit(ExitStatus::SomeFailed);
        else
            QTimer::singleShot(0, this, &ConversionCommand::start); // out of the engine's own signal
    }

    ConversionEngine engine;
    const QString language;
    const QStringList files;
    const QStringList formats;
    const QString outputDir;
    QSet<QString> ownFiles; // subtitles and kept documents this run wrote: a later file never replaces one
    QStringList keptNotes; // the files written under a new name to keep the user's
    QStringList remaining;
    QString current; // the file being converted
    QString missing; // the file found missing in this run
    CommandLine::ProgressLines lines;
    bool anyFailed = false;
    bool stopping = false;
};

// Empty when the folder exists (made if need be) and may be written; otherwise the message.
QString prepareOutputDir(const QString &folder)
{
    QDir().mkpath(folder);
    const QFileInfo info(folder);
    if (info.isDir() && info.isWritable())
        return QString();
    return QCoreApplication::translate("ConversionCommand", "无法创建或写入文件夹：%1").arg(folder);
}

} // namespace

int runConversionCommand(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    prepareCoreApplication();
    Translation::install();
    const CommandLine::Request request = CommandLine::parse(QCoreApplication::arguments(), QDir::currentPath());
    switch (request.action) {
    case CommandLine::Request::ShowHelp:
        writeTo(stdout, CommandLine::helpText());
        return ExitStatus::AllConverted;
    case CommandLine::Request::ShowVersion:
        writeTo(stdout, CommandLine::versionText());
        return ExitStatus::AllConverted;
    case CommandLine::Request::Refuse:
        writeTo(stderr, QStringLiteral("quillora: %1\n").arg(request.problem));
        return ExitStatus::BadUsage;
    case CommandLine::Request::Adapt:
    case CommandLine::Request::Convert:
        break;
    }

    const QString dataProblem = makeDataDir(AppState::dataDir);
    if (!dataProblem.isEmpty()) {
        writeTo(stderr, dataProblem + QLatin1Char('\n'));
        return ExitStatus::SomeFailed;
    }
    if (request.action == CommandLine::Request::Adapt)
        return runAdaptCommand(request.files);
    ConversionEngine::Options options;
    options.service = deploymentConfig();
    LocalSpeechService::warnOfUnencryptedHosts(options.service);
    options.dataDir = AppState::dataDir;
    const QString outputDir = request.outputDir.isEmpty() ? DataPaths::documents(AppState::dataDir) : request.outputDir;
    // Subtitles alone: the document they are made from goes to a folder of its own, so that neither a
    // document already there (the window's, an earlier run's) nor its timings are replaced or removed.
    const QString ownFolder = DataPaths::own(AppState::dataDir);
    QDir().mkpath(ownFolder);
    QTemporaryDir scratch(ownFolder + QStringLiteral("/subtitles-XXXXXX"));
    const bool documentWanted = request.formats.contains(QStringLiteral("txt"));
    if (!documentWanted && !scratch.isValid()) {
        writeTo(stderr, QStringLiteral("quillora: %1\n").arg(prepareOutputDir(ownFolder)));
        return ExitStatus::SomeFailed;
    }
    options.documentDir = documentWanted ? outputDir : scratch.path();
    options.appDir = AppState::appDir;
    options.machineId = readMachineId();
    options.speakers = request.speakers;
    options.speakerLabels = RunTexts::speakerLabels();
    const QString outputProblem = prepareOutputDir(outputDir);
    if (!outputProblem.isEmpty()) {
        writeTo(stderr, QStringLiteral("quillora: %1\n").arg(outputProblem));
        return ExitStatus::BadUsage;
    }
    // The list is read once here to report what is wrong with it; the engine reads it again at its start.
    const QString wordsPath
        = request.wordsFile.isEmpty() ? UserWordList::storedPath(AppState::dataDir) : request.wordsFile;
    const UserWordList::ReadResult words = UserWordList::read(wordsPath);
    if (!request.wordsFile.isEmpty() && words.status != UserWordList::ReadResult::Ok) {
        const QString problem = words.status == UserWordList::ReadResult::Missing
            ? QCoreApplication::translate("CommandLine", "找不到词汇表“%1”。").arg(wordsPath)
            : UserWordList::describe(words, wordsPath);
        writeTo(stderr, QStringLiteral("quillora: %1\n").arg(problem));
        return ExitStatus::BadUsage;
    }
    if (words.status != UserWordList::ReadResult::Ok && words.status != UserWordList::ReadResult::Missing)
        writeTo(stderr, UserWordList::describe(words, wordsPath) + QLatin1Char('\n'));
    for (const UserWordList::Problem &problem : words.parsed.problems)
        writeTo(stderr, wordsPath + QStringLiteral("：") + UserWordList::describe(problem) + QLatin1Char('\n'));
    options.wordsFile = request.wordsFile;
    const QString language = request.language.isEmpty()
        ? CommandLine::rememberedLanguage(DataPaths::settings(AppState::dataDir))
        : request.language;

    ConversionCommand command(options, language, request.files, request.formats, outputDir);
    const QString refusal = command.refusal();
    if (!refusal.isEmpty()) {
        writeTo(stderr, refusal + QLatin1Char('\n'));
        return ExitStatus::SomeFailed;
    }
    watchTerminationSignals(&command, [&command](int signalNumber) { command.stop(signalNumber); });
    QTimer::singleShot(0, &command, &ConversionCommand::start);
    return app.exec();
}
