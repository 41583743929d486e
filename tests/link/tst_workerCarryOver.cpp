// What one bus worker leaves to the next in the same process: a worker that ends in the middle of a
// command's attempts must not shorten the attempts of the next worker's first command.

#include "class_sensorCmd.h"
#include "logRecorder.h"
#include "simBus.h"
#include "testMain.h"
#include "workerHarness.h"

using namespace workerWorld;

class TestWorkerCarryOver : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { sim::reset(); }
    void everyWorkerStartsWithThreeAttempts();
};

void TestWorkerCarryOver::everyWorkerStartsWithThreeAttempts()
{
    const int bridge = freshBridge();
    const int sensor = addSensor(bridge, 2, 0x61);
    sim::SensorFaults f;
    f.unansweredCodes = {0x71};
    sim::setSensorFaults(sensor, f);
    const QByteArray req = class_sensorCmd::frame(0x03, 0x71);
    auto attempts = [&] { return sim::sensorState(sensor).requests.count(req); };
    const QString id = QString::number(kBridgeId);

    {
        LogRecorder log;
        WorkerHarness first(fingerThread::LinkCh341);
        first.start();
        QVERIFY(first.connectWhenListed(id, kHangMs));
        QVERIFY(first.waitForSensors(1, kHangMs));
        // Told to stop in its own thread as its first attempt fails, so it ends with the other
        // attempts unused however late this thread hears of it.
        fingerThread* w = first.workerObject();
        log.onNext("^try:2$", [w] { w->stop(); });
        first.sendCommand(2, 0x61, req, 11);
        QVERIFY(log.waitFor("^fingerThread exit$", kHangMs));
        first.stop();
        QCOMPARE(attempts(), 1);
        QVERIFY(first.answers.isEmpty());
    }

    const int before = attempts();
    WorkerHarness second(fingerThread::LinkCh341);
    second.start();
    QVERIFY(second.connectWhenListed(id, kHangMs));
    QVERIFY(second.waitForSensors(1, kHangMs));
    second.sendCommand(2, 0x61, req, 11);
    QVERIFY(QTest::qWaitFor([&] { return !second.answers.isEmpty(); }, kHangMs));
    QTest::qWait(100);  // no second report: a busy machine can only make this pass
    QCOMPARE(second.answers.size(), 1);
    QVERIFY(!second.answers.first().ok);
    QCOMPARE(attempts() - before, 3);
}

TACTILE_TEST_MAIN(TestWorkerCarryOver)
#include "tst_workerCarryOver.moc"
