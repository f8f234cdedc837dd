#pragma once

#include <QString>
#include <QStringList>

// quillora --convert [--language LANG] [--output-dir DIR] [--format txt,srt,vtt] [--words FILE] [--speakers [N]]
// FILE... and quillora --adapt AUDIO TEXT [AUDIO TEXT ...]: what the command line asks for and what it prints, as
// pure functions; app/conversioncommand.* and app/adaptcommand.* run them.
namespace CommandLine {

// Exit statuses; a run ended by a signal exits 128 + the signal's number (130 for SIGINT, 143 for SIGTERM).
enum ExitStatus { AllConverted = 0, SomeFailed = 1, BadUsage = 2 };
int exitStatusForSignal(int signalNumber);

// The arguments ask for the command line, not the window: --convert, --adapt, --help/-h or --version/-v
// among them.
bool isWanted(const QStringList &arguments);

// The arguments are the window's: none, or only the toolkit's own (-platform NAME, -style NAME, -reverse,
// ...). Any other is for the command line, which refuses it as bad usage.
bool isForWindow(const QStringList &arguments);
// Somewhere to show the window: a platform named (-platform, QT_QPA_PLATFORM) or a display (DISPLAY,
// WAYLAND_DISPLAY) in the environment.
bool displayNamed(
    const QStringList &arguments, const QString &qpaPlatform, const QString &display, const QString &waylandDisplay);

// The language selector's texts, in the selector's order, each with the short code the command line
// accepts for it ("en" for "英文").
struct Language
{
    QString code;
    QString text;
};
QList<Language> languages();
// The selector text LANG names: a code (any case) or a selector text itself; empty when it names none.
QString languageNamed(const QString &name);
// The language the window remembered last in settingsPath (key "language"), or the selector's first
// text when none is remembered, as the window shows it at start.
QString rememberedLanguage(const QString &settingsPath);

struct Request
{
    enum Action { Convert, Adapt, ShowHelp, ShowVersion, Refuse };
    Action action = Refuse;
    QString language; // a selector text; empty: the one remembered
    QString outputDir; // empty: the data folder's myWordFiles
    QStringList formats {QStringLiteral("txt")}; // of "txt", "srt", "vtt", each once, in the order given
    QString wordsFile; // --words: the word list of this run; empty: the stored one
    int speakers = -1; // --speakers: -1 not asked, 0 as many as there are, N that many
    QStringList files; // absolute, in the order given; Adapt: audio, text, audio, text, ...
    QString problem; // Refuse: what is wrong, for standard error
};
// arguments: the program's own, program name first. relativeTo: the folder relative paths start from.
Request parse(const QStringList &arguments, const QString &relativeTo);
// The subtitle file of a document in format ("srt", "vtt"): beside it, under its name ("talk (2).txt" ->
// "talk (2).srt").
QString subtitlePathFor(const QString &documentPath, const QString &format);
// --help's text (standard output) and --version's line.
QString helpText();
QString versionText();

// What standard error shows while files are converted. On a terminal each file has one line that is
// rewritten in place; otherwise every change is a line of its own. Each call returns the text to write.
class ProgressLines
{
public:
    explicit ProgressLines(bool terminal)
        : terminal(terminal)
    { }

    QString fileStarted(const QString &task, int number, int count);
    QString progress(const QString &status); // the run's progress text, e.g. "转写:40.0%"
    QString documentWritten(const QString &documentPath);
    // A failure naming the file it concerns (empty: the run's, before any file), on a line of its own.
    QString failed(const QString &task, const QString &message);
    // Ends a line left open on a terminal (a run stopped by a signal).
    QString finish();

private:
    QString show(const QString &status, bool final);

    bool terminal;
    QString head; // "[1/2] talk.mp3"
    QString lastStatus;
    bool lineOpen = false;
};

} // namespace CommandLine
