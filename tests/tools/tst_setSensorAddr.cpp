// The address tab on the simulated bridges: one sensor at 0x61 on multiplexer port 4, reached
// through the general call. Connecting, the multiplexer byte of each choice, setting an address,
// a sensor that falls silent, and the device list after a visit elsewhere.

#include "addrAnswer.h"
#include "setSensorAddrForm.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_setSensorAddrForm.h"
#include "workerHarness.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <algorithm>

namespace {

using namespace workerWorld;

constexpr uint8_t kSensorAddr = 0x61;
// Deadlines that only catch a hang: a list comes 100 ms after its adapter, an answer within a
// poll or two of 50 ms.
constexpr int kListWaitMs = 10000;
constexpr int kAnswerWaitMs = 10000;
const QString kBoard1 = "转接板-1(PCA9548-4)";

// Write transactions to the general call address carrying exactly these bytes.
int generalCallWrites(sim::BridgeKind kind, int bridge, const QByteArray& bytes)
{
    int n = 0;
    for (const BusOp& op : transactions(kind, bridge))
        if (!op.read && op.addr == 0 && op.data == bytes)
            ++n;
    return n;
}

QStringList items(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// Waits until the sensor has served n more answers than it had.
bool moreAnswers(int sensor, int n)
{
    const int from = sim::sensorState(sensor).answersServed;
    return QTest::qWaitFor([&] { return sim::sensorState(sensor).answersServed >= from + n; }, kAnswerWaitMs);
}

}  // namespace

class TestSetSensorAddr : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void bridgeAnswer_data();
    void bridgeAnswer();

    void connectFindsTheSensor_data();
    void connectFindsTheSensor();
    void multiplexerByteOfEachChoice_data();
    void multiplexerByteOfEachChoice();
    void setAddress();
    void setPressesPerPeriod();
    void silentSensorIsLostAndFoundAgain();
    void visitElsewhereListsTheBridgeAgain();
    void deviceChoiceSurvivesAVisit();
    void targetBoxShowsNoValue_data();
    void targetBoxShowsNoValue();
    void disconnectAndBridgeLeaving();

private:
    sim::BridgeKind kind = sim::BridgeKind::Ch341;
    // Starts the tab on a bridge and waits for its device list.
    void startOn(setSensorAddrForm& f, sim::BridgeKind bridgeKind);
    void connectWith(setSensorAddrForm& f, const QString& arg);

    int bridge = -1;
    int sensor = -1;
};

void TestSetSensorAddr::init()
{
    kind = sim::BridgeKind::Ch341;
    class_uart::setExtraPortNames({});
}

void TestSetSensorAddr::cleanup()
{
    sim::reset();
}

void TestSetSensorAddr::startOn(setSensorAddrForm& f, sim::BridgeKind bridgeKind)
{
    kind = bridgeKind;
    bridge = freshBridge(kind, true, kind == sim::BridgeKind::Ch341 ? 6002 : 7);
    sensor = addSensor(bridge, 0, kSensorAddr);  // channel 0: port 4
    QVERIFY(sensor >= 0);
    f.start();
    f.ui->cbbInf->setCurrentIndex(kind == sim::BridgeKind::Ch341 ? 1 : 2);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbInfList->count(), 1, kListWaitMs);
}

void TestSetSensorAddr::connectWith(setSensorAddrForm& f, const QString& arg)
{
    f.ui->cbbInfArg->setCurrentIndex(f.ui->cbbInfArg->findText(arg));
    sim::clearPacketLog(bridge);
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);
}

void TestSetSensorAddr::bridgeAnswer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("seen");
    QTest::addColumn<bool>("setDone");
    QTest::addColumn<int>("addr");
    // Only a report names the address (byte 7): the 0x33 in a set's answer is no address.
    QTest::newRow("F0, byte 7 0x33") << QByteArray::fromHex("55aa00f0000000330000ff") << true << true << -1;
    QTest::newRow("F1, byte 7 0x33") << QByteArray::fromHex("55aa00f1000000330000ff") << true << false << 0x33;
    QTest::newRow("data frame: present only") << QByteArray::fromHex("55aa038512000000000000") << true << false
                                              << -1;
    QTest::newRow("status 00: present only") << QByteArray::fromHex("55aa0000000000330000ff") << true << false
                                             << -1;
    QTest::newRow("request, not an answer") << QByteArray::fromHex("aa5500f1000000330000ff") << false << false
                                            << -1;
    QTest::newRow("failed CH347 read, all FF") << QByteArray(11, char(0xFF)) << false << false << -1;
    QTest::newRow("failed CH341 read, all 00") << QByteArray(11, '\0') << false << false << -1;
    QTest::newRow("55 then garbage") << QByteArray::fromHex("5500aa55f1000000330000") << false << false << -1;
}

void TestSetSensorAddr::bridgeAnswer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, seen);
    QFETCH(bool, setDone);
    QFETCH(int, addr);
    const addrAnswer::Answer a = addrAnswer::fromBridge(bytes);
    QCOMPARE(a.seen, seen);
    QCOMPARE(a.setDone, setDone);
    QCOMPARE(a.addr, addr);
}

void TestSetSensorAddr::connectFindsTheSensor_data()
{
    QTest::addColumn<int>("bridgeKind");
    QTest::newRow("CH341") << int(sim::BridgeKind::Ch341);
    QTest::newRow("CH347") << int(sim::BridgeKind::Ch347);
}

void TestSetSensorAddr::connectFindsTheSensor()
{
    QFETCH(int, bridgeKind);
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind(bridgeKind)));
    TACTILE_STEP(connectWith(f, kBoard1));
    QCOMPARE(f.ui->lbFingerState->text(), QString("扫描中。。。"));
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("断开"));
    QVERIFY(!f.ui->cbbInf->isEnabled() && !f.ui->cbbInfList->isEnabled() && !f.ui->cbbInfArg->isEnabled());
    QCOMPARE(sim::pcaResetCount(bridge), 1);
    QCOMPARE(pcaWrites(transactions(kind, bridge)), QVector<uint8_t>({0x00, 0x10}));
    QCOMPARE(sim::streamMode(bridge), 1u);
    if (kind == sim::BridgeKind::Ch347) {
        QCOMPARE(sim::driverMode(bridge), 1);
        QVERIFY(sim::clockStretch(bridge));
    }

    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->spbCurrAddrDec->value(), int(kSensorAddr), kAnswerWaitMs);
    QCOMPARE(f.ui->spbCurrAddrHex->value(), int(kSensorAddr));
    // The tool's traffic all goes to the general call address, apart from the multiplexer byte.
    for (const BusOp& op : transactions(kind, bridge))
        QVERIFY(op.addr == 0 || op.addr == sim::kPcaAddress);
}

void TestSetSensorAddr::multiplexerByteOfEachChoice_data()
{
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QVector<uint8_t>>("written");
    // Without a multiplexer choice every channel opens: with one present, a general-call set then
    // renumbers every sensor behind it.
    QTest::newRow("无PCA9548") << "无PCA9548" << QVector<uint8_t>{0x00, 0xFF};
    QTest::newRow("PCA9548-3") << "PCA9548-3" << QVector<uint8_t>{0x00, 0x08};
    QTest::newRow("转接板-5") << "转接板-5(PCA9548-2)" << QVector<uint8_t>{0x00, 0x04};
    // A typed entry has no table entry behind it: the reset's 0x00 only.
    QTest::newRow("typed fifteenth") << "PCA9548-9" << QVector<uint8_t>{0x00};
}

void TestSetSensorAddr::multiplexerByteOfEachChoice()
{
    QFETCH(QString, arg);
    QFETCH(QVector<uint8_t>, written);
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind::Ch341));
    if (f.ui->cbbInfArg->findText(arg) < 0) {
        // Typed and entered: the editable combo takes it as a fifteenth item.
        f.ui->cbbInfArg->lineEdit()->setText(arg);
        QTest::keyClick(f.ui->cbbInfArg->lineEdit(), Qt::Key_Return);
        QCOMPARE(f.ui->cbbInfArg->currentIndex(), 14);
    }
    TACTILE_STEP(connectWith(f, arg));
    QCOMPARE(pcaWrites(transactions(kind, bridge)), written);
    QCOMPARE(sim::pcaControl(bridge), int(written.last()));
}

void TestSetSensorAddr::setAddress()
{
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind::Ch341));
    TACTILE_STEP(connectWith(f, kBoard1));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->spbCurrAddrHex->value(), int(kSensorAddr), kAnswerWaitMs);

    const QByteArray frame = QByteArray::fromHex("AA5500700000006F00DE01");
    f.ui->spbTarAddrHex->setValue(0x6F);
    QCOMPARE(f.ui->spbTarAddrDec->value(), 0x6F);
    QElapsedTimer sincePress;
    sincePress.start();
    QTest::mouseClick(f.ui->pbtnSet, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbCmdState->text(), QString("成功"), kAnswerWaitMs);
    QCOMPARE(sim::sensorState(sensor).addr, uint8_t(0x6F));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->spbCurrAddrDec->value(), 0x6F, kAnswerWaitMs);
    QCOMPARE(f.ui->spbCurrAddrHex->text(), QString("0x6f"));
    QCOMPARE(generalCallWrites(kind, bridge, frame), 1);

    // "成功" stays for 3 s (a coarse timer) from its answer, which came after the press, then goes.
    QTRY_VERIFY_WITH_TIMEOUT(f.ui->lbCmdState->text().isEmpty(), kAnswerWaitMs);
    QVERIFY2(sincePress.elapsed() >= 2850, qPrintable(QString::number(sincePress.elapsed())));
    QCOMPARE(generalCallWrites(kind, bridge, frame), 1);
    QCOMPARE(f.ui->lbFingerState->text(), QString("已连接"));
}

void TestSetSensorAddr::setPressesPerPeriod()
{
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind::Ch341));
    // A press while the link is closed is not kept for later.
    QTest::mouseClick(f.ui->pbtnSet, Qt::LeftButton);
    TACTILE_STEP(connectWith(f, kBoard1));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);
    // A kept request would have gone with the first poll, ahead of its query.
    QVERIFY(moreAnswers(sensor, 2));
    QCOMPARE(sim::sensorState(sensor).addr, kSensorAddr);

    f.ui->spbTarAddrDec->setValue(0x22);
    QTest::mouseClick(f.ui->pbtnSet, Qt::LeftButton);
    QTest::mouseClick(f.ui->pbtnSet, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->spbCurrAddrDec->value(), 0x22, kAnswerWaitMs);
    QVERIFY(moreAnswers(sensor, 3));  // a second frame would have gone with the next poll
    const QByteArray frame = QByteArray::fromHex("AA55007000000022009101");
    QCOMPARE(generalCallWrites(kind, bridge, frame), 1);
    int sets = 0;
    for (const QByteArray& req : sim::sensorState(sensor).requests)
        sets += uint8_t(req[3]) == 0x70 ? 1 : 0;
    QCOMPARE(sets, 1);
}

void TestSetSensorAddr::silentSensorIsLostAndFoundAgain()
{
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind::Ch341));
    TACTILE_STEP(connectWith(f, kBoard1));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);

    // Silenced right after an answer was read. That answer came after the last look that did not
    // see it, so the time from that look on is no shorter than the time since the answer.
    QElapsedTimer clock;
    clock.start();
    qint64 lastLook = 0;
    const int answers = sim::sensorState(sensor).answersServed;
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (sim::sensorState(sensor).answersServed > answers)
                return true;
            lastLook = clock.elapsed();
            return false;
        },
        kAnswerWaitMs));
    sim::SensorFaults silent;
    silent.silent = true;
    sim::setSensorFaults(sensor, silent);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("断开"), kAnswerWaitMs);
    // Lost at the fourth watchdog tick after the last answer: three whole periods of 100 ms (a
    // coarse timer) at least.
    QVERIFY2(clock.elapsed() - lastLook >= 280, qPrintable(QString::number(clock.elapsed() - lastLook)));

    sim::setSensorFaults(sensor, sim::SensorFaults());
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);
    // Answering again, it stays found, poll after poll.
    QVERIFY(moreAnswers(sensor, 12));
    QCOMPARE(f.ui->lbFingerState->text(), QString("已连接"));
}

void TestSetSensorAddr::visitElsewhereListsTheBridgeAgain()
{
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind::Ch341));
    class_uart::setExtraPortNames({"ttyNotABridge"});
    f.stop();
    QVERIFY(!f.ch341 && !f.uart && !f.ch347);
    f.start();
    QCOMPARE(f.ui->cbbInf->currentText(), QString("IIC-CH341"));
    QVERIFY(f.ch341);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbInfList->count(), 1, kListWaitMs);
    QCOMPARE(f.ui->cbbInfList->itemText(0), QString("6002"));
    QCOMPARE(f.ui->cbbInfArg->currentText(), kBoard1);
    QCOMPARE(f.ui->lbInfArg->text(), QString("转接板"));
}

// Only a closing link empties the device list: with the link closed, a visit to another tab
// keeps the device chosen. A serial interface change still empties it.
void TestSetSensorAddr::deviceChoiceSurvivesAVisit()
{
    kind = sim::BridgeKind::Ch341;
    bridge = freshBridge(kind, true, 6002);
    sensor = addSensor(bridge, 0, kSensorAddr);
    sim::BridgeConfig second;
    second.id = 6003;
    const int secondBridge = sim::addBridge(second);
    QVERIFY(secondBridge >= 0);
    setSensorAddrForm f;
    f.start();
    f.ui->cbbInf->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(items(f.ui->cbbInfList), QStringList({"6002", "6003"}), kListWaitMs);
    f.ui->cbbInfList->setCurrentIndex(1);

    f.stop();  // another tab
    QCOMPARE(f.ui->cbbInfList->currentText(), QString("6003"));
    f.start();  // back: a fresh adapter, whose first list names the same devices
    QVERIFY(f.ch341);
    QSignalSpy lists(f.ch341.data(), &class_ch341::si_updateList);
    QTRY_VERIFY_WITH_TIMEOUT(lists.count() >= 1, kListWaitMs);
    QCOMPARE(items(f.ui->cbbInfList), QStringList({"6002", "6003"}));
    QCOMPARE(f.ui->cbbInfList->currentText(), QString("6003"));
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);
    QVERIFY(sim::isDeviceOpen(secondBridge));
    QVERIFY(!sim::isDeviceOpen(bridge));
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);  // the link closes: a fresh list
    QCOMPARE(items(f.ui->cbbInfList), QStringList({"6002", "6003"}));

    class_uart::setExtraPortNames({"ttyTestPort"});
    f.ui->cbbInfList->setCurrentIndex(1);
    f.ui->cbbInf->setCurrentIndex(0);
    QVERIFY(items(f.ui->cbbInfList).contains("ttyTestPort"));
    QVERIFY(!items(f.ui->cbbInfList).contains("6003"));
    f.ui->cbbInf->setCurrentIndex(1);  // the serial adapter goes, and its close empties the list
    QCOMPARE(items(f.ui->cbbInfList), QStringList({"6002", "6003"}));
    QCOMPARE(f.ui->cbbInfList->currentText(), QString("6002"));
}

void TestSetSensorAddr::targetBoxShowsNoValue_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::newRow("decimal 0, below its minimum") << "spbTarAddrDec" << "0";
    QTest::newRow("decimal emptied") << "spbTarAddrDec" << "";
    QTest::newRow("hexadecimal, prefix only") << "spbTarAddrHex" << "0x";
}

// A target box whose text is not a value keeps the one it had (0x6F here): the set writes
// nothing and says so; a valid text is what goes out.
void TestSetSensorAddr::targetBoxShowsNoValue()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind::Ch341));
    TACTILE_STEP(connectWith(f, kBoard1));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);
    f.ui->spbTarAddrHex->setValue(0x6F);
    auto* edit = f.findChild<QSpinBox*>(box)->findChild<QLineEdit*>();
    edit->setText(typed);
    QCOMPARE(f.ui->spbTarAddrHex->value(), 0x6F);
    QTest::mouseClick(f.ui->pbtnSet, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbCmdState->text(), QString("地址无效"), kAnswerWaitMs);
    QCOMPARE(f.setRequest, uint8_t(0));  // the request was taken, and nothing written
    QVERIFY(moreAnswers(sensor, 2));
    QCOMPARE(sim::sensorState(sensor).addr, kSensorAddr);
    int sets = 0;
    for (const QByteArray& req : sim::sensorState(sensor).requests)
        sets += uint8_t(req[3]) == 0x70 ? 1 : 0;
    QCOMPARE(sets, 0);

    edit->setText(box == "spbTarAddrHex" ? "0x22" : "34");  // 0x22 in either base
    QCOMPARE(f.ui->spbTarAddrHex->value(), 0x22);
    QTest::mouseClick(f.ui->pbtnSet, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbCmdState->text(), QString("成功"), kAnswerWaitMs);
    QCOMPARE(sim::sensorState(sensor).addr, uint8_t(0x22));
}

void TestSetSensorAddr::disconnectAndBridgeLeaving()
{
    setSensorAddrForm f;
    TACTILE_STEP(startOn(f, sim::BridgeKind::Ch341));
    TACTILE_STEP(connectWith(f, kBoard1));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);
    QCOMPARE(f.ui->lbFingerState->text(), QString("接口未打开"));
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("连接"));
    QVERIFY(f.ui->cbbInf->isEnabled() && f.ui->cbbInfList->isEnabled() && f.ui->cbbInfArg->isEnabled());
    QVERIFY(!sim::isDeviceOpen(bridge));
    // A fresh list is asked for at once.
    QCOMPARE(f.ui->cbbInfList->currentText(), QString("6002"));
    // No poll any more; the watchdog stops itself at its next tick, and nothing went on the bus.
    sim::clearPacketLog(bridge);
    QVERIFY(!f.pollTimer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!f.watchdogTimer->isActive(), kAnswerWaitMs);
    QVERIFY(sim::packetLog(bridge).isEmpty());

    // The bridge pulled out while connected closes the link the same way.
    TACTILE_STEP(connectWith(f, kBoard1));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);
    QVERIFY(sim::unplug(bridge));
    sim::waitForNotifications();
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("接口未打开"), kListWaitMs);
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("连接"));
    QCOMPARE(f.ui->cbbInfList->count(), 0);
}

TACTILE_TEST_MAIN(TestSetSensorAddr)
#include "tst_setSensorAddr.moc"
