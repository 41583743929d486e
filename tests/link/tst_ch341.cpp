// The CH341 adapter: ids by device index, the raw stream packets of writes and reads, the read
// limits, speed modes and the multiplexer reset line.

#include "class_ch341.h"
#include "testMain.h"
#include "tst_bridgeFixture.h"

using namespace bridgeFixture;

class tst_ch341 : public QObject {
    Q_OBJECT

private:
    int bridge = -1;

    // An adapter with the test bridge open, in the given speed mode.
    void openAdapter(class_ch341& a, uint8_t mode = 1)
    {
        a.scan();
        QVERIFY(a.open(6002));
        if (mode != 1)
            QVERIFY(a.setIICSpeed(ch341_iic_speed_te(mode)));
        sim::clearPacketLog(bridge);
    }

private slots:
    void initTestCase() { simCatalogue::install(); }

    void init()
    {
        sim::reset();
        bridge = addBridge(sim::BridgeKind::Ch341);
    }

    // A bridge at index 3 behind a gap is opened at index 3, not at its list position.
    void openBehindAGap()
    {
        sim::reset();
        addBridge(sim::BridgeKind::Ch341, 1001, true, 0);
        const int second = addBridge(sim::BridgeKind::Ch341, 2002, true, 3);
        class_ch341 a;
        QCOMPARE(a.scan(), 2);
        QCOMPARE(a.idList, (QVector<uint16_t>{1001, 2002}));
        QVERIFY(a.open(2002));
        QCOMPARE(a.devIndex, uint8_t(3));
        QVERIFY(sim::isDeviceOpen(second));
    }

    void writePackets_data()
    {
        QTest::addColumn<int>("len");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("packets");
        const QString h = "AA 74 81 C2 4F 4F";  // address 0x61, mode 1
        QTest::newRow("5 bytes") << 5 << 1 << QStringList{h + "85 {0-4} 75 00"};
        QTest::newRow("19 bytes") << 19 << 1 << QStringList{h + "93 {0-18} 75 00"};
        QTest::newRow("20 bytes") << 20 << 1 << QStringList{h + "94 {0-19} 00", "AA 75 00"};
        QTest::newRow("40 bytes") << 40 << 1 << QStringList{h + "94 {0-19} 00", "AA 94 {20-39} 00", "AA 75 00"};
        QTest::newRow("41 bytes") << 41 << 1
                                  << QStringList{h + "94 {0-19} 00", "AA 94 {20-39} 00", "AA 81 {40-40} 75 00"};
        QTest::newRow("mode 0") << 5 << 0 << QStringList{"AA 74 81 C2 85 {0-4} 75 00"};
        QTest::newRow("mode 2") << 5 << 2 << QStringList{"AA 74 81 C2 4F 4F 4F 85 {0-4} 75 00"};
        QTest::newRow("mode 3") << 5 << 3 << QStringList{"AA 74 81 C2 4F 4F 4F 4F 4F 85 {0-4} 75 00"};
        QTest::newRow("mode 3, longest packet")
            << 21 << 3 << QStringList{"AA 74 81 C2 4F 4F 4F 4F 4F 94 {0-19} 00", "AA 81 {20-20} 75 00"};
    }
    void writePackets()
    {
        QFETCH(int, len);
        QFETCH(int, mode);
        QFETCH(QStringList, packets);
        class_ch341 a;
        openAdapter(a, uint8_t(mode));
        QByteArray data = dataBytes(len);
        QCOMPARE(a.write(kSensorAddr, reinterpret_cast<uint8_t*>(data.data()), uint16_t(len)), uint16_t(len));
        const QVector<QByteArray> sent = sim::packetLog(bridge);
        QCOMPARE(sent, expandAll(packets));
        for (const QByteArray& p : sent)
            QVERIFY(p.size() <= 31);
    }

    void readPackets_data()
    {
        QTest::addColumn<int>("len");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("packets");
        const QString h = "AA 74 81 C3 4F 4F";  // read address of 0x61, mode 1
        QTest::newRow("1 byte") << 1 << 1 << QStringList{h + "C0 75 00"};
        QTest::newRow("2 bytes") << 2 << 1 << QStringList{h + "C1 C0 75 00"};
        QTest::newRow("30 bytes") << 30 << 1 << QStringList{h + "DD C0 75 00"};
        QTest::newRow("31 bytes") << 31 << 1 << QStringList{h + "DE 00", "AA C0 75 00"};
        QTest::newRow("60 bytes") << 60 << 1 << QStringList{h + "DE 00", "AA DD C0 75 00"};
        QTest::newRow("61 bytes") << 61 << 1 << QStringList{h + "DE 00", "AA DE 00", "AA C0 75 00"};
        QTest::newRow("mode 0") << 30 << 0 << QStringList{"AA 74 81 C3 DD C0 75 00"};
        QTest::newRow("mode 3") << 31 << 3 << QStringList{"AA 74 81 C3 4F 4F 4F 4F 4F DE 00", "AA C0 75 00"};
    }
    void readPackets()
    {
        QFETCH(int, len);
        QFETCH(int, mode);
        QFETCH(QStringList, packets);
        class_ch341 a;
        openAdapter(a, uint8_t(mode));
        QByteArray buf(len, '\0');
        QCOMPARE(a.read(kSensorAddr, reinterpret_cast<uint8_t*>(buf.data()), uint16_t(len)), uint16_t(len));
        QCOMPARE(sim::packetLog(bridge), expandAll(packets));
        // Nobody answers at 0x61 with the multiplexer's ports closed: the lines read high.
        QCOMPARE(buf, QByteArray(len, char(0xFF)));
    }

    void delayCodesPerMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("perHeader");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("2") << 2 << 3;
        QTest::newRow("3") << 3 << 5;
    }
    void delayCodesPerMode()
    {
        QFETCH(int, mode);
        QFETCH(int, perHeader);
        class_ch341 a;
        openAdapter(a, uint8_t(mode));
        QByteArray data = dataBytes(45);
        QVERIFY(a.write(kSensorAddr, reinterpret_cast<uint8_t*>(data.data()), 45));
        QVERIFY(a.read(kSensorAddr, reinterpret_cast<uint8_t*>(data.data()), 45));
        // One header per transfer, whatever its length.
        QCOMPARE(sim::delayCodeCount(bridge), 2 * perHeader);
    }

    void refusedTransfers()
    {
        class_ch341 a;
        uint8_t buf[8] = {};
        QCOMPARE(a.write(kSensorAddr, buf, 4), uint16_t(0));  // closed
        QCOMPARE(a.read(kSensorAddr, buf, 4), uint16_t(0));
        openAdapter(a);
        QCOMPARE(a.write(kSensorAddr, nullptr, 4), uint16_t(0));
        QCOMPARE(a.write(kSensorAddr, buf, 0), uint16_t(0));
        QCOMPARE(a.read(kSensorAddr, nullptr, 4), uint16_t(0));
        QCOMPARE(a.read(kSensorAddr, buf, 0), uint16_t(0));
        QVERIFY(sim::packetLog(bridge).isEmpty());
    }

    // The chunk count is 8 bits wide: a longer read would wrap, so it is refused outright.
    void readLimit()
    {
        class_ch341 a;
        openAdapter(a);
        QByteArray buf(7681, '\0');
        QTest::ignoreMessage(QtDebugMsg, "ch341 read too long:7681");
        QCOMPARE(a.read(kSensorAddr, reinterpret_cast<uint8_t*>(buf.data()), 7681), uint16_t(0));
        QVERIFY(sim::packetLog(bridge).isEmpty());
        QCOMPARE(a.read(kSensorAddr, reinterpret_cast<uint8_t*>(buf.data()), 7680), uint16_t(7680));
        QCOMPARE(sim::packetLog(bridge).size(), 256);
    }

    // A failed packet ends the transfer: no packet follows it.
    void failingTransferEndsTheTransfer_data()
    {
        QTest::addColumn<bool>("reading");
        QTest::newRow("write") << false;
        QTest::newRow("read") << true;
    }
    void failingTransferEndsTheTransfer()
    {
        QFETCH(bool, reading);
        class_ch341 a;
        openAdapter(a);
        sim::BridgeFaults f;
        f.failTransfers = 1;
        sim::setBridgeFaults(bridge, f);
        QByteArray data = dataBytes(61);
        auto* bytes = reinterpret_cast<uint8_t*>(data.data());
        auto transfer = [&] { return reading ? a.read(kSensorAddr, bytes, 61) : a.write(kSensorAddr, bytes, 61); };
        QCOMPARE(transfer(), uint16_t(0));
        QCOMPARE(sim::packetLog(bridge).size(), 1);
        QCOMPARE(transfer(), uint16_t(61));
    }

    // A read that brings fewer bytes than asked is a failure, not success with stale bytes.
    void shortReadFails()
    {
        class_ch341 a;
        openAdapter(a);
        sim::BridgeFaults f;
        f.shortRead = true;
        sim::setBridgeFaults(bridge, f);
        uint8_t buf[5] = {};
        QCOMPARE(a.read(kSensorAddr, buf, 5), uint16_t(0));
    }

    void speedModes_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("applied");
        QTest::newRow("closed") << false << 2 << false;
        QTest::newRow("mode 0") << true << 0 << true;
        QTest::newRow("mode 3") << true << 3 << true;
        QTest::newRow("mode 4") << true << 4 << false;
    }
    void speedModes()
    {
        QFETCH(bool, open);
        QFETCH(int, mode);
        QFETCH(bool, applied);
        class_ch341 a;
        if (open)
            openAdapter(a);
        QCOMPARE(a.setIICSpeed(ch341_iic_speed_te(mode)) != 0, applied);
        QCOMPARE(int(a.speedMode), applied ? mode : 1);
        if (applied)
            QCOMPARE(sim::streamMode(bridge), uint32_t(mode));
    }

    // Output line bit 10 pulsed low then high resets the multiplexer.
    void resetPulseReachesTheMultiplexer()
    {
        class_ch341 a;
        QCOMPARE(a.getInt(), uint8_t(0xFF));  // closed
        a.setInt(0);
        QCOMPARE(sim::pcaResetCount(bridge), 0);
        openAdapter(a);
        uint8_t mask = 0x24;
        QCOMPARE(a.write(0x70, &mask, 1), uint16_t(1));
        QCOMPARE(sim::pcaControl(bridge), 0x24);
        QCOMPARE(a.getInt(), uint8_t(1));
        a.setInt(0);
        QVERIFY(sim::pcaResetLineLow(bridge));
        QCOMPARE(a.getInt(), uint8_t(0));
        QCOMPARE(sim::pcaControl(bridge), 0);
        a.setInt(1);
        QVERIFY(!sim::pcaResetLineLow(bridge));
        QCOMPARE(a.getInt(), uint8_t(1));
        QCOMPARE(sim::pcaResetCount(bridge), 1);
        uint8_t back = 0xAA;
        QCOMPARE(a.read(0x70, &back, 1), uint16_t(1));
        QCOMPARE(back, uint8_t(0));
    }
};

TACTILE_TEST_MAIN(tst_ch341)
#include "tst_ch341.moc"
