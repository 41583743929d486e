// Our bridge libraries at their call boundary: the CH341 stream packet rules, device names, pins
// and the CH347 transfer, device record and GPIO; plug routines on their own thread.

#include "ch341dll.h"
#include "ch347dll.h"
#include "simBus.h"
#include "simCatalogue.h"
#include "testMain.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

constexpr uint8_t kAddr = 0x61;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

bool writeData(const QByteArray& packet)
{
    uint32_t length = uint32_t(packet.size());
    return CH341WriteData(0, packet.constData(), &length) && length == uint32_t(packet.size());
}

// Input bytes of one packet; a null array when the call fails.
QByteArray writeRead(const QByteArray& packet, uint32_t readStep = 63)
{
    uint8_t buf[256] = {};
    uint32_t got = 0;
    if (!CH341WriteRead(0, uint32_t(packet.size()), packet.constData(), readStep, 1, &got, buf))
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(buf), int(got));
}

// Plug routine calls as the tests see them.
std::atomic<int> routineCalls{0};
std::atomic<unsigned long> lastEvent{99};
std::atomic<bool> calledOnMainThread{false};
std::thread::id mainThread;

void recordingRoutine(unsigned long event)
{
    lastEvent = event;
    calledOnMainThread = std::this_thread::get_id() == mainThread;
    ++routineCalls;
}

}  // namespace

class tst_simLibrary : public QObject {
    Q_OBJECT

private:
    int ch341 = -1;
    int sensor = -1;

private slots:
    void initTestCase()
    {
        simCatalogue::install();
        mainThread = std::this_thread::get_id();
    }

    void init()
    {
        sim::reset();
        sim::BridgeConfig b;
        ch341 = sim::addBridge(b);
        sim::SensorConfig s;
        s.addr = kAddr;
        s.port = 4;
        s.framePeriodMs = 60000;
        sensor = sim::addSensor(ch341, s);
        QVERIFY(CH341OpenDevice(0) != kCh341InvalidHandle);
        QVERIFY(writeData(hex("AA7481E0811075 00")));  // multiplexer: port 4
    }

    void cleanup()
    {
        CH341SetDeviceNotify(0, nullptr, nullptr);
        CH347SetDeviceNotify(0, nullptr, nullptr);
    }

    void deviceNames()
    {
        const char* name = CH341GetDeviceName(0);
        QVERIFY(name);
        QVERIFY(QByteArray(name).contains("PID_5512#6&"));
        QVERIFY(!CH341GetDeviceName(1));
        QVERIFY(!CH341GetDeviceName(16));
        QVERIFY(sim::unplug(ch341));
        sim::waitForNotifications();
        QVERIFY(!CH341GetDeviceName(0));
        QVERIFY(!writeData(hex("AA7500")));  // the handle went with the device
    }

    void aTransactionSpansPackets()
    {
        QVERIFY(writeData(hex("AA7481C200")));              // start, address
        QVERIFY(writeData(hex("AA83AA550300")));            // three bytes
        QVERIFY(writeData(hex("AA847F00000000")));          // four more
        QVERIFY(writeData(hex("AA8300000400")));
        QVERIFY(writeData(hex("AA7500")));                  // stop: the request is complete
        const QByteArray req = sim::sensorState(sensor).rawWrites.last();
        QCOMPARE(req.size(), 10);
        QCOMPARE(req.left(4), hex("AA55037F"));
    }

    void inputReturnsOnlyThisPacketsBytes()
    {
        QCOMPARE(writeRead(hex("AA7481C3C100")), hex("55"));
        QCOMPARE(writeRead(hex("AAC0 7500")).size(), 1);
        QCOMPARE(writeRead(hex("AA7481C3 4F 4F 4F 7500")), QByteArray());  // no input commands: none
        QCOMPARE(sim::delayCodeCount(ch341), 3);
    }

    void nobodyAnswersReadsHigh()
    {
        QCOMPARE(writeRead(hex("AA748167C2C07500")), hex("FFFFFF"));  // 0x33
    }

    void badPackets_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::newRow("not a stream") << hex("AB7481C27500");
        QTest::newRow("unknown command") << hex("AA7401C27500");
        QTest::newRow("output past the end") << hex("AA7485C2");
        QTest::newRow("longer than 32 bytes") << QByteArray(33, '\xAA');
    }
    void badPackets()
    {
        QFETCH(QByteArray, packet);
        QVERIFY(!writeData(packet));
        QVERIFY(writeRead(packet).isNull());
    }

    void inputBeyondTheReadBufferFails()
    {
        QVERIFY(writeRead(hex("AA7481C3DE DE C07500"), 32).isNull());
        QCOMPARE(writeRead(hex("AA7481C3DE C07500"), 63).size(), 31);
    }

    void failingTransfers()
    {
        sim::BridgeFaults f;
        f.failTransfers = 2;
        sim::setBridgeFaults(ch341, f);
        QVERIFY(!writeData(hex("AA7500")));
        QVERIFY(writeRead(hex("AAC07500")).isNull());
        QVERIFY(writeData(hex("AA7500")));
    }

    void outputPins()
    {
        uint32_t status = 0;
        QVERIFY(CH341GetInput(0, &status));
        QCOMPARE(status, 0xFFFFFFu);  // released pins read high
        QVERIFY(CH341SetOutput(0, 3, 0xFF00, status & ~(1u << 10)));
        QVERIFY(CH341GetInput(0, &status));
        QCOMPARE(status & (1u << 10), 0u);
        QVERIFY(sim::pcaResetLineLow(ch341));
        QVERIFY(CH341SetOutput(0, 1, 0, 0xFFFFFF));  // data only: bit 10 high again
        QVERIFY(!sim::pcaResetLineLow(ch341));
        QVERIFY(CH341SetOutput(0, 2, 0, 0));         // direction only: released, reads high
        QVERIFY(CH341GetInput(0, &status));
        QCOMPARE(status, 0xFFFFFFu);
    }

    void streamModeIsKept()
    {
        QVERIFY(CH341SetStream(0, 3));
        QCOMPARE(sim::streamMode(ch341), 3u);
        CH341CloseDevice(0);
        QVERIFY(!CH341SetStream(0, 2));
    }

    void ch347TransferWithRepeatedStart()
    {
        sim::reset();
        sim::BridgeConfig b;
        b.kind = sim::BridgeKind::Ch347;
        b.id = 0x1234;
        const int bridge = sim::addBridge(b);
        QVERIFY(CH347OpenDevice(0) != kCh347InvalidHandle);
        const uint8_t select[] = {0xE0, 0x08};
        QVERIFY(CH347StreamI2C(0, 2, select, 0, nullptr));
        sim::SensorConfig s;
        s.port = 3;
        s.addr = 0x22;
        QVERIFY(sim::addSensor(bridge, s) >= 0);
        // Write, then read back through a repeated start in one transfer.
        const uint8_t pca[] = {0xE0};
        uint8_t back = 0;
        QVERIFY(CH347StreamI2C(0, 1, pca, 0, nullptr));
        const uint8_t readPca[] = {0xE1};
        QVERIFY(CH347StreamI2C(0, 1, readPca, 1, &back));
        QCOMPARE(back, uint8_t(0x08));
        const uint8_t sensorWrite[] = {0x44};
        uint8_t head[2] = {};
        QVERIFY(CH347StreamI2C(0, 1, sensorWrite, 2, head));
        QCOMPARE(head[0], uint8_t(0x55));
        const uint8_t nobody[] = {0x67};
        QVERIFY(!CH347StreamI2C(0, 1, nobody, 2, head));
        QVERIFY(!CH347StreamI2C(0, 0, nobody, 2, head));

        CH347DeviceInfo info{};
        QVERIFY(CH347GetDeviceInfor(0, &info));
        const char* record = reinterpret_cast<const char*>(&info);
        QCOMPARE(QByteArray(record + kCh347DeviceIdOffset).split('#').value(1).split('&').value(1),
                 QByteArray("1234"));
        QVERIFY(!CH347GetDeviceInfor(1, &info));

        uint8_t dir = 0, data = 0;
        QVERIFY(CH347GPIO_Set(0, 0x03, 0x01, 0x00));  // pin 0 output low, pin 1 input
        QVERIFY(CH347GPIO_Get(0, &dir, &data));
        QCOMPARE(dir, uint8_t(0x01));
        QCOMPARE(data, uint8_t(0xFE));
        QVERIFY(sim::pcaResetLineLow(bridge));
        QVERIFY(!CH347I2C_Set(0, 7));
        QVERIFY(CH347I2C_Set(0, 6));
        QVERIFY(CH347CloseDevice(0));
        QVERIFY(!CH347StreamI2C(0, 1, pca, 0, nullptr));
    }

    void routinesRunOnTheirOwnThread_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("CH341") << int(sim::BridgeKind::Ch341);
        QTest::newRow("CH347") << int(sim::BridgeKind::Ch347);
    }
    void routinesRunOnTheirOwnThread()
    {
        QFETCH(int, kind);
        const auto k = sim::BridgeKind(kind);
        sim::reset();
        sim::BridgeConfig b;
        b.kind = k;
        const int bridge = sim::addBridge(b);
        QVERIFY(k == sim::BridgeKind::Ch341 ? CH341SetDeviceNotify(0, nullptr, &recordingRoutine)
                                           : CH347SetDeviceNotify(0, nullptr, &recordingRoutine));
        QVERIFY(!CH341SetDeviceNotify(1, nullptr, &recordingRoutine));
        QVERIFY(!CH347SetDeviceNotify(0, "USB#x", &recordingRoutine));
        routineCalls = 0;
        QVERIFY(sim::unplug(bridge));
        QVERIFY(!sim::unplug(bridge));
        sim::waitForNotifications();
        QCOMPARE(routineCalls.load(), 1);
        QCOMPARE(lastEvent.load(), sim::kEventRemoved);
        QVERIFY(!calledOnMainThread);
        QVERIFY(sim::plug(bridge, 2));
        QVERIFY(!sim::plug(bridge, 3));
        sim::waitForNotifications();
        QCOMPARE(lastEvent.load(), sim::kEventArrived);
        QCOMPARE(sim::deviceIndex(bridge), 2);
        QVERIFY(sim::move(bridge, 4));
        sim::waitForNotifications();
        QCOMPARE(routineCalls.load(), 3);
        QCOMPARE(sim::deviceIndex(bridge), 4);
    }

    void deviceIndexRules()
    {
        sim::reset();
        sim::BridgeConfig b;
        b.index = 2;
        const int first = sim::addBridge(b);
        QVERIFY(first >= 0);
        QCOMPARE(sim::addBridge(b), -1);  // index taken
        b.index = 16;
        QCOMPARE(sim::addBridge(b), -1);  // a CH341 has indices 0..15
        b.index = -1;
        const int second = sim::addBridge(b);
        QCOMPARE(sim::deviceIndex(second), 0);
        QVERIFY(!sim::move(second, 2));
        b.kind = sim::BridgeKind::Ch347;
        b.index = 2;
        QVERIFY(sim::addBridge(b) >= 0);  // the kinds count apart
    }
};

TACTILE_TEST_MAIN(tst_simLibrary)
#include "tst_simLibrary.moc"
