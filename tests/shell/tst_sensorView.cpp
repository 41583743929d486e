// The sensor view with a real bus worker on the simulated bus: sensors in the tree and in
// sub-windows, sensors that fall silent, disconnecting, unplugging, and the panel windows.

#include "class_tcp.h"
#include "fingerForm.h"
#include "fingerThread.h"
#include "frameClock.h"
#include "hooks.h"
#include "orvalisForm.h"
#include "sensorViewFixture.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_orvalisForm.h"
#include "waveformStream.h"
#include "workerHarness.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMutex>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeWidget>

namespace {

constexpr int kFoundMs = SensorViewFixture::kFoundMs;
// Age-out after 3000 ms without a new frame, plus a poll and the queue to the view; the age
// counter steps by its timer's passes, which a busy machine makes late.
constexpr int kAgeOutMs = 40000;

struct Shown {
    int channel;
    uint8_t addr;
    QString serial;
    QString label() const { return QString::asprintf("%d/0x%02X/", channel, addr) + serial; }
    QString window() const { return QString::asprintf("%d-0x%02X", channel, addr); }
};

}  // namespace

class TestSensorView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void connectShowsEverySensor();
    void silentSensorGoesAlone();
    void lostSensorWithClosedWindowTakesOnlyItsOwn();
    void disconnectRemovesEverything();
    void unpluggedBridgeRemovesEverything();
    void stopRemovesEverything();
    void closedPanelReturnsOnTreeClick();
    void multiWindowModeTilesFullHeight();
    void emptyDeviceListSendsNothing();
    void framesReachTheirOwnPanelsFromTheFirst();
    void rowTimesAreWhenTheFramesWereRead();
    void streamSendsOneSamplePerFrameOfTheActivePanel();

private:
    int addSensor(const Shown& s, uint8_t prg = 20);
    void startAndConnect() { bus.startAndConnect(); }
    void waitShown(const QVector<Shown>& sensors);
    QStringList treeLabels(int channel) const;
    QStringList windowNames() const;
    QMdiSubWindow* window(const Shown& s) const { return bus.window(s.channel, s.addr); }
    QTreeWidgetItem* item(const Shown& s) const;
    void verifyNothingShown();
    // The rows of the one log file of a sensor: its time and sequence byte fields.
    struct Row {
        qint64 ms;
        uint8_t seq;
    };
    QVector<Row> loggedRows(const Shown& s) const;

    fingerForm* panel(const Shown& s) const { return bus.panel(s.channel, s.addr); }

    SensorViewFixture bus;
    orvalisForm* view = nullptr;
    int bridge = -1;
};

void TestSensorView::init()
{
    WarningRecorder::clear();
    QDir(orvalisForm::dataFolder()).removeRecursively();
    bus.open(QSize(900, 500));
    view = bus.view.get();
    bridge = bus.bridge;
}

void TestSensorView::cleanup()
{
    bus.close();
    view = nullptr;
    QVERIFY(WarningRecorder::warnings().isEmpty());
    QCOMPARE(WarningRecorder::restarts(), 0);
}

int TestSensorView::addSensor(const Shown& s, uint8_t prg)
{
    return bus.addSensor(s.channel, s.addr, prg, s.serial);
}

void TestSensorView::waitShown(const QVector<Shown>& sensors)
{
    QTRY_COMPARE_WITH_TIMEOUT(windowNames().size(), sensors.size(), kFoundMs);
    for (const Shown& s : sensors) {
        QVERIFY2(treeLabels(s.channel).contains(s.label()), qPrintable(s.label()));
        QVERIFY2(window(s), qPrintable(s.window()));
    }
}

QStringList TestSensorView::treeLabels(int channel) const
{
    QStringList labels;
    QTreeWidgetItem* top = view->tree->topLevelItem(channel);
    for (int i = 0; top && i < top->childCount(); ++i)
        labels << top->child(i)->text(0);
    return labels;
}

QStringList TestSensorView::windowNames() const
{
    QStringList names;
    for (QMdiSubWindow* sub : view->mdiArea->subWindowList(QMdiArea::CreationOrder))
        names << sub->objectName();
    return names;
}

QTreeWidgetItem* TestSensorView::item(const Shown& s) const
{
    QTreeWidgetItem* top = view->tree->topLevelItem(s.channel);
    for (int i = 0; top && i < top->childCount(); ++i) {
        if (top->child(i)->text(0) == s.label())
            return top->child(i);
    }
    return nullptr;
}

void TestSensorView::verifyNothingShown()
{
    QTRY_VERIFY_WITH_TIMEOUT(windowNames().isEmpty(), 5000);
    for (int ch = 0; ch < orvalisForm::kChannelCount; ++ch)
        QVERIFY(treeLabels(ch).isEmpty());
    QVERIFY(view->sensorList.isEmpty());
    QTRY_VERIFY(view->findChildren<fingerForm*>().isEmpty());
    QCOMPARE(view->tree->topLevelItemCount(), orvalisForm::kChannelCount);
}

void TestSensorView::connectShowsEverySensor()
{
    // One address on two channels, and the example of channel 2 at 0x61.
    const QVector<Shown> sensors = {
        {2, 0x61, "VX-000000000"}, {0, 0x61, "VX-A"}, {5, 0x6A, "VX-B"}};
    QVector<int> handles;
    for (const Shown& s : sensors)
        handles << addSensor(s);

    QCOMPARE(view->tree->topLevelItemCount(), 6);
    for (int n = 1; n <= 6; ++n)
        QCOMPARE(view->tree->topLevelItem(n - 1)->text(0), QString("接口%1").arg(n));

    startAndConnect();
    TACTILE_STEP(waitShown(sensors));
    QCOMPARE(treeLabels(2), QStringList{"2/0x61/VX-000000000"});
    QMdiSubWindow* sub = window(sensors[0]);
    QCOMPARE(sub->windowTitle(), QString("2/0x61/VX-000000000"));
    QVERIFY(!(sub->windowFlags() & Qt::WindowCloseButtonHint));
    auto* panel = qobject_cast<fingerForm*>(sub->widget());
    QVERIFY(panel);
    QCOMPARE(panel->objectName(), QString("2-0x61"));
    QCOMPARE(int(panel->infIdx), 2);
    QCOMPARE(int(panel->addr), 0x61);

    // The records stay parallel to the sub-windows in creation order.
    const QList<QMdiSubWindow*> subs = view->mdiArea->subWindowList(QMdiArea::CreationOrder);
    QCOMPARE(view->sensorList.size(), subs.size());
    for (int k = 0; k < subs.size(); ++k)
        QCOMPARE(orvalisForm::windowName(view->sensorList[k].infIdx, view->sensorList[k].addr),
                 subs[k]->objectName());

    // Each panel is wired both ways: its reads reach its own sensor, and its frames come back.
    QSignalSpy frames(panel, &fingerForm::si_sendDataStrList);
    QVERIFY(frames.wait(kFoundMs));
    const int discoveryRequests = 4;
    for (int h : handles)
        QTRY_VERIFY_WITH_TIMEOUT(sim::sensorState(h).requests.size() > discoveryRequests, kFoundMs);
}

void TestSensorView::silentSensorGoesAlone()
{
    const Shown quiet{0, 0x61, "VX-A"};
    const Shown twin{1, 0x61, "VX-B"};
    const Shown other{3, 0x65, "VX-C"};
    const int quietHandle = addSensor(quiet);
    addSensor(twin);
    addSensor(other);
    startAndConnect();
    TACTILE_STEP(waitShown({quiet, twin, other}));
    QPointer<fingerForm> twinPanel = qobject_cast<fingerForm*>(window(twin)->widget());

    sim::SensorFaults f;
    f.silent = true;
    sim::setSensorFaults(quietHandle, f);
    QTRY_VERIFY_WITH_TIMEOUT(!window(quiet), kAgeOutMs);
    QVERIFY(!item(quiet));
    QCOMPARE(windowNames(), (QStringList{twin.window(), other.window()}));
    QCOMPARE(view->sensorList.size(), 2);
    QVERIFY(twinPanel);
    // The others keep answering and stay.
    QTest::qWait(1000);
    QCOMPARE(windowNames(), (QStringList{twin.window(), other.window()}));
    QVERIFY(item(twin) && item(other));
}

void TestSensorView::lostSensorWithClosedWindowTakesOnlyItsOwn()
{
    const Shown closed{0, 0x61, "VX-A"};
    const Shown live{1, 0x62, "VX-B"};
    const int closedHandle = addSensor(closed);
    addSensor(live);
    startAndConnect();
    TACTILE_STEP(waitShown({closed, live}));

    // The user closes one panel; the other sensor's window is the active one.
    QPointer<QMdiSubWindow> closedSub = window(closed);
    QPointer<fingerForm> closedPanel = qobject_cast<fingerForm*>(closedSub->widget());
    closedSub->close();
    QTRY_VERIFY(!closedPanel);
    QVERIFY(closedSub->isHidden());
    QPointer<QMdiSubWindow> liveSub = window(live);
    view->mdiArea->setActiveSubWindow(liveSub);
    QPointer<fingerForm> livePanel = qobject_cast<fingerForm*>(liveSub->widget());

    sim::SensorFaults f;
    f.silent = true;
    sim::setSensorFaults(closedHandle, f);
    QTRY_VERIFY_WITH_TIMEOUT(!closedSub, kAgeOutMs);
    QVERIFY(!item(closed));
    QVERIFY(liveSub && livePanel);
    QVERIFY(!liveSub->isHidden());
    QCOMPARE(liveSub->widget(), livePanel.data());
    QCOMPARE(windowNames(), QStringList{live.window()});
    QCOMPARE(view->sensorList.size(), 1);
    QCOMPARE(int(view->sensorList[0].addr), 0x62);
}

void TestSensorView::disconnectRemovesEverything()
{
    addSensor({0, 0x61, "VX-A"});
    addSensor({4, 0x63, "VX-B"});
    startAndConnect();
    TACTILE_STEP(waitShown({{0, 0x61, "VX-A"}, {4, 0x63, "VX-B"}}));

    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    QTRY_COMPARE(view->ui->pbtnCh341Connect->text(), QString("连接"));
    verifyNothingShown();
    QVERIFY(!sim::isDeviceOpen(bridge));
}

void TestSensorView::unpluggedBridgeRemovesEverything()
{
    addSensor({0, 0x61, "VX-A"});
    addSensor({2, 0x61, "VX-B"});
    startAndConnect();
    TACTILE_STEP(waitShown({{0, 0x61, "VX-A"}, {2, 0x61, "VX-B"}}));

    QVERIFY(sim::unplug(bridge));
    sim::waitForNotifications();
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->pbtnCh341Connect->text(), QString("连接"), 5000);
    verifyNothingShown();
}

void TestSensorView::stopRemovesEverything()
{
    addSensor({1, 0x61, "VX-A"});
    startAndConnect();
    TACTILE_STEP(waitShown({{1, 0x61, "VX-A"}}));

    view->stop();
    QVERIFY(!view->workerThread->isRunning());
    QVERIFY(!view->worker);
    QCOMPARE(view->ui->pbtnCh341Connect->text(), QString("连接"));
    verifyNothingShown();
}

void TestSensorView::closedPanelReturnsOnTreeClick()
{
    const Shown a{0, 0x61, "VX-A"};
    const Shown b{3, 0x64, "VX-B"};
    addSensor(a);
    addSensor(b);
    startAndConnect();
    TACTILE_STEP(waitShown({a, b}));

    QMdiSubWindow* sub = window(a);
    QPointer<fingerForm> oldPanel = qobject_cast<fingerForm*>(sub->widget());
    sub->close();
    QTRY_VERIFY(!oldPanel);
    QVERIFY(sub->isHidden());

    emit view->tree->itemClicked(item(a), 0);
    QVERIFY(!sub->isHidden());
    auto* panel = qobject_cast<fingerForm*>(sub->widget());
    QVERIFY(panel);
    QCOMPARE(panel->objectName(), a.window());
    QCOMPARE(view->mdiArea->activeSubWindow(), sub);
    // The fresh panel is wired to the running worker.
    QSignalSpy frames(panel, &fingerForm::si_sendDataStrList);
    QVERIFY(frames.wait(kFoundMs));

    // A visible sensor's item activates its window; a channel item does nothing.
    emit view->tree->itemClicked(item(b), 0);
    QCOMPARE(view->mdiArea->activeSubWindow(), window(b));
    emit view->tree->itemClicked(view->tree->topLevelItem(0), 0);
    QCOMPARE(view->mdiArea->activeSubWindow(), window(b));
    QCOMPARE(windowNames().size(), 2);
}

void TestSensorView::multiWindowModeTilesFullHeight()
{
    addSensor({0, 0x61, "VX-A"});
    addSensor({1, 0x61, "VX-B"});
    startAndConnect();
    TACTILE_STEP(waitShown({{0, 0x61, "VX-A"}, {1, 0x61, "VX-B"}}));
    QCOMPARE(view->mdiArea->viewMode(), QMdiArea::TabbedView);

    QTest::mouseClick(view->ui->chkbtnMdiMode, Qt::LeftButton);
    QCOMPARE(view->mdiArea->viewMode(), QMdiArea::SubWindowView);
    for (QMdiSubWindow* sub : view->mdiArea->subWindowList())
        QCOMPARE(sub->height(), view->mdiArea->height());

    QTest::mouseClick(view->ui->chkbtnMdiMode, Qt::LeftButton);
    QCOMPARE(view->mdiArea->viewMode(), QMdiArea::TabbedView);
}

void TestSensorView::emptyDeviceListSendsNothing()
{
    sim::reset();  // no bridge at all
    view->start();
    QTest::qWait(300);
    QCOMPARE(view->ui->cbbCh341List->count(), 0);
    QSignalSpy asks(view, &orvalisForm::si_connectCh341);
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    QCOMPARE(asks.count(), 0);
    QCOMPARE(view->ui->pbtnCh341Connect->text(), QString("连接"));
}

void TestSensorView::framesReachTheirOwnPanelsFromTheFirst()
{
    // Two sensors on one bus channel, and a third with the first one's address on another.
    const QVector<Shown> sensors = {{0, 0x61, "VX-A"}, {0, 0x62, "VX-B"}, {1, 0x61, "VX-C"}};
    const uint8_t types[] = {20, 43, 31};
    for (int k = 0; k < sensors.size(); ++k)
        addSensor(sensors[k], types[k]);

    // Behind the view's own handlers: each panel logs from its sensor's first report on, and the
    // worker's frame reports are counted by sensor.
    view->start();
    QTRY_VERIFY(view->worker);
    QObject receiver;
    QMap<QString, QByteArray> reported;  // window name -> sequence bytes
    connect(view->worker, &fingerThread::si_connectedSensor, &receiver, [this](const sensor_ts& s) {
        const Shown shown{s.infIdx, s.addr, s.sn};
        if (fingerForm* p = panel(shown))
            p->findChild<QCheckBox*>("chkbtnSave")->setChecked(true);
    });
    connect(view->worker, &fingerThread::si_updateData1, &receiver,
            [&reported](uint8_t infIdx, uint8_t addr, const QVector<uint8_t>& pack) {
                reported[orvalisForm::windowName(infIdx, addr)].append(char(pack.value(4)));
            });
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, 5000);
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    TACTILE_STEP(waitShown(sensors));

    // Answers and rates reach their panels too.
    for (const Shown& s : sensors) {
        fingerForm* p = panel(s);
        QVERIFY(p && p->ff);
        QTRY_VERIFY2_WITH_TIMEOUT(!p->findChild<QLabel*>("lbVersion")->text().isEmpty(), qPrintable(s.window()), kFoundMs);
        QTRY_VERIFY2_WITH_TIMEOUT(p->findChild<QLabel*>("lbHz")->text().contains('/'), qPrintable(s.window()), kFoundMs);
    }
    view->stop();  // the panels go with the worker's reports and close their logs
    QTRY_VERIFY(view->findChildren<fingerForm*>().isEmpty());

    // Each log holds exactly the frames the worker reported for its sensor, the first included.
    for (const Shown& s : sensors) {
        QByteArray logged;
        for (const Row& row : loggedRows(s))
            logged.append(char(row.seq));
        QVERIFY2(logged.size() > 10, qPrintable(s.window()));
        QCOMPARE(logged.toHex(), reported.value(s.window()).toHex());
    }
}

QVector<TestSensorView::Row> TestSensorView::loggedRows(const Shown& s) const
{
    QVector<Row> rows;
    const QStringList files =
        QDir(orvalisForm::dataFolder())
            .entryList({QString::asprintf("*__%d__0x%02X.csv", s.channel + 1, s.addr)}, QDir::Files);
    if (files.size() != 1)
        return rows;
    QFile f(orvalisForm::dataFolder() + "/" + files.first());
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    f.readLine();  // the header
    while (!f.atEnd()) {
        const QList<QByteArray> fields = f.readLine().split(',');
        rows.append({fields.value(0).toLongLong(), uint8_t(fields.value(1).toInt())});
    }
    return rows;
}

void TestSensorView::rowTimesAreWhenTheFramesWereRead()
{
    const Shown sensor{0, 0x61, "VX-A"};
    addSensor(sensor);
    view->start();
    QTRY_VERIFY(view->worker);

    // In the worker's thread, right after each report leaves it: the time, on the program's frame
    // clock. A frame's read lies between the report before it and its own.
    QMutex lock;
    QVector<qint64> reportedMs;
    QObject receiver;
    connect(view->worker, &fingerThread::si_connectedSensor, &receiver, [this, sensor](const sensor_ts&) {
        if (fingerForm* p = panel(sensor))
            p->findChild<QCheckBox*>("chkbtnSave")->setChecked(true);
    });
    connect(
        view->worker, &fingerThread::si_updateData1, &receiver,
        [&](uint8_t, uint8_t, const QVector<uint8_t>&) {
            const qint64 now = frameClock::nowMs();
            QMutexLocker locked(&lock);
            reportedMs.append(now);
        },
        Qt::DirectConnection);
    auto reports = [&] {
        QMutexLocker locked(&lock);
        return reportedMs.size();
    };
    // However the test ends, the worker stops before what its thread writes to goes.
    struct StopFirst {
        orvalisForm* view;
        ~StopFirst() { view->stop(); }
    } stopFirst{view};
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, 5000);
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    TACTILE_STEP(waitShown({sensor}));
    QTRY_VERIFY_WITH_TIMEOUT(reports() > 10, kFoundMs);

    // The window stalls while the worker goes on reading: its frames wait for the GUI thread.
    const int before = reports();
    QDeadlineTimer hang(kFoundMs);
    while (reports() < before + 20 && !hang.hasExpired())
        QThread::msleep(1);
    QVERIFY2(reports() >= before + 20, "the worker read nothing while the window stalled");
    QTRY_VERIFY(reports() > before + 25);

    view->stop();  // the panel goes with the worker's reports and closes its log
    QTRY_VERIFY(view->findChildren<fingerForm*>().isEmpty());

    const QVector<Row> rows = loggedRows(sensor);
    QMutexLocker locked(&lock);
    QCOMPARE(rows.size(), reportedMs.size());
    for (int i = 0; i < rows.size(); ++i) {
        const qint64 earliest = i > 0 ? reportedMs[i - 1] : 0;
        QVERIFY2(rows[i].ms >= earliest && rows[i].ms <= reportedMs[i],
                 qPrintable(QString("row %1 at %2 ms, its report at %3 ms, the one before at %4 ms")
                                .arg(i)
                                .arg(rows[i].ms)
                                .arg(reportedMs[i])
                                .arg(earliest)));
    }
}

void TestSensorView::streamSendsOneSamplePerFrameOfTheActivePanel()
{
    const QVector<Shown> sensors = {{0, 0x61, "VX-A"}, {1, 0x62, "VX-B"}, {2, 0x63, "VX-C"}};
    const uint8_t types[] = {20, 43, 17};
    for (int k = 0; k < sensors.size(); ++k)
        addSensor(sensors[k], types[k]);
    startAndConnect();
    TACTILE_STEP(waitShown(sensors));
    view->mdiArea->setActiveSubWindow(window(sensors[1]));
    fingerForm* source = panel(sensors[1]);
    QVERIFY(source);
    QTRY_VERIFY(source->ff);

    // What the viewer must receive: the source's sample of each of its frames while connected,
    // taken right after the view's own handler of the same frame.
    QByteArray expected;
    int samples = 0;
    QObject receiver;
    connect(source, &fingerForm::si_sendDataStrList, &receiver, [&] {
        if (view->tcp->isConnected) {
            expected += waveformStream::sample(*source->ff, waveformStream::FireWater);
            ++samples;
        }
    });
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    view->ui->leServiceAddr->setText("127.0.0.1");
    view->ui->spbServicePort->setValue(server.serverPort());
    QTest::mouseClick(view->ui->pbtnServiceConnect, Qt::LeftButton);
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_VERIFY_WITH_TIMEOUT(samples >= 50, kFoundMs);

    // The sensors go; then everything sent has arrived.
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    verifyNothingShown();
    QByteArray got;
    QTRY_COMPARE((got += peer->readAll()).size(), expected.size());
    QCOMPARE(got, expected);
    QCOMPARE(got.count("\r\n"), samples);
}

TACTILE_TEST_MAIN(TestSensorView)
#include "tst_sensorView.moc"
