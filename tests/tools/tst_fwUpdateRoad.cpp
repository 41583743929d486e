// Whole firmware updates through the tab into a simulated boot loader, on both bridges and on a
// serial line: the image arrives byte for byte, the tab reports the outcome once, and faults,
// stops and leaving the tab end a run cleanly.

#include "ptyPair.h"
#include "serialBootPeer.h"
#include "tst_fwFixture.h"
#include "ui_fwUpdateForm.h"  // generated for this test; the fixture reads the form

#include <QElapsedTimer>
#include <QRegularExpression>
#include <memory>

using namespace fwFixture;

namespace {

constexpr int kRunMs = 15000;
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
        QTest::qWait(20);  // senders given back with deleteLater go now
    }

    void wholeRoad_data();
    void wholeRoad();
    void faults_data();
    void faults();
    void userStop();
    void stopRightAfterSuccess();
    void startRightAfterStop();
    void leavingTheTabMidRun_data();
    void leavingTheTabMidRun();
    void destroyingTheTabMidRun();
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

// The stop button: closed at once, "更新取消" once the cancel packet's 100 ms are over.
void tst_fwUpdateRoad::userStop()
{
    fwUpdateForm f;
    TACTILE_STEP(startLongRun(f, "CH347"));
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    QElapsedTimer clock;
    clock.start();
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!sim::isDeviceOpen(world.ch347Bridge));
    QTRY_COMPARE(f.ui->lbRes->text(), QString("更新取消"));
    QVERIFY(clock.elapsed() >= 90);
    QTest::qWait(200);
    QCOMPARE(fails.count(), 1);
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!f.ymodem);
}

// A stop 10 ms after success meets a run that is over: one outcome, the success.
void tst_fwUpdateRoad::stopRightAfterSuccess()
{
    fwUpdateForm f;
    TACTILE_STEP(prepare(f, "CH341", writeFile(dir, "app.bin", sourceImage(500))));
    QSignalSpy successes(&f, &fwUpdateForm::si_updateSuccess);
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    connect(&f, &fwUpdateForm::si_updateSuccess, this,
            [&f] { QTimer::singleShot(10, &f, [&f] { f.ui->pbtnUpdateStart->click(); }); });
    f.ui->pbtnUpdateStart->click();
    QTRY_COMPARE_WITH_TIMEOUT(successes.count(), 1, kRunMs);
    QTest::qWait(300);
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
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    QSignalSpy successes(&f, &fwUpdateForm::si_updateSuccess);
    const QByteArray small = sourceImage(700);
    f.ui->leUpdateFilePath->setText(writeFile(dir, "small.bin", small));
    f.ui->cbbSensorVersion->setCurrentIndex(1);
    // Well inside the stopped sender's 100 ms before it reports the cancel: it is still there.
    QTest::qWait(30);
    const int failsBefore = fails.count();
    f.ui->pbtnUpdateStart->click();  // start again
    QTRY_COMPARE_WITH_TIMEOUT(successes.count(), 1, kRunMs);
    QTest::qWait(300);
    QCOMPARE(fails.count(), failsBefore);  // nothing of the first run after the second began
    QCOMPARE(successes.count(), 1);
    QCOMPARE(sim::bootState(world.ch341Sensor).image, small);
    QVERIFY(kSuccess.match(f.ui->lbRes->text()).hasMatch());
}

void tst_fwUpdateRoad::leavingTheTabMidRun_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("CH341") << "CH341";
    QTest::newRow("serial") << "serial";
}

// Leaving the tab ends the run as the stop button would, at once, before the adapters go.
void tst_fwUpdateRoad::leavingTheTabMidRun()
{
    QFETCH(QString, kind);
    fwUpdateForm f;
    TACTILE_STEP(startLongRun(f, kind));
    QSignalSpy fails(&f, &fwUpdateForm::si_updateFail);
    f.stop();
    QCOMPARE(f.ui->lbRes->text(), QString("更新取消"));
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!f.ymodem);
    QVERIFY(f.findChildren<class_ch341*>().isEmpty());
    QVERIFY(f.findChildren<class_uart*>().isEmpty());
    if (kind != "serial")
        QVERIFY(!sim::isDeviceOpen(world.ch341Bridge));
    QTest::qWait(300);  // no poll, write or end of the gone run reaches anything
    QCOMPARE(f.ui->lbRes->text(), QString("更新取消"));
    QCOMPARE(fails.count(), 0);
    QVERIFY(!bootState(kind).complete);
}

void tst_fwUpdateRoad::destroyingTheTabMidRun()
{
    auto* f = new fwUpdateForm;
    TACTILE_STEP(startLongRun(*f, "CH347"));
    delete f;
    QVERIFY(!sim::isDeviceOpen(world.ch347Bridge));
    QTest::qWait(300);
    QVERIFY(!sim::bootState(world.ch347Sensor).complete);
}

TACTILE_TEST_MAIN(tst_fwUpdateRoad)
#include "tst_fwUpdateRoad.moc"
