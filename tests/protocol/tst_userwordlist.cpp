// The user's word list: its file's rules, how it is read and written, the words a correction brings,
// and how the list travels in a recognition request and comes back named in a reply.
#include "pipeline/speechprotocol.h"
#include "pipeline/userwordlist.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

class TestUserWordList : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void read_data();
    void read();
    void writeReplacesWholeOrNothing();
    void typedWords_data();
    void typedWords();
    void inRequestAndReply();
};

void TestUserWordList::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries"); // "text|phones"
    QTest::addColumn<QStringList>("problems"); // "line:kind"

    QTest::newRow("words, a phrase, a pronunciation, comments")
        << "# mine\n\nKelvara\n  Orkney   Vale \nQuillora = k w ih1 l ao1 r ah0\n"
        << QStringList {"Kelvara|", "Orkney Vale|", "Quillora|K W IH L AO R AH"} << QStringList();
    QTest::newRow("a repeat once") << "Kelvara\nKelvara\n" << QStringList {"Kelvara|"} << QStringList();
    QTest::newRow("a line of punctuation") << "Kelvara\n...!?\n" << QStringList {"Kelvara|"} << QStringList {"2:0"};
    QTest::newRow("digits only") << "2026\n" << QStringList() << QStringList {"1:0"};
    QTest::newRow("65 characters") << QString(65, QLatin1Char('k')) << QStringList() << QStringList {"1:1"};
    QTest::newRow("64 Chinese characters kept")
        << QString(64, QChar(0x4E2D)) << QStringList {QString(64, QChar(0x4E2D)) + "|"} << QStringList();
    QTest::newRow("a phone the model lacks") << "Kelvara = K EH L V AX R\n" << QStringList() << QStringList {"1:2"};
    QTest::newRow("empty pronunciation is none") << "Kelvara =\n" << QStringList {"Kelvara|"} << QStringList();
    QTest::newRow("CR LF lines") << "Kelvara\r\nZorblat\r\n" << QStringList {"Kelvara|", "Zorblat|"} << QStringList();
    QString many;
    for (int i = 0; i < 1001; ++i)
        many += QStringLiteral("word%1\n").arg(i);
    QTest::newRow("the 1001st entry") << many << QStringList() << QStringList {"1001:3"};
}

void TestUserWordList::parse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, problems);
    const UserWordList::Parsed parsed = UserWordList::parse(text);
    QStringList gotProblems;
    for (const UserWordList::Problem &problem : parsed.problems) {
        gotProblems << QStringLiteral("%1:%2").arg(problem.line).arg(int(problem.kind));
        QVERIFY(UserWordList::describe(problem).contains(QString::number(problem.line)));
    }
    QCOMPARE(gotProblems, problems);
    if (QByteArray(QTest::currentDataTag()) == "the 1001st entry") {
        QCOMPARE(parsed.entries.size(), 1000);
        return;
    }
    QStringList got;
    for (const UserWordEntry &entry : parsed.entries)
        got << entry.text + QLatin1Char('|') + entry.phones;
    QCOMPARE(got, entries);
    // What is written reads back the same.
    QCOMPARE(UserWordList::parse(UserWordList::format(parsed.entries)).entries, parsed.entries);
}

void TestUserWordList::read_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "-": no file; "dir": a folder in its place
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("entries");

    QTest::newRow("no file: an empty list") << QByteArray("-") << int(UserWordList::ReadResult::Missing) << 0;
    QTest::newRow("two entries") << QByteArray("Kelvara\nZorblat\n") << int(UserWordList::ReadResult::Ok) << 2;
    QTest::newRow("huge") << QByteArray(int(UserWordList::maxFileBytes) + 1, 'a')
                          << int(UserWordList::ReadResult::TooLarge) << 0;
    QTest::newRow("not UTF-8") << QByteArray("Kelv\xff\xfe"
                                             "ara\n")
                               << int(UserWordList::ReadResult::NotUtf8) << 0;
    QTest::newRow("binary") << QByteArray("Kelvara\0\0\n", 10) << int(UserWordList::ReadResult::NotUtf8) << 0;
    QTest::newRow("a folder in its place") << QByteArray("dir") << int(UserWordList::ReadResult::Unreadable) << 0;
}

void TestUserWordList::read()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(int, entries);
    QTemporaryDir dir;
    const QString path = UserWordList::storedPath(dir.path());
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    if (bytes == "dir") {
        QVERIFY(QDir().mkpath(path));
    } else if (bytes != "-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const UserWordList::ReadResult result = UserWordList::read(path);
    QCOMPARE(int(result.status), status);
    QCOMPARE(result.parsed.entries.size(), entries);
    const bool failed = status != UserWordList::ReadResult::Ok && status != UserWordList::ReadResult::Missing;
    QCOMPARE(UserWordList::describe(result, path).contains(path), failed);
}

void TestUserWordList::writeReplacesWholeOrNothing()
{
    QTemporaryDir dir;
    const QString path = UserWordList::storedPath(dir.path() + QStringLiteral("/data"));
    QString error;
    QVERIFY(UserWordList::write(path, {{"Kelvara", ""}, {"Quillora", "K W IH L AO R AH"}}, &error)); // folder made
    QCOMPARE(UserWordList::read(path).parsed.entries.size(), 2);
    // The folder made read-only: the write fails and the list stays as it was.
    QVERIFY(QFile::setPermissions(QFileInfo(path).absolutePath(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    if (QFileInfo(QFileInfo(path).absolutePath()).isWritable())
        QSKIP("running as root: permissions do not hold");
    QVERIFY(!UserWordList::write(path, {{"Other", ""}}, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(UserWordList::read(path).parsed.entries,
        (QVector<UserWordEntry> {{"Kelvara", ""}, {"Quillora", "K W IH L AO R AH"}}));
}

void TestUserWordList::typedWords_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("unknown"); // of those, with "window" and "drove" the dictionary, "Zorblat" the list

    QTest::newRow("a replaced word") << "we drove from killer to the coast"
                                     << "We drove from Kelvara to the coast" << QStringList {"Kelvara"}
                                     << QStringList {"Kelvara"};
    QTest::newRow("known and listed words are not offered")
        << "and"
        << "Open the window, Zorblat and Tavrosi." << QStringList {"Open", "the", "window", "Zorblat", "Tavrosi"}
        << QStringList {"Open", "the", "Tavrosi"};
    QTest::newRow("case and repeats aside")
        << "kelvara"
        << "Kelvara KELVARA Brontell brontell" << QStringList {"Brontell"} << QStringList {"Brontell"};
    QTest::newRow("apostrophes and hyphens inside a word")
        << ""
        << "O'Brien visited Jean-Luc" << QStringList {"O'Brien", "visited", "Jean-Luc"}
        << QStringList {"O'Brien", "visited", "Jean-Luc"};
    QTest::newRow("no letters a-z, single letters")
        << "" << QString::fromUtf8("北京 2026 x …") << QStringList() << QStringList();
}

void TestUserWordList::typedWords()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, unknown);
    const QStringList got = UserWordList::typedWords(before, after);
    QCOMPARE(got, typed);
    const QSet<QString> dictionary = UserWordList::dictionaryWords("window W IH N D OW\ndrove D R OW V\ndrove(2) X\n");
    QCOMPARE(dictionary, (QSet<QString> {"window", "drove"}));
    QCOMPARE(UserWordList::unknownWords(got, dictionary, {{"zorblat", ""}}), unknown);
}

void TestUserWordList::inRequestAndReply()
{
    const QByteArray body = SpeechProtocol::buildRecognitionBodyOf(QByteArray("RIFF"), "t", "m", QStringLiteral("英文"),
        {{"Kelvara", ""}, {QString::fromUtf8("Zo\xc3\xab \"Q\""), "Z OW IY"}});
    const QJsonObject request = QJsonDocument::fromJson(body).object();
    QCOMPARE(request.value("speech").toString(), QStringLiteral("UklGRg=="));
    QCOMPARE(request.value("words").toArray(),
        (QJsonArray {"Kelvara", QJsonObject {{"text", QString::fromUtf8("Zo\xc3\xab \"Q\"")}, {"phones", "Z OW IY"}}}));
    QVERIFY(body.endsWith("\n}\n"));
    QVERIFY(!SpeechProtocol::buildRecognitionBodyOf(QByteArray("RIFF"), "t", "m", "英文").contains("words"));

    const SpeechProtocol::RecognitionOutcome outcome = SpeechProtocol::decodeRecognitionReply(
        R"({"err_no":0,"result":["We drove."],"unpronounced_words":["R2D2",7,"2026"]})");
    QCOMPARE(outcome.kind, SpeechProtocol::RecognitionOutcome::Success);
    QCOMPARE(outcome.unpronounced, (QStringList {"R2D2", "2026"}));
}

QTEST_GUILESS_MAIN(TestUserWordList)
#include "tst_userwordlist.moc"
