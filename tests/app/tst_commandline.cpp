#include "conversiontestutil.h"

#include "app/commandline.h"
#include "common/programcopy.h"
#include "common/speechtestutil.h"
#include "common/testmain.h"
#include "pipeline/speechprotocol.h"

#include <QDir>
#include <QHash>

#include <csignal>

using namespace ConversionTest;

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
    void convert_data();
    void convert();
    void usersDocumentKept();
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
    // The window's own refusal; the default is the window's first language until one is remembered.
    QTest::newRow("language the local service refuses")
        << QStringList {"--convert", "--language", "yue", wav} << 1 << ""
        << "本机自带的离线语音服务只能识别英文";
    QTest::newRow("nothing remembered") << QStringList {"--convert", wav} << 1 << ""
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
    ProgramCopy program(service.hostAndPort());
    QVERIFY(program.isValid());
    const ProgramCopy::Result result = program.run(arguments, 30000);
    QVERIFY2(result.out.contains(stdoutHas) && result.err.contains(stderrHas), qPrintable(result.out + result.err));
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out.isEmpty(), stdoutHas.isEmpty());
    QCOMPARE(QDir(program.filePath("myWordFiles")).entryList(QDir::Files), QStringList());
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
    ProgramCopy program(service.hostAndPort());
    QVERIFY(program.isValid());
    program.setLang(lang);
    const ProgramCopy::Result result = program.run(arguments, 30000);
    QCOMPARE(result.err, stderrIs);
    QVERIFY2(result.out.contains(stdoutHas) && result.out.isEmpty() == stdoutHas.isEmpty(), qPrintable(result.out));
}

void TestCommandLine::convert_data()
{
    QTest::addColumn<bool>("oneMissing");
    QTest::addColumn<bool>("twoAtOnce"); // a process per file, both converting into the data folder at once
    QTest::addColumn<QString>("formats"); // --format's value; none given when empty
    QTest::addColumn<QStringList>("suffixes"); // the files each task becomes
    QTest::newRow("two English files") << false << false << QString() << QStringList {"txt"};
    QTest::newRow("a missing file among them") << true << false << QString() << QStringList {"txt"};
    QTest::newRow("two command lines at once") << false << true << QString() << QStringList {"txt"};
    QTest::newRow("subtitles instead of documents") << false << false << "VTT, srt" << QStringList {"srt", "vtt"};
}

// The documents go to the data folder's myWordFiles, or to --output-dir; a missing file is named and the
// others are still converted; runs side by side each write their own document.
void TestCommandLine::convert()
{
    QFETCH(bool, oneMissing);
    QFETCH(bool, twoAtOnce);
    QFETCH(QString, formats);
    QFETCH(QStringList, suffixes);
    ProgramCopy program(service.hostAndPort());
    QVERIFY(program.isValid());
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
    QCOMPARE(QDir(program.filePath("myTmpWAVFiles")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// A document the user wrote stays; the new text gets the next number, and the end says so.
void TestCommandLine::usersDocumentKept()
{
    ProgramCopy program(service.hostAndPort());
    QVERIFY(program.isValid());
    const QString task = speak(media.path(), "notes", "The meeting starts at nine in the morning.");
    QVERIFY(!task.isEmpty());
    QVERIFY(QDir().mkpath(program.filePath("myWordFiles")));
    QFile own(program.filePath("myWordFiles/notes.txt"));
    QVERIFY(own.open(QIODevice::WriteOnly) && own.write("my own notes\n") > 0);
    own.close();
    QProcess process;
    program.start(process, {"--convert", "--language", "en", task});
    QVERIFY(process.waitForFinished(300000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), QByteArray("my own notes\n"));
    QVERIFY2(matches(program.filePath("myWordFiles/notes (2).txt"), spoken[task]), qPrintable(err));
    QVERIFY2(err.contains("“notes.txt”已被修改或不是本程序写入的，为免覆盖，新的文本已保存为“notes (2).txt”。\n"),
        qPrintable(err));
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
