#include "common/testmain.h"
#include "common/windowfixture.h"
#include "platform/capturedevices.h"
#include "pulsefixture.h"
#include "ui/widget.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

class TestCaptureDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pulseSourcesWhileServerAnswers();
    void selectorListsSourcesFirstCurrent();
    void pickingAnEntryChangesDeviceName_data();
    void pickingAnEntryChangesDeviceName();
    void alsaNamesWithoutServer();

private:
    // A source may be called "default" like ALSA's alias; only that exact name is left out of the selector.
    PulseFixture pulse {{QStringLiteral("default"), QStringLiteral("virtmic"), QStringLiteral("Default"),
        QStringLiteral("default_mic")}};
    const QStringList offered {QStringLiteral("virtmic"), QStringLiteral("Default"), QStringLiteral("default_mic")};
    WindowFixture fixture;
    QTemporaryDir &appDir = fixture.appDir;
};

void TestCaptureDevices::initTestCase()
{
    QVERIFY(appDir.isValid());
    QVERIFY2(pulse.start(), qPrintable(pulse.error()));
}

void TestCaptureDevices::pulseSourcesWhileServerAnswers()
{
    QElapsedTimer listing;
    listing.start();
    const QList<CaptureDevices::Device> devices = CaptureDevices::available();
    qInfo("listing the capture devices took %lld ms", listing.elapsed());
    QStringList names;
    for (const CaptureDevices::Device &device : devices) {
        names.append(device.name);
        QCOMPARE(device.realm, CaptureDevices::pulseRealm);
    }
    // Only the microphones: no sink monitors, none of ALSA's plugin names.
    QCOMPARE(names, pulse.microphones());
}

void TestCaptureDevices::selectorListsSourcesFirstCurrent()
{
    Widget window;
    QStringList items;
    for (int i = 0; i < window.deviceCombo->count(); ++i)
        items.append(window.deviceCombo->itemText(i));
    QCOMPARE(items, offered);
    QCOMPARE(window.deviceCombo->currentIndex(), 0);
    QCOMPARE(window.deviceName, QStringLiteral("virtmic"));
    QCOMPARE(window.deviceRealms, QStringList(QVector<QString>(offered.size(), CaptureDevices::pulseRealm).toList()));
}

void TestCaptureDevices::pickingAnEntryChangesDeviceName_data()
{
    QTest::addColumn<QList<int>>("picks");
    QTest::addColumn<QString>("deviceName");
    QTest::newRow("second entry") << QList<int> {1} << "Default";
    QTest::newRow("last entry") << QList<int> {2} << "default_mic";
    QTest::newRow("second, then first again") << QList<int> {1, 0} << "virtmic";
    QTest::newRow("same entry again") << QList<int> {0} << "virtmic";
}

void TestCaptureDevices::pickingAnEntryChangesDeviceName()
{
    QFETCH(QList<int>, picks);
    QFETCH(QString, deviceName);
    Widget window;
    for (int index : picks)
        window.deviceCombo->setCurrentIndex(index);
    QCOMPARE(window.deviceName, deviceName);
}

void TestCaptureDevices::alsaNamesWithoutServer()
{
    pulse.stop();
    // Not the machine's own server either, should one run.
    qputenv("PULSE_SERVER", (QStringLiteral("unix:") + appDir.path() + QStringLiteral("/no-server")).toLocal8Bit());
    const QList<CaptureDevices::Device> devices = CaptureDevices::available();
    // ALSA's own configuration (with the plugins scripts/deps.sh installs) always names some PCMs.
    QVERIFY(!devices.isEmpty());
    for (const CaptureDevices::Device &device : devices) {
        QCOMPARE(device.realm, CaptureDevices::alsaRealm);
        QVERIFY2(!offered.contains(device.name), qPrintable(device.name));
    }
}

QUILLORA_TEST_MAIN(TestCaptureDevices)
#include "tst_capturedevices.moc"
