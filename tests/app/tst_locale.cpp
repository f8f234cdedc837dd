#include "app/ui_startup.h"
#include "common/testmain.h"

#include <QApplication>
#include <QtTest>

// Runs under LANG=C / LC_ALL=C (see CMakeLists): Chinese text must survive the local 8-bit encoding.
class TestLocale : public QObject
{
    Q_OBJECT

private slots:
    void chineseRoundTripUnderCLocale()
    {
        QCOMPARE(qgetenv("LC_ALL"), QByteArray("C"));
        prepareApplication();
        const QString text = QStringLiteral("语音识别结果：你好，世界 录音_01.wav");
        const QByteArray local = text.toLocal8Bit();
        QCOMPARE(local, text.toUtf8());
        QCOMPARE(QString::fromLocal8Bit(local), text);
        QVERIFY(!local.contains('?'));
    }
};

QUILLORA_TEST_MAIN(TestLocale)
#include "tst_locale.moc"
