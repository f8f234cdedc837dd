#include "common/testmain.h"
#include "common/windowfixture.h"
#include "media/recorder.h"
#include "ui/library/mylistwidget.h"
#include "ui/widget.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// A machine with no capture device at all: no PulseAudio server and an ALSA configuration that
// defines nothing. Set up in main() because both are read once, at the first enumeration.
class TestNoCaptureDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void selectorStaysEmpty();
    void recordAsksForADevice_data();
    void recordAsksForADevice();

private:
    WindowFixture fixture;
    QTemporaryDir &appDir = fixture.appDir;
    QStringList &messages = fixture.notices;
};

void TestNoCaptureDevice::initTestCase()
{
    QVERIFY(appDir.isValid());
}

void TestNoCaptureDevice::selectorStaysEmpty()
{
    Widget window;
    QCOMPARE(window.deviceCombo->count(), 0);
    QVERIFY(window.deviceName.isEmpty());
    QVERIFY(window.deviceRealms.isEmpty());
}

void TestNoCaptureDevice::recordAsksForADevice_data()
{
    QTest::addColumn<int>("clicks");
    QTest::newRow("one click") << 1;
    // The second click must ask again rather than stop a recording that never began.
    QTest::newRow("two clicks") << 2;
}

void TestNoCaptureDevice::recordAsksForADevice()
{
    QFETCH(int, clicks);
    Widget window;
    messages.clear();
    for (int i = 0; i < clicks; ++i)
        window.recordBtn->click();
    QCOMPARE(messages, QStringList(QVector<QString>(clicks, QStringLiteral("没有检测到录音设备！")).toList()));
    QVERIFY(!window.recordBtn->isChecked());
    QCOMPARE(window.recordBtn->toolTip(), QStringLiteral("开始录制"));
    QCOMPARE(window.recorder->recordProcess()->state(), QProcess::NotRunning);
    QVERIFY(!window.recorder->recordTimer()->isActive());
    QVERIFY(window.wavFiles.isEmpty());
    QCOMPARE(window.wavList->count(), 0);
    QVERIFY(window.taskFiles.isEmpty());
    QCOMPARE(window.audioCombo->count(), 0);
    QVERIFY(window.recorder->recordFilePath().isEmpty());
}

// No capture device anywhere: ALSA reads an empty configuration and PulseAudio has no server.
static void hideCaptureDevices()
{
    static QTemporaryDir config;
    const QString emptyConfig = config.path() + QStringLiteral("/asound.conf");
    QFile file(emptyConfig);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(emptyConfig));
    file.close();
    qputenv("ALSA_CONFIG_PATH", emptyConfig.toLocal8Bit());
    qputenv("PULSE_SERVER", (config.path() + QStringLiteral("/no-server")).toLocal8Bit());
}

QUILLORA_TEST_MAIN(TestNoCaptureDevice, {}, hideCaptureDevices)

#include "tst_nocapturedevice.moc"
