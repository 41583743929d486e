// The simulated sensor as the bus worker and the panel meet it: data frames that decode by the
// catalogue layout, a rolling sequence byte, well-formed answers to every catalogued command,
// the address move, the settings it keeps, its fault switches, and the multiplexer in front of it.

#include "ch347dll.h"
#include "class_finger.h"
#include "class_sensorCmd.h"
#include "simBus.h"
#include "simCatalogue.h"
#include "testMain.h"
#include "tst_ch347Transfers.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint8_t kAddr = 0x61;
constexpr int kPort = 4;
constexpr uint8_t kPortMask = 1 << kPort;
constexpr uint8_t kSensorId = 0x03;
// A latency no test's own running time reaches: the answer is ready only once advanceTime moves
// the sensor's clock past it, however long a busy machine takes between two reads.
constexpr uint32_t kLongLatencyMs = 600000;

bool sumIsRight(const QByteArray& f)
{
    uint16_t sum = 0;
    for (int i = 0; i < f.size() - 2; ++i)
        sum = uint16_t(sum + uint8_t(f[i]));
    return f.size() >= 2 && uint8_t(f[f.size() - 2]) == (sum & 0xFF) && uint8_t(f[f.size() - 1]) == (sum >> 8);
}

uint32_t u32At(const QByteArray& a, int at)
{
    uint32_t v = 0;
    std::memcpy(&v, a.constData() + at, 4);
    return v;
}

QByteArray request(uint8_t code, std::initializer_list<uint8_t> params = {})
{
    uint8_t p[5] = {};
    int i = 0;
    for (uint8_t b : params)
        p[i++] = b;
    return class_sensorCmd::frame(kSensorId, code, p);
}

// Sends a request and returns the answer read right after its latency.
QByteArray exchange(const QByteArray& req, int len, uint8_t addr = kAddr)
{
    if (!writeAt(addr, req))
        return QByteArray();
    sim::advanceTime(5);
    return readAt(addr, len);
}

int frameLengthOf(uint8_t prg)
{
    return findFingerParam(prg)->packLen;
}

// A decoder that remembers what the frame told it.
struct Decoded : class_finger {
    explicit Decoded(uint8_t prg) : class_finger(prg, nullptr) {}
    QVector<bool> touch;
    QVector<float> forces;
    QVector<uint16_t> directions;
    void setTouchState(uint8_t, bool touched) override { touch << touched; }
    void setPressNList(QVector<float> values, float) override { forces = values; }
    void setYdds(uint8_t, float, float, uint16_t direction) override { directions << direction; }
};

}  // namespace

class tst_simSensor : public QObject {
    Q_OBJECT

private:
    int bridge = -1;

    int addSensor(uint8_t prg, uint8_t addr = kAddr, int port = kPort, uint32_t periodMs = 60000,
                  uint8_t id = kSensorId)
    {
        sim::SensorConfig s;
        s.prg = prg;
        s.addr = addr;
        s.port = port;
        s.id = id;
        s.framePeriodMs = periodMs;
        return sim::addSensor(bridge, s);
    }

    // An empty world with one opened CH347 bridge.
    void freshBridge(bool pca)
    {
        sim::reset();
        sim::BridgeConfig b;
        b.kind = sim::BridgeKind::Ch347;
        b.pca = pca;
        bridge = sim::addBridge(b);
        QVERIFY(CH347OpenDevice(0) != kCh347InvalidHandle);
    }

    void setLatency(int sensor, uint32_t ms)
    {
        sim::SensorFaults f = sim::sensorFaults(sensor);
        f.answerLatencyMs = ms;
        sim::setSensorFaults(sensor, f);
    }

private slots:
    void initTestCase() { simCatalogue::install(); }

    void init()
    {
        TACTILE_STEP(freshBridge(true));
        QVERIFY(writeAt(sim::kPcaAddress, QByteArray(1, char(kPortMask))));
    }

    void unknownTypeHasNoSensor() { QCOMPARE(addSensor(102), -1); }

    void dataFramesDecode_data()
    {
        QTest::addColumn<int>("prg");
        for (int prg : {2, 17, 19, 20, 21, 43, 45, 59})
            QTest::addRow("type %d", prg) << prg;
    }
    void dataFramesDecode()
    {
        QFETCH(int, prg);
        QVERIFY(addSensor(uint8_t(prg), kAddr, kPort, 20) >= 0);
        const int len = frameLengthOf(uint8_t(prg));
        Decoded decoder{uint8_t(prg)};
        const float fullScale = decoder.fingerParam->pressMax;
        int touched = 0, untouched = 0, withDirection = 0;
        QSet<QString> proximity;
        for (int sample = 0; sample < 60; ++sample) {
            const QByteArray frame = readAt(kAddr, len + 3);
            QCOMPARE(frame.size(), len + 3);
            QCOMPARE(frame.right(3), QByteArray(3, '\0'));  // past the frame: zeros
            const QByteArray f = frame.left(len);
            QCOMPARE(uint8_t(f[0]), uint8_t(0x55));
            QCOMPARE(uint8_t(f[1]), uint8_t(0xAA));
            QCOMPARE(uint8_t(f[2]), kSensorId);
            QCOMPARE(uint8_t(f[3]), uint8_t(0x85));
            QCOMPARE(int(uint8_t(f[5])), std::min(len - 10, 255));  // bounds the length search
            QVERIFY(sumIsRight(f));
            decoder.touch.clear();
            decoder.directions.clear();
            QCOMPARE(decoder.parseData(f), 0);
            touched += decoder.touch.value(0) ? 1 : 0;
            untouched += decoder.touch.value(0) ? 0 : 1;
            for (float force : decoder.forces)
                QVERIFY(force >= 0 && force <= fullScale);
            for (uint16_t d : decoder.directions)
                withDirection += d < 360 ? 1 : 0;
            proximity << decoder.sProxList.value(0);
            sim::advanceTime(97);
        }
        // A press-and-release cycle: touched and free frames, arrows, moving proximity.
        QVERIFY(touched > 0);
        QVERIFY(untouched > 0);
        QVERIFY(withDirection > 0);
        QVERIFY(proximity.size() > 10);
    }

    void sequenceRolls()
    {
        QVERIFY(addSensor(20, kAddr, kPort, 60000) >= 0);
        const uint8_t first = uint8_t(readAt(kAddr, 5)[4]);
        sim::advanceTime(60000 * 300);
        const uint8_t later = uint8_t(readAt(kAddr, 5)[4]);
        QCOMPARE(uint8_t(later - first), uint8_t(300 % 256));
        QCOMPARE(uint8_t(readAt(kAddr, 5)[4]), later);  // the same frame until the next period
    }

    void frozenSequence()
    {
        const int s = addSensor(20, kAddr, kPort, 10);
        sim::SensorFaults f;
        f.frozenSeq = true;
        sim::setSensorFaults(s, f);
        const uint8_t seq = uint8_t(readAt(kAddr, 5)[4]);
        sim::advanceTime(1234);
        QCOMPARE(uint8_t(readAt(kAddr, 5)[4]), seq);
    }

    void answersAreWellFormed_data()
    {
        // Type 17: 16 channels, 13 pressure channels, 2 points, 51 calibration points.
        QTest::addColumn<QByteArray>("req");
        QTest::addColumn<int>("len");
        QTest::addColumn<bool>("hasStatus");
        const QMap<int, int> computed = {{0x66, 4 * 51 + 6}, {0x6D, 4 * 51 + 7}, {0x6F, 13 + 2 + 6},
                                         {0x68, 4 * 16 + 6}, {0x5E, 4 * 16 + 6}, {0x4A, 4 * 16 + 6},
                                         {0x51, 16 + 6},     {0x53, 16 + 6},     {0x5A, 6 * 16 + 6},
                                         {0xA0, 25},         {0x62, 11},         {0xA4, 5 + 12 + 2}};
        const QSet<int> settings = {0x40, 0x42, 0x43, 0x45, 0x50, 0x52, 0x59, 0x5B, 0x5D, 0x65,
                                    0x69, 0x6A, 0x6E, 0x75, 0x76, 0x7B, 0x7C, 0x7F, 0xA5};
        for (const sensorCmd_ts& c : cmds) {
            QByteArray req = request(c.code, {0, 20});  // channel 0, a value every setting takes
            if (c.code == 0x59)
                req = class_sensorCmd::filterFrame(kSensorId, 0, 4, 2, 0.5f);
            if (c.code == 0x42)
                req = class_sensorCmd::caliListFrame(kSensorId, 0, QVector<uint32_t>(51));
            if (c.code == 0x70)
                req = request(0x70, {0, 0, 0, kAddr});  // "moves" to where it is
            const int len = computed.value(c.code, c.rspLen ? c.rspLen : 11);
            QTest::addRow("0x%02X", c.code) << req << len << (settings.contains(c.code) && len >= 10);
        }
        QTest::newRow("0xA6") << request(0xA6) << 11 << false;
    }
    void answersAreWellFormed()
    {
        QFETCH(QByteArray, req);
        QFETCH(int, len);
        QFETCH(bool, hasStatus);
        QVERIFY(addSensor(17) >= 0);
        const uint8_t code = uint8_t(req[3]);
        const QByteArray got = exchange(req, len + 4);
        QCOMPARE(got.size(), len + 4);
        QCOMPARE(got.right(4), QByteArray(4, '\0'));
        const QByteArray answer = got.left(len);
        QCOMPARE(uint8_t(answer[0]), uint8_t(0x55));
        QCOMPARE(uint8_t(answer[1]), uint8_t(0xAA));
        QCOMPARE(uint8_t(answer[2]), kSensorId);
        QCOMPARE(uint8_t(answer[3]), uint8_t(code >= 0xA0 ? code : code | 0x80));
        QVERIFY(sumIsRight(answer));
        // The worker finds exactly this length in a zero-padded buffer.
        QCOMPARE(int(class_sensorCmd::answerLength(reinterpret_cast<const uint8_t*>(got.constData()), got.size())),
                 len);
        if (hasStatus)
            QCOMPARE(int(answer[7]), 0);
    }

    void typeAndVersionAnswer()
    {
        QVERIFY(addSensor(43) >= 0);
        const QByteArray a = exchange(request(0xA6), 11);
        QCOMPARE(a.mid(4, 4), QByteArray::fromHex("0103002B"));  // version 1.3.0, type 43
        const QByteArray v = exchange(request(0xA0), 25);
        QCOMPARE(v.mid(4, 11), QByteArray("Mar 18 2024"));
        QCOMPARE(v.mid(15, 8), QByteArray("10:42:07"));
    }

    void answerWaitsForItsLatencyAndIsReadOnce()
    {
        const int s = addSensor(20);
        setLatency(s, kLongLatencyMs);
        QVERIFY(writeAt(kAddr, request(0xA6)));
        QCOMPARE(uint8_t(readAt(kAddr, 11)[3]), uint8_t(0x85));  // not ready: the data frame
        sim::advanceTime(kLongLatencyMs);
        QCOMPARE(uint8_t(readAt(kAddr, 11)[3]), uint8_t(0xA6));
        QCOMPARE(uint8_t(readAt(kAddr, 11)[3]), uint8_t(0x85));
        QCOMPARE(sim::sensorState(s).answersServed, 1);
    }

    void newRequestReplacesAnUnreadAnswer()
    {
        QVERIFY(addSensor(20) >= 0);
        QVERIFY(writeAt(kAddr, request(0xA6)));
        QCOMPARE(uint8_t(exchange(request(0x62), 11)[3]), uint8_t(0xE2));
        QCOMPARE(uint8_t(readAt(kAddr, 11)[3]), uint8_t(0x85));
    }

    void setAddressMovesTheSensor()
    {
        const int s = addSensor(20);
        const QByteArray a = exchange(request(0x70, {0, 0, 0, 0x22}), 11, kAddr);
        QVERIFY(a.isEmpty());  // the answer waits at the new address
        QVERIFY(readAt(kAddr, 4).isEmpty());
        const QByteArray moved = readAt(0x22, 11);
        QCOMPARE(uint8_t(moved[3]), uint8_t(0xF0));
        QCOMPARE(uint8_t(moved[7]), uint8_t(0));  // its status, not the address: only 0xF1 reports that
        QVERIFY(sumIsRight(moved));
        QCOMPARE(uint8_t(readAt(0x22, 4)[3]), uint8_t(0x85));
        QCOMPARE(sim::sensorState(s).addr, uint8_t(0x22));
        // An address the bus cannot use is refused: a bad value, and the sensor stays.
        const QByteArray refused = exchange(request(0x70, {0, 0, 0, 0x70}), 11, 0x22);
        QCOMPARE(uint8_t(refused[7]), uint8_t(2));
        QCOMPARE(sim::sensorState(s).addr, uint8_t(0x22));
    }

    // The address tool's frames: byte 2 is 0x00, not the sensor's id, and still taken.
    void addressQueryReportsInByte7()
    {
        QVERIFY(addSensor(20, kAddr, kPort, 60000, 0x03) >= 0);
        const QByteArray query = class_sensorCmd::frame(0x00, 0x71);
        const QByteArray a = exchange(query, 11);
        QCOMPARE(a.left(4), QByteArray::fromHex("55aa03f1"));
        QCOMPARE(uint8_t(a[7]), kAddr);
        QVERIFY(sumIsRight(a));
    }

    void setAddressAnswerStaysUntilRead()
    {
        const int s = addSensor(20, kAddr, kPort, 60000, 0x03);
        QVERIFY(writeAt(kAddr, class_sensorCmd::frame(0x00, 0x70, {0, 0, 0, 0x22, 0})));
        // The query written before the answer is read goes unanswered...
        QVERIFY(writeAt(0x22, class_sensorCmd::frame(0x00, 0x71)));
        sim::advanceTime(5);
        const QByteArray done = readAt(0x22, 11);
        QCOMPARE(done.left(4), QByteArray::fromHex("55aa03f0"));
        QCOMPARE(uint8_t(done[7]), uint8_t(0));
        // ... and the next one reports the new address.
        const QByteArray report = exchange(class_sensorCmd::frame(0x00, 0x71), 11, 0x22);
        QCOMPARE(uint8_t(report[3]), uint8_t(0xF1));
        QCOMPARE(uint8_t(report[7]), uint8_t(0x22));
        QCOMPARE(sim::sensorState(s).requests.size(), 3);
    }

    void settingsAreKept()
    {
        const int s = addSensor(20);  // 7 channels, 6 pressure channels, 2 points, 26 points each
        QByteArray set = class_sensorCmd::frame(kSensorId, 0x69, {3, 0xDC, 0x05, 0, 0});
        QCOMPARE(int(exchange(set, 11)[7]), 0);
        const QByteArray thresholds = exchange(request(0x68), 4 * 7 + 6);
        QCOMPARE(u32At(thresholds, 4 + 4 * 3), 1500u);
        QCOMPARE(int(exchange(class_sensorCmd::frame(kSensorId, 0x69, {7, 1, 0, 0, 0}), 11)[7]), 1);  // no channel 7
        QCOMPARE(int(exchange(request(0x50, {0, 0}), 11)[7]), 2);  // excitation 0 is out of range
        QCOMPARE(int(exchange(request(0x7F, {0, 0, 0, 4}), 11)[7]), 0);
        QCOMPARE(sim::sensorState(s).sendType, uint8_t(4));
        QCOMPARE(int(exchange(request(0x73, {0, 0, 0, 5}), 6).size()), 6);
        QCOMPARE(sim::sensorState(s).offset, uint8_t(5));

        const QByteArray cali = exchange(request(0x66, {1}), 4 * 26 + 6);
        for (int i = 1; i < 26; ++i)
            QVERIFY(u32At(cali, 4 + 4 * i) > u32At(cali, 4 * i));  // a rising calibration column
        QCOMPARE(exchange(request(0x6F), 8 + 6).mid(4, 8), QByteArray(8, '\0'));
        exchange(class_sensorCmd::caliListFrame(kSensorId, 1, QVector<uint32_t>(26)), 11);
        QCOMPARE(exchange(request(0x6F), 8 + 6).mid(4, 3), QByteArray::fromHex("000100"));
        exchange(request(0x76), 11);  // factory settings
        QCOMPARE(u32At(exchange(request(0x68), 4 * 7 + 6), 4 + 4 * 3), 130u);
    }

    void ignoredWrites_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray badSum = request(0xA6);
        badSum[10] = char(badSum[10] + 1);
        QByteArray badHeader = request(0xA6);
        badHeader[0] = char(0x55);
        class_sensorCmd::closeFrame(reinterpret_cast<uint8_t*>(badHeader.data()), badHeader.size());
        QTest::newRow("wrong sum") << badSum;
        QTest::newRow("wrong header") << badHeader;
        QTest::newRow("not a command") << request(0x49);
        QTest::newRow("too short") << QByteArray::fromHex("AA55");
    }
    void ignoredWrites()
    {
        QFETCH(QByteArray, bytes);
        const int s = addSensor(20);
        QCOMPARE(uint8_t(exchange(bytes, 11)[3]), uint8_t(0x85));
        QCOMPARE(sim::sensorState(s).rawWrites.last(), bytes);
    }

    void takesRequestsNamingIt_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("taken");
        QTest::newRow("its own id byte") << 0x2B << true;
        QTest::newRow("0x03, the worker's own requests") << 0x03 << true;
        QTest::newRow("0x00, any sensor at the address") << 0x00 << true;
        QTest::newRow("another sensor's id byte") << 0x01 << false;
        QTest::newRow("its address") << int(kAddr) << false;
    }
    void takesRequestsNamingIt()
    {
        QFETCH(int, target);
        QFETCH(bool, taken);
        const int s = addSensor(20, kAddr, kPort, 60000, 0x2B);
        const QByteArray req = class_sensorCmd::frame(uint8_t(target), 0xA6);
        const QByteArray got = exchange(req, 11);
        // An answer carries the sensor's own id byte whatever the request held; a request for
        // someone else leaves the data frame in place.
        QCOMPARE(got.toHex(' ').left(11), QByteArray(taken ? "55 aa 2b a6" : "55 aa 2b 85"));
        QCOMPARE(sim::sensorState(s).requests, taken ? QVector<QByteArray>{req} : QVector<QByteArray>());
        QCOMPARE(sim::sensorState(s).rawWrites.last(), req);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char* f : {"nack", "silent", "corruptFrameSum", "corruptAnswerSum", "noAnswers",
                              "unansweredCode", "dropAnswers", "lateAnswer"})
            QTest::newRow(f) << QString(f);
    }
    void faults()
    {
        QFETCH(QString, fault);
        const int s = addSensor(20);
        sim::SensorFaults f;
        f.nack = fault == "nack";
        f.silent = fault == "silent";
        f.corruptFrameSum = fault == "corruptFrameSum";
        f.corruptAnswerSum = fault == "corruptAnswerSum";
        f.noAnswers = fault == "noAnswers";
        if (fault == "unansweredCode")
            f.unansweredCodes = {0xA4};
        f.dropAnswers = fault == "dropAnswers" ? 2 : 0;
        f.answerLatencyMs = fault == "lateAnswer" ? kLongLatencyMs : 1;
        sim::setSensorFaults(s, f);

        const QByteArray frame = readAt(kAddr, 45);
        const QByteArray type = exchange(request(0xA6), 11);
        const QByteArray serial = exchange(request(0xA4), 19);
        if (f.nack) {
            QVERIFY(frame.isEmpty());
            QVERIFY(type.isEmpty());
            return;
        }
        if (f.silent) {
            QCOMPARE(frame, QByteArray(45, '\0'));
            QCOMPARE(type, QByteArray(11, '\0'));
            QVERIFY(sim::sensorState(s).requests.isEmpty());
            return;
        }
        QCOMPARE(sumIsRight(frame), !f.corruptFrameSum);
        const bool typeAnswered = !f.noAnswers && fault != "dropAnswers" && fault != "lateAnswer";
        QCOMPARE(uint8_t(type[3]) == 0xA6, typeAnswered);
        QCOMPARE(sumIsRight(type), typeAnswered && !f.corruptAnswerSum);
        QCOMPARE(uint8_t(serial[3]) == 0xA4, typeAnswered && fault != "unansweredCode");
        QCOMPARE(sim::sensorState(s).requests.size(), 2);  // taken, whether answered or not
        if (fault == "dropAnswers")
            QCOMPARE(uint8_t(exchange(request(0xA6), 11)[3]), uint8_t(0xA6));
        if (fault == "lateAnswer") {
            sim::advanceTime(kLongLatencyMs);
            QCOMPARE(uint8_t(readAt(kAddr, 19)[3]), uint8_t(0xA4));
        }
    }

    void multiplexerRoutesByPort()
    {
        TACTILE_STEP(freshBridge(true));
        QVERIFY(addSensor(20, kAddr, 4, 60000, 0x03) >= 0);
        QVERIFY(addSensor(20, kAddr, 5, 60000, 0x05) >= 0);
        QCOMPARE(addSensor(20, kAddr, 8), -1);  // the multiplexer has ports 0..7
        QVERIFY(readAt(kAddr, 4).isEmpty());    // all ports closed after power-up
        QVERIFY(writeAt(sim::kPcaAddress, QByteArray(1, char(0x10))));
        QCOMPARE(readAt(sim::kPcaAddress, 1), QByteArray(1, char(0x10)));
        QCOMPARE(uint8_t(readAt(kAddr, 4)[2]), uint8_t(0x03));
        QVERIFY(writeAt(sim::kPcaAddress, QByteArray(1, char(0x20))));
        QCOMPARE(uint8_t(readAt(kAddr, 4)[2]), uint8_t(0x05));
        QVERIFY(writeAt(sim::kPcaAddress, QByteArray(1, char(0x30))));
        QCOMPARE(uint8_t(readAt(kAddr, 4)[2]), uint8_t(0x01));  // both drive the line: wired AND
    }

    // A write to address 0 reaches every sensor on a routed port; they answer a read from 0.
    void generalCall_data()
    {
        QTest::addColumn<bool>("pca");
        QTest::newRow("behind the multiplexer") << true;
        QTest::newRow("no multiplexer") << false;
    }
    void generalCall()
    {
        QFETCH(bool, pca);
        TACTILE_STEP(freshBridge(pca));
        const int first = addSensor(20, 0x61, 4);
        const int second = addSensor(20, 0x62, 5);
        const int closedPort = addSensor(20, 0x63, 6);
        const int deaf = addSensor(20, 0x64, 4);
        sim::SensorFaults f;
        f.nack = true;
        sim::setSensorFaults(deaf, f);
        if (pca)
            QVERIFY(writeAt(sim::kPcaAddress, QByteArray(1, char(0x30))));

        const QByteArray a = exchange(request(0xA6), 11, 0x00);
        QCOMPARE(a.mid(3, 5), QByteArray::fromHex("A601030014"));  // both answers alike: intact
        QVERIFY(sumIsRight(a));
        for (int s : {first, second})
            QCOMPARE(sim::sensorState(s).requests, QVector<QByteArray>{request(0xA6)});
        QCOMPARE(sim::sensorState(closedPort).requests.isEmpty(), pca);
        QVERIFY(sim::sensorState(deaf).rawWrites.isEmpty());

        // An answer asked for at 0 can be read at the sensor's own address as well.
        QVERIFY(writeAt(0x00, request(0x62)));
        sim::advanceTime(5);
        QCOMPARE(uint8_t(readAt(0x62, 11)[3]), uint8_t(0xE2));
        QCOMPARE(sim::sensorState(second).answersServed, 2);
    }

    void withoutMultiplexer()
    {
        TACTILE_STEP(freshBridge(false));
        QVERIFY(addSensor(20, kAddr, -1) >= 0);  // no port: on the bridge's own bus
        QVERIFY(readAt(sim::kPcaAddress, 1).isEmpty());
        QVERIFY(!writeAt(sim::kPcaAddress, QByteArray(1, char(0x10))));
        QCOMPARE(uint8_t(readAt(kAddr, 4)[3]), uint8_t(0x85));
        QCOMPARE(sim::pcaControl(bridge), -1);
    }

    void removedSensorIsGone()
    {
        const int s = addSensor(20);
        QVERIFY(!readAt(kAddr, 4).isEmpty());
        QVERIFY(sim::removeSensor(s));
        QVERIFY(readAt(kAddr, 4).isEmpty());
        QVERIFY(!sim::removeSensor(s));
    }
};

TACTILE_TEST_MAIN(tst_simSensor)
#include "tst_simSensor.moc"
