// The bus worker finding sensors on the simulated bridges: the probe cycle per channel, the four
// discovery requests, what si_connectedSensor carries, the multiplexer detection and the pause of
// probing on a bridge without a multiplexer.

#include "class_sensorCmd.h"
#include "fingerParams.h"
#include "logRecorder.h"
#include "simBus.h"
#include "testMain.h"
#include "workerHarness.h"

#include <memory>

using namespace workerWorld;

namespace {

const QString kId = QString::number(kBridgeId);
constexpr uint8_t kNoType = 0xFF;

}  // namespace

Q_DECLARE_METATYPE(sim::BridgeKind)

class TestWorkerDiscovery : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void requestsAndRecordPerChannel_data();
    void requestsAndRecordPerChannel();
    void unansweredRequests_data();
    void unansweredRequests();
    void wrongFrameSumIsNotRegistered();
    void probeCycleSkipsRegisteredAddresses();
    void multiplexerDetection_data();
    void multiplexerDetection();
    void failedReadBackMeansNoMultiplexer();
    void withoutMultiplexerProbingPausesWhileASensorIsKnown();
    void discoveryResumesAfterTheBridgeReopens();
    void deviceListAndUnknownId();

private:
    std::unique_ptr<WorkerHarness> worker;
};

void TestWorkerDiscovery::cleanup()
{
    worker.reset();
    sim::reset();
}

void TestWorkerDiscovery::requestsAndRecordPerChannel_data()
{
    QTest::addColumn<sim::BridgeKind>("kind");
    QTest::newRow("CH341") << sim::BridgeKind::Ch341;
    QTest::newRow("CH347") << sim::BridgeKind::Ch347;
}

void TestWorkerDiscovery::requestsAndRecordPerChannel()
{
    QFETCH(sim::BridgeKind, kind);
    LogRecorder log;
    const int bridge = freshBridge(kind);
    int sensors[6];
    for (int ch = 0; ch < 6; ++ch) {
        // One address on every channel; the types alternate between a small and a large frame.
        sensors[ch] = addSensor(bridge, ch, 0x61, ch % 2 ? 43 : 20, uint8_t(0x30 + ch), 5);
        QVERIFY(sensors[ch] >= 0);
    }
    worker = std::make_unique<WorkerHarness>(kind == sim::BridgeKind::Ch341 ? fingerThread::LinkCh341
                                                                           : fingerThread::LinkCh347);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    QVERIFY(worker->waitForSensors(6, kHangMs));

    for (int ch = 0; ch < 6; ++ch) {
        const QVector<QByteArray> expected{bridgeRequest(0x7F, 0), bridgeRequest(0x73, uint8_t((ch * 3) % 7)),
                                           bridgeRequest(0xA4), bridgeRequest(0xA6)};
        QCOMPARE(sim::sensorState(sensors[ch]).requests.mid(0, 4), expected);

        const sensor_ts* s = worker->found(uint8_t(ch), 0x61);
        QVERIFY2(s, qPrintable(QString("channel %1").arg(ch)));
        const uint8_t prg = ch % 2 ? 43 : 20;
        QCOMPARE(s->prg, prg);
        QCOMPARE(s->sn, QString::asprintf("VX-%d-61", ch));
        QCOMPARE(s->devId, uint8_t(0x30 + ch));
        QCOMPARE(s->pack, QVector<uint8_t>(findFingerParam(prg)->packLen, 0));
        QCOMPARE(s->seq, uint8_t(0));
        QCOMPARE(s->ageMs, uint16_t(0));
        const int len = findFingerParam(prg)->packLen;
        QCOMPARE(log.matching(QString("^find sensor：%1 inf:%2 addr:0x61 pack:%3 sn:VX-%2-61$").arg(prg).arg(ch).arg(len)).size(), 1);
        QVERIFY(!log.matching(QString("^pack len1:%1$").arg(len)).isEmpty());
        QVERIFY(!log.matching(QString("^pack len2:%1$").arg(len)).isEmpty());
        QCOMPARE(log.matching(QString("^set offset:%1$").arg((ch * 3) % 7)).size(), 1);  // 0, 3, 6, 2, 5, 1
    }
    QCOMPARE(worker->connected.size(), 6);

    // The life of the link, in the worker's own words.
    const bool ch341 = kind == sim::BridgeKind::Ch341;
    const QString name = ch341 ? "ch341" : "ch347";
    const QString site = ch341 ? "1" : "2";
    QCOMPARE(log.matching("^fingerThread new$").size(), 1);
    QCOMPARE(log.matching("^ch341 init$").size(), ch341 ? 1 : 0);
    QCOMPARE(log.matching("^" + name + " connect$").size(), 1);
    QCOMPARE(log.matching("^" + name + " connected$").size(), 1);
    QCOMPARE(log.matching("^start:" + site + "$").size(), 1);
    worker->disconnectLink();
    QVERIFY(log.waitFor("^" + name + " disconnect$", kHangMs));
    QVERIFY(log.waitFor("^stop:" + site + "$", kHangMs));
}

void TestWorkerDiscovery::unansweredRequests_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("registered");
    QTest::addColumn<QString>("sn");
    QTest::addColumn<int>("prg");
    QTest::newRow("send type") << 0x7F << false << QString() << 0;
    QTest::newRow("offset") << 0x73 << true << QString("VX-0-61") << 20;
    QTest::newRow("serial number") << 0xA4 << true << QString("VX-000000000") << 20;
    QTest::newRow("type code") << 0xA6 << true << QString("VX-0-61") << int(kNoType);
}

void TestWorkerDiscovery::unansweredRequests()
{
    QFETCH(int, code);
    QFETCH(bool, registered);
    QFETCH(QString, sn);
    QFETCH(int, prg);
    LogRecorder log;
    const int bridge = freshBridge();
    const int sensor = addSensor(bridge, 0, 0x61);
    sim::SensorFaults faults;
    faults.unansweredCodes = {uint8_t(code)};
    sim::setSensorFaults(sensor, faults);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    if (!registered) {
        // Not registered, and probed again on the next pass over the channel (111 visits later).
        QVERIFY(QTest::qWaitFor([&] { return sim::sensorState(sensor).requests.count(bridgeRequest(0x7F)) >= 2; }, kHangMs));
        QVERIFY(worker->connected.isEmpty());
        QVERIFY(!log.matching("^set send type err$").isEmpty());
        QVERIFY(!log.matching("^setSensorSendType err$").isEmpty());
        return;
    }
    QVERIFY(worker->waitForSensors(1, kHangMs));
    QCOMPARE(log.matching("^set offset err$").size(), code == 0x73 ? 1 : 0);
    QCOMPARE(worker->connected.first().record.sn, sn);
    QCOMPARE(int(worker->connected.first().record.prg), prg);
}

void TestWorkerDiscovery::wrongFrameSumIsNotRegistered()
{
    // It answers the probe and takes the send type, but its frame fails the length search.
    LogRecorder log;
    const int bridge = freshBridge();
    const int sensor = addSensor(bridge, 0, 0x61);
    sim::SensorFaults faults;
    faults.corruptFrameSum = true;
    sim::setSensorFaults(sensor, faults);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    QVERIFY(QTest::qWaitFor([&] { return sim::sensorState(sensor).requests.contains(bridgeRequest(0x7F)); }, kHangMs));
    QVERIFY(log.waitFor("^chk err$", kHangMs));
    // Each pass over the channel tries it again and gets no further than the send type.
    QVERIFY(worker->betweenTicks() >= 0);
    QVERIFY(worker->connected.isEmpty());
    const QVector<QByteArray> requests = sim::sensorState(sensor).requests;
    QVERIFY(!requests.isEmpty());
    for (const QByteArray& r : requests)
        QCOMPARE(r, bridgeRequest(0x7F));
}

void TestWorkerDiscovery::probeCycleSkipsRegisteredAddresses()
{
    const int bridge = freshBridge();
    QVERIFY(addSensor(bridge, 2, 0x02) >= 0);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    // 0x61..0x6F, then 0x01..0x6F: 126 probes reach 0x02 the second time on every channel.
    auto perChannel = [&](int ch) {
        QVector<uint8_t> seen;
        for (const Probe& p : probes(ch341Transactions(sim::packetLog(bridge))))
            if (p.channel == ch)
                seen.append(p.addr);
        return seen;
    };
    QVERIFY(QTest::qWaitFor([&] { return perChannel(5).size() > 130; }, kHangMs));

    QVector<uint8_t> cycle;
    for (int a = 0x61; a <= 0x6F; ++a)
        cycle.append(uint8_t(a));
    for (int a = 0x01; a <= 0x6F; ++a)
        cycle.append(uint8_t(a));
    for (int a = 0x01; a <= 0x6F; ++a)
        cycle.append(uint8_t(a));
    for (int ch = 0; ch < 6; ++ch) {
        QVector<uint8_t> expected = cycle;
        if (ch == 2)
            expected.removeAt(15 + 111 + 1);  // the second 0x02, registered on this channel only
        const QVector<uint8_t> seen = perChannel(ch);
        QCOMPARE(seen.mid(0, 130), expected.mid(0, 130));
    }
    QVERIFY(worker->found(2, 0x02));
}

void TestWorkerDiscovery::multiplexerDetection_data()
{
    QTest::addColumn<sim::BridgeKind>("kind");
    QTest::addColumn<bool>("pca");
    QTest::newRow("CH341 with PCA9548") << sim::BridgeKind::Ch341 << true;
    QTest::newRow("CH341 alone") << sim::BridgeKind::Ch341 << false;
    QTest::newRow("CH347 with PCA9548") << sim::BridgeKind::Ch347 << true;
    QTest::newRow("CH347 alone") << sim::BridgeKind::Ch347 << false;
}

void TestWorkerDiscovery::multiplexerDetection()
{
    QFETCH(sim::BridgeKind, kind);
    QFETCH(bool, pca);
    LogRecorder log;
    const int bridge = freshBridge(kind, pca);
    const int sensor = addSensor(bridge, 3, 0x61);
    worker = std::make_unique<WorkerHarness>(kind == sim::BridgeKind::Ch341 ? fingerThread::LinkCh341
                                                                           : fingerThread::LinkCh347);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    QVERIFY(worker->waitForSensors(1, kHangMs));
    const sensor_ts& s = worker->connected.first().record;
    QCOMPARE(log.matching("^find pca$").size(), pca ? 1 : 0);
    QCOMPARE(log.matching("^not find pca$").size(), pca ? 0 : 1);
    if (pca) {
        // The open pulses the multiplexer's reset line.
        QVERIFY(sim::pcaResetCount(bridge) >= 1);
        QVERIFY(!sim::pcaResetLineLow(bridge));
        QCOMPARE(s.infIdx, uint8_t(3));
        QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(3, 0x61) > 5; }, kHangMs));
        // Every tick: select its channel, poll all six in order, select it again, all off; the
        // next tick takes the next channel. The writes after the detection's "all off":
        const QVector<uint8_t> masks{0x10, 0x20, 0x40, 0x08, 0x04, 0x01};
        const auto tickWrites = [&] {
            const QVector<uint8_t> all = pcaWrites(transactions(kind, bridge));
            return all.mid(all.indexOf(0) + 1);
        };
        QVERIFY(QTest::qWaitFor([&] { return tickWrites().size() >= 11 * 9; }, kHangMs));
        const QVector<uint8_t> w = tickWrites();
        int ticks = 0;
        int previous = -1;
        for (int i = 0; i + 9 <= w.size(); i += 9, ++ticks) {
            const int channel = masks.indexOf(w[i]);
            QVERIFY(channel >= 0);
            QCOMPARE(w.mid(i + 1, 6), masks);
            QCOMPARE(w[i + 7], w[i]);
            QCOMPARE(w[i + 8], uint8_t(0));
            if (previous >= 0)
                QCOMPARE(channel, (previous + 1) % 6);
            previous = channel;
        }
        QVERIFY(ticks > 10);
    } else {
        // Without a multiplexer the six channels are names for one bus: the sensor is found on
        // the channel of that tick and polled from then on; nothing is written to 0x70.
        sim::clearPacketLog(bridge);
        QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(s.infIdx, 0x61) > 5; }, kHangMs));
        QVERIFY(pcaWrites(transactions(kind, bridge)).isEmpty());
    }
    Q_UNUSED(sensor);
}

void TestWorkerDiscovery::failedReadBackMeansNoMultiplexer()
{
    // The multiplexer is there, but the write and the read-back after the open fail.
    const int bridge = freshBridge();
    const int sensor = addSensor(bridge, 3, 0x61);
    QVERIFY(sensor >= 0);
    sim::BridgeFaults faults;
    faults.failTransfers = 2;
    sim::setBridgeFaults(bridge, faults);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    // Every channel's walk starts at 0x61: six probes of the sensor's address.
    QVERIFY(QTest::qWaitFor([&] { return probes(transactions(sim::BridgeKind::Ch341, bridge)).size() >= 6; }, kHangMs));
    // Taken as absent: after the failed "all off" no channel is ever selected, so the sensor
    // behind the multiplexer stays out of reach.
    QCOMPARE(pcaWrites(transactions(sim::BridgeKind::Ch341, bridge)), QVector<uint8_t>{0});
    QVERIFY(worker->betweenTicks() >= 0);
    QVERIFY(worker->connected.isEmpty());
    QVERIFY(sim::sensorState(sensor).requests.isEmpty());
}

void TestWorkerDiscovery::withoutMultiplexerProbingPausesWhileASensorIsKnown()
{
    const int bridge = freshBridge(sim::BridgeKind::Ch341, false);
    QVERIFY(addSensor(bridge, 0, 0x61) >= 0);
    QVERIFY(addSensor(bridge, 0, 0x05) >= 0);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    QVERIFY(worker->waitForSensors(1, kHangMs));
    sim::clearPacketLog(bridge);
    const sensor_ts first = worker->connected.first().record;
    // Ten polls of it since then are ten ticks, and none of them probed.
    const auto polls = [&] {
        int n = 0;
        for (const BusOp& op : ch341Transactions(sim::packetLog(bridge)))
            n += op.read && op.addr == first.addr && op.len == first.pack.size();
        return n;
    };
    QVERIFY(QTest::qWaitFor([&] { return polls() >= 10; }, kHangMs));
    QVERIFY(probes(ch341Transactions(sim::packetLog(bridge))).isEmpty());
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(first.infIdx, 0x61) > 10; }, kHangMs));
    QCOMPARE(worker->connected.size(), 1);
}

void TestWorkerDiscovery::discoveryResumesAfterTheBridgeReopens()
{
    // The bridge moving to another device index makes the adapter close and reopen it by itself.
    const int bridge = freshBridge(sim::BridgeKind::Ch341, false);
    QVERIFY(addSensor(bridge, 0, 0x61) >= 0);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    QVERIFY(worker->waitForSensors(1, kHangMs));
    QVERIFY(sim::move(bridge, 5));
    sim::waitForNotifications();
    QVERIFY(QTest::qWaitFor([&] { return worker->linkDowns == 1 && worker->linkUps == 2; }, kHangMs));
    QCOMPARE(worker->disconnected.size(), 1);
    QVERIFY(worker->waitForSensors(2, kHangMs));
}

void TestWorkerDiscovery::deviceListAndUnknownId()
{
    const int first = freshBridge();
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(QTest::qWaitFor([&] { return !worker->lists.isEmpty(); }, kHangMs));
    QCOMPARE(worker->lists.last(), QVector<QString>{kId});

    // A bridge plugged in later reaches the list; an unchanged list is not reported again.
    sim::BridgeConfig second;
    second.id = 7003;
    second.plugged = false;
    QVERIFY(sim::plug(sim::addBridge(second)));
    sim::waitForNotifications();
    QVERIFY(QTest::qWaitFor([&] { return worker->lists.last().size() == 2; }, kHangMs));
    QCOMPARE(worker->lists.last(), (QVector<QString>{kId, "7003"}));
    QCOMPARE(worker->lists.size(), 2);

    // An id that was never listed opens nothing: once the worker has taken the request (and
    // everything it sent before is in), there is no link.
    worker->connectLink("9999");
    QVERIFY(worker->betweenTicks() >= 0);
    QCOMPARE(worker->linkUps, 0);
    QVERIFY(!sim::isDeviceOpen(first));
}

TACTILE_TEST_MAIN(TestWorkerDiscovery)
#include "tst_workerDiscovery.moc"
