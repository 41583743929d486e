// What both bridge adapters do alike: ids from the library's device texts, open and close with
// their signals and log lines, and transfers that reach the simulated sensor byte for byte.

#include "class_sensorCmd.h"
#include "testMain.h"
#include "tst_bridgeFixture.h"

#include <QSignalSpy>

using namespace bridgeFixture;

namespace {

constexpr uint16_t kId = 6002;

sim::BridgeKind kindOf(int k)
{
    return sim::BridgeKind(k);
}

}  // namespace

class tst_bridgeAdapters : public QObject {
    Q_OBJECT

private:
    int bridge = -1;
    int sensor = -1;

    void prepare(int kind)
    {
        sim::reset();
        bridge = addBridge(kindOf(kind), kId);
        sensor = addSteadySensor(bridge, 20);
        QVERIFY(bridge >= 0 && sensor >= 0);
    }

    void openWithSensorPort(AnyAdapter& a)
    {
        a.scan();
        QVERIFY(a.open(kId));
        QCOMPARE(a.write(0x70, QByteArray(1, char(kPortMask))), uint16_t(1));
    }

private slots:
    void initTestCase() { simCatalogue::install(); }

    // CH341: the device name; CH347: the id text at byte 263 of the device record.
    void scanIds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<uint16_t>>("ids");
        const int ch341 = int(sim::BridgeKind::Ch341);
        const int ch347 = int(sim::BridgeKind::Ch347);
        const QString tail = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
        auto row = [](const char* tag, int kind, const QString& text, QVector<uint16_t> ids) {
            QTest::newRow(tag) << kind << text << ids;
        };
        row("CH341 generated", ch341, QString(), {kId});
        row("CH341 6&ABC&0&2", ch341, "\\\\?\\USB#VID_1A86&PID_5512#6&ABC&0&2" + tail, {6002});
        row("CH341 lower case pid", ch341, "\\\\?\\usb#vid_1a86&pid_5512#3&x&0&41" + tail, {3041});
        row("CH341 other product", ch341, "\\\\?\\USB#VID_1A86&PID_5523#6&ABC&0&2" + tail, {});
        row("CH341 no PID_", ch341, "\\\\?\\USB#VID_1A86&5512#6&ABC&0&2" + tail, {});
        row("CH341 PID_ too short", ch341, "\\\\?\\USB#VID_1A86&PID_551", {});
        row("CH341 not decimal", ch341, "\\\\?\\USB#VID_1A86&PID_5512#X&Y&Z&W" + tail, {0});
        row("CH341 too few fields", ch341, "USB#VID_1A86&PID_5512", {0});
        row("CH341 three subfields", ch341, "USB#PID_5512#12&a&b", {12000});
        row("CH341 wraps at 16 bits", ch341, "USB#PID_5512#70&a&b&1", {uint16_t(70001)});
        row("CH347 generated", ch347, QString(), {kId});
        row("CH347 hexadecimal", ch347, "USB\\VID_1A86&PID_55DB&MI_02#7&1A2B&0&0002", {0x1A2B});
        row("CH347 FFFF", ch347, "USB\\VID_1A86&PID_55DB#7&FFFF&0&0000", {0});
        row("CH347 modulo 65535", ch347, "USB#7&2F1A3C&0", {uint16_t(0x2F1A3C % 65535)});
        row("CH347 no number", ch347, "USB#7&xyz&0&0000", {0});
        row("CH347 no '#' field", ch347, "USB\\VID_1A86&PID_55DB", {0});
        row("CH347 no '&' field", ch347, "USB#7", {0});
    }
    void scanIds()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QVector<uint16_t>, ids);
        sim::reset();
        sim::BridgeConfig b;
        b.kind = kindOf(kind);
        b.id = kId;
        b.nameText = text;
        QVERIFY(sim::addBridge(b) >= 0);
        AnyAdapter a(kindOf(kind));
        QCOMPARE(a.scan(), ids.size());
        QCOMPARE(a.idList(), ids);
    }

    void openAndClose_data() { addKindRows(); }
    void openAndClose()
    {
        QFETCH(int, kind);
        prepare(kind);
        AnyAdapter a(kindOf(kind));
        QSignalSpy connected(a.object(), a.connectedSignal());
        QSignalSpy disconnected(a.object(), a.disconnectedSignal());
        QCOMPARE(a.scan(), 1);
        QTest::ignoreMessage(QtDebugMsg, "connect success:6002, idx:0");
        QVERIFY(a.open(kId));
        QCOMPARE(connected.count(), 1);
        QVERIFY(a.isOpen());
        QCOMPARE(a.openId(), kId);
        QCOMPARE(a.devIndex(), uint8_t(0));
        QVERIFY(sim::isDeviceOpen(bridge));

        QVERIFY(a.close());
        QCOMPARE(disconnected.count(), 1);
        QVERIFY(!a.isOpen());
        QCOMPARE(a.devIndex(), uint8_t(0xFF));
        QVERIFY(!sim::isDeviceOpen(bridge));
        QVERIFY(a.close());  // closed already: nothing
        QCOMPARE(disconnected.count(), 1);
    }

    void openRefusals_data() { addKindRows(); }
    void openRefusals()
    {
        QFETCH(int, kind);
        prepare(kind);
        AnyAdapter a(kindOf(kind));
        QSignalSpy connected(a.object(), a.connectedSignal());
        QTest::ignoreMessage(QtDebugMsg, "connect param err:0,-1");
        QVERIFY(!a.open(kId));  // not scanned yet: the id is not listed
        a.scan();
        QTest::ignoreMessage(QtDebugMsg, "connect param err:0,-1");
        QVERIFY(!a.open(1234));
        QVERIFY(a.open(kId));
        QTest::ignoreMessage(QtDebugMsg, "connect param err:1,0");
        QVERIFY(!a.open(kId));
        QCOMPARE(connected.count(), 1);
    }

    void openFailure_data() { addKindRows(); }
    void openFailure()
    {
        QFETCH(int, kind);
        prepare(kind);
        AnyAdapter a(kindOf(kind));
        a.scan();
        sim::BridgeFaults f;
        f.failOpen = true;
        sim::setBridgeFaults(bridge, f);
        QSignalSpy connected(a.object(), a.connectedSignal());
        QTest::ignoreMessage(QtDebugMsg, "connect fail:6002, idx:0");
        QVERIFY(!a.open(kId));
        QVERIFY(!a.isOpen());
        QCOMPARE(a.devIndex(), uint8_t(0xFF));
        QCOMPARE(connected.count(), 0);
    }

    void destructorClosesTheBridge_data() { addKindRows(); }
    void destructorClosesTheBridge()
    {
        QFETCH(int, kind);
        prepare(kind);
        AnyAdapter a(kindOf(kind));
        a.scan();
        QVERIFY(a.open(kId));
        QSignalSpy disconnected(a.object(), a.disconnectedSignal());
        a.reset();
        QCOMPARE(disconnected.count(), 1);
        QVERIFY(!sim::isDeviceOpen(bridge));
    }

    void writesArriveIntact_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("len");
        for (int kind : {int(sim::BridgeKind::Ch341), int(sim::BridgeKind::Ch347)})
            for (int len : {1, 5, 20, 41, 200})
                QTest::addRow("%s, %d bytes", kind == 0 ? "CH341" : "CH347", len) << kind << len;
    }
    void writesArriveIntact()
    {
        QFETCH(int, kind);
        QFETCH(int, len);
        prepare(kind);
        AnyAdapter a(kindOf(kind));
        openWithSensorPort(a);
        const QByteArray data = dataBytes(len);
        QCOMPARE(a.write(kSensorAddr, data), uint16_t(len));
        QCOMPARE(sim::sensorState(sensor).rawWrites.last(), data);
    }

    void readsArriveIntact_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("len");
        for (int kind : {int(sim::BridgeKind::Ch341), int(sim::BridgeKind::Ch347)})
            for (int len : {1, 4, 30, 31, 45, 61, 500})
                QTest::addRow("%s, %d bytes", kind == 0 ? "CH341" : "CH347", len) << kind << len;
    }
    void readsArriveIntact()
    {
        QFETCH(int, kind);
        QFETCH(int, len);
        prepare(kind);
        AnyAdapter a(kindOf(kind));
        openWithSensorPort(a);
        QByteArray buf(len, '\x5C');
        QCOMPARE(a.read(kSensorAddr, &buf), uint16_t(len));
        QCOMPARE(buf, sim::peekSensor(sensor, len));
        QCOMPARE(uint8_t(buf[0]), uint8_t(0x55));
    }

    // A request goes out through the adapter, and its answer comes back through it once.
    void requestAndAnswer_data() { addKindRows(); }
    void requestAndAnswer()
    {
        QFETCH(int, kind);
        prepare(kind);
        AnyAdapter a(kindOf(kind));
        openWithSensorPort(a);
        const QByteArray req = class_sensorCmd::frame(0x03, 0xA4);
        QCOMPARE(a.write(kSensorAddr, req), uint16_t(req.size()));
        QCOMPARE(sim::sensorState(sensor).requests.last(), req);
        sim::advanceTime(5);  // past the answer's latency on the sensor's clock
        QByteArray answer(50, '\0');
        QCOMPARE(a.read(kSensorAddr, &answer), uint16_t(50));
        QCOMPARE(uint8_t(answer[3]), uint8_t(0xA4));
        const int textLen = uint8_t(answer[4]);
        QCOMPARE(answer.mid(5, textLen), QByteArray("VX-000000001"));
        QVERIFY(validSum(answer.left(5 + textLen + 2)));
        QCOMPARE(answer.mid(5 + textLen + 2), QByteArray(50 - 7 - textLen, '\0'));
        QByteArray next(4, '\0');
        QCOMPARE(a.read(kSensorAddr, &next), uint16_t(4));
        QCOMPARE(uint8_t(next[3]), uint8_t(0x85));  // the answer was read once: data again
    }
};

TACTILE_TEST_MAIN(tst_bridgeAdapters)
#include "tst_bridgeAdapters.moc"
