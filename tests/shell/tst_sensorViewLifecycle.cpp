// The sensor view's worker lifecycle on the simulated bus: one worker per activation, the 500 ms
// restart after a change of link, and many starts and stops that leave nothing behind.

#include "fingerForm.h"
#include "fingerThread.h"
#include "orvalisForm.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_orvalisForm.h"
#include "workerHarness.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QPointer>
#include <QThread>
#include <QTreeWidget>
#include <atomic>

namespace {

constexpr uint16_t kCh347Id = 7;
// The restart wait, less the slack of a coarse timer.
constexpr int kRestartAtLeastMs = orvalisForm::kLinkRestartMs - 50;
// A restart that has not come long after its wait is a hang.
constexpr int kRestartedMs = 20 * orvalisForm::kLinkRestartMs;

}  // namespace

class TestSensorViewLifecycle : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startRunsOneWorker();
    void stopJoinsAndIsHarmlessTwice();
    void linkChangeRestartsAfterWait();
    void twoChangesStartOneWorker();
    void stopCancelsPendingRestart();
    void pendingRestartAfterStartDoesNothing();
    void repeatedStartStopLeavesNothing();
    void reportsOfAnEndedWorkerChangeNothing_data();
    void reportsOfAnEndedWorkerChangeNothing();

private:
    void connectAndShow(int sensors);
    int shownSensors() const;

    std::unique_ptr<orvalisForm> view;
    int threadStarts = 0;  // counted in this thread, from the worker thread's signal
    int bridge = -1;
};

void TestSensorViewLifecycle::init()
{
    WarningRecorder::clear();
    bridge = workerWorld::freshBridge();
    workerWorld::addSensor(bridge, 0, 0x61);
    workerWorld::addSensor(bridge, 3, 0x62);
    sim::BridgeConfig b347;
    b347.kind = sim::BridgeKind::Ch347;
    b347.id = kCh347Id;
    sim::addBridge(b347);
    view = std::make_unique<orvalisForm>();
    threadStarts = 0;
    // Queued into this thread; reports of a view already gone are dropped with it.
    connect(view->workerThread, &QThread::started, view.get(), [this] { ++threadStarts; }, Qt::QueuedConnection);
}

void TestSensorViewLifecycle::cleanup()
{
    view.reset();
    sim::reset();
    QVERIFY(WarningRecorder::warnings().isEmpty());
}

void TestSensorViewLifecycle::connectAndShow(int sensors)
{
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, 5000);
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->pbtnCh341Connect->text(), QString("断开"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(shownSensors(), sensors, 10000);
}

int TestSensorViewLifecycle::shownSensors() const
{
    int items = 0;
    for (int ch = 0; ch < view->tree->topLevelItemCount(); ++ch)
        items += view->tree->topLevelItem(ch)->childCount();
    const int windows = view->mdiArea->subWindowList().size();
    return items == windows ? items : -1;
}

void TestSensorViewLifecycle::startRunsOneWorker()
{
    QCOMPARE(view->ui->cbbSensorInf->currentIndex(), int(fingerThread::LinkCh341));
    QVERIFY(!view->worker);
    view->start();
    QPointer<fingerThread> first = view->worker;
    QVERIFY(first);
    QCOMPARE(int(first->linkType), int(fingerThread::LinkCh341));
    QVERIFY(view->workerThread->isRunning());

    view->start();
    QCOMPARE(view->worker.data(), first.data());
    QTRY_COMPARE(threadStarts, 1);
    connectAndShow(2);
}

void TestSensorViewLifecycle::stopJoinsAndIsHarmlessTwice()
{
    view->stop();  // never started
    view->start();
    connectAndShow(2);
    QPointer<fingerThread> worker = view->worker;
    view->stop();
    QVERIFY(!view->workerThread->isRunning());
    QVERIFY(!worker);
    QCOMPARE(view->ui->pbtnCh341Connect->text(), QString("连接"));
    // The ended worker's ids go with it: a click now could only reach a worker that never saw them.
    QCOMPARE(view->ui->cbbCh341List->count(), 0);
    view->stop();
    QTRY_COMPARE(shownSensors(), 0);
    QVERIFY(view->sensorList.isEmpty());
}

void TestSensorViewLifecycle::linkChangeRestartsAfterWait()
{
    view->start();
    connectAndShow(2);

    QElapsedTimer sinceChange;
    sinceChange.start();
    view->ui->cbbSensorInf->setCurrentIndex(fingerThread::LinkCh347);
    // Stopped at once: every panel and item goes, the button reads "连接".
    QVERIFY(!view->worker);
    QVERIFY(!view->workerThread->isRunning());
    QCOMPARE(view->ui->pbtnCh341Connect->text(), QString("连接"));
    QTRY_COMPARE(shownSensors(), 0);
    QVERIFY(view->findChildren<fingerForm*>().isEmpty());

    QTRY_VERIFY_WITH_TIMEOUT(view->worker, kRestartedMs);
    QVERIFY(sinceChange.elapsed() >= kRestartAtLeastMs);
    QCOMPARE(int(view->worker->linkType), int(fingerThread::LinkCh347));
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, 5000);
    QCOMPARE(view->ui->cbbCh341List->currentText(), QString::number(kCh347Id));
    QTRY_COMPARE(threadStarts, 2);
}

void TestSensorViewLifecycle::twoChangesStartOneWorker()
{
    view->start();
    view->ui->cbbSensorInf->setCurrentIndex(fingerThread::LinkSerial);
    // The second change comes 300 ms later, within the wait. The window's events wait meanwhile,
    // as they would behind a busy window, so that a held-up test cannot let the first wait run out.
    QThread::msleep(300);
    QVERIFY(!view->worker);
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    view->ui->cbbSensorInf->setCurrentIndex(fingerThread::LinkCh347);
    QTRY_VERIFY_WITH_TIMEOUT(view->worker, kRestartedMs);
    QVERIFY(sinceSecond.elapsed() >= kRestartAtLeastMs);
    QCOMPARE(int(view->worker->linkType), int(fingerThread::LinkCh347));
    QTest::qWait(800);
    QTRY_COMPARE(threadStarts, 2);
}

void TestSensorViewLifecycle::stopCancelsPendingRestart()
{
    view->start();
    view->ui->cbbSensorInf->setCurrentIndex(fingerThread::LinkCh347);
    // The user leaves the tab within the wait: the view must not start a worker behind it.
    view->stop();
    QTest::qWait(900);
    QVERIFY(!view->worker);
    QVERIFY(!view->workerThread->isRunning());
    QTRY_COMPARE(threadStarts, 1);

    view->start();
    QVERIFY(view->worker);
    QCOMPARE(int(view->worker->linkType), int(fingerThread::LinkCh347));
}

void TestSensorViewLifecycle::pendingRestartAfterStartDoesNothing()
{
    view->start();
    view->ui->cbbSensorInf->setCurrentIndex(fingerThread::LinkCh347);
    view->start();  // reached within the wait
    QPointer<fingerThread> worker = view->worker;
    QVERIFY(worker);
    QTest::qWait(900);
    QCOMPARE(view->worker.data(), worker.data());
    QTRY_COMPARE(threadStarts, 2);
}

void TestSensorViewLifecycle::repeatedStartStopLeavesNothing()
{
    QVector<QPointer<fingerThread>> workers;
    for (int round = 0; round < 40; ++round) {
        view->start();
        workers << view->worker;
        // Some rounds get as far as showing the sensors, the others stop at once.
        if (round % 10 == 0)
            connectAndShow(2);
        else if (round % 3 == 0)
            QTest::qWait(5);
        view->stop();
        QVERIFY(!workers.last());
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE(shownSensors(), 0);
    QVERIFY(view->sensorList.isEmpty());
    QVERIFY(view->findChildren<fingerForm*>().isEmpty());
    for (const QPointer<fingerThread>& w : workers)
        QVERIFY(!w);
    QTRY_COMPARE(threadStarts, 40);
}

void TestSensorViewLifecycle::reportsOfAnEndedWorkerChangeNothing_data()
{
    QTest::addColumn<bool>("linkOpened");  // the report: the link opened, else a new device list
    QTest::newRow("a device list") << false;
    QTest::newRow("the link opened") << true;
}

void TestSensorViewLifecycle::reportsOfAnEndedWorkerChangeNothing()
{
    // The window is busy while the worker reports, and the user leaves the tab before it gets to
    // the report: what the report says is the ended worker's, not the view's.
    QFETCH(bool, linkOpened);
    view->start();
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, 5000);
    std::atomic<bool> reported{false};
    QObject receiver;
    const auto noteReport = [&reported] { reported = true; };
    if (linkOpened) {
        connect(view->worker, &fingerThread::si_ch341Connected, &receiver, noteReport, Qt::DirectConnection);
        QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    } else {
        connect(view->worker, &fingerThread::si_ch341ListUpdate, &receiver, noteReport, Qt::DirectConnection);
        sim::BridgeConfig another;
        another.id = workerWorld::kBridgeId + 1;
        another.plugged = false;
        QVERIFY(sim::plug(sim::addBridge(another)));
    }
    QDeadlineTimer hang(5000);
    while (!reported && !hang.hasExpired())
        QThread::msleep(1);
    QVERIFY2(reported, "the worker did not report");

    view->stop();
    QCoreApplication::processEvents();  // the report, queued behind the stop
    QCOMPARE(view->ui->pbtnCh341Connect->text(), QString("连接"));
    QCOMPARE(view->ui->cbbCh341List->count(), 0);
    QTRY_COMPARE(shownSensors(), 0);
}

TACTILE_TEST_MAIN(TestSensorViewLifecycle)
#include "tst_sensorViewLifecycle.moc"
