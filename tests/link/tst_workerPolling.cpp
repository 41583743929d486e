// The bus worker polling registered sensors on the simulated bridge: new frames by the sequence
// byte, frame rates, the age-out of a silent sensor, and the end of the link.

#include "fingerParams.h"
#include "logRecorder.h"
#include "simBus.h"
#include "testMain.h"
#include "workerHarness.h"

#include <memory>

using namespace workerWorld;

namespace {

const QString kId = QString::number(kBridgeId);
constexpr uint32_t kPeriodMs = 4;  // 250 frames a second

}  // namespace

class TestWorkerPolling : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void reportsEachNewFrameOnce();
    void faultsStopTheFrames_data();
    void faultsStopTheFrames();
    void ratesFollowTheFramePeriod();
    void ratesOfASkippingSensor();
    void frozenSensorAgesOut();
    void silentSensorFoundAgain();
    void linkEnds_data();
    void linkEnds();

private:
    // Two sensors, on channels 1 and 4; returns once both are found.
    bool bringUp();

    std::unique_ptr<WorkerHarness> worker;
    int bridge = -1;
    int a = -1;
    int b = -1;
};

void TestWorkerPolling::cleanup()
{
    worker.reset();
    sim::reset();
}

bool TestWorkerPolling::bringUp()
{
    bridge = freshBridge();
    a = addSensor(bridge, 1, 0x61, 20, 0x03, kPeriodMs);
    b = addSensor(bridge, 4, 0x62, 43, 0x04, kPeriodMs);
    if (a < 0 || b < 0)
        return false;
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    return worker->connectWhenListed(kId) && worker->waitForSensors(2);
}

void TestWorkerPolling::reportsEachNewFrameOnce()
{
    QVERIFY(bringUp());
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(1, 0x61) > 50 && worker->framesOf(4, 0x62) > 50; }, 5000));
    QCOMPARE(worker->frameProblem(1, 0x61, findFingerParam(20)->packLen), QString());
    QCOMPARE(worker->frameProblem(4, 0x62, findFingerParam(43)->packLen), QString());
}

void TestWorkerPolling::faultsStopTheFrames_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("frozen sequence byte") << 0;
    QTest::newRow("corrupt sum") << 1;
    QTest::newRow("silent") << 2;
    QTest::newRow("no acknowledge") << 3;
}

void TestWorkerPolling::faultsStopTheFrames()
{
    QFETCH(int, fault);
    QVERIFY(bringUp());
    QTRY_VERIFY(worker->framesOf(1, 0x61) > 5);
    sim::SensorFaults f;
    f.frozenSeq = fault == 0;
    f.corruptFrameSum = fault == 1;
    f.silent = fault == 2;
    f.nack = fault == 3;
    sim::setSensorFaults(a, f);
    QTest::qWait(50);  // frames already on their way
    const int before = worker->framesOf(1, 0x61);
    const int otherBefore = worker->framesOf(4, 0x62);
    QTest::qWait(300);
    QCOMPARE(worker->framesOf(1, 0x61), before);
    QVERIFY(worker->framesOf(4, 0x62) > otherBefore + 20);
}

void TestWorkerPolling::ratesFollowTheFramePeriod()
{
    QVERIFY(bringUp());
    // The first report covers a partial second; the next ones a whole one each.
    QVERIFY(QTest::qWaitFor([&] { return worker->rates.size() >= 4; }, 5000));
    const int expected = 1000 / kPeriodMs;
    for (const WorkerHarness::Rate& r : worker->rates.mid(2)) {
        QVERIFY2(r.hz >= expected * 8 / 10 && r.hz <= expected * 12 / 10, qPrintable(QString::number(r.hz)));
        QVERIFY(r.rHz <= r.hz);
        QVERIFY(r.rHz >= r.hz * 8 / 10);
        QVERIFY((r.infIdx == 1 && r.addr == 0x61) || (r.infIdx == 4 && r.addr == 0x62));
    }
}

void TestWorkerPolling::ratesOfASkippingSensor()
{
    // The sequence byte moves by 3 per frame: hz counts the steps the sensor made, rHz the frames
    // the worker received, so the two differ threefold.
    bridge = freshBridge();
    sim::SensorConfig s;
    s.prg = 20;
    s.addr = 0x61;
    s.port = kPortOfChannel[2];
    s.framePeriodMs = kPeriodMs;
    s.seqStep = 3;
    QVERIFY(sim::addSensor(bridge, s) >= 0);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId));
    QVERIFY(QTest::qWaitFor([&] { return worker->rates.size() >= 3; }, 5000));
    QCOMPARE(worker->rateProblem(2, 0x61), QString());
    for (const WorkerHarness::Rate& r : worker->rates.mid(1)) {
        QVERIFY2(r.rHz > 0, qPrintable(QString::number(r.rHz)));
        QVERIFY2(r.hz >= 3 * r.rHz, qPrintable(QString("%1/%2").arg(r.hz).arg(r.rHz)));
    }
}

void TestWorkerPolling::frozenSensorAgesOut()
{
    QVERIFY(bringUp());
    QTRY_VERIFY(worker->framesOf(1, 0x61) > 5);
    sim::SensorFaults f;
    f.frozenSeq = true;
    sim::setSensorFaults(a, f);
    QVERIFY(QTest::qWaitFor([&] { return !worker->disconnected.isEmpty(); }, 5000));
    qint64 lastFrame = 0;
    for (const WorkerHarness::Frame& fr : worker->frames)
        if (fr.addr == 0x61)
            lastFrame = fr.atMs;
    // Removed once its age passed 3000 ms: at the 16th 200 ms step after its last new frame.
    const qint64 silentFor = worker->disconnected.first().atMs - lastFrame;
    QVERIFY2(silentFor > 3000 && silentFor < 3600, qPrintable(QString::number(silentFor)));
    QCOMPARE(worker->disconnected.size(), 1);
    QCOMPARE(worker->disconnected.first().record.addr, uint8_t(0x61));
    QCOMPARE(worker->disconnected.first().record.infIdx, uint8_t(1));
    QCOMPARE(worker->linkDowns, 0);
    // The other sensor goes on.
    const int other = worker->framesOf(4, 0x62);
    QTRY_VERIFY(worker->framesOf(4, 0x62) > other + 10);
}

void TestWorkerPolling::silentSensorFoundAgain()
{
    // Removed by age after 3.2 s; the walk of its channel, one probe every sixth tick, reaches
    // its address again within a pass of 111 probes (666 ticks) and finds it at the first probe.
    bridge = freshBridge();
    a = addSensor(bridge, 1, 0x61, 20, 0x03, kPeriodMs);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId));
    QVERIFY(worker->waitForSensors(1));
    QTRY_VERIFY(worker->framesOf(1, 0x61) > 5);
    sim::SensorFaults f;
    f.silent = true;
    sim::setSensorFaults(a, f);
    const qint64 silentAt = worker->elapsedMs();
    QVERIFY(QTest::qWaitFor([&] { return !worker->disconnected.isEmpty(); }, 5000));
    sim::clearPacketLog(bridge);
    sim::setSensorFaults(a, sim::SensorFaults());
    QVERIFY(QTest::qWaitFor([&] { return worker->connected.size() == 2; }, 5000));
    QCOMPARE(worker->connected.last().record.addr, uint8_t(0x61));
    QCOMPARE(worker->connected.last().record.infIdx, uint8_t(1));
    const qint64 foundAt = worker->connected.last().atMs;

    QVector<uint8_t> walk;
    for (const Probe& p : probes(transactions(sim::BridgeKind::Ch341, bridge)))
        if (p.channel == 1)
            walk.append(p.addr);
    const int at = walk.indexOf(0x61);
    QVERIFY2(at >= 0 && at < 111, qPrintable(QString::number(at)));
    QCOMPARE(walk.count(0x61), 1);
    qInfo("found again %lld ms after falling silent, %d probes of its channel after its removal",
          foundAt - silentAt, at + 1);
}

void TestWorkerPolling::linkEnds_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("linkReportedDown");
    QTest::newRow("unplugged") << 0 << true;
    QTest::newRow("disconnected") << 1 << true;
    QTest::newRow("worker stopped") << 2 << false;
}

void TestWorkerPolling::linkEnds()
{
    QFETCH(int, how);
    QFETCH(bool, linkReportedDown);
    LogRecorder log;
    QVERIFY(bringUp());
    if (how == 0) {
        QVERIFY(sim::unplug(bridge));
        sim::waitForNotifications();
    } else if (how == 1) {
        worker->disconnectLink();
    } else {
        worker->stop();
    }
    QVERIFY(QTest::qWaitFor([&] { return worker->disconnected.size() == 2; }, 5000));
    QTest::qWait(50);
    QCOMPARE(worker->linkDowns, linkReportedDown ? 1 : 0);
    // Every sensor is reported gone channel by channel, before the link itself.
    QStringList expected{"found 1/0x61", "found 4/0x62", "connected", "gone 1/0x61", "gone 4/0x62"};
    if (linkReportedDown)
        expected << "disconnected";
    QStringList seen = worker->events;
    seen.removeAll("connected");
    expected.removeAll("connected");
    QCOMPARE(seen, expected);
    // Nothing more arrives afterwards.
    const int frames = worker->frames.size();
    QTest::qWait(100);
    QCOMPARE(worker->frames.size(), frames);
    if (how == 2) {
        // The worker's end: the loop returns, then stop() runs once more, then the thread's end
        // deletes it (the worker's thread logs all of it, after its last report). The stop
        // request itself runs first only when the worker took it before the thread's quit.
        QVERIFY(log.waitFor("^fingerThread delete$"));
        QStringList ends = log.matching("^fingerThread (stop|exit)$");
        if (ends.size() == 3 && ends.first() == "fingerThread stop")
            ends.removeFirst();
        QCOMPARE(ends, QStringList({"fingerThread exit", "fingerThread stop"}));
    }
    if (how == 1) {
        // Connecting again finds both sensors again.
        QVERIFY(worker->connectWhenListed(kId));
        QVERIFY(worker->waitForSensors(4));
    }
}

TACTILE_TEST_MAIN(TestWorkerPolling)
#include "tst_workerPolling.moc"
