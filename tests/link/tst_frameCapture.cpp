// The benches' count of a sensor's frames at the bus (bench/frameCapture.h): the frames produced,
// told by the sequence steps of the frames the worker reported, against the sensor's own count.

#include "frameCapture.h"
#include "simBus.h"
#include "testMain.h"
#include "workerHarness.h"

#include <QMutex>
#include <QThread>
#include <memory>

using namespace workerWorld;

class TestFrameCapture : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { sim::reset(); }
    void stepsAndWraps_data();
    void stepsAndWraps();
    void agreesWithTheSensorsOwnCount();
};

void TestFrameCapture::stepsAndWraps_data()
{
    // Reports as "sequence byte@read ms" of a sensor with a 10 ms period.
    QTest::addColumn<QString>("reports");
    QTest::addColumn<qint64>("produced");
    QTest::newRow("one report") << "7@0" << qint64(1);
    QTest::newRow("every frame") << "1@0 2@10 3@20 4@31" << qint64(4);
    QTest::newRow("two missed") << "133@0 136@30" << qint64(4);
    QTest::newRow("over the byte's end") << "254@0 255@10 0@20 1@30" << qint64(4);
    QTest::newRow("read late, not missed") << "1@0 2@19" << qint64(2);
    QTest::newRow("held up for 300 frames") << "10@0 54@3000" << qint64(301);
    QTest::newRow("held up for 512+3 frames") << "10@0 13@5150" << qint64(516);
}

void TestFrameCapture::stepsAndWraps()
{
    QFETCH(QString, reports);
    QFETCH(qint64, produced);
    FrameCapture count(10);
    CaptureTally tally;
    for (const QString& r : reports.split(' ')) {
        const QStringList parts = r.split('@');
        tally.add(count.add(uint8_t(parts[0].toInt()), parts[1].toLongLong()));
    }
    QCOMPARE(tally.produced, produced);
    QCOMPARE(tally.captured, qint64(reports.count('@')));
    QCOMPARE(tally.lost(), produced - tally.captured);
}

void TestFrameCapture::agreesWithTheSensorsOwnCount()
{
    // A sensor with a frame every millisecond; the worker is held up twice, once for longer than
    // the sequence byte counts.
    const int bridge = freshBridge();
    constexpr uint32_t kPeriodMs = 1;
    const int sensor = addSensor(bridge, 2, 0x61, 20, 0x03, kPeriodMs);
    QVERIFY(sensor >= 0);

    // In the worker's thread, right after each report: its sequence byte and read time, and the
    // number the sensor gave the frame just read. Made before the worker, so that they outlive it
    // however the test ends.
    struct Report {
        uint8_t seq;
        qint64 readMs;
        uint32_t number;
    };
    QMutex lock;
    QVector<Report> reports;
    QObject receiver;
    auto reported = [&] {
        QMutexLocker locked(&lock);
        return reports.size();
    };
    WorkerHarness worker(fingerThread::LinkCh341);
    worker.start();
    QVERIFY(worker.connectWhenListed(QString::number(kBridgeId), kHangMs));
    QVERIFY(worker.waitForSensors(1, kHangMs));
    connect(
        worker.workerObject(), &fingerThread::si_updateData1, &receiver,
        [&](uint8_t, uint8_t, const QVector<uint8_t>& pack, qint64 readMs) {
            const uint32_t number = sim::sensorState(sensor).lastFrameServed;
            QMutexLocker locked(&lock);
            reports.append({pack.value(4), readMs, number});
        },
        Qt::DirectConnection);
    for (int hold : {100, 400}) {
        int before = reported();
        QVERIFY(QTest::qWaitFor([&] { return reported() > before + 20; }, kHangMs));
        // Between two ticks: the worker reads nothing while it lasts.
        QVERIFY(worker.betweenTicks([hold] { QThread::msleep(ulong(hold)); }) >= 0);
        before = reported();
        QVERIFY(QTest::qWaitFor([&] { return reported() > before + 20; }, kHangMs));
    }
    worker.stop();

    QMutexLocker locked(&lock);
    FrameCapture count(kPeriodMs);
    CaptureTally tally;
    for (const Report& r : reports)
        tally.add(count.add(r.seq, r.readMs));
    QCOMPARE(tally.captured, qint64(reports.size()));
    QCOMPARE(tally.produced, qint64(reports.last().number - reports.first().number + 1));
    QVERIFY2(tally.lost() >= 400, qPrintable(tally.line()));
}

TACTILE_TEST_MAIN(TestFrameCapture)
#include "tst_frameCapture.moc"
