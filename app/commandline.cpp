#include "app/commandline.h"

#include "pipeline/languages.h"

#include "deploymentdefaults.h"
#include "pipeline/speechprotocol.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>

namespace CommandLine {

namespace {

const QString convertOption = QStringLiteral("convert");
const QString languageOption = QStringLiteral("language");
const QString outputDirOption = QStringLiteral("output-dir");
const QString formatOption = QStringLiteral("format");
const QString wordsOption = QStringLiteral("words");
const QString speakersOption = QStringLiteral("speakers");
const QString adaptOption = QStringLiteral("adapt");
const QStringList knownFormats {QStringLiteral("txt"), QStringLiteral("srt"), QStringLiteral("vtt")};

QString languageList()
{
    QStringList items;
    for (const Language &language : languages())
        items << QCoreApplication::translate("CommandLine", "%1（%2）")
                     .arg(language.code, SpeechProtocol::languageDisplayName(language.text));
    return items.join(QCoreApplication::translate("CommandLine", "、"));
}

// The one parser --help describes and parse() uses.
struct Parser
{
    Parser()
    {
        parser.setApplicationDescription(
            QCoreApplication::translate("CommandLine", "不打开窗口，把音频或视频文件转换为文本文档。"));
        parser.addOption({convertOption, QCoreApplication::translate("CommandLine", "转换给出的文件，不打开窗口。")});
        parser.addOption({languageOption,
            QCoreApplication::translate(
                "CommandLine", "识别语言：%1，也可写语言选择框中的文字；默认为窗口上次选择的语言。")
                .arg(languageList()),
            QStringLiteral("LANG")});
        parser.addOption({outputDirOption,
            QCoreApplication::translate("CommandLine", "文本文档保存到的文件夹；默认为数据文件夹中的 myWordFiles。"),
            QStringLiteral("DIR")});
        parser.addOption({formatOption,
            QCoreApplication::translate("CommandLine",
                "写出的文件：txt（文本文档）、srt、vtt（字幕，与文本文档同名、同文件夹），"
                "可用逗号给出多个；默认为 txt。"),
            QStringLiteral("FORMATS")});
        parser.addOption({wordsOption,
            QCoreApplication::translate("CommandLine",
                "本次转换使用的自定义词汇表（UTF-8，每行一个词语或短语，“=”后可写读音）；"
                "默认为窗口中“自定义词汇…”保存的词汇表。"),
            QStringLiteral("FILE")});
        parser.addOption({speakersOption,
            QCoreApplication::translate(
                "CommandLine", "区分说话人，文档按说话人分段并标注；N 为人数，不写时自动判断。"),
            QStringLiteral("N")});
        parser.addOption({adaptOption,
            QCoreApplication::translate("CommandLine",
                "用给出的音频和它的正确文本（成对给出：音频 文本 音频 文本 …，文本为 UTF-8）适应我的声音，"
                "以后的转换都用适应后的声音模型。")});
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("FILE"),
            QCoreApplication::translate("CommandLine", "要转换的音频或视频文件，可给出多个。"),
            QStringLiteral("FILE..."));
    }
    QCommandLineParser parser;
};

Request refused(const QString &problem)
{
    Request request;
    request.action = Request::Refuse;
    request.problem = problem;
    return request;
}

// --speakers takes its count only when one follows ("--speakers 3", "--speakers=3"); alone it means as
// many as there are, which the parser, knowing only options with a value or without, is told as "auto".
QStringList withSpeakerCount(QStringList arguments)
{
    for (int i = 1; i < arguments.size() && arguments.at(i) != QLatin1String("--"); ++i) {
        if (arguments.at(i) != QLatin1String("--speakers"))
            continue;
        bool isCount = false;
        arguments.value(i + 1).toInt(&isCount);
        if (isCount)
            arguments[i] += QLatin1Char('=') + arguments.takeAt(i + 1);
        else
            arguments[i] += QStringLiteral("=auto");
    }
    return arguments;
}

// --adapt takes pairs of files and nothing of --convert's.
Request adaptRequest(const QCommandLineParser &parser, const QString &relativeTo, const QString &hint)
{
    if (parser.isSet(convertOption) || parser.isSet(languageOption) || parser.isSet(outputDirOption)
        || parser.isSet(formatOption))
        return refused(QCoreApplication::translate("CommandLine", "--adapt 不能与其他选项一起使用。%1").arg(hint));
    Request request;
    for (const QString &file : parser.positionalArguments())
        request.files << QDir::cleanPath(QDir(relativeTo).absoluteFilePath(file));
    if (request.files.isEmpty() || request.files.size() % 2 != 0)
        return refused(QCoreApplication::translate("CommandLine", "--adapt 需要成对的文件：音频 文本 [音频 文本 …]。%1")
                           .arg(hint));
    request.action = Request::Adapt;
    return request;
}

} // namespace

int exitStatusForSignal(int signalNumber)
{
    return 128 + signalNumber;
}

bool isWanted(const QStringList &arguments)
{
    static const QStringList options {QStringLiteral("--convert"), QStringLiteral("--adapt"), QStringLiteral("--help"),
        QStringLiteral("-h"), QStringLiteral("--help-all"), QStringLiteral("--version"), QStringLiteral("-v")};
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--"))
            return false;
        if (options.contains(arguments.at(i)))
            return true;
    }
    return false;
}

namespace {
// The toolkit's own options, which QApplication takes out of the arguments, and whether each takes a value.
const QHash<QString, bool> &toolkitOptions()
{
    static const QHash<QString, bool> options {{QStringLiteral("platform"), true},
        {QStringLiteral("platformpluginpath"), true}, {QStringLiteral("platformtheme"), true},
        {QStringLiteral("plugin"), true}, {QStringLiteral("qwindowgeometry"), true}, {QStringLiteral("geometry"), true},
        {QStringLiteral("qwindowicon"), true}, {QStringLiteral("icon"), true}, {QStringLiteral("qwindowtitle"), true},
        {QStringLiteral("title"), true}, {QStringLiteral("session"), true}, {QStringLiteral("style"), true},
        {QStringLiteral("stylesheet"), true}, {QStringLiteral("display"), true}, {QStringLiteral("name"), true},
        {QStringLiteral("reverse"), false}, {QStringLiteral("widgetcount"), false}, {QStringLiteral("nograb"), false},
        {QStringLiteral("dograb"), false}, {QStringLiteral("sync"), false}, {QStringLiteral("qmljsdebugger"), false}};
    return options;
}

// "-style", "--style" or "-style=fusion" -> "style"; empty when the argument is no option.
QString toolkitOptionName(const QString &argument, bool *withValue)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2)
        return QString();
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const int equals = name.indexOf(QLatin1Char('='));
    *withValue = equals >= 0;
    return equals >= 0 ? name.left(equals) : name;
}
} // namespace

bool isForWindow(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        bool withValue = false;
        const QString name = toolkitOptionName(arguments.at(i), &withValue);
        if (!toolkitOptions().contains(name))
            return false;
        if (toolkitOptions().value(name) && !withValue && ++i >= arguments.size())
            return false;
    }
    return true;
}

bool displayNamed(
    const QStringList &arguments, const QString &qpaPlatform, const QString &display, const QString &waylandDisplay)
{
    if (!qpaPlatform.isEmpty() || !display.isEmpty() || !waylandDisplay.isEmpty())
        return true;
    for (int i = 1; i < arguments.size(); ++i) {
        bool withValue = false;
        if (toolkitOptionName(arguments.at(i), &withValue) == QLatin1String("platform"))
            return true;
    }
    return false;
}

QList<Language> languages()
{
    QList<Language> known;
    for (const Languages::Language &language : Languages::all())
        known.append({language.code, language.text});
    return known;
}

QString languageNamed(const QString &name)
{
    return Languages::textOf(name);
}

QString rememberedLanguage(const QString &settingsPath)
{
    const QString saved = QSettings(settingsPath, QSettings::IniFormat).value(QStringLiteral("language")).toString();
    for (const Language &language : languages()) {
        if (saved == language.text)
            return saved;
    }
    return languages().first().text;
}

Request parse(const QStringList &arguments, const QString &relativeTo)
{
    Parser p;
    const QString hint = QCoreApplication::translate("CommandLine", "用 quillora --help 查看用法。");
    if (!p.parser.parse(withSpeakerCount(arguments))) {
        const QStringList unknown = p.parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString name = unknown.first();
            return refused(QCoreApplication::translate("CommandLine", "未知的选项：%1%2。%3")
                               .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name, hint));
        }
        return refused(p.parser.errorText() + QLatin1Char(' ') + hint);
    }
    Request request;
    if (p.parser.isSet(QStringLiteral("help")) || p.parser.isSet(QStringLiteral("help-all"))) {
        request.action = Request::ShowHelp;
        return request;
    }
    if (p.parser.isSet(QStringLiteral("version"))) {
        request.action = Request::ShowVersion;
        return request;
    }
    if (p.parser.isSet(adaptOption))
        return adaptRequest(p.parser, relativeTo, hint);
    if (!p.parser.isSet(convertOption))
        return refused(QCoreApplication::translate("CommandLine", "没有给出 --convert。%1").arg(hint));
    if (p.parser.isSet(languageOption)) {
        const QString name = p.parser.value(languageOption);
        request.language = languageNamed(name);
        if (request.language.isEmpty())
            return refused(QCoreApplication::translate("CommandLine", "未知的语言“%1”，可用的语言：%2。")
                               .arg(name, languageList()));
    }
    if (p.parser.isSet(outputDirOption)) {
        request.outputDir = p.parser.value(outputDirOption);
        if (request.outputDir.isEmpty())
            return refused(QCoreApplication::translate("CommandLine", "--output-dir 需要一个文件夹。%1").arg(hint));
        request.outputDir = QDir::cleanPath(QDir(relativeTo).absoluteFilePath(request.outputDir));
    }
    if (p.parser.isSet(formatOption)) {
        request.formats.clear();
        for (const QString &item : p.parser.value(formatOption).split(QLatin1Char(','))) {
            const QString format = item.trimmed().toLower();
            if (!knownFormats.contains(format))
                return refused(QCoreApplication::translate("CommandLine", "未知的格式“%1”，可用的格式：txt、srt、vtt。")
                                   .arg(item.trimmed()));
            if (!request.formats.contains(format))
                request.formats << format;
        }
    }
    if (p.parser.isSet(wordsOption)) {
        request.wordsFile = p.parser.value(wordsOption);
        if (request.wordsFile.isEmpty())
            return refused(QCoreApplication::translate("CommandLine", "--words 需要一个文件。%1").arg(hint));
        request.wordsFile = QDir::cleanPath(QDir(relativeTo).absoluteFilePath(request.wordsFile));
    }
    if (p.parser.isSet(speakersOption)) {
        const QString count = p.parser.value(speakersOption);
        bool isCount = false;
        request.speakers = count == QLatin1String("auto") ? 0 : count.toInt(&isCount);
        if (count != QLatin1String("auto") && (!isCount || request.speakers < 1 || request.speakers > 9))
            return refused(
                QCoreApplication::translate("CommandLine", "--speakers 的人数应为 1 到 9：“%1”。%2").arg(count, hint));
    }
    for (const QString &file : p.parser.positionalArguments()) {
        // The same path the window's file dialog gives, so a resume record is found by either.
        const QString path = QDir::cleanPath(QDir(relativeTo).absoluteFilePath(file));
        if (!request.files.contains(path))
            request.files << path;
    }
    if (request.files.isEmpty())
        return refused(QCoreApplication::translate("CommandLine", "没有给出要转换的文件。%1").arg(hint));
    request.action = Request::Convert;
    return request;
}

QString subtitlePathFor(const QString &documentPath, const QString &format)
{
    const QFileInfo document(documentPath);
    return document.path() + QLatin1Char('/') + document.completeBaseName() + QLatin1Char('.') + format;
}

QString helpText()
{
    Parser p;
    QString text = p.parser.helpText();
    text.replace(QStringLiteral("Usage: "), QCoreApplication::translate("CommandLine", "用法："));
    text.replace(QStringLiteral("[options]"),
        QStringLiteral(
            "--convert [--language LANG] [--output-dir DIR] [--format FORMATS] [--words FILE] [--speakers [N]]"));
    text.replace(
        QStringLiteral("FILE...\n"), QStringLiteral("FILE...\n       quillora --adapt AUDIO TEXT [AUDIO TEXT ...]\n"));
    text.replace(QStringLiteral("Options:"), QCoreApplication::translate("CommandLine", "选项："));
    text.replace(QStringLiteral("Arguments:"), QCoreApplication::translate("CommandLine", "参数："));
    text.replace(QStringLiteral("Displays help on commandline options."),
        QCoreApplication::translate("CommandLine", "显示本帮助。"));
    text.replace(QStringLiteral("Displays help including Qt specific options."),
        QCoreApplication::translate("CommandLine", "显示包括 Qt 选项的帮助。"));
    text.replace(
        QStringLiteral("Displays version information."), QCoreApplication::translate("CommandLine", "显示版本。"));
    return text
        + QCoreApplication::translate("CommandLine",
            "\n退出状态：0 全部转换完成，1 有文件未能转换（原因写在标准错误上），2 用法错误，\n"
            "130/143 被 SIGINT/SIGTERM 中断（已识别的部分会保留，再次转换同一文件时继续）。\n");
}

QString versionText()
{
    return QStringLiteral("Quillora %1\n").arg(QStringLiteral(QUILLORA_VERSION));
}

QString ProgressLines::fileStarted(const QString &task, int number, int count)
{
    // A status shown before the file (authentication) gives way to the file's own line.
    head = QStringLiteral("[%1/%2] %3").arg(number).arg(count).arg(QFileInfo(task).fileName());
    lastStatus.clear();
    return show(QString(), false);
}

QString ProgressLines::progress(const QString &status)
{
    if (status == lastStatus)
        return QString();
    lastStatus = status;
    return show(status, false);
}

QString ProgressLines::documentWritten(const QString &documentPath)
{
    const QString text = show(QCoreApplication::translate("CommandLine", "已保存：%1").arg(documentPath), true);
    head.clear();
    lastStatus.clear();
    return text;
}

QString ProgressLines::failed(const QString &task, const QString &message)
{
    const QString text = finish()
        + (task.isEmpty() ? message : QCoreApplication::translate("CommandLine", "%1：%2").arg(task, message));
    head.clear();
    lastStatus.clear();
    return text + QLatin1Char('\n');
}

QString ProgressLines::finish()
{
    if (!lineOpen)
        return QString();
    lineOpen = false;
    return QStringLiteral("\n");
}

QString ProgressLines::show(const QString &status, bool final)
{
    QString line = head;
    if (!status.isEmpty())
        line += (line.isEmpty() ? QString() : QStringLiteral("  ")) + status;
    if (line.isEmpty())
        return QString();
    if (!terminal)
        return line + QLatin1Char('\n');
    // Back to the line's start and cleared to its end: a shorter status leaves nothing of a longer one.
    lineOpen = !final;
    return QStringLiteral("\r\033[K") + line + (final ? QStringLiteral("\n") : QString());
}

} // namespace CommandLine
