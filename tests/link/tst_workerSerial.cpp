// The bus worker on the serial road: two simulated sensors share one pseudo-terminal line, which the
// worker opens as its serial port (460800 8N1).

#include "class_sensorCmd.h"
#include "class_uart.h"
#include "fingerParams.h"
#include "logRecorder.h"
#include "ptyPair.h"
#include "serialSensorPeer.h"
#include "simFrame.h"
#include "testMain.h"
#include "workerHarness.h"

#include <QElapsedTimer>
#include <QMap>
#include <memory>

namespace {

constexpr int kSnCode = 0xA4;
constexpr uint16_t kVariable = class_sensorCmd::kRspVariable;
using workerWorld::kHangMs;
// The serial walk probes one address every 101st tick. A probe that a busy machine lets slip is
// tried again only a whole pass of 111 probes later (10 to 25 s idle, each tick also polling the
// sensors found so far): finding a sensor may take several passes before it counts as a hang.
constexpr int kPassesMs = 300000;

SerialSensorPeer::Sensor sensorAt(uint8_t addr, uint8_t prg, uint8_t id, const QString& serial)
{
    SerialSensorPeer::Sensor s;
    s.addr = addr;
    s.prg = prg;
    s.id = id;
    s.serial = serial;
    s.framePeriodMs = 2;
    return s;
}

// The request the worker sends itself on a serial link: byte 2 is the sensor's address.
QByteArray workerRequest(uint8_t addr, uint8_t code, uint8_t byte7 = 0)
{
    const uint8_t params[5] = {0, 0, 0, byte7, 0};
    return class_sensorCmd::frame(addr, code, params);
}

// A well-formed answer as the peer gives it: 55 AA id code|0x80 payload sum.
QByteArray answerFrame(uint8_t id, uint8_t code, int len)
{
    QByteArray a(len, '\0');
    a[0] = char(0x55);
    a[1] = char(0xAA);
    a[2] = char(id);
    a[3] = char(code | 0x80);
    sim::closeWithSum(a);
    return a;
}

}  // namespace

class TestWorkerSerial : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void discoversTwoSensorsOnOneLine();
    void serialNumberStaysInsideItsAnswer_data();
    void serialNumberStaysInsideItsAnswer();
    void pollsEachSensorForNewFrames();
    void ratesOfASensorFasterThanThePoll();
    void commandsAreAnswered_data();
    void commandsAreAnswered();
    void awkwardAnswers_data();
    void awkwardAnswers();
    void silentSensorFoundAgainAfterAPass();
    void silentSensorGetsThreeAttempts();
    void linkEndsInsideAWait_data();
    void linkEndsInsideAWait();
    void portListFollowsChangesAfterAClose();

private:
    // Starts the worker and waits until it found both sensors and the peer has taken in all the
    // worker wrote for their discovery.
    bool bringUp();
    // Whether the peer, since it had heard from things, has heard at least count requests of
    // code to addr and taken in all the worker wrote up to the last of them (so it answered
    // them, or dropped them as late): something else followed it.
    bool peerHeardPast(uint8_t addr, int code, int from, int count = 1) const;
    // bringUp, with a fresh worker (and a fresh *log when given) as long as a discovery answer
    // went out too late for the worker's wait: the worker then keeps its defaults for what it
    // could not read, by its own rule, and the record is not the sensor's. On return
    // requestsBefore holds how many requests each sensor had heard before the last bring-up.
    bool bringUpIntact(std::unique_ptr<LogRecorder>* log = nullptr);

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<SerialSensorPeer> peer;
    std::unique_ptr<WorkerHarness> worker;
    int first = -1;
    int second = -1;
    QMap<int, int> requestsBefore;
};

void TestWorkerSerial::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isOpen());
    peer = std::make_unique<SerialSensorPeer>(*pty);
    first = peer->addSensor(sensorAt(0x61, 20, 0x11, "VX-SERIAL-61"));
    second = peer->addSensor(sensorAt(0x62, 43, 0x22, "VX-SERIAL-62"));
    QVERIFY(first >= 0 && second >= 0);
    // The worker has one exchange on the line at a time: an answer a busy machine held up past
    // its wait must not land in the next one.
    peer->setDropLateAnswers(true);
    peer->start();
    class_uart::setExtraPortNames({pty->slavePath()});
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkSerial);
}

void TestWorkerSerial::cleanup()
{
    worker.reset();
    peer.reset();
    pty.reset();
    class_uart::setExtraPortNames({});
}

bool TestWorkerSerial::bringUp()
{
    const int from = peer->heard().size();
    worker->start();
    // The type request 0xA6 is the last of a sensor's four discovery requests.
    return worker->connectWhenListed(pty->slavePath(), kHangMs) && worker->waitForSensors(2, kPassesMs) &&
           QTest::qWaitFor([&] { return peerHeardPast(0x61, 0xA6, from) && peerHeardPast(0x62, 0xA6, from); }, kHangMs);
}

bool TestWorkerSerial::peerHeardPast(uint8_t addr, int code, int from, int count) const
{
    const QVector<SerialSensorPeer::Heard> heard = peer->heard();
    int seen = 0;
    int last = -1;
    for (int i = from; i < heard.size(); ++i) {
        if (heard[i].addr == addr && heard[i].code == code) {
            ++seen;
            last = i;
        }
    }
    return seen >= count && last + 1 < heard.size();
}

bool TestWorkerSerial::bringUpIntact(std::unique_ptr<LogRecorder>* log)
{
    const auto late = [&] { return peer->lateAnswers(first) + peer->lateAnswers(second); };
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int lateBefore = late();
        for (int s : {first, second})
            requestsBefore[s] = peer->requests(s).size();
        if (log) {
            log->reset();
            *log = std::make_unique<LogRecorder>();
        }
        if (!bringUp())
            return false;
        if (late() == lateBefore)
            return true;
        if (clock.elapsed() > kPassesMs)
            return false;
        qInfo("a discovery answer went out after the worker's wait: bringing the sensors up again");
        worker = std::make_unique<WorkerHarness>(fingerThread::LinkSerial);
    }
}

void TestWorkerSerial::discoversTwoSensorsOnOneLine()
{
    std::unique_ptr<LogRecorder> log;
    QVERIFY(bringUpIntact(&log));
    // The adapter's construction logs "uart init" too, before the worker does.
    QCOMPARE(log->matching("^uart init$").size(), 2);
    for (const char* line : {"uart connect", "uart connected", "start:0"})
        QVERIFY2(log->matching(QString("^%1$").arg(line)).size() == 1, line);
    // Every serial sensor carries the tick's channel; a fresh process starts it at 0.
    const sensor_ts* a = worker->found(0, 0x61);
    const sensor_ts* b = worker->found(0, 0x62);
    QVERIFY(a && b);
    QCOMPARE(a->sn, QString("VX-SERIAL-61"));
    QCOMPARE(a->prg, uint8_t(20));
    QCOMPARE(a->devId, uint8_t(0x11));
    QCOMPARE(a->pack.size(), int(findFingerParam(20)->packLen));
    QCOMPARE(b->sn, QString("VX-SERIAL-62"));
    QCOMPARE(b->prg, uint8_t(43));
    QCOMPARE(b->devId, uint8_t(0x22));
    QCOMPARE(b->pack.size(), int(findFingerParam(43)->packLen));

    // The four discovery requests, in order, addressed by byte 2; channel 0 starts at offset 0.
    // A send type that a busy machine let time out is sent again a pass later.
    for (int s : {first, second}) {
        const uint8_t addr = s == first ? 0x61 : 0x62;
        const QVector<QByteArray> expected{workerRequest(addr, 0x7F, 0), workerRequest(addr, 0x73, 0),
                                           workerRequest(addr, 0xA4), workerRequest(addr, 0xA6)};
        const QVector<QByteArray> heard = peer->requests(s).mid(requestsBefore[s]);
        QVERIFY(heard.size() >= 4);
        QCOMPARE(heard.mid(heard.size() - 4), expected);
        for (const QByteArray& r : heard.mid(0, heard.size() - 4))
            QCOMPARE(r, expected.first());
    }
}

void TestWorkerSerial::serialNumberStaysInsideItsAnswer_data()
{
    QTest::addColumn<int>("lengthByte");
    QTest::addColumn<QString>("sn");
    QTest::newRow("as long as the text") << 12 << "VX-SERIAL-61";
    QTest::newRow("shorter than the text") << 5 << "VX-SE";
    QTest::newRow("past the closing sum") << 40 << "VX-SERIAL-61";
    QTest::newRow("past the answer buffer") << 255 << "VX-SERIAL-61";
}

void TestWorkerSerial::serialNumberStaysInsideItsAnswer()
{
    QFETCH(int, lengthByte);
    QFETCH(QString, sn);
    peer->update(first, [&](SerialSensorPeer::Sensor& s) { s.snLengthByte = lengthByte; });
    QVERIFY(bringUpIntact());
    QCOMPARE(worker->found(0, 0x61)->sn, sn);
}

void TestWorkerSerial::pollsEachSensorForNewFrames()
{
    QVERIFY(bringUp());
    QVERIFY(QTest::qWaitFor([&] { return worker->framesOf(0, 0x61) > 20 && worker->framesOf(0, 0x62) > 20; }, kHangMs));
    // A frame is reported only when its sequence byte moved on.
    QCOMPARE(worker->frameProblem(0, 0x61, findFingerParam(20)->packLen), QString());
    QCOMPARE(worker->frameProblem(0, 0x62, findFingerParam(43)->packLen), QString());
    QVERIFY(peer->polls(first) > 20);
}

void TestWorkerSerial::ratesOfASensorFasterThanThePoll()
{
    // A frame every millisecond, faster than one serial poll: hz counts the frames the sensor
    // made, rHz the fewer the worker received.
    peer->update(first, [](SerialSensorPeer::Sensor& s) { s.framePeriodMs = 1; });
    QVERIFY(bringUp());
    // A whole second's report of frames that came with frames missed between them.
    const auto differ = [&] {
        for (const WorkerHarness::Rate& r : worker->rates.mid(2))
            if (r.addr == 0x61 && r.rHz > 0 && r.hz > r.rHz)
                return true;
        return false;
    };
    QVERIFY(QTest::qWaitFor([&] { return worker->rates.size() >= 6 && differ(); }, kHangMs));
    QCOMPARE(worker->rateProblem(0, 0x61), QString());
    QCOMPARE(worker->rateProblem(0, 0x62), QString());
}

void TestWorkerSerial::commandsAreAnswered_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rspLen");
    QTest::addColumn<int>("answerDelayMs");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("fixed length") << 0x71 << 11 << 0 << answerFrame(0x11, 0x71, 11);
    QTest::newRow("late, within the window") << 0x71 << 11 << 40 << answerFrame(0x11, 0x71, 11);
    QByteArray sn = answerFrame(0x11, kSnCode, 5 + 12 + 2);
    sn[4] = char(12);
    sn.replace(5, 12, "VX-SERIAL-61");
    sim::closeWithSum(sn);
    QTest::newRow("variable length") << kSnCode << int(kVariable) << 0 << sn;
}

void TestWorkerSerial::commandsAreAnswered()
{
    QFETCH(int, code);
    QFETCH(int, rspLen);
    QFETCH(int, answerDelayMs);
    QFETCH(QByteArray, expected);
    QVERIFY(bringUp());
    peer->update(first, [&](SerialSensorPeer::Sensor& s) { s.answerDelayMs = uint32_t(answerDelayMs); });
    const QByteArray req = class_sensorCmd::frame(0x61, uint8_t(code));
    worker->sendCommand(0, 0x61, req, uint16_t(rspLen));
    QVERIFY(QTest::qWaitFor([&] { return !worker->answers.isEmpty(); }, kHangMs));
    const WorkerHarness::Answer& a = worker->answers.first();
    QVERIFY(a.ok);
    QCOMPARE(a.req, req);
    QCOMPARE(a.rsp, expected);
}

void TestWorkerSerial::awkwardAnswers_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rspLen");
    QTest::addColumn<QByteArray>("junk");
    QTest::addColumn<int>("splitMs");
    QTest::addColumn<int>("cut");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("rsp");
    const QByteArray fixed = answerFrame(0x11, 0x71, 11);
    QByteArray sn = answerFrame(0x11, kSnCode, 5 + 12 + 2);
    sn[4] = char(12);
    sn.replace(5, 12, "VX-SERIAL-61");
    sim::closeWithSum(sn);
    const QByteArray junk = QByteArray::fromHex("00ff13a0");
    const int variable = int(kVariable);
    QTest::newRow("split over two reads") << 0x71 << 11 << QByteArray() << 8 << 0 << true << fixed;
    QTest::newRow("variable, split over two reads") << kSnCode << variable << QByteArray() << 8 << 0 << true << sn;
    QTest::newRow("after junk bytes") << 0x71 << 11 << junk << 0 << 0 << true << fixed;
    QTest::newRow("variable, after junk bytes") << kSnCode << variable << junk << 0 << 0 << true << sn;
    // Given up after three attempts, with what came of the last one.
    QTest::newRow("shorter than its length") << 0x71 << 11 << QByteArray() << 0 << 1 << false << fixed.left(10);
    QTest::newRow("variable, cut short") << kSnCode << variable << QByteArray() << 0 << 3 << false << sn.left(sn.size() - 3);
}

void TestWorkerSerial::awkwardAnswers()
{
    QFETCH(int, code);
    QFETCH(int, rspLen);
    QFETCH(QByteArray, junk);
    QFETCH(int, splitMs);
    QFETCH(int, cut);
    QFETCH(bool, ok);
    QFETCH(QByteArray, rsp);
    QVERIFY(bringUp());
    peer->update(first, [&](SerialSensorPeer::Sensor& s) {
        s.answerJunk = junk;
        s.answerSplitMs = uint32_t(splitMs);
        s.answerCut = cut;
    });
    const int before = peer->requests(first).size();
    const int lateBefore = peer->lateAnswers(first);
    const int heardBefore = peer->heard().size();
    const QByteArray req = class_sensorCmd::frame(0x61, uint8_t(code));
    worker->sendCommand(0, 0x61, req, uint16_t(rspLen));
    QVERIFY(QTest::qWaitFor([&] { return !worker->answers.isEmpty(); }, kHangMs));
    QCOMPARE(worker->answers.size(), 1);
    const WorkerHarness::Answer& a = worker->answers.first();
    QCOMPARE(a.ok, ok);
    QCOMPARE(a.req, req);
    // An attempt whose answer a busy machine held up past the worker's wait got nothing and was
    // tried again; the peer counts such answers once it has taken in the last attempt (the one
    // answered, or the third).
    QVERIFY(QTest::qWaitFor([&] { return peerHeardPast(0x61, code, heardBefore, ok ? 1 : 3); }, kHangMs));
    const int late = peer->lateAnswers(first) - lateBefore;
    if (late == 0)
        QCOMPARE(a.rsp.toHex(' '), rsp.toHex(' '));
    else
        QVERIFY2(a.rsp == rsp || (!ok && a.rsp.isEmpty()), a.rsp.toHex(' ').constData());
    QCOMPARE(peer->requests(first).size() - before, ok ? 1 + late : 3);
}

void TestWorkerSerial::silentSensorFoundAgainAfterAPass()
{
    // The serial schedule: a probe every 101st tick, at the next address of the cycle that no
    // sensor holds. While a silent sensor ages out (3.2 s) the walk goes on past its address, so
    // it is found again only when the walk comes round: up to a pass of 111 probes, 111 x 101
    // ticks, each tick also polling the sensor that stays (here about 25 s).
    QVERIFY(bringUp());
    LogRecorder log;
    const int from = peer->heard().size();
    const qint64 silentAt = worker->elapsedMs();
    peer->update(first, [](SerialSensorPeer::Sensor& s) { s.mute = true; });
    QVERIFY(QTest::qWaitFor([&] { return !worker->disconnected.isEmpty(); }, kHangMs));
    QCOMPARE(worker->disconnected.first().record.addr, uint8_t(0x61));
    peer->update(first, [](SerialSensorPeer::Sensor& s) { s.mute = false; });
    QVERIFY(QTest::qWaitFor([&] { return worker->connected.size() == 3; }, kPassesMs));
    QCOMPARE(worker->connected.last().record.addr, uint8_t(0x61));
    QVERIFY(!log.matching("^err$").isEmpty());  // the polls it left unanswered

    // What the line carried from the silence on: each tick polls every registered sensor once,
    // 0x61 and 0x62 in turn; once 0x61 is gone, polls of 0x62 follow each other. A poll of 0x61
    // after that is a probe, and the first one that discovery's first request follows found it
    // again (a busy machine may let an earlier probe of 0x61 slip: the walk then comes round
    // once more).
    using Heard = SerialSensorPeer::Heard;
    const QVector<Heard> heard = peer->heard().mid(from);
    const auto isPoll = [&](int i, uint8_t addr) { return heard[i].code < 0 && heard[i].addr == addr; };
    int lastTickPoll = -1;  // of 0x61: it is registered up to here
    int previousTick = -1;  // the last poll of 0x62 seen
    for (int i = 0; i < heard.size(); ++i) {
        if (isPoll(i, 0x61)) {
            lastTickPoll = i;
        } else if (isPoll(i, 0x62)) {
            if (previousTick > lastTickPoll && lastTickPoll >= 0)
                break;  // two ticks without 0x61
            previousTick = i;
        }
    }
    QVERIFY(lastTickPoll >= 0);
    int refind = -1;
    for (int i = lastTickPoll + 1; i + 1 < heard.size() && refind < 0; ++i) {
        if (isPoll(i, 0x61) && heard[i + 1].addr == 0x61 && heard[i + 1].code == 0x7F)
            refind = i;
    }
    QVERIFY(refind > lastTickPoll);
    int ticks = 0;
    int sinceProbe = -1;
    int probes = 0;
    uint8_t walk = 0;  // the address probed last
    for (int i = 0; i <= refind; ++i) {
        const Heard& h = heard[i];
        if (h.code >= 0 || (h.addr == 0x61 && i <= lastTickPoll)) {
            continue;  // requests, and polls of the sensor while it is registered
        } else if (h.addr == 0x62) {
            ++ticks;
            if (sinceProbe >= 0)
                ++sinceProbe;
            continue;
        }
        if (sinceProbe >= 0)
            QCOMPARE(sinceProbe, 101);
        if (walk) {
            // One address on, 0x6F followed by 0x01; addresses of registered sensors are passed over.
            const auto next = [](uint8_t a) { return uint8_t(a == 0x6F ? 0x01 : a + 1); };
            uint8_t expected = next(walk);
            while (expected == 0x62 || (expected == 0x61 && i < lastTickPoll))
                expected = next(expected);
            QCOMPARE(int(h.addr), int(expected));
        }
        walk = h.addr;
        sinceProbe = 0;
        ++probes;
    }
    QCOMPARE(int(walk), 0x61);
    qInfo("found again %lld ms after falling silent: %d ticks, %d probes",
          worker->connected.last().atMs - silentAt, ticks, probes);
}

void TestWorkerSerial::silentSensorGetsThreeAttempts()
{
    QVERIFY(bringUp());
    peer->update(second, [](SerialSensorPeer::Sensor& s) { s.ignoreRequests = true; });
    const int before = peer->requests(second).size();
    const int heardBefore = peer->heard().size();
    const QByteArray req = class_sensorCmd::frame(0x62, 0x71);
    worker->sendCommand(0, 0x62, req, 11);
    QVERIFY(QTest::qWaitFor([&] { return !worker->answers.isEmpty(); }, kHangMs));
    QCOMPARE(worker->answers.size(), 1);
    QVERIFY(!worker->answers.first().ok);
    QCOMPARE(worker->answers.first().req, req);
    // The third attempt is on the line, though the peer may not have taken it in yet.
    QVERIFY(QTest::qWaitFor([&] { return peerHeardPast(0x62, 0x71, heardBefore, 3); }, kHangMs));
    QCOMPARE(peer->requests(second).size() - before, 3);
}

void TestWorkerSerial::linkEndsInsideAWait_data()
{
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<bool>("commandPending");
    QTest::newRow("hang-up while polling") << true << false;
    QTest::newRow("disconnect while polling") << false << false;
    QTest::newRow("disconnect while a command waits") << false << true;
}

void TestWorkerSerial::linkEndsInsideAWait()
{
    // The worker spends its time in the serial waits, so the close reaches it inside one.
    QFETCH(bool, hangUp);
    QFETCH(bool, commandPending);
    LogRecorder log;
    QVERIFY(bringUp());
    if (commandPending) {
        // The close is queued to the worker as it starts to wait for the answer, from its own
        // thread, so that the wait takes it however late this thread would have sent it.
        peer->update(first, [](SerialSensorPeer::Sensor& s) { s.answerDelayMs = 80; });
        fingerThread* w = worker->workerObject();
        log.onNext("^rsp len:11$", [w] { QMetaObject::invokeMethod(w, &fingerThread::sl_disconnectCh341, Qt::QueuedConnection); });
        worker->sendCommand(0, 0x61, class_sensorCmd::frame(0x61, 0x71), 11);
    } else if (hangUp) {
        peer->hangUp();
    } else {
        worker->disconnectLink();
    }
    QVERIFY(QTest::qWaitFor([&] { return worker->linkDowns == 1; }, kHangMs));
    QCOMPARE(worker->disconnected.size(), 2);
    QCOMPARE(log.matching("^uart disconnect$").size(), 1);
    QVERIFY(log.waitFor("^stop:0$", kHangMs));  // logged after the link's report
    QCOMPARE(log.matching("^stop:0$").size(), 1);
    // Every sensor is reported gone before the link itself.
    QCOMPARE(worker->events.last(), QString("disconnected"));
    QVERIFY(worker->events.contains("gone 0/0x61"));
    QVERIFY(worker->events.contains("gone 0/0x62"));
    // The tick stopped: nothing more is reported (a busy machine can only make this pass).
    const int frames = worker->frames.size();
    QTest::qWait(100);
    QCOMPARE(worker->frames.size(), frames);
    if (commandPending) {
        // The command outlives the link, not its sensor: after the reopen it ends as an error.
        QVERIFY(worker->answers.isEmpty());
        QVERIFY(worker->connectWhenListed(pty->slavePath(), kHangMs));
        QVERIFY(QTest::qWaitFor([&] { return !worker->answers.isEmpty(); }, kHangMs));
        QVERIFY(!worker->answers.first().ok);
    }
}

void TestWorkerSerial::portListFollowsChangesAfterAClose()
{
    worker->start();
    QVERIFY(worker->connectWhenListed(pty->slavePath(), kHangMs));
    // The rescan due after the open finds the port open and ends; on a busy machine it may still
    // be due at the close, which can only make this test pass.
    QTest::qWait(700);
    worker->disconnectLink();
    QVERIFY(QTest::qWaitFor([&] { return worker->linkDowns == 1; }, kHangMs));
    // A port that appears after the close must reach the list by the next rescan.
    const QString added = pty->slavePath() + "-added";
    class_uart::setExtraPortNames({pty->slavePath(), added});
    QVERIFY(QTest::qWaitFor([&] { return !worker->lists.isEmpty() && worker->lists.last().contains(added); }, kHangMs));
}

TACTILE_TEST_MAIN(TestWorkerSerial)
#include "tst_workerSerial.moc"
