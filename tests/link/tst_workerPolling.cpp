// The bus worker polling registered sensors on the simulated bridge: new frames by the sequence
// byte, frame rates, the age-out of a silent sensor, and the end of the link.

#include "fingerParams.h"
#include "logRecorder.h"
#include "simBus.h"
#include "testMain.h"
#include "workerHarness.h"

#include <QMutex>
#include <QThread>
#include <atomic>
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
    void frozenSensorAgesOut_data();
    void frozenSensorAgesOut();
    void silentSensorFoundAgain();
    void linkEnds_data();
    void linkEnds();

private:
    // Two sensors, on channels 1 and 4; returns once both are found.
    bool bringUp();
    // Frames of a sensor from index from on.
    int framesSince(int from, uint8_t infIdx, uint8_t addr) const;

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
    return worker->connectWhenListed(kId, kHangMs) && worker->waitForSensors(2, kHangMs);
}

int TestWorkerPolling::framesSince(int from, uint8_t infIdx, uint8_t addr) const
{
    int n = 0;
    for (int i = from; i < worker->frames.size(); ++i)
        n += worker->frames[i].infIdx == infIdx && worker->frames[i].addr == addr;
    return n;
}

void TestWorkerPolling::reportsEachNewFrameOnce()
{
    QVERIFY(bringUp());
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(1, 0x61) > 50 && worker->framesOf(4, 0x62) > 50; }, kHangMs));
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
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(1, 0x61) > 5; }, kHangMs));
    sim::SensorFaults f;
    f.frozenSeq = fault == 0;
    f.corruptFrameSum = fault == 1;
    f.silent = fault == 2;
    f.nack = fault == 3;
    // Set between two ticks: every frame reported from here on was read from the faulty sensor.
    const int from = worker->betweenTicks([&] { sim::setSensorFaults(a, f); });
    QVERIFY(from >= 0);
    // Each of the other sensor's new frames is a tick that polled the faulty one too.
    QVERIFY(QTest::qWaitFor([&] { return framesSince(from, 4, 0x62) > 20; }, kHangMs));
    QCOMPARE(framesSince(from, 1, 0x61), 0);
}

void TestWorkerPolling::ratesFollowTheFramePeriod()
{
    QVERIFY(bringUp());
    // The first report covers a partial second; the next ones a whole one each, which must have
    // counted frames of both sensors (however few a busy machine let through).
    const auto counted = [&](uint8_t infIdx, uint8_t addr) {
        int n = 0;
        for (const WorkerHarness::Rate& r : worker->rates.mid(2))
            n += r.infIdx == infIdx && r.addr == addr ? r.rHz : 0;
        return n;
    };
    QVERIFY(QTest::qWaitFor([&] { return worker->rates.size() >= 4 && counted(1, 0x61) > 0 && counted(4, 0x62) > 0; },
                            kHangMs));
    // hz is the steps the sequence byte made, once per frame period of the sensor, and rHz the
    // frames that came, each one at least a step: exactly those reported in between.
    QCOMPARE(worker->rateProblem(1, 0x61), QString());
    QCOMPARE(worker->rateProblem(4, 0x62), QString());
    for (const WorkerHarness::Rate& r : worker->rates) {
        QVERIFY2(r.rHz <= r.hz, qPrintable(QString("%1/%2").arg(r.hz).arg(r.rHz)));
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
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    // A whole second's report whose frames made three steps each, or more where some were
    // missed (a miss of 86 frames wraps the byte's count, so not every report must show it).
    const auto threefold = [&] {
        for (const WorkerHarness::Rate& r : worker->rates.mid(1))
            if (r.rHz > 0 && r.hz >= 3 * r.rHz)
                return true;
        return false;
    };
    QVERIFY(QTest::qWaitFor([&] { return worker->rates.size() >= 3 && threefold(); }, kHangMs));
    QCOMPARE(worker->rateProblem(2, 0x61), QString());
}

void TestWorkerPolling::frozenSensorAgesOut_data()
{
    QTest::addColumn<bool>("readLate");
    QTest::newRow("steady") << false;
    // Its last frame read in a tick held up past an age step (as a registration holds one).
    QTest::newRow("last frame read in a held-up tick") << true;
}

void TestWorkerPolling::frozenSensorAgesOut()
{
    QFETCH(bool, readLate);
    bridge = freshBridge();
    a = addSensor(bridge, 1, 0x61, 20, 0x03, kPeriodMs);
    b = addSensor(bridge, 4, 0x62, 43, 0x04, kPeriodMs);
    // Polled ahead of 0x61 in every tick: a hold in its report holds the tick before 0x61 is read.
    const int c = addSensor(bridge, 0, 0x63, 20, 0x05, kPeriodMs);
    QVERIFY(a >= 0 && b >= 0 && c >= 0);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    QVERIFY(worker->waitForSensors(3, kHangMs));
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(1, 0x61) > 5; }, kHangMs));

    // In the worker's thread: its clock at each gone report; and, for a late read, a hold of
    // the tick at the next report of 0x63, after which the next frame of 0x61 is its last new one.
    struct Watch {
        QMutex lock;
        QVector<qint64> goneAt;
        std::atomic<int> step{0};  // 1: hold at 0x63, 2: freeze 0x61 at its next report, 3: done
    };
    const auto watch = std::make_shared<Watch>();
    sim::SensorFaults frozen;
    frozen.frozenSeq = true;
    QObject receiver;
    connect(
        worker->workerObject(), &fingerThread::si_disconnectedSensor, &receiver,
        [watch](const sensor_ts&) {
            QMutexLocker locked(&watch->lock);
            watch->goneAt << frameClock::nowMs();
        },
        Qt::DirectConnection);
    connect(
        worker->workerObject(), &fingerThread::si_updateData1, &receiver,
        [watch, frozen, sensor = a](uint8_t, uint8_t addr, const QVector<uint8_t>&, qint64) {
            if (addr == 0x63 && watch->step == 1) {
                QThread::msleep(250);  // more than an age step
                watch->step = 2;
            } else if (addr == 0x61 && watch->step == 2) {
                sim::setSensorFaults(sensor, frozen);
                watch->step = 3;
            }
        },
        Qt::DirectConnection);
    if (readLate)
        watch->step = 1;
    else
        QVERIFY(worker->betweenTicks([&] { sim::setSensorFaults(a, frozen); }) >= 0);
    QVERIFY(QTest::qWaitFor([&] { return !worker->disconnected.isEmpty(); }, kHangMs));
    QVERIFY(!readLate || watch->step == 3);
    // Removed once its age passed 3000 ms, never sooner, as the worker's own clock tells: from
    // the read of its last new frame (every frame reported comes before the gone report) to the
    // report itself.
    qint64 lastFrame = -1;
    for (const WorkerHarness::Frame& fr : worker->frames)
        if (fr.addr == 0x61)
            lastFrame = fr.readMs;
    qint64 goneAt = -1;
    {
        QMutexLocker locked(&watch->lock);
        goneAt = watch->goneAt.value(0, -1);
    }
    const qint64 silentFor = goneAt - lastFrame;
    QVERIFY2(lastFrame >= 0 && silentFor >= 3000, qPrintable(QString::number(silentFor)));
    qInfo("removed %lld ms after its last new frame was read", silentFor);
    QCOMPARE(worker->disconnected.size(), 1);
    QCOMPARE(worker->disconnected.first().record.addr, uint8_t(0x61));
    QCOMPARE(worker->disconnected.first().record.infIdx, uint8_t(1));
    QCOMPARE(worker->linkDowns, 0);
    // The other sensors go on.
    const int other = worker->framesOf(4, 0x62);
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(4, 0x62) > other + 10; }, kHangMs));
    QVERIFY(worker->framesOf(0, 0x63) > 0);
}

void TestWorkerPolling::silentSensorFoundAgain()
{
    // Removed by age after 3.2 s; the walk of its channel, one probe every sixth tick, reaches
    // its address again within a pass of 111 probes (666 ticks) and finds it at the first probe.
    bridge = freshBridge();
    a = addSensor(bridge, 1, 0x61, 20, 0x03, kPeriodMs);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kHangMs));
    QVERIFY(worker->waitForSensors(1, kHangMs));
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(1, 0x61) > 5; }, kHangMs));
    sim::SensorFaults f;
    f.silent = true;
    sim::setSensorFaults(a, f);
    const qint64 silentAt = worker->elapsedMs();
    QVERIFY(QTest::qWaitFor([&] { return !worker->disconnected.isEmpty(); }, kHangMs));
    // Between two ticks, so that no probe comes between the log's start and the sensor's return.
    QVERIFY(worker->betweenTicks([&] {
        sim::clearPacketLog(bridge);
        sim::setSensorFaults(a, sim::SensorFaults());
    }) >= 0);
    QVERIFY(QTest::qWaitFor([&] { return worker->connected.size() == 2; }, kHangMs));
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
    // The link's own report comes after its sensors' (a stopped worker has sent all of them).
    const int downs = linkReportedDown ? 1 : 0;
    QVERIFY(QTest::qWaitFor([&] { return worker->disconnected.size() == 2 && worker->linkDowns >= downs; }, kHangMs));
    QCOMPARE(worker->linkDowns, downs);
    // Every sensor is reported gone channel by channel, before the link itself.
    QStringList expected{"found 1/0x61", "found 4/0x62", "connected", "gone 1/0x61", "gone 4/0x62"};
    if (linkReportedDown)
        expected << "disconnected";
    QStringList seen = worker->events;
    seen.removeAll("connected");
    expected.removeAll("connected");
    QCOMPARE(seen, expected);
    // Nothing more arrives afterwards (a busy machine can only make this pass).
    const int frames = worker->frames.size();
    QTest::qWait(100);
    QCOMPARE(worker->frames.size(), frames);
    if (how == 2) {
        // The worker's end: the loop returns, then stop() runs once more, then the thread's end
        // deletes it (the worker's thread logs all of it, after its last report). The stop
        // request itself runs first only when the worker took it before the thread's quit.
        QVERIFY(log.waitFor("^fingerThread delete$", kHangMs));
        QStringList ends = log.matching("^fingerThread (stop|exit)$");
        if (ends.size() == 3 && ends.first() == "fingerThread stop")
            ends.removeFirst();
        QCOMPARE(ends, QStringList({"fingerThread exit", "fingerThread stop"}));
    }
    if (how == 1) {
        // Connecting again finds both sensors again.
        QVERIFY(worker->connectWhenListed(kId, kHangMs));
        QVERIFY(worker->waitForSensors(4, kHangMs));
    }
}

TACTILE_TEST_MAIN(TestWorkerPolling)
#include "tst_workerPolling.moc"
