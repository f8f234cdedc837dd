#include "conversiontestutil.h"

#include "common/speechtestutil.h"
#include "pipeline/audioprep.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextCodec>

using namespace ConversionTest;

// Spoken English through the whole chain: ffmpeg, our own speech service, a document.
class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void englishMp3BecomesADocument();
    void serviceThatCannotStart();

private:
    SpeechTestUtil::SpeechServiceProcess service;
    QString passage;
};

void TestEndToEnd::initTestCase()
{
    QFile text(QStringLiteral(QUILLORA_SOURCE_DIR "/tests/conversion/fixtures/english-passage.txt"));
    QVERIFY(text.open(QIODevice::ReadOnly));
    passage = QString::fromUtf8(text.readAll()).simplified();
    QVERIFY2(service.start(), qPrintable(service.log()));
}

void TestEndToEnd::englishMp3BecomesADocument()
{
    Fixture f;
    f.widget->accessToken.clear();
    f.widget->serviceHostOverride = service.hostAndPort();
    f.widget->serviceClientIdOverride = SpeechTestUtil::testClientId();
    f.widget->serviceClientSecretOverride = SpeechTestUtil::testClientSecret();
    f.widget->languageBox->setCurrentText(QStringLiteral("英文"));

    const QString wav = SpeechTestUtil::makeEnglishWav(f.media.path(), QStringLiteral("spoken"), passage);
    QVERIFY(!wav.isEmpty());
    const QString mp3 = f.media.filePath(QStringLiteral("spoken passage.mp3"));
    QVERIFY(runFfmpeg({"-i", wav, "-ar", "44100", "-ac", "2", "-b:a", "128k", mp3}));
    QVERIFY(QFile::remove(wav));
    f.addTask(mp3);

    ButtonTexts texts(f.widget.get());
    QElapsedTimer clock;
    clock.start();
    f.widget->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 600000));
    qInfo("conversion of the 153.5 s passage took %.1f s", clock.elapsed() / 1000.0);

    QCOMPARE(f.notices.texts, QStringList {QStringLiteral("文件已经全部转换完成！")});
    QCOMPARE(texts.distinct(),
        (QStringList {"认证中...", "转换中...", "预处理...", "分割:33.3%", "分割:66.7%", "分割:100.0%", "转写:0.0%",
            "转写:33.3%", "转写:66.7%", "转写:100.0%", "开始转换"}));

    QFile document(f.appDir.path() + QStringLiteral("/myWordFiles/spoken passage.txt"));
    QVERIFY(document.open(QIODevice::ReadOnly));
    const QString recognised = QTextCodec::codecForLocale()->toUnicode(document.readAll());
    const QStringList reference = SpeechTestUtil::normalizedWords(passage);
    const QStringList hypothesis = SpeechTestUtil::normalizedWords(recognised);
    const double wer = double(SpeechTestUtil::wordEditDistance(reference, hypothesis)) / reference.size();
    qInfo("word error rate %.1f%% (%lld reference words, %lld recognised)", wer * 100, qint64(reference.size()),
        qint64(hypothesis.size()));
    QVERIFY2(wer <= 0.5, qPrintable(recognised));

    QVERIFY(!QFile::exists(AudioPrep::transcodedPath(mp3)));
    QCOMPARE(QDir(f.tmpFolder()).entryList(QDir::Files), QStringList());
    QVERIFY(f.widget->taskFiles.isEmpty());
}

void TestEndToEnd::serviceThatCannotStart()
{
    // A loopback deployment where nothing answers and no service program lies beside the application.
    Fixture f;
    f.widget->accessToken.clear();
    f.widget->serviceHostOverride = QStringLiteral("127.0.0.1:%1").arg(SpeechTestUtil::freeLoopbackPort());
    f.addTask(f.media.filePath(QStringLiteral("never-read.wav")));
    f.widget->slotBeginCover();
    QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 30000));
    QCOMPARE(f.notices.texts, QStringList {QStringLiteral("无法启动语音识别服务，请检查程序安装是否完整！")});
    QVERIFY(f.widget->accessToken.isEmpty());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
