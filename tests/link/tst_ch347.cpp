// The CH347 adapter: a scan beside the held link, transfers and their refusals, GPIO
// masks with the multiplexer reset on pin 0, and wdr.

#include "class_ch347.h"
#include "class_sensorCmd.h"
#include "testMain.h"
#include "tst_bridgeFixture.h"

using namespace bridgeFixture;

class tst_ch347 : public QObject {
    Q_OBJECT

private:
    int bridge = -1;

    void openAdapter(class_ch347& a)
    {
        a.scan();
        QVERIFY(a.open(7));
        sim::clearPacketLog(bridge);
    }

    // Opens the multiplexer's port of the test sensor.
    void selectSensorPort(class_ch347& a)
    {
        uint8_t mask = kPortMask;
        QCOMPARE(a.write(0x70, &mask, 1), uint16_t(1));
    }

private slots:
    void initTestCase() { simCatalogue::install(); }

    void init()
    {
        sim::reset();
        bridge = addBridge(sim::BridgeKind::Ch347, 7);
    }

    void unopenableIndexIsSkipped()
    {
        sim::reset();
        const int broken = addBridge(sim::BridgeKind::Ch347, 5, true, 0);
        sim::BridgeFaults f;
        f.failOpen = true;
        sim::setBridgeFaults(broken, f);
        const int good = addBridge(sim::BridgeKind::Ch347, 9, true, 2);
        class_ch347 a;
        QCOMPARE(a.scan(), 1);
        QCOMPARE(a.idList, QVector<uint16_t>{9});
        QVERIFY(a.open(9));
        QCOMPARE(a.devIndex, uint8_t(2));
        QVERIFY(sim::isDeviceOpen(good));
    }

    // The scan opens and closes every other index, but leaves the link it holds alone.
    void scanKeepsTheHeldLink()
    {
        const int sensor = addSteadySensor(bridge);
        QVERIFY(sensor >= 0);
        addBridge(sim::BridgeKind::Ch347, 8);
        class_ch347 a;
        openAdapter(a);
        QCOMPARE(a.scan(), 2);
        QCOMPARE(a.idList, (QVector<uint16_t>{7, 8}));
        QVERIFY(a.isOpen());
        QVERIFY(sim::isDeviceOpen(bridge));
        selectSensorPort(a);
        uint8_t head[4] = {};
        QCOMPARE(a.read(kSensorAddr, head, 4), uint16_t(4));
        QCOMPARE(head[0], uint8_t(0x55));
    }

    void readFailureFillsTheBuffer()
    {
        class_ch347 a;
        openAdapter(a);
        QByteArray buf(12, '\0');
        QCOMPARE(a.read(0x33, reinterpret_cast<uint8_t*>(buf.data()), 12), uint16_t(0));
        QCOMPARE(buf, QByteArray(12, char(0xFF)));
    }

    void refusedTransfers()
    {
        class_ch347 a;
        QByteArray big(4096, '\x11');
        auto* data = reinterpret_cast<uint8_t*>(big.data());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^ch347 write err,0, 5,"));
        QCOMPARE(a.write(kSensorAddr, data, 5), uint16_t(0));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^ch347 read err:.*, 5$"));
        QCOMPARE(a.read(kSensorAddr, data, 5), uint16_t(0));
        openAdapter(a);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^ch347 write err,1, 4096,"));
        QCOMPARE(a.write(kSensorAddr, data, 4096), uint16_t(0));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^ch347 write err,1, 0,"));
        QCOMPARE(a.write(kSensorAddr, data, 0), uint16_t(0));
        QVERIFY(sim::packetLog(bridge).isEmpty());
        // Nobody acknowledges 0x33: the library reports the failure.
        QTest::ignoreMessage(QtDebugMsg, "ch347 write err");
        QCOMPARE(a.write(0x33, data, 5), uint16_t(0));
    }

    void longestWrite()
    {
        addSteadySensor(bridge);
        class_ch347 a;
        openAdapter(a);
        selectSensorPort(a);
        QByteArray data = dataBytes(4095);
        QCOMPARE(a.write(kSensorAddr, reinterpret_cast<uint8_t*>(data.data()), 4095), uint16_t(4095));
        const QByteArray sent = sim::packetLog(bridge).last();
        QCOMPARE(sent.size(), 4096);
        QCOMPARE(uint8_t(sent[0]), uint8_t(kSensorAddr << 1));
        QCOMPARE(sent.mid(1), data);
    }

    void speedModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("applied");
        QTest::newRow("0") << 0 << true;
        QTest::newRow("6") << 6 << true;
        QTest::newRow("7") << 7 << false;
    }
    void speedModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, applied);
        class_ch347 a;
        QCOMPARE(a.setIICSpeed(ch347_iic_speed_te(mode)), 0);  // closed
        openAdapter(a);
        QCOMPARE(a.setIICSpeed(ch347_iic_speed_te(mode)) != 0, applied);
        QCOMPARE(int(a.speedMode), applied ? mode : 1);
    }

    void stretchAndDriverModeNeedAnOpenBridge()
    {
        class_ch347 a;
        QCOMPARE(a.setIICStretch(1), 0);
        QCOMPARE(a.setIICDriverMode(1), 0);
        openAdapter(a);
        QCOMPARE(a.setIICStretch(3), 1);
        QCOMPARE(a.setIICDriverMode(3), 1);  // only bit 0 reaches the library
    }

    void gpioMasks_data()
    {
        QTest::addColumn<QList<int>>("before");  // one earlier call: pin, enable, direction, value
        QTest::addColumn<QList<int>>("call");
        QTest::addColumn<int>("result");
        QTest::addColumn<QList<int>>("masks");  // enable, direction, data
        QTest::newRow("pin 0 output low") << QList<int>{} << QList<int>{0, 1, 1, 0} << 1 << QList<int>{1, 1, 0};
        QTest::newRow("pin 0 output high") << QList<int>{} << QList<int>{0, 1, 1, 1} << 1 << QList<int>{1, 1, 1};
        QTest::newRow("input keeps data") << QList<int>{3, 1, 1, 1} << QList<int>{3, 1, 0, 0} << 1
                                          << QList<int>{8, 0, 8};
        QTest::newRow("disable clears only enable") << QList<int>{0, 1, 1, 1} << QList<int>{0, 0, 1, 1} << 1
                                                    << QList<int>{0, 1, 1};
        QTest::newRow("pin 8") << QList<int>{0, 1, 1, 1} << QList<int>{8, 1, 1, 1} << 0 << QList<int>{1, 1, 1};
        QTest::newRow("enable 2") << QList<int>{} << QList<int>{0, 2, 1, 1} << 0 << QList<int>{0, 0, 0};
        QTest::newRow("direction 2") << QList<int>{} << QList<int>{0, 1, 2, 1} << 0 << QList<int>{0, 0, 0};
        QTest::newRow("value 2") << QList<int>{} << QList<int>{0, 1, 1, 2} << 0 << QList<int>{0, 0, 0};
    }
    void gpioMasks()
    {
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, call);
        QFETCH(int, result);
        QFETCH(QList<int>, masks);
        class_ch347 a;
        openAdapter(a);
        auto set = [&a](const QList<int>& c) {
            return a.setGPIO(ch347_gpio_te(c[0]), ch347_gpio_en_te(c[1]), ch347_gpio_dir_te(c[2]), uint8_t(c[3]));
        };
        if (!before.isEmpty())
            QCOMPARE(set(before), 1);
        QCOMPARE(set(call), result);
        QCOMPARE((QList<int>{a.gpioEnable, a.gpioDir, a.gpioData}), masks);
    }

    void getGpio()
    {
        class_ch347 a;
        openAdapter(a);
        ch347_gpio_dir_te dir = ch347_gpio_dir_te(0);
        uint8_t value = 9;
        QCOMPARE(a.getGPIO(ch347_gpio_te(0), &dir, &value), 0);  // pin not enabled
        QCOMPARE(a.setGPIO(ch347_gpio_te(0), ch347_gpio_en_te(1), ch347_gpio_dir_te(1), 0), 1);
        QCOMPARE(a.getGPIO(ch347_gpio_te(0), nullptr, &value), 0);
        QCOMPARE(a.getGPIO(ch347_gpio_te(8), &dir, &value), 0);
        QCOMPARE(a.getGPIO(ch347_gpio_te(0), &dir, &value), 1);
        QCOMPARE(int(dir), 1);
        QCOMPARE(value, uint8_t(0));
        QCOMPARE(a.setGPIO(ch347_gpio_te(0), ch347_gpio_en_te(1), ch347_gpio_dir_te(1), 1), 1);
        QCOMPARE(a.getGPIO(ch347_gpio_te(0), &dir, &value), 1);
        QCOMPARE(value, uint8_t(1));
    }

    void resetPulseReachesTheMultiplexer()
    {
        class_ch347 a;
        openAdapter(a);
        selectSensorPort(a);
        QCOMPARE(sim::pcaControl(bridge), int(kPortMask));
        QCOMPARE(a.setGPIO(ch347_gpio_te(0), ch347_gpio_en_te(1), ch347_gpio_dir_te(1), 0), 1);
        QVERIFY(sim::pcaResetLineLow(bridge));
        QCOMPARE(sim::pcaControl(bridge), 0);
        uint8_t back = 0;
        QCOMPARE(a.read(0x70, &back, 1), uint16_t(0));  // held in reset: off the bus
        QCOMPARE(a.setGPIO(ch347_gpio_te(0), ch347_gpio_en_te(1), ch347_gpio_dir_te(1), 1), 1);
        QVERIFY(!sim::pcaResetLineLow(bridge));
        QCOMPARE(sim::pcaResetCount(bridge), 1);
        QCOMPARE(a.read(0x70, &back, 1), uint16_t(1));
        QCOMPARE(back, uint8_t(0));
    }

    void writeDelayRead()
    {
        addSteadySensor(bridge, 20);
        class_ch347 a;
        openAdapter(a);
        selectSensorPort(a);
        QByteArray req = class_sensorCmd::frame(0x03, 0xA6);
        QByteArray rsp(11, '\0');
        QCOMPARE(a.wdr(kSensorAddr, reinterpret_cast<uint8_t*>(req.data()), 11, 5,
                       reinterpret_cast<uint8_t*>(rsp.data()), 11),
                 uint16_t(11));
        QCOMPARE(uint8_t(rsp[3]), uint8_t(0xA6));
        QCOMPARE(uint8_t(rsp[7]), uint8_t(20));
        QVERIFY(validSum(rsp));
        // A write nobody acknowledges ends the exchange before the read.
        QTest::ignoreMessage(QtDebugMsg, "ch347 write err");
        sim::clearPacketLog(bridge);
        QCOMPARE(a.wdr(0x33, reinterpret_cast<uint8_t*>(req.data()), 11, 5,
                       reinterpret_cast<uint8_t*>(rsp.data()), 11),
                 uint16_t(0));
        QCOMPARE(sim::packetLog(bridge).size(), 1);
    }
};

TACTILE_TEST_MAIN(tst_ch347)
#include "tst_ch347.moc"
