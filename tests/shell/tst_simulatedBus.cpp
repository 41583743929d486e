// The bus the environment describes: the demo set, the item syntax, and what is skipped.

#include "ch341dll.h"
#include "ch347dll.h"
#include "simBus.h"
#include "simulatedBus.h"
#include "testMain.h"

namespace {

// Ids of the plugged bridges of a kind, read through the library as the adapters do.
int pluggedCh341()
{
    int n = 0;
    for (uint32_t i = 0; i < uint32_t(sim::kCh341Slots); ++i)
        n += CH341GetDeviceName(i) ? 1 : 0;
    return n;
}

int pluggedCh347()
{
    int n = 0;
    for (uint32_t i = 0; i < uint32_t(sim::kCh347Slots); ++i) {
        n += CH347OpenDevice(i) != kCh347InvalidHandle ? 1 : 0;
        CH347CloseDevice(i);
    }
    return n;
}

}  // namespace

class tst_simulatedBus : public QObject {
    Q_OBJECT

private slots:
    void init() { sim::reset(); }

    void noVariableNoBridge()
    {
        qunsetenv("TACTILE_SIM_BUS");
        installSimulatedBusFromEnvironment();
        QCOMPARE(pluggedCh341(), 0);
        QCOMPARE(pluggedCh347(), 0);
    }

    void demo()
    {
        qputenv("TACTILE_SIM_BUS", "demo");
        installSimulatedBusFromEnvironment();
        QCOMPARE(pluggedCh341(), 1);
        QCOMPARE(pluggedCh347(), 1);
        QCOMPARE(installSimulatedBus("demo"), 9);  // every demo type has a catalogue record
    }

    void items_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("sensors");
        QTest::addColumn<int>("ch341");
        QTest::addColumn<int>("ch347");
        QTest::addColumn<int>("skipped");
        QTest::newRow("one of each")
            << "ch341 id=6002; sensor type=20 addr=0x61 port=4; ch347 id=7 nopca; sensor type=17 addr=0x62"
            << 2 << 1 << 1 << 0;
        QTest::newRow("every key")
            << "ch341; sensor type=43 addr=97 port=6 id=0x05 sn=VX-1 period=20 fw=2.0.1" << 1 << 1 << 0 << 0;
        QTest::newRow("sensor before any bridge") << "sensor type=20; ch341" << 0 << 1 << 0 << 1;
        QTest::newRow("unknown type") << "ch341; sensor type=102" << 0 << 1 << 0 << 1;
        QTest::newRow("no type") << "ch341; sensor addr=0x61" << 0 << 1 << 0 << 1;
        QTest::newRow("bad number") << "ch341; sensor type=20 addr=0x80" << 0 << 1 << 0 << 1;
        QTest::newRow("unknown key") << "ch341; sensor type=20 colour=red" << 0 << 1 << 0 << 1;
        QTest::newRow("bad bridge drops its sensors") << "ch341 fast; sensor type=20" << 0 << 0 << 0 << 2;
        QTest::newRow("unknown item") << "usb3; ch347" << 0 << 0 << 1 << 1;
    }
    void items()
    {
        QFETCH(QString, description);
        QFETCH(int, sensors);
        QFETCH(int, ch341);
        QFETCH(int, ch347);
        QFETCH(int, skipped);
        qunsetenv("TACTILE_SIM_BUS");
        installSimulatedBusFromEnvironment();  // the model source only
        for (int i = 0; i < skipped; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TACTILE_SIM_BUS item skipped"));
        QCOMPARE(installSimulatedBus(description), sensors);
        QCOMPARE(pluggedCh341(), ch341);
        QCOMPARE(pluggedCh347(), ch347);
    }

    // "boot" gives the sensor a boot loader: the reset request is answered by 'C', not a frame.
    void bootOption_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("firstByte");
        QTest::newRow("boot") << "boot" << 0x43;
        QTest::newRow("no boot") << "" << 0x55;
    }
    void bootOption()
    {
        QFETCH(QString, words);
        QFETCH(int, firstByte);
        qunsetenv("TACTILE_SIM_BUS");
        installSimulatedBusFromEnvironment();
        QCOMPARE(installSimulatedBus("ch347 id=7 nopca; sensor type=20 addr=0x61 " + words), 1);
        QVERIFY(CH347OpenDevice(0) != kCh347InvalidHandle);
        const QByteArray reset = QByteArray::fromHex("c2aa5500a10000000000a001");  // to 0x61
        QVERIFY(CH347StreamI2C(0, uint32_t(reset.size()), reset.constData(), 0, nullptr));
        const uint8_t readAddress = 0xC3;
        uint8_t byte = 0;
        QVERIFY(CH347StreamI2C(0, 1, &readAddress, 1, &byte));
        QCOMPARE(int(byte), firstByte);
        CH347CloseDevice(0);
    }
};

TACTILE_TEST_MAIN(tst_simulatedBus)
#include "tst_simulatedBus.moc"
