#include "app/machineid.h"
#include "platform/networkadapters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(QList<NetworkAdapter>)

namespace {
NetworkAdapter adapter(bool ethernet, const QString &description, const QByteArray &hexAddress)
{
    return {ethernet, description, QByteArray::fromHex(hexAddress)};
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}
} // namespace

class TestMachineId : public QObject
{
    Q_OBJECT

private slots:
    void formatting_data()
    {
        QTest::addColumn<QList<NetworkAdapter>>("adapters");
        QTest::addColumn<QString>("expected");

        QTest::newRow("no adapters") << QList<NetworkAdapter> {} << QString();
        QTest::newRow("leading zeros dropped")
            << QList<NetworkAdapter> {adapter(true, "Intel PRO/1000", "001C420A3F05")} << "0-1c-42-a-3f-5";
        QTest::newRow("ff stays two letters")
            << QList<NetworkAdapter> {adapter(true, "eth", "FF0010A0B0C0")} << "ff-0-10-a0-b0-c0";
        QTest::newRow("only virtual ethernet, any case")
            << QList<NetworkAdapter> {adapter(true, "VirtualBox Host-Only", "0A0000000001"),
                   adapter(true, "hyper-v VIRTUAL switch", "0A0000000002"), adapter(false, "Wireless", "0A0000000003")}
            << QString();
        QTest::newRow("non-ethernet skipped") << QList<NetworkAdapter> {adapter(false, "Wireless", "0A0000000003"),
            adapter(true, "Realtek", "0A0000000004")}
                                              << "a-0-0-0-0-4";
        QTest::newRow("first physical of two wins") << QList<NetworkAdapter> {adapter(true, "first", "010203040506"),
            adapter(true, "second", "0A0B0C0D0E0F")} << "1-2-3-4-5-6";
        QTest::newRow("empty address continues the walk") << QList<NetworkAdapter> {adapter(true, "no address", ""),
            adapter(true, "real", "0000000000AB")} << "0-0-0-0-0-ab";
    }

    void formatting()
    {
        QFETCH(QList<NetworkAdapter>, adapters);
        QFETCH(QString, expected);
        QCOMPARE(machineIdFromAdapters(adapters), expected);
    }

    // A made-up sysfs: physical devices link under a PCI path, software ones under devices/virtual.
    void linuxInterfacesFiltered()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QDir dir(root.path());
        struct Fake
        {
            const char *name;
            const char *device;
            int index;
            int type;
            const char *address;
            bool wifi;
        };
        const Fake fakes[] = {
            {"lo", "devices/virtual/net/lo", 1, 772, "00:00:00:00:00:00", false},
            {"docker0", "devices/virtual/net/docker0", 2, 1, "02:42:ac:11:00:01", false},
            {"enp9s0", "devices/pci0000:00/0000:00:1c.0/net/enp9s0", 9, 1, "00:1c:42:0a:3f:05", false},
            {"veth1", "devices/virtual/net/veth1", 5, 1, "de:ad:be:ef:00:01", false},
            {"wlp2s0", "devices/pci0000:00/0000:00:1d.0/net/wlp2s0", 3, 1, "a4:34:d9:01:02:03", true},
            {"enp3s0", "devices/pci0000:00/0000:00:03.0/virtio2/net/enp3s0", 4, 1, "52:54:00:12:34:56", false},
        };
        QVERIFY(dir.mkpath("class/net"));
        for (const Fake &fake : fakes) {
            const QString device = dir.filePath(QString::fromLatin1(fake.device));
            QVERIFY(dir.mkpath(device));
            writeFile(device + "/ifindex", QByteArray::number(fake.index) + "\n");
            writeFile(device + "/type", QByteArray::number(fake.type) + "\n");
            writeFile(device + "/address", QByteArray(fake.address) + "\n");
            if (fake.wifi)
                QVERIFY(dir.mkpath(device + "/wireless"));
            QVERIFY(QFile::link(device, dir.filePath("class/net/" + QString::fromLatin1(fake.name))));
        }

        const QList<NetworkAdapter> adapters = listNetworkAdapters(dir.filePath("class/net"));
        QCOMPARE(adapters.size(), 6);
        // Ordered by interface index: lo(1), docker0(2), wlp2s0(3), enp3s0(4), veth1(5), enp9s0(9).
        QVERIFY(adapters.at(0).description.endsWith("/lo"));
        QVERIFY(adapters.at(5).description.endsWith("/enp9s0"));
        // The Wi-Fi device is physical but not Ethernet, so it never gives the identifier.
        QCOMPARE(machineIdFromAdapters(adapters), QStringLiteral("52-54-0-12-34-56"));
    }
};

QTEST_GUILESS_MAIN(TestMachineId)
#include "tst_machineid.moc"
