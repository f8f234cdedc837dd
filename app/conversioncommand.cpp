#include "app/conversioncommand.h"

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
#include "platform/processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    ConversionCommand(const ConversionEngine::Options &options, const QString &language, const QStringList &files,
        const QStringList &formats)
        : engine(options)
        , language(language)
        , files(files)
        , formats(formats)
        , remaining(files)
        , lines(::isatty(STDERR_FILENO) == 1)
    {
        // On a terminal the service's request log would break the lines rewritten in place.
        engine.speechClient()->setServiceLogShown(::isatty(STDERR_FILENO) != 1);
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
    // The subtitle files beside the document, then the document itself gone unless it was asked for.
    void writeOutputs(const QString &task, const QString &documentPath)
    {
        const QString dataDir = engine.options().dataDir;
        QStringList written;
        if (formats.contains(QStringLiteral("txt")))
            written << documentPath;
        Timings::Record record;
        const bool timed = Timings::read(dataDir, documentPath, &record);
        for (const QString &format : formats) {
            if (format == QLatin1String("txt"))
                continue;
            const QString path = CommandLine::subtitlePathFor(documentPath, format);
            QString error = QCoreApplication::translate("ConversionCommand", "没有时间信息");
            if (timed
                && AtomicFile::write(path,
                    Subtitles::fileText(Subtitles::buildCues(record.sentences), Subtitles::formatForPath(path)),
                    &error)) {
                written << path;
                continue;
            }
            anyFailed = true;
            writeTo(stderr,
                lines.failed(task,
                    QCoreApplication::translate("ConversionCommand", "无法写入字幕文件“%1”（%2）。").arg(path, error)));
        }
        if (!formats.contains(QStringLiteral("txt")) && written.size() == formats.size()) {
            QFile::remove(documentPath);
            Timings::remove(dataDir, documentPath);
            Document::forget(dataDir, documentPath);
        }
        if (!written.isEmpty())
            writeTo(stderr, lines.documentWritten(written.join(QCoreApplication::translate("CommandLine", "、"))));
    }

    void onRefused() { reportFailure(QString(), refusal()); }

    void onRunEnded(const ConversionEngine::RunEnd &end)
    {
        if (stopping)
            return;
        if (end.succeeded()) {
            // The documents written under a new name to keep the old ones.
            const QStringList kept = RunTexts::renamedNotes(end);
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
    case CommandLine::Request::Convert:
        break;
    }

    const QString dataProblem = makeDataDir(AppState::dataDir);
    if (!dataProblem.isEmpty()) {
        writeTo(stderr, dataProblem + QLatin1Char('\n'));
        return ExitStatus::SomeFailed;
    }
    ConversionEngine::Options options;
    options.service = deploymentConfig();
    LocalSpeechService::warnOfUnencryptedHosts(options.service);
    options.dataDir = AppState::dataDir;
    options.documentDir = request.outputDir.isEmpty() ? DataPaths::documents(AppState::dataDir) : request.outputDir;
    options.appDir = AppState::appDir;
    options.machineId = readMachineId();
    const QString outputProblem = prepareOutputDir(options.documentDir);
    if (!outputProblem.isEmpty()) {
        writeTo(stderr, QStringLiteral("quillora: %1\n").arg(outputProblem));
        return ExitStatus::BadUsage;
    }
    const QString language = request.language.isEmpty()
        ? CommandLine::rememberedLanguage(DataPaths::settings(AppState::dataDir))
        : request.language;

    ConversionCommand command(options, language, request.files, request.formats);
    const QString refusal = command.refusal();
    if (!refusal.isEmpty()) {
        writeTo(stderr, refusal + QLatin1Char('\n'));
        return ExitStatus::SomeFailed;
    }
    watchTerminationSignals(&command, [&command](int signalNumber) { command.stop(signalNumber); });
    QTimer::singleShot(0, &command, &ConversionCommand::start);
    return app.exec();
}
