#include "conversiontestutil.h"
#include "dialogue.h"

#include "app/commandline.h"
#include "common/programcopy.h"
#include "common/speechtestutil.h"
#include "common/testmain.h"
#include "pipeline/speechprotocol.h"
#include "pipeline/timings.h"
#include "pipeline/voiceprofiles.h"

#include <QDir>
#include <QHash>

#include <csignal>
#include <sys/stat.h>

using namespace ConversionTest;

namespace {
// One run of a fresh copy of the program, under LANG `lang` (the test's own when empty) and DISPLAY
// `display` (none when empty), ended after 30 s at the latest; the copy's folder stays for the checks.
struct ShortRun
{
    ShortRun(const QString &serviceHost, const QStringList &arguments, const QString &lang = QString(),
        const QString &display = QString())
        : program(serviceHost)
    {
        program.setLang(lang);
        if (!display.isEmpty())
            program.setVariable("DISPLAY", display);
        if (program.isValid())
            result = program.run(arguments, 30000);
    }

    ProgramCopy program;
    ProgramCopy::Result result;
};
} // namespace

// quillora --convert as a real process with no display, against our own speech service (and the scripted
// one where a run must be caught in the middle), and the rules it prints and exits by.
class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void languageCodes_data();
    void languageCodes();
    void progressLines_data();
    void progressLines();
    void usage_data();
    void usage();
    void usageInLocale_data();
    void usageInLocale();
    void windowStart_data();
    void windowStart();
    void convert_data();
    void convert();
    void usersDocumentKept_data();
    void usersDocumentKept();
    void speakersLabelled();
    void interruptedThenResumedInWindow_data();
    void interruptedThenResumedInWindow();

private:
    QString speak(const QString &folder, const QString &name, const QString &text)
    {
        const QString path = SpeechTestUtil::makeEnglishWav(folder, name, text);
        spoken.insert(path, text);
        return path;
    }
    // The document holds, loosely, the words spoken into `task`.
    static bool matches(const QString &documentPath, const QString &script)
    {
        QFile document(documentPath);
        if (!document.open(QIODevice::ReadOnly))
            return false;
        const QStringList reference = SpeechTestUtil::normalizedWords(script);
        const QStringList heard = SpeechTestUtil::normalizedWords(QString::fromUtf8(document.readAll()));
        return !heard.isEmpty() && SpeechTestUtil::wordEditDistance(reference, heard) <= reference.size() / 2;
    }

    SpeechTestUtil::SpeechServiceProcess service;
    QTemporaryDir media;
    QHash<QString, QString> spoken; // wav -> its script
};

void TestCommandLine::initTestCase()
{
    QVERIFY2(service.start(), qPrintable(service.log()));
}

void TestCommandLine::languageCodes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("language");
    QTest::newRow("code") << "en"
                          << "英文";
    QTest::newRow("code in capitals") << "ZH-FAR"
                                      << "中文远场";
    QTest::newRow("selector text") << "粤语"
                                   << "粤语";
    QTest::newRow("unknown code") << "fr" << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestCommandLine::languageCodes()
{
    QFETCH(QString, name);
    QFETCH(QString, language);
    QCOMPARE(CommandLine::languageNamed(name), language);
    QStringList codes;
    for (const CommandLine::Language &known : CommandLine::languages()) {
        QVERIFY2(SpeechProtocol::devPidForLanguage(known.text) >= 0, qPrintable(known.text));
        codes << known.code;
    }
    QCOMPARE(codes.removeDuplicates(), 0);
}

void TestCommandLine::progressLines_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QStringList>("events"); // "start FILE", "progress TEXT", "written PATH", "failed FILE|MESSAGE"
    QTest::addColumn<QString>("output");
    const QStringList oneFile {"progress 认证中...", "start /a/talk.mp3", "progress 转写:50.0%", "progress 转写:50.0%",
        "written /d/talk.txt", "start /a/next.wav", "failed /a/next.wav|找不到文件"};
    QTest::newRow("terminal: one line per file, rewritten")
        << true << oneFile
        << "\r\033[K认证中...\r\033[K[1/2] talk.mp3\r\033[K[1/2] talk.mp3  转写:50.0%\r\033[K[1/2] talk.mp3  "
           "已保存：/d/talk.txt\n\r\033[K[2/2] next.wav\n/a/next.wav：找不到文件\n";
    QTest::newRow("not a terminal: plain lines, no repeats")
        << false << oneFile
        << "认证中...\n[1/2] talk.mp3\n[1/2] talk.mp3  转写:50.0%\n[1/2] talk.mp3  已保存：/d/talk.txt\n[2/2] "
           "next.wav\n/a/next.wav：找不到文件\n";
    QTest::newRow("a failure before any file")
        << true << QStringList {"progress 认证中...", "failed |获取访问令牌超时！"}
        << "\r\033[K认证中...\n获取访问令牌超时！\n";
}

void TestCommandLine::progressLines()
{
    QFETCH(bool, terminal);
    QFETCH(QStringList, events);
    QFETCH(QString, output);
    CommandLine::ProgressLines lines(terminal);
    QString written;
    for (const QString &event : events) {
        const QString kind = event.section(' ', 0, 0);
        const QString value = event.section(' ', 1);
        if (kind == "start")
            written += lines.fileStarted(value, value.endsWith("talk.mp3") ? 1 : 2, 2);
        else if (kind == "progress")
            written += lines.progress(value);
        else if (kind == "written")
            written += lines.documentWritten(value);
        else
            written += lines.failed(value.section('|', 0, 0), value.section('|', 1));
    }
    QCOMPARE(written, output);
}

void TestCommandLine::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    const QString wav = "never-read.wav";
    QTest::newRow("help") << QStringList {"--help"} << 0 << "--output-dir <DIR>"
                          << "";
    QTest::newRow("version") << QStringList {"--version"} << 0 << "Quillora 0.1\n"
                             << "";
    QTest::newRow("unknown option") << QStringList {"--convert", "--bogus", wav} << 2 << ""
                                    << "未知的选项：--bogus";
    QTest::newRow("unknown format") << QStringList {"--convert", "--format", "txt,doc", wav} << 2 << ""
                                    << QStringLiteral("未知的格式“doc”");
    QTest::newRow("no file") << QStringList {"--convert", "--language", "en"} << 2 << ""
                             << "没有给出要转换的文件";
    QTest::newRow("unknown language") << QStringList {"--convert", "--language", "fr", wav} << 2 << ""
                                      << "未知的语言“fr”";
    QTest::newRow("language without a value") << QStringList {"--convert", wav, "--language"} << 2 << ""
                                              << "--language";
    QTest::newRow("help names the word list") << QStringList {"--help"} << 0 << "--words <FILE>"
                                              << "";
    QTest::newRow("a word list that is not there") << QStringList {"--convert", "--language", "en", "--words",
        "/nonexistent/words.txt", wav} << 2 << "" << QStringLiteral("找不到词汇表“/nonexistent/words.txt”");
    QTest::newRow("a word list that is a folder") << QStringList {"--convert", "--language", "en", "--words", "/", wav}
                                                  << 2 << "" << QStringLiteral("无法读取词汇表“/”");
    // The window's own refusal; the default is the window's first language until one is remembered.
    QTest::newRow("language the local service refuses")
        << QStringList {"--convert", "--language", "yue", wav} << 1 << ""
        << "本机自带的离线语音服务只能识别英文";
    QTest::newRow("nothing remembered") << QStringList {"--convert", wav} << 1 << ""
                                        << "只能识别英文";
    // There, but not a file: said so, not "cannot find it" (and the pipe is never opened, which would block).
    const QString notAFile = "”不是普通文件（如文件夹、命名管道或设备），无法使用！";
    const QString pipe = media.filePath("pipe.wav");
    QVERIFY(QFileInfo::exists(pipe) || ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QTest::newRow("a folder") << QStringList {"--convert", "--language", "en", media.path()} << 1 << ""
                              << media.path() + "：“" + media.path() + notAFile;
    QTest::newRow("a named pipe") << QStringList {"--convert", "--language", "en", pipe} << 1 << ""
                                  << pipe + "：“" + pipe + notAFile;
    QTest::newRow("speakers counted from one") << QStringList {"--convert", "--speakers", "0", wav} << 2 << ""
                                               << "--speakers 的人数应为 1 到 9：“0”";
    QTest::newRow("speakers without a count before the file")
        << QStringList {"--convert", "--speakers", "--language", "yue", wav} << 1 << ""
        << "只能识别英文";
    QTest::newRow("adapt: audio without its text") << QStringList {"--adapt", wav} << 2 << ""
                                                   << "--adapt 需要成对的文件";
    QTest::newRow("adapt with a conversion option")
        << QStringList {"--adapt", "--language", "en", wav, "never-read.txt"} << 2 << ""
        << "--adapt 不能与其他选项一起使用";
    QTest::newRow("adapt: audio that is not there")
        << QStringList {"--adapt", wav, "never-read.txt"} << 1 << "" << QStringLiteral("适应声音失败。无法读取");
}

void TestCommandLine::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    const ShortRun run(service.hostAndPort(), arguments);
    QVERIFY(run.program.isValid());
    QVERIFY2(run.result.out.contains(stdoutHas) && run.result.err.contains(stderrHas),
        qPrintable(run.result.out + run.result.err));
    QCOMPARE(run.result.exitCode, exitCode);
    QCOMPARE(run.result.out.isEmpty(), stdoutHas.isEmpty());
    QCOMPARE(QDir(run.program.filePath("myWordFiles")).entryList(QDir::Files), QStringList());
}

void TestCommandLine::usageInLocale_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrIs");
    const QStringList noFile {"--convert", "--language", "en"};
    QTest::newRow("English locale") << "en_US.UTF-8" << noFile << ""
                                    << "quillora: No file to convert was given. See quillora --help for usage.\n";
    QTest::newRow("another language reads English") << "de_DE.UTF-8" << noFile << ""
                                                    << "quillora: No file to convert was given. See quillora "
                                                       "--help for usage.\n";
    QTest::newRow("C locale reads English") << "C.UTF-8" << noFile << ""
                                            << "quillora: No file to convert was given. See quillora --help for "
                                               "usage.\n";
    QTest::newRow("Chinese locale") << "zh_CN.UTF-8" << noFile << ""
                                    << "quillora: 没有给出要转换的文件。用 quillora --help 查看用法。\n";
    QTest::newRow("Taiwan locale keeps the design's texts")
        << "zh_TW.UTF-8" << noFile << ""
        << "quillora: 没有给出要转换的文件。用 quillora --help 查看用法。\n";
    QTest::newRow("English language name")
        << "en_US.UTF-8" << QStringList {"--convert", "--language", "fr", "a.wav"} << ""
        << "quillora: Unknown language \"fr\"; the languages are: zh (Chinese), "
           "zh-far (Far-field), en (English), yue (Canton.), sichuan "
           "(Sichuan).\n";
    QTest::newRow("English help") << "en_US.UTF-8" << QStringList {"--help"} << "Exit status: 0 all converted"
                                  << "";
    QTest::newRow("Chinese help") << "zh_CN.UTF-8" << QStringList {"--help"} << "退出状态：0 全部转换完成"
                                  << "";
}

void TestCommandLine::usageInLocale()
{
    QFETCH(QString, lang);
    QFETCH(QStringList, arguments);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrIs);
    const ShortRun run(service.hostAndPort(), arguments, lang);
    QVERIFY(run.program.isValid());
    QCOMPARE(run.result.err, stderrIs);
    QVERIFY2(run.result.out.contains(stdoutHas) && run.result.out.isEmpty() == stdoutHas.isEmpty(),
        qPrintable(run.result.out));
}

void TestCommandLine::windowStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("display"); // DISPLAY; none when empty
    QTest::addColumn<QString>("lang");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrIs");
    const QString noDisplay = "no display: start Quillora on a desktop, or use --convert\n";
    const QString nobody = ":987"; // an X display nobody serves
    QTest::newRow("no display") << QStringList() << QString() << "en_US.UTF-8" << 1 << noDisplay;
    QTest::newRow("no display, in Chinese") << QStringList() << QString() << "zh_CN.UTF-8" << 1
                                            << "没有可用的显示器：请在桌面上启动 Quillora，或使用 --convert\n";
    QTest::newRow("a display nobody answers") << QStringList() << nobody << "en_US.UTF-8" << 1 << noDisplay;
    QTest::newRow("the toolkit's own option, no display")
        << QStringList {"-style", "fusion"} << QString() << "en_US.UTF-8" << 1 << noDisplay;
    const QString bogus = "quillora: Unknown option: --bogus. See quillora --help for usage.\n";
    QTest::newRow("unknown option") << QStringList {"--bogus"} << QString() << "en_US.UTF-8" << 2 << bogus;
    QTest::newRow("unknown option, refused before the display")
        << QStringList {"--bogus"} << nobody << "en_US.UTF-8" << 2 << bogus;
    QTest::newRow("a file without --convert") << QStringList {"talk.wav"} << QString() << "en_US.UTF-8" << 2
                                              << "quillora: --convert was not given. See quillora --help for usage.\n";
}

// quillora without --convert: its options are judged before a window exists, and without a display it
// says so in one line instead of the toolkit's abort.
void TestCommandLine::windowStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, display);
    QFETCH(QString, lang);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrIs);
    QVERIFY(!QFileInfo::exists("/tmp/.X11-unix/X987"));
    const ShortRun run(service.hostAndPort(), arguments, lang, display);
    QVERIFY(run.program.isValid());
    QCOMPARE(run.result.err, stderrIs);
    QCOMPARE(run.result.exitCode, exitCode);
    QCOMPARE(run.result.out, QString());
}

void TestCommandLine::convert_data()
{
    QTest::addColumn<bool>("oneMissing");
    QTest::addColumn<bool>("twoAtOnce"); // a process per file, both converting into the data folder at once
    QTest::addColumn<QString>("formats"); // --format's value; none given when empty
    QTest::addColumn<QStringList>("suffixes"); // the files each task becomes
    QTest::addColumn<bool>("noService"); // nothing answers at the deployment's address: the runs start it
    QTest::newRow("two English files") << false << false << QString() << QStringList {"txt"} << false;
    QTest::newRow("a missing file among them") << true << false << QString() << QStringList {"txt"} << false;
    QTest::newRow("two command lines at once") << false << true << QString() << QStringList {"txt"} << false;
    QTest::newRow("two command lines at once, no service running")
        << false << true << QString() << QStringList {"txt"} << true;
    QTest::newRow("subtitles instead of documents")
        << false << false << "VTT, srt" << QStringList {"srt", "vtt"} << false;
}

// The documents go to the data folder's myWordFiles, or to --output-dir; a missing file is named and the
// others are still converted; runs side by side each write their own document.
void TestCommandLine::convert()
{
    QFETCH(bool, oneMissing);
    QFETCH(bool, twoAtOnce);
    QFETCH(QString, formats);
    QFETCH(QStringList, suffixes);
    QFETCH(bool, noService);
    ProgramCopy program(
        noService ? QStringLiteral("127.0.0.1:%1").arg(SpeechTestUtil::freeLoopbackPort()) : service.hostAndPort());
    QVERIFY(program.isValid() && (!noService || program.addSpeechService()));
    // Sentences the offline recogniser hears well in the voices of both espeak-ng 1.51 and 1.52.
    const QString first = speak(media.path(), "brother", "My brother bought a new car last week.");
    const QString second = speak(media.path(), "library", "We will meet at the library after lunch.");
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    QStringList options {"--convert", "--language", "en"};
    if (!formats.isEmpty())
        options << "--format" << formats;
    const QString gone = media.filePath("gone.wav");
    QStringList files {first};
    if (oneMissing)
        files << gone << "--output-dir" << program.filePath("out");
    QList<QStringList> runs {options + files + QStringList {second}};
    if (twoAtOnce)
        runs = {options + QStringList {first}, options + QStringList {second}};

    QProcess processes[2];
    QString err;
    for (int i = 0; i < runs.size(); ++i)
        program.start(processes[i], runs[i]);
    for (int i = 0; i < runs.size(); ++i) {
        QVERIFY(processes[i].waitForFinished(300000));
        err += QString::fromUtf8(processes[i].readAllStandardError());
        QCOMPARE(processes[i].exitCode(), oneMissing ? 1 : 0);
    }
    const QString documents = program.filePath(oneMissing ? "out" : "myWordFiles");
    QStringList expected;
    for (const char *name : {"brother", "library"}) {
        for (const QString &suffix : suffixes)
            expected << QString::fromLatin1(name) + "." + suffix;
    }
    QCOMPARE(QDir(documents).entryList(QDir::Files), expected);
    if (suffixes.contains("txt")) {
        QVERIFY2(matches(documents + "/brother.txt", spoken[first]), qPrintable(err));
        QVERIFY(matches(documents + "/library.txt", spoken[second]));
    }
    if (suffixes.contains("srt")) {
        QFile srt(documents + "/brother.srt");
        QVERIFY(srt.open(QIODevice::ReadOnly));
        const int cueCount = QString::fromUtf8(srt.readAll()).count(" --> ");
        QVERIFY(cueCount >= 1);
        QCOMPARE(SpeechTestUtil::cuesFfmpegReads(srt.fileName()), cueCount);
        QFile vtt(documents + "/library.vtt");
        QVERIFY(vtt.open(QIODevice::ReadOnly));
        const QString cues = QString::fromUtf8(vtt.readAll());
        QVERIFY2(cues.startsWith("WEBVTT\n\n00:00:00.") && cues.contains(" --> "), qPrintable(cues));
        if (!suffixes.contains("txt")) // the documents not asked for went, and their timings with them
            QCOMPARE(QDir(program.filePath(".quillora/timings")).entryList(QDir::Files), QStringList());
    }
    QCOMPARE(err.contains(QStringLiteral("%1：找不到文件“%1”").arg(gone)), oneMissing);
    QCOMPARE(err.count("已保存："), 2);
    QVERIFY(!err.contains('\r')); // not a terminal
    // Only the program's own lines: the service one of them started keeps its log in the data folder.
    QVERIFY2(!err.contains("quillora-speechd") && !err.contains("/server_api"), qPrintable(err));
    if (noService) {
        QFile log(program.filePath(".quillora/speechd.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().count("POST /server_api 200"), 2);
    }
    QCOMPARE(QDir(program.filePath("myTmpWAVFiles")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// Two synthesised voices taking turns: the document in paragraphs by turn with their labels, the record
// keeping each sentence's speaker, and subtitles naming them.
void TestCommandLine::speakersLabelled()
{
    ProgramCopy program(service.hostAndPort());
    QVERIFY(program.isValid());
    Dialogue::Plan plan;
    plan.turns = 6;
    plan.minTurnMs = 3000;
    plan.maxTurnMs = 7000;
    plan.seed = 5;
    const QString wav = media.filePath("interview.wav");
    const Dialogue::Made made = Dialogue::make(plan, wav, media.filePath("pieces"));
    QVERIFY2(made.ok, qPrintable(made.error));
    const ProgramCopy::Result result
        = program.run({"--convert", "--language", "en", "--speakers", "--format", "txt,srt,vtt", wav});
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    const QString documents = program.filePath("myWordFiles");
    QFile document(documents + "/interview.txt");
    QVERIFY(document.open(QIODevice::ReadOnly));
    const QStringList paragraphs = QString::fromUtf8(document.readAll()).split("\n\n");
    QVERIFY2(paragraphs.size() >= 4, qPrintable(paragraphs.join('|')));
    for (int i = 0; i < paragraphs.size(); ++i) {
        QVERIFY2(paragraphs[i].startsWith(QStringLiteral("说话人 %1：").arg(i % 2 + 1)), qPrintable(paragraphs[i]));
    }
    Timings::Record record;
    QVERIFY(Timings::read(program.filePath(""), document.fileName(), &record));
    QCOMPARE(record.speakerNames, QStringList({"说话人 1", "说话人 2"}));
    QVector<DiarizationScore::Segment> hypothesis;
    for (const TimedSentence &sentence : record.sentences)
        hypothesis.append({sentence.startMs, sentence.endMs, sentence.speaker});
    const DiarizationScore::Score score = DiarizationScore::score(made.sentences, hypothesis);
    qInfo("diarization error rate through recognition: %.1f %%", 100 * score.errorRate());
    QVERIFY2(score.errorRate() < 0.2, qPrintable(QString::number(score.errorRate())));
    QFile vtt(documents + "/interview.vtt");
    QVERIFY(vtt.open(QIODevice::ReadOnly));
    const QString cues = QString::fromUtf8(vtt.readAll());
    QVERIFY2(cues.contains("\n<v 说话人 1>") && cues.contains("\n<v 说话人 2>"), qPrintable(cues));
    QFile srt(documents + "/interview.srt");
    QVERIFY(srt.open(QIODevice::ReadOnly));
    const QString srtText = QString::fromUtf8(srt.readAll());
    QCOMPARE(
        srtText.count(QStringLiteral("说话人 1：")) + srtText.count(QStringLiteral("说话人 2：")), paragraphs.size());
    QCOMPARE(SpeechTestUtil::cuesFfmpegReads(srt.fileName()), srtText.count(" --> "));

    // The user names the first speaker; in another interview of the same two voices (another seed),
    // that voice has the name and the other a number.
    QCOMPARE(record.voices.size(), size_t(2));
    QCOMPARE(VoiceProfiles::rememberSpeaker(program.filePath(""), record, 1, QStringLiteral("王经理")),
        VoiceProfiles::Change::Done);
    plan.seed = 9;
    const Dialogue::Made later = Dialogue::make(plan, media.filePath("later.wav"), media.filePath("pieces"));
    QVERIFY2(later.ok, qPrintable(later.error));
    QCOMPARE(program.run({"--convert", "--language", "en", "--speakers", media.filePath("later.wav")}).exitCode, 0);
    Timings::Record named;
    QVERIFY(Timings::read(program.filePath(""), documents + "/later.txt", &named));
    QCOMPARE(named.speakerNames.size(), 2);
    const int wang = named.speakerNames.indexOf(QStringLiteral("王经理")) + 1;
    QVERIFY2(
        wang > 0 && named.speakerNames.contains(QStringLiteral("说话人 1")), qPrintable(named.speakerNames.join('|')));
    // The named sentences are mostly the voice that was speaker 1 the first time.
    const int voice = made.sentences.first().speaker;
    qint64 right = 0, wrong = 0;
    for (const TimedSentence &sentence : named.sentences) {
        for (const DiarizationScore::Segment &truth : later.sentences) {
            const qint64 overlap = std::min(sentence.endMs, truth.endMs) - std::max(sentence.startMs, truth.startMs);
            if (sentence.speaker == wang && overlap > 0)
                (truth.speaker == voice ? right : wrong) += overlap;
        }
    }
    QVERIFY2(right > 4 * wrong, qPrintable(QStringLiteral("%1 ms right, %2 ms wrong").arg(right).arg(wrong)));
}

void TestCommandLine::usersDocumentKept_data()
{
    QTest::addColumn<QString>("ownFile"); // a file of the user's in myWordFiles before the run; none when empty
    QTest::addColumn<bool>("earlierRun"); // the file was converted once before, into notes.txt
    QTest::addColumn<QString>("formats");
    QTest::addColumn<QStringList>("files"); // myWordFiles afterwards
    QTest::addColumn<QString>("notice"); // what the end says was kept; empty: nothing
    const QString kept = "“%1”已被修改或不是本程序写入的，为免覆盖，新的文本已保存为“%2”。\n";
    QTest::newRow("the user's document") << "notes.txt" << false << "txt" << QStringList {"notes (2).txt", "notes.txt"}
                                         << kept.arg("notes.txt", "notes (2).txt");
    QTest::newRow("the user's subtitles") << "notes.srt" << false << "srt" << QStringList {"notes (2).srt", "notes.srt"}
                                          << kept.arg("notes.srt", "notes (2).srt");
    QTest::newRow("an earlier document stays, timings and all")
        << QString() << true << "srt" << QStringList {"notes.srt", "notes.txt"} << QString();
    QTest::newRow("the user's document, subtitles only: nothing said of it")
        << "notes.txt" << false << "srt" << QStringList {"notes.srt", "notes.txt"} << QString();
    QTest::newRow("subtitles beside a document under a new name")
        << "notes.txt" << false << "txt,vtt" << QStringList {"notes (2).txt", "notes (2).vtt", "notes.txt"}
        << kept.arg("notes.txt", "notes (2).txt");
}

// A file the user wrote stays, a document or subtitles alike; the new one gets the next number, and the end
// says so. A document an earlier run wrote stays when only subtitles are asked for now.
void TestCommandLine::usersDocumentKept()
{
    QFETCH(QString, ownFile);
    QFETCH(bool, earlierRun);
    QFETCH(QString, formats);
    QFETCH(QStringList, files);
    QFETCH(QString, notice);
    ProgramCopy program(service.hostAndPort());
    QVERIFY(program.isValid());
    const QString task = speak(media.path(), "notes", "The meeting starts at nine in the morning.");
    QVERIFY(!task.isEmpty());
    QVERIFY(QDir().mkpath(program.filePath("myWordFiles")));
    QFile own(program.filePath("myWordFiles/" + (ownFile.isEmpty() ? "notes.txt" : ownFile)));
    if (!ownFile.isEmpty()) {
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write("my own notes\n") > 0);
        own.close();
    }
    QByteArray before = "my own notes\n";
    if (earlierRun) {
        QCOMPARE(program.run({"--convert", "--language", "en", task}).exitCode, 0);
        QVERIFY(own.open(QIODevice::ReadOnly));
        before = own.readAll();
        own.close();
    }
    const QStringList timingsBefore = QDir(program.filePath(".quillora/timings")).entryList(QDir::Files);
    QProcess process;
    program.start(process, {"--convert", "--language", "en", "--format", formats, task});
    QVERIFY(process.waitForFinished(300000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), before);
    QCOMPARE(QDir(program.filePath("myWordFiles")).entryList(QDir::Files), files);
    const QString written = files.first();
    if (written.endsWith(".txt"))
        QVERIFY2(matches(program.filePath("myWordFiles/" + written), spoken[task]), qPrintable(err));
    for (const QString &file : files) {
        if (!file.endsWith(".txt") && file != ownFile)
            QVERIFY2(SpeechTestUtil::cuesFfmpegReads(program.filePath("myWordFiles/" + file)) >= 1, qPrintable(file));
    }
    if (notice.isEmpty())
        QVERIFY2(!err.contains("已被修改") && !err.contains("(2)"), qPrintable(err));
    else
        QVERIFY2(err.contains(notice), qPrintable(err));
    // Only what is on disk is named as saved.
    QVERIFY2(err.contains(program.filePath("myWordFiles/" + written)), qPrintable(err));
    if (!formats.contains("txt"))
        QCOMPARE(QDir(program.filePath(".quillora/timings")).entryList(QDir::Files), timingsBefore);
}

void TestCommandLine::interruptedThenResumedInWindow_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

// Stopped while the third of five segments is on its way: the run's folder goes, its record stays, and
// the window's next run of the same file sends only the three segments still missing.
void TestCommandLine::interruptedThenResumedInWindow()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);
    ScriptedServer server;
    server.recognitionReplies << ScriptedServer::json(R"({"err_no": 0, "result": ["s0"]})")
                              << ScriptedServer::json(R"({"err_no": 0, "result": ["s1"]})")
                              << ScriptedServer::silence();
    ProgramCopy program(server.hostAndPort());
    QVERIFY(program.isValid());
    const QString task = media.filePath("five minutes.wav");
    QVERIFY(makeNoiseWav(task, 16000LL * (4 * 60 + 5)));
    QProcess cli;
    program.start(cli, {"--convert", "--language", "en", task});
    QTRY_COMPARE_WITH_TIMEOUT(server.recognitionRequests().size(), 3, 120000);
    ::kill(pid_t(cli.processId()), signalNumber);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), exitCode);
    QVERIFY(cli.readAllStandardError().contains("转换已中断"));
    QCOMPARE(QDir(program.filePath("myTmpWAVFiles")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    QCOMPARE(QDir(program.filePath(".quillora/progress")).entryList(QDir::Files).size(), 1);

    Fixture window(program.path());
    for (int k = 2; k < 5; ++k)
        window.server.recognitionReplies << ScriptedServer::json(
            QStringLiteral(R"({"err_no": 0, "result": ["s%1"]})").arg(k).toUtf8());
    window.addTask(task);
    window.window->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return window.idle(); }, 120000));
    QCOMPARE(window.server.recognitionRequests().size(), 3);
    QCOMPARE(window.read("myWordFiles/five minutes.txt"), QByteArray("s0\n\ns1\n\ns2\n\ns3\n\ns4\n"));
    QCOMPARE(QDir(program.filePath(".quillora/progress")).entryList(QDir::Files), QStringList());
}

QUILLORA_TEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
