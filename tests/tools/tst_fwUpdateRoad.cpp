// Whole firmware updates through the tab into a simulated boot loader, on both bridges and on a
// serial line: the image arrives byte for byte, the tab reports the outcome once, and faults,
// stops and leaving the tab end a run cleanly.

#include "ptyPair.h"
#include "serialBootPeer.h"
#include "tst_fwFixture.h"
#include "ui_fwUpdateForm.h"  // generated for this test; the fixture reads the form

#include <QElapsedTimer>
#include <QPointer>
#include <QRegularExpression>
#include <memory>

using namespace fwFixture;

namespace {

// Deadlines that only catch a hang: a run (its 2 s time-out included) ends within a few seconds,
// what follows a stop within a few hundred milliseconds.
constexpr int kRunMs = 30000;
constexpr int kSoonMs = 5000;
const QRegularExpression kSuccess("^更新成功,用时：\\d+\\.\\d{3}秒$");

}  // namespace

class tst_fwUpdateRoad : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    World world;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<SerialBootPeer> peer;

    // The tab with the link of `kind` chosen, the addresses set and the file in place.
    void prepare(fwUpdateForm& f, const QString& kind, const QString& path, bool merge = true)
    {
        if (kind == "serial") {
            pty = std::make_unique<PtyPair>();
            peer = std::make_unique<SerialBootPeer>(*pty);
            peer->start();
            class_uart::setExtraPortNames({pty->slavePath()});
        }
        QVERIFY(chooseDevice(f, kind, pty ? pty->slavePath() : QString()));
        f.ui->spbResetAddr->setValue(kSensorAddr);
        f.ui->spbUpdateAddr->setValue(kSensorAddr);
        f.ui->leUpdateFilePath->setText(path);
        f.ui->cbbSensorVersion->setCurrentIndex(merge ? 0 : 1);
    }

    void setSwitches(const QString& kind, const sim::BootLoaderSwitches& s)
    {
        if (kind == "serial")
            peer->setSwitches(s);
        else
            sim::setBootSwitches(world.sensor(kind), s);
    }

    sim::BootLoaderState bootState(const QString& kind) const
    {
        return kind == "serial" ? peer->state() : sim::bootState(world.sensor(kind));
    }

    bool linkClosed(fwUpdateForm& f, const QString& kind) const
    {
        return kind == "serial" ? !f.uart->port->isOpen() : !sim::isDeviceOpen(world.bridge(kind));
    }

    // Runs until the progress bar shows that the transfer is well under way.
    void startLongRun(fwUpdateForm& f, const QString& kind)
    {
        TACTILE_STEP(prepare(f, kind, writeFile(dir, "big.bin", sourceImage(60000))));
        f.ui->pbtnUpdateStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.ui->pbUpdate->value() >= 5, kRunMs);
        QCOMPARE(bootState(kind).cancelBytes, 0);
    }

    // The receiver was told of the end: the eight cancel bytes reached it while the link was still
    // open (a closed link writes nothing), and nothing came after them.
    void receiverCancelled(const QString& kind)
    {
        if (kind == "serial") {
            // Bytes still in the port's buffer when it closes are dropped: these were sent.
            QTRY_COMPARE_WITH_TIMEOUT(peer->state().cancelBytes, 8, kSoonMs);
            return;
        }
        QCOMPARE(sim::bootState(world.sensor(kind)).cancelBytes, 8);
        QCOMPARE(sim::sensorState(world.sensor(kind)).rawWrites.last(), QByteArray(8, char(0x18)));
        QVERIFY(!sim::isDeviceOpen(world.bridge(kind)));
        QCOMPARE(sim::pcaControl(world.bridge(kind)), 0);
    }

    // Controls a run reads from the form: fixed while it runs.
    QVector<QWidget*> runControls(fwUpdateForm& f) const
    {
        return {f.ui->rbtnIIC,          f.ui->rbtnIICCh347,         f.ui->rbtnUart,
                f.ui->cbbUpdateDevList, f.ui->cbbInfIdx,            f.ui->leUpdateFilePath,
                f.ui->pbtnUpdateFileSelect, f.ui->cbbSensorVersion, f.ui->spbUpdateAddr,
                f.ui->spbResetAddr};
    }
    QStringList enabledOf(fwUpdateForm& f) const
    {
        QStringList on;
        for (QWidget* w : runControls(f))
            if (w->isEnabled())
                on << w->objectName();
        return on;
    }

private slots:
    void init()
    {
        world = freshWorld();
        peer.reset();
        pty.reset();
        class_uart::setExtraPortNames({});
    }
    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // senders given back
    }

    void wholeRoad_data();
    void wholeRoad();
    void faults_data();
    void faults();
    void userStop_data();
    void userStop();
    void stopRightAfterSuccess();
    void startRightAfterStop();
    void leavingTheTabMidRun_data();
    void leavingTheTabMidRun();
    void destroyingTheTabMidRun_data();
    void destroyingTheTabMidRun();
    void controlsFixedWhileRunning_data();
    void controlsFixedWhileRunning();
};

void tst_fwUpdateRoad::wholeRoad_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("merge");
    for (const char* kind : {"CH341", "CH347", "serial"})
        for (bool hex : {true, false})
            for (bool merge : {true, false})
                QTest::addRow("%s, %s, %s", kind, hex ? "HEX" : "raw", merge ? "加密" : "不加密")
                    << kind << hex << merge;
}

void tst_fwUpdateRoad::wholeRoad()
{
    QFETCH(QString, kind);
    QFETCH(bool, hex);
    QFETCH(bool, merge);
    const QByteArray source = sourceImage(1032);  // 1032 = 8 modulo 16: eight 0xFF follow
    const QString name = hex ? "app.hex" : "app.bin";
    fwUpdateForm f;
    TACTILE_STEP(prepare(f, kind, writeFile(dir, name, hex ? hexFileOf(source) : source), merge));
    f.ui->pbtnUpdateStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(kSuccess.match(f.ui->lbRes->text()).hasMatch(), kRunMs);
    QTRY_COMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));

    const sim::BootLoaderState boot = bootState(kind);
    QVERIFY(boot.complete);
    QVERIFY(!boot.active);
    QCOMPARE(boot.fileName, name.toLatin1());  // the bare name, no folder
    QCOMPARE(boot.sizeField, QByteArray("1040"));
    const QByteArray sent = merge ? unmerged(boot.image) : boot.image;
    QCOMPARE(sent, source + QByteArray(8, char(0xFF)));
    QCOMPARE(f.ui->pbUpdate->value(), 100);
    QVERIFY(linkClosed(f, kind));
    if (kind == "serial")
        return;
    // The stop branch reset the multiplexer: 0x00 written to 0x70 last.
    QCOMPARE(sim::pcaControl(world.bridge(kind)), 0);
    const QByteArray last = sim::packetLog(world.bridge(kind)).last();
    if (kind == "CH347")
        QCOMPARE(last, QByteArray::fromHex("e000"));
    else
        QVERIFY(last.startsWith(QByteArray::fromHex("aa7481e0")) && last.endsWith(QByteArray::fromHex("81007500")));
    // The sensor runs again after its boot loader: a read gives a data frame.
    QCOMPARE(uint8_t(sim::peekSensor(world.sensor(kind), 4)[3]), uint8_t(0x85));
}

void tst_fwUpdateRoad::faults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("result");
    for (const char* kind : {"CH341", "serial"}) {
        QTest::addRow("%s silent", kind) << kind << "silent" << "更新超时";
        // One CAN per I2C read is ignored; a serial read brings all eight at once.
        QTest::addRow("%s eight CAN", kind) << kind << "cancel" << (QString(kind) == "serial" ? "更新取消" : "更新超时");
        QTest::addRow("%s NAK block 2", kind) << kind << "nak" << "success";
        QTest::addRow("%s late ACK", kind) << kind << "late" << "success";
    }
}

void tst_fwUpdateRoad::faults()
{
    QFETCH(QString, kind);
    QFETCH(QString, fault);
    QFETCH(QString, result);
    const QByteArray source = sourceImage(3010);  // three blocks, no padding
    fwUpdateForm f;
    TACTILE_STEP(prepare(f, kind, writeFile(dir, "app.bin", source), false));
    sim::BootLoaderSwitches s;
    s.silentFromBlock = fault == "silent" ? 2 : -1;
    s.cancelAtBlock = fault == "cancel" ? 2 : -1;
    s.nakBlock = fault == "nak" ? 2 : -1;
    s.ackDelayMs = fault == "late" ? 250 : 0;
    setSwitches(kind, s);
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    QElapsedTimer clock;
    clock.start();
    f.ui->pbtnUpdateStart->click();
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->pbtnUpdateStart->text(), QString("开始"), kRunMs);
    if (result == "success") {
        QVERIFY(kSuccess.match(f.ui->lbRes->text()).hasMatch());
        QCOMPARE(bootState(kind).image, source);
        QCOMPARE(fails.count(), 0);
        return;
    }
    QCOMPARE(f.ui->lbRes->text(), result);
    QCOMPARE(fails.count(), 1);
    if (result == "更新超时")
        QVERIFY(clock.elapsed() >= 1800);  // 2 s (a coarse timer) after the last step forward
    QVERIFY(linkClosed(f, kind));
}

void tst_fwUpdateRoad::userStop_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"CH341", "CH347", "serial"})
        QTest::newRow(kind) << kind;
}

// The stop button: the receiver told, the link closed at once, "更新取消" once the sender's
// 100 ms are over.
void tst_fwUpdateRoad::userStop()
{
    QFETCH(QString, kind);
    fwUpdateForm f;
    TACTILE_STEP(startLongRun(f, kind));
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    QPointer<class_ymodem> sender = f.ymodem;
    QElapsedTimer clock;
    clock.start();
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(linkClosed(f, kind));
    TACTILE_STEP(receiverCancelled(kind));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbRes->text(), QString("更新取消"), kSoonMs);
    QVERIFY(clock.elapsed() >= 90);  // never before the sender's 100 ms
    QTRY_VERIFY_WITH_TIMEOUT(!sender, kSoonMs);  // gone: nothing more can come of the run
    QCOMPARE(fails.count(), 1);
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!f.ymodem);
    TACTILE_STEP(receiverCancelled(kind));  // the sender's own cancel went nowhere
}

// A stop 10 ms after success meets a run that is over: one outcome, the success.
void tst_fwUpdateRoad::stopRightAfterSuccess()
{
    fwUpdateForm f;
    TACTILE_STEP(prepare(f, "CH341", writeFile(dir, "app.bin", sourceImage(500))));
    QSignalSpy successes(&f, &fwUpdateForm::si_updateSuccess);
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    // The tab's own click comes 10 ms after the success as well; a timer armed at the user's click,
    // 10 ms later again, fires after it.
    bool after = false;
    connect(&f, &fwUpdateForm::si_updateSuccess, this, [&f, &after] {
        QTimer::singleShot(10, &f, [&f, &after] {
            f.ui->pbtnUpdateStart->click();
            QTimer::singleShot(10, &f, [&after] { after = true; });
        });
    });
    f.ui->pbtnUpdateStart->click();
    QTRY_COMPARE_WITH_TIMEOUT(successes.count(), 1, kRunMs);
    QTRY_VERIFY_WITH_TIMEOUT(after, kSoonMs);
    QCOMPARE(successes.count(), 1);
    QCOMPARE(fails.count(), 0);
    QVERIFY(kSuccess.match(f.ui->lbRes->text()).hasMatch());
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!sim::isDeviceOpen(world.ch341Bridge));
}

// A start 100 ms after a stop: the stopped run's sender cannot end the new run.
void tst_fwUpdateRoad::startRightAfterStop()
{
    fwUpdateForm f;
    TACTILE_STEP(startLongRun(f, "CH341"));
    f.ui->pbtnUpdateStart->click();  // stop
    QPointer<class_ymodem> stopped = f.ymodem;
    QVERIFY(stopped);  // still within its 100 ms before it reports the cancel
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    QSignalSpy successes(&f, &fwUpdateForm::si_updateSuccess);
    const QByteArray small = sourceImage(700);
    f.ui->leUpdateFilePath->setText(writeFile(dir, "small.bin", small));
    f.ui->cbbSensorVersion->setCurrentIndex(1);
    f.ui->pbtnUpdateStart->click();  // start again, at once
    QVERIFY(f.ymodem && f.ymodem != stopped);
    QTRY_VERIFY_WITH_TIMEOUT(!stopped, kSoonMs);  // given back: nothing more comes of it
    QTRY_COMPARE_WITH_TIMEOUT(successes.count(), 1, kRunMs);
    QCOMPARE(fails.count(), 0);  // nothing of the first run after the second began
    QCOMPARE(successes.count(), 1);
    QCOMPARE(sim::bootState(world.ch341Sensor).image, small);
    QVERIFY(kSuccess.match(f.ui->lbRes->text()).hasMatch());
}

void tst_fwUpdateRoad::leavingTheTabMidRun_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"CH341", "CH347", "serial"})
        QTest::newRow(kind) << kind;
}

// Leaving the tab ends the run as the stop button would, at once, before the adapters go.
void tst_fwUpdateRoad::leavingTheTabMidRun()
{
    QFETCH(QString, kind);
    fwUpdateForm f;
    TACTILE_STEP(startLongRun(f, kind));
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    QPointer<class_ymodem> sender = f.ymodem;
    f.stop();
    QCOMPARE(f.ui->lbRes->text(), QString("更新取消"));
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!f.ymodem);
    QVERIFY(!sender);  // no poll, write or end of the gone run can reach anything
    QVERIFY(f.findChildren<class_ch341*>().isEmpty());
    QVERIFY(f.findChildren<class_ch347*>().isEmpty());
    QVERIFY(f.findChildren<class_uart*>().isEmpty());
    TACTILE_STEP(receiverCancelled(kind));
    QCOMPARE(f.ui->lbRes->text(), QString("更新取消"));
    QCOMPARE(fails.count(), 0);
    QVERIFY(!bootState(kind).complete);
}

void tst_fwUpdateRoad::destroyingTheTabMidRun_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"CH341", "CH347", "serial"})
        QTest::newRow(kind) << kind;
}

// Closing the window (or a quit signal, which ends the program the same way) destroys the tab.
void tst_fwUpdateRoad::destroyingTheTabMidRun()
{
    QFETCH(QString, kind);
    auto* f = new fwUpdateForm;
    TACTILE_STEP(startLongRun(*f, kind));
    QPointer<class_ymodem> sender = f->ymodem;
    delete f;
    QVERIFY(!sender);
    TACTILE_STEP(receiverCancelled(kind));
    QVERIFY(!bootState(kind).complete);
}

void tst_fwUpdateRoad::controlsFixedWhileRunning_data()
{
    QTest::addColumn<QString>("end");
    QTest::newRow("success") << "success";
    QTest::newRow("time-out") << "timeout";
    QTest::newRow("receiver cancels") << "cancel";
    QTest::newRow("stop button") << "stop";
    QTest::newRow("leaving the tab") << "leave";
    QTest::newRow("file fails to load") << "file";
}

// While a run holds the link the choices it reads are disabled; whatever ends it gives them back.
void tst_fwUpdateRoad::controlsFixedWhileRunning()
{
    QFETCH(QString, end);
    const QString kind = end == "cancel" ? "serial" : "CH341";  // one CAN per I2C read is ignored
    fwUpdateForm f;
    TACTILE_STEP(prepare(f, kind, writeFile(dir, "app.bin", sourceImage(3010)), false));
    const QStringList all = enabledOf(f);
    QCOMPARE(all.size(), runControls(f).size());
    if (end == "file")
        f.ui->leUpdateFilePath->setText(dir.filePath("missing.bin"));
    sim::BootLoaderSwitches s;
    s.silentFromBlock = end == "timeout" ? 2 : -1;
    s.cancelAtBlock = end == "cancel" ? 2 : -1;
    setSwitches(kind, s);
    f.ui->pbtnUpdateStart->click();
    if (end == "file") {
        QCOMPARE(f.ui->lbRes->text(), QString("文件加载失败"));
        QCOMPARE(enabledOf(f), all);
        return;
    }
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("停止"));
    QCOMPARE(enabledOf(f), QStringList());
    // Choosing another reset command meanwhile does not free its address box.
    f.ui->cbbResetCmd->setCurrentIndex(1);
    QVERIFY(!f.ui->spbResetAddr->isEnabled());
    f.ui->cbbResetCmd->setCurrentIndex(0);
    if (end == "stop")
        f.ui->pbtnUpdateStart->click();
    else if (end == "leave")
        f.stop();
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->pbtnUpdateStart->text(), QString("开始"), kRunMs);
    QCOMPARE(enabledOf(f), all);
    const QString result = end == "success" ? "" : end == "timeout" ? "更新超时" : "更新取消";
    if (!result.isEmpty())
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbRes->text(), result, kRunMs);
    else
        QVERIFY(kSuccess.match(f.ui->lbRes->text()).hasMatch());
}

TACTILE_TEST_MAIN(tst_fwUpdateRoad)
#include "tst_fwUpdateRoad.moc"
