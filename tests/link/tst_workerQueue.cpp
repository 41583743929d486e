// The bus worker's command queue on the simulated bridge: answers, retries, late answers, commands
// that await nothing, the set-address command, queue order and commands that cannot be delivered.

#include "class_sensorCmd.h"
#include "logRecorder.h"
#include "simBus.h"
#include "testMain.h"
#include "workerHarness.h"

#include <memory>

using namespace workerWorld;

namespace {

const QString kId = QString::number(kBridgeId);
constexpr uint16_t kVariable = class_sensorCmd::kRspVariable;
constexpr uint8_t kTarget = 0x07;  // the id byte the panels put in byte 2
constexpr int kWaitMs = kHangMs;
// An answer ready this long after its request comes after any attempt's ten reads, however
// slowly a busy machine makes them.
constexpr int kNeverInTimeMs = 5000;

QByteArray request(uint8_t code, uint8_t byte7 = 0)
{
    const uint8_t params[5] = {0, 0, 0, byte7, 0};
    return class_sensorCmd::frame(kTarget, code, params);
}

}  // namespace

class TestWorkerQueue : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void answered_data();
    void answered();
    void silentSensorGetsThreeAttempts();
    void noAnswerAwaited();
    void setAddressIsAnsweredFromTheNewAddress();
    void commandsRunInQueueOrder_data();
    void commandsRunInQueueOrder();
    void answerLengthBelowTheSmallestAnswer();

private:
    int requestsOf(int sensor, const QByteArray& req) const { return sim::sensorState(sensor).requests.count(req); }
    bool waitForAnswers(int n) { return QTest::qWaitFor([&] { return worker->answers.size() >= n; }, kWaitMs); }

    std::unique_ptr<WorkerHarness> worker;
    int bridge = -1;
    int a = -1;  // 0x61 on channel 1
    int b = -1;  // 0x62 on channel 4
};

void TestWorkerQueue::init()
{
    bridge = freshBridge();
    a = addSensor(bridge, 1, 0x61, 20, kTarget);
    b = addSensor(bridge, 4, 0x62, 43, kTarget, 5, "VX-QUEUE-62");
    QVERIFY(a >= 0 && b >= 0);
    worker = std::make_unique<WorkerHarness>(fingerThread::LinkCh341);
    worker->start();
    QVERIFY(worker->connectWhenListed(kId, kWaitMs));
    QVERIFY(worker->waitForSensors(2, kWaitMs));
}

void TestWorkerQueue::cleanup()
{
    worker.reset();
    sim::reset();
}

void TestWorkerQueue::answered_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rspLen");
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<bool>("corruptSum");
    QTest::addColumn<bool>("ok");
    QTest::newRow("fixed length") << 0x71 << 11 << 1 << false << true;
    QTest::newRow("variable length") << 0xA4 << int(kVariable) << 1 << false << true;
    QTest::newRow("late, within the read window") << 0x71 << 11 << 60 << false << true;
    QTest::newRow("later than the read window") << 0x71 << 11 << kNeverInTimeMs << false << false;
    QTest::newRow("wrong sum") << 0x71 << 11 << 1 << true << false;
}

void TestWorkerQueue::answered()
{
    QFETCH(int, code);
    QFETCH(int, rspLen);
    QFETCH(int, latencyMs);
    QFETCH(bool, corruptSum);
    QFETCH(bool, ok);
    sim::SensorFaults f;
    f.answerLatencyMs = uint32_t(latencyMs);
    f.corruptAnswerSum = corruptSum;
    sim::setSensorFaults(b, f);
    const QByteArray req = request(uint8_t(code));
    LogRecorder log;
    worker->sendCommand(4, 0x62, req, uint16_t(rspLen));
    QVERIFY(waitForAnswers(1));
    // What the worker logs of the command's way, once each.
    const QString hex = QString::fromLatin1(req.toHex(' '));
    QCOMPARE(log.matching("^add cmd:" + hex + "$").size(), 1);
    QCOMPARE(log.matching("^appendCmdList:1$").size(), 1);
    QCOMPARE(log.matching("^req 3:" + hex + "$").size(), 1);
    QCOMPARE(log.matching(QString("^rsp len:%1$").arg(rspLen == kVariable ? 500 : rspLen)).size(), ok ? 1 : 3);
    if (corruptSum)
        QVERIFY(!log.matching("^chk err$").isEmpty());
    const WorkerHarness::Answer& got = worker->answers.first();
    QCOMPARE(got.ok, ok);
    QCOMPARE(got.infIdx, uint8_t(4));
    QCOMPARE(got.addr, uint8_t(0x62));
    QCOMPARE(got.req, req);
    if (!ok) {
        QCOMPARE(requestsOf(b, req), 3);
        return;
    }
    QCOMPARE(requestsOf(b, req), 1);
    // Logged after the answer was sent.
    const QString rspLine = "^rsp:" + QString::fromLatin1(got.rsp.toHex(' ')) + "$";
    QVERIFY(log.waitFor(rspLine, kWaitMs));
    QCOMPARE(log.matching(rspLine).size(), 1);
    // Exactly the answer frame: its own length, no zero tail.
    const QByteArray& rsp = got.rsp;
    const int len = rspLen == kVariable ? 5 + 11 + 2 : rspLen;
    QCOMPARE(rsp.size(), len);
    QVERIFY(class_sensorCmd::checkAnswer(req, rsp, len));
    if (code == 0x71)
        QCOMPARE(uint8_t(rsp[7]), uint8_t(0x62));
    else
        QCOMPARE(rsp.mid(5, 11), QByteArray("VX-QUEUE-62"));
}

void TestWorkerQueue::silentSensorGetsThreeAttempts()
{
    sim::SensorFaults f;
    f.unansweredCodes = {0x71};
    sim::setSensorFaults(a, f);
    const QByteArray req = request(0x71);
    LogRecorder log;
    worker->sendCommand(1, 0x61, req, 11);
    QVERIFY(waitForAnswers(1));
    QTest::qWait(200);  // no second report: a busy machine can only make this pass
    QCOMPARE(worker->answers.size(), 1);
    // Attempts left after each failure; the queue, head included, when the third one gives up.
    const QString hex = QString::fromLatin1(req.toHex(' '));
    QCOMPARE(log.matching("^req \\d:" + hex + "$"), QStringList({"req 3:" + hex, "req 2:" + hex, "req 1:" + hex}));
    QCOMPARE(log.matching("^try:\\d$"), QStringList({"try:2", "try:1", "try:0"}));
    QVERIFY(log.waitFor("^cmdList:1$", kWaitMs));
    QVERIFY(!worker->answers.first().ok);
    QCOMPARE(worker->answers.first().req, req);
    QCOMPARE(worker->answers.first().rsp.size(), 11);  // the last read
    QCOMPARE(requestsOf(a, req), 3);
}

void TestWorkerQueue::noAnswerAwaited()
{
    const QByteArray reset = request(0x79);
    const QByteArray read = request(0x71);
    worker->sendCommand(1, 0x61, reset, 0);
    worker->sendCommand(1, 0x61, read, 11);
    QVERIFY(waitForAnswers(1));
    QTest::qWait(100);  // no report of the first: a busy machine can only make this pass
    QCOMPARE(worker->answers.size(), 1);
    QCOMPARE(worker->answers.first().req, read);
    QVERIFY(worker->answers.first().ok);
    QCOMPARE(requestsOf(a, reset), 1);
}

void TestWorkerQueue::setAddressIsAnsweredFromTheNewAddress()
{
    const QByteArray req = request(0x70, 0x33);
    worker->sendCommand(1, 0x61, req, 11);
    QVERIFY(waitForAnswers(1));
    const WorkerHarness::Answer& got = worker->answers.first();
    QVERIFY(got.ok);
    QCOMPARE(got.addr, uint8_t(0x61));
    QCOMPARE(uint8_t(got.rsp[3]), uint8_t(0xF0));  // the set's answer, read at its new address
    QCOMPARE(sim::sensorState(a).addr, uint8_t(0x33));
}

void TestWorkerQueue::commandsRunInQueueOrder_data()
{
    QTest::addColumn<int>("infIdx");
    QTest::addColumn<int>("addr");
    QTest::addColumn<bool>("deliverable");
    // A head waits for the tick of its channel, and the command behind it waits too.
    QTest::newRow("head on a later channel") << 4 << 0x62 << true;
    // A head that can never be delivered ends as an error and does not hold the queue.
    QTest::newRow("channel the tick never visits") << 7 << 0x61 << false;
    QTest::newRow("no sensor at the address") << 1 << 0x50 << false;
    QTest::newRow("sensor on another channel") << 2 << 0x61 << false;
}

void TestWorkerQueue::commandsRunInQueueOrder()
{
    QFETCH(int, infIdx);
    QFETCH(int, addr);
    QFETCH(bool, deliverable);
    const QByteArray first = request(0x71);
    const QByteArray second = request(0x74);
    worker->sendCommand(uint8_t(infIdx), uint8_t(addr), first, 11);
    worker->sendCommand(1, 0x61, second, 11);
    QVERIFY(waitForAnswers(2));
    QCOMPARE(worker->answers[0].req, first);
    QCOMPARE(int(worker->answers[0].infIdx), infIdx);
    QCOMPARE(int(worker->answers[0].addr), addr);
    QCOMPARE(worker->answers[0].ok, deliverable);
    if (!deliverable) {
        QVERIFY(worker->answers[0].rsp.isEmpty());
        QCOMPARE(requestsOf(a, first), 0);
    }
    QCOMPARE(worker->answers[1].req, second);
    QCOMPARE(worker->answers[1].addr, uint8_t(0x61));
    QVERIFY(worker->answers[1].ok);
}

void TestWorkerQueue::answerLengthBelowTheSmallestAnswer()
{
    // No answer can be 3 bytes long: every attempt fails, nothing is read outside the answer.
    const QByteArray req = request(0x71);
    worker->sendCommand(1, 0x61, req, 3);
    QVERIFY(waitForAnswers(1));
    QVERIFY(!worker->answers.first().ok);
    QCOMPARE(requestsOf(a, req), 3);
}

TACTILE_TEST_MAIN(TestWorkerQueue)
#include "tst_workerQueue.moc"
