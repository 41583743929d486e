// The command console on the simulated bridges and a pseudo-terminal: what a typed frame becomes
// on each link, the read entries with their sum test, the multiplexer boxes, refusals on a closed
// bridge, the write-then-read wait and the log pane.

#include "ptyPair.h"
#include "sensorDebugForm.h"
#include "serialSensorPeer.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_sensorDebugForm.h"
#include "workerHarness.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <memory>

namespace {

using namespace workerWorld;

constexpr uint8_t kSensorAddr = 0x6F;  // the console's default address
constexpr int kListWaitMs = 10000;  // a list comes 100 ms after its adapter; only a hang takes this
const QString kQuery = "AA5500710000000000";
const QString kStamp = R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d:\d{3}\]:)";

enum Link { Ch341, Ch347, Serial };

QStringList entries(const sensorDebugForm& f)
{
    // Each entry starts with its time stamp at the start of a line.
    const QString text = f.ui->txtDebugLog->toPlainText();
    QStringList out;
    const QRegularExpression stamp("(^|\\n)(?=" + kStamp + ")");
    for (const QString& e : text.split(stamp))
        if (!e.isEmpty())
            out << e;
    return out;
}

QDateTime stampOf(const QString& entry)
{
    return QDateTime::fromString(entry.mid(1, 23), "yyyy/MM/dd hh:mm:ss:zzz");
}

}  // namespace

class TestSensorDebug : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void frameOnEachLink_data();
    void frameOnEachLink();
    void readOfTheAnswer_data();
    void readOfTheAnswer();
    void failedBridgeRead_data();
    void failedBridgeRead();
    void serialReadTakesWhatArrived();
    void maskToTheMultiplexer();
    void maskReadChecksItsBoxes();
    void failedMaskRead_data();
    void failedMaskRead();
    void boxesMirror();
    void refusals_data();
    void refusals();
    void speedAtConnection_data();
    void speedAtConnection();
    void reclickReplacesTheAdapter();
    void writeThenReadWaits();
    void tabChangeDuringTheWait_data();
    void tabChangeDuringTheWait();
    void clearEmptiesThePane();

private:
    // Starts the console on a link, connects it and opens connector 1 (port 4) on a bridge.
    void connectTo(sensorDebugForm& f, Link link);
    void type(sensorDebugForm& f, const QString& text, bool withSum);
    QVector<QByteArray> sensorWrites() const { return sim::sensorState(sensor).rawWrites; }

    int bridge = -1;
    int sensor = -1;
    sim::BridgeKind kind = sim::BridgeKind::Ch341;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<SerialSensorPeer> peer;
};

void TestSensorDebug::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isOpen());
    peer = std::make_unique<SerialSensorPeer>(*pty);
    peer->start();
    class_uart::setExtraPortNames({pty->slavePath()});
}

void TestSensorDebug::cleanup()
{
    peer.reset();
    pty.reset();
    class_uart::setExtraPortNames({});
    sim::reset();
}

void TestSensorDebug::connectTo(sensorDebugForm& f, Link link)
{
    kind = link == Ch347 ? sim::BridgeKind::Ch347 : sim::BridgeKind::Ch341;
    bridge = freshBridge(kind, true, link == Ch347 ? 7 : 6002);
    sensor = addSensor(bridge, 0, kSensorAddr);
    QVERIFY(sensor >= 0);
    f.start();
    if (link == Ch347)
        f.ui->rbtnIICCh347->click();
    if (link == Serial)
        f.ui->rbtnUart->click();
    const QString device = link == Ch341 ? "6002" : link == Ch347 ? "7" : pty->slavePath();
    QTRY_VERIFY_WITH_TIMEOUT(f.ui->cbbDevInf->findText(device) >= 0, kListWaitMs);
    f.ui->cbbDevInf->setCurrentIndex(f.ui->cbbDevInf->findText(device));
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("断开"));
    if (link == Serial) {
        QCOMPARE(f.uart->port->baudRate(), 460800);
        return;
    }
    f.ui->chkbInf1->setChecked(true);
    QTest::mouseClick(f.ui->pbtnSetPCA9548, Qt::LeftButton);
    QCOMPARE(sim::pcaControl(bridge), 0x10);
}

void TestSensorDebug::type(sensorDebugForm& f, const QString& text, bool withSum)
{
    f.ui->chkbtnChk->setChecked(withSum);
    f.ui->leCh341Write->clear();
    QTest::keyClicks(f.ui->leCh341Write, text);
    QCOMPARE(f.ui->leCh341Write->text(), text);
}

void TestSensorDebug::frameOnEachLink_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withSum");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QByteArray>("sent");
    const QByteArray query = QByteArray::fromHex("aa550071000000000070 01");
    QTest::newRow("CH341 query") << int(Ch341) << kQuery << true << "7001" << query;
    QTest::newRow("CH347 query") << int(Ch347) << kQuery << true << "7001" << query;
    QTest::newRow("CH341 without sum") << int(Ch341) << kQuery << false << "7001" << query.left(9);
    QTest::newRow("CH341 odd digit") << int(Ch341) << "ABC" << true << "b700" << QByteArray::fromHex("ab0cb700");
    // On serial byte 2 carries the address and the sum is taken again.
    QTest::newRow("serial query") << int(Serial) << kQuery << true << "7001"
                                  << QByteArray::fromHex("aa556f7100000000 00df01");
    QTest::newRow("serial without sum") << int(Serial) << kQuery << false << "7001"
                                        << QByteArray::fromHex("aa556f710000000000");
    QTest::newRow("serial two digits as typed") << int(Serial) << "5A" << false << "5a00" << QByteArray::fromHex("5a");
    QTest::newRow("CH341 empty") << int(Ch341) << "" << true << "0000" << QByteArray();
    QTest::newRow("serial empty") << int(Serial) << "" << true << "0000" << QByteArray();
}

void TestSensorDebug::frameOnEachLink()
{
    QFETCH(int, link);
    QFETCH(QString, text);
    QFETCH(bool, withSum);
    QFETCH(QString, label);
    QFETCH(QByteArray, sent);
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Link(link)));
    type(f, text.isEmpty() ? "A" : text, withSum);
    if (text.isEmpty())
        QTest::keyClick(f.ui->leCh341Write, Qt::Key_Backspace);  // the text emptied by the user
    QCOMPARE(f.ui->lbChk->text(), label);
    const QVector<QByteArray> before = sensorWrites();
    peer->clearReceived();
    QTest::mouseClick(f.ui->pbtnCh341Write, Qt::LeftButton);
    if (link == Serial) {
        QCOMPARE(peer->receivedSoFar(), sent);
    } else {
        QCOMPARE(sensorWrites().mid(before.size()), sent.isEmpty() ? QVector<QByteArray>() : QVector<QByteArray>{sent});
    }
    const QStringList log = entries(f);
    if (sent.isEmpty()) {
        QVERIFY(log.isEmpty());
        return;
    }
    QCOMPARE(log.size(), 1);
    QString bytes;
    for (char b : sent)
        bytes += QString::asprintf("0x%02x,", uint8_t(b));
    bytes.chop(1);
    QCOMPARE(log[0].mid(26), QString("写:\n地址:0x6F\n长度:%1\n命令:\n%2\n").arg(sent.size()).arg(bytes));
}

void TestSensorDebug::readOfTheAnswer_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("pattern");
    const QString answer = kStamp + R"(读:校验成功\n地址:0x6F\n长度:11\n命令:\n0x55,0xaa,0x03,0xf1,(0x[0-9a-f]{2},){6}0x[0-9a-f]{2}\n$)";
    QTest::newRow("CH341") << int(Ch341) << 11 << answer;
    QTest::newRow("CH347") << int(Ch347) << 11 << answer;
    QTest::newRow("cut short") << int(Ch341) << 6 << kStamp + R"(读:校验失败:0x[0-9a-f]{4}\n地址:0x6F\n长度:6\n)";
    // Nothing to compare: a failure, and nothing read outside the bytes.
    QTest::newRow("one byte") << int(Ch347) << 1 << kStamp + R"(读:校验失败:0x0000\n地址:0x6F\n长度:1\n命令:\n0x55\n$)";
}

void TestSensorDebug::readOfTheAnswer()
{
    QFETCH(int, link);
    QFETCH(int, length);
    QFETCH(QString, pattern);
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Link(link)));
    type(f, kQuery, true);
    QTest::mouseClick(f.ui->pbtnCh341Write, Qt::LeftButton);
    // The answer is ready a moment after the request (a peek does not take it).
    QTRY_COMPARE_WITH_TIMEOUT(uint8_t(sim::peekSensor(sensor, 4)[3]), uint8_t(0xF1), kListWaitMs);
    f.ui->spbCh341Read->setValue(length);
    QTest::mouseClick(f.ui->pbtnCh341Read, Qt::LeftButton);
    const QStringList log = entries(f);
    QCOMPARE(log.size(), 2);
    QVERIFY2(QRegularExpression(pattern).match(log[1]).hasMatch(), qPrintable(log[1]));
}

void TestSensorDebug::failedBridgeRead_data()
{
    QTest::addColumn<int>("link");
    QTest::newRow("CH341") << int(Ch341);
    QTest::newRow("CH347") << int(Ch347);
}

void TestSensorDebug::failedBridgeRead()
{
    QFETCH(int, link);
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Link(link)));
    // A read of zeros (whose zero sum bytes match) must not pass for a good one.
    sim::SensorFaults silent;
    silent.silent = true;
    sim::setSensorFaults(sensor, silent);
    sim::BridgeFaults fail;
    fail.failTransfers = -1;
    sim::setBridgeFaults(bridge, fail);
    QTest::mouseClick(f.ui->pbtnCh341Read, Qt::LeftButton);
    const QStringList log = entries(f);
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0].mid(26), QString("读:校验失败:0x0000\n地址:0x6F\n长度:0\n命令:\n"));
}

void TestSensorDebug::serialReadTakesWhatArrived()
{
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Serial));
    const QByteArray arrived = QByteArray::fromHex("55aa6ff1000000006f00 c302 0102030405060708");
    peer->sendRaw(arrived);
    QTRY_COMPARE_WITH_TIMEOUT(int(f.uart->port->bytesAvailable()), arrived.size(), 1000);
    QTest::mouseClick(f.ui->pbtnCh341Read, Qt::LeftButton);  // read length 11
    QStringList log = entries(f);
    QCOMPARE(log.size(), 1);
    QVERIFY2(log[0].contains("\n长度:20\n"), qPrintable(log[0]));
    // Nothing more on the line: an empty read, a failed test.
    QTest::mouseClick(f.ui->pbtnCh341Read, Qt::LeftButton);
    log = entries(f);
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[1].mid(26), QString("读:校验失败:0x0000\n地址:0x6F\n长度:0\n命令:\n"));
}

void TestSensorDebug::maskToTheMultiplexer()
{
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Ch341));
    f.ui->chkbInf1->setChecked(false);
    f.ui->chkbCh4->setChecked(true);
    f.ui->chkbCh5->setChecked(true);
    QTest::mouseClick(f.ui->pbtnSetPCA9548, Qt::LeftButton);
    QCOMPARE(sim::pcaControl(bridge), 0x30);
    QVERIFY(entries(f).isEmpty());  // nothing in the pane
}

void TestSensorDebug::maskReadChecksItsBoxes()
{
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Ch347));
    f.ui->chkbCh4->setChecked(true);
    f.ui->chkbCh5->setChecked(true);
    QTest::mouseClick(f.ui->pbtnSetPCA9548, Qt::LeftButton);
    for (QCheckBox* box : f.findChildren<QCheckBox*>())
        box->setChecked(box == f.ui->chkbCh0);  // boxes that the mask read must reset
    QTest::mouseClick(f.ui->pbtnGetPCA9548, Qt::LeftButton);
    QStringList checked;
    for (QCheckBox* box : f.findChildren<QCheckBox*>())
        if (box->isChecked() && box != f.ui->chkbtnChk)
            checked << box->objectName();
    checked.sort();
    QCOMPARE(checked, QStringList({"chkbCh4", "chkbCh5", "chkbInf1", "chkbInf2"}));
}

void TestSensorDebug::failedMaskRead_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<bool>("allChecked");
    // The CH347 fills a failed read with 0xFF, the CH341 leaves the 0x00.
    QTest::newRow("CH341") << int(Ch341) << false;
    QTest::newRow("CH347") << int(Ch347) << true;
}

void TestSensorDebug::failedMaskRead()
{
    QFETCH(int, link);
    QFETCH(bool, allChecked);
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Link(link)));
    f.ui->chkbCh2->setChecked(true);
    sim::BridgeFaults fail;
    fail.failTransfers = -1;
    sim::setBridgeFaults(bridge, fail);
    QTest::mouseClick(f.ui->pbtnGetPCA9548, Qt::LeftButton);
    for (int b = 0; b < 8; ++b)
        QCOMPARE(f.findChild<QCheckBox*>(QString("chkbCh%1").arg(b))->isChecked(), allChecked);
}

void TestSensorDebug::boxesMirror()
{
    sensorDebugForm f;
    const auto connectorsChecked = [&f] {
        QStringList on;
        for (int n = 1; n <= 6; ++n)
            if (f.findChild<QCheckBox*>(QString("chkbInf%1").arg(n))->isChecked())
                on << QString::number(n);
        return on;
    };
    f.ui->chkbInf4->setChecked(true);
    QVERIFY(f.ui->chkbCh3->isChecked());
    f.ui->chkbCh3->setChecked(false);
    QVERIFY(!f.ui->chkbInf4->isChecked());
    f.ui->chkbCh1->setChecked(true);
    f.ui->chkbCh7->setChecked(true);
    QVERIFY(connectorsChecked().isEmpty());
    f.ui->chkbCh0->setChecked(true);
    QCOMPARE(connectorsChecked(), QStringList({"6"}));
}

void TestSensorDebug::refusals_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("entry");
    const QString closed = "转接板未连接\n";
    QTest::newRow("closed: write") << int(Ch341) << "pbtnCh341Write" << "closed" << closed;
    QTest::newRow("closed: read") << int(Ch341) << "pbtnCh341Read" << "closed" << closed;
    QTest::newRow("closed: write then read") << int(Ch341) << "pbtnCh341WR" << "closed" << closed;
    QTest::newRow("closed: serial write then read") << int(Serial) << "pbtnCh341WR" << "closed" << closed;
    // An address box whose text is not a value keeps the one it had (0x6F): it is not used.
    const QString address = "地址无效\n";
    QTest::newRow("no address: write") << int(Ch341) << "pbtnCh341Write" << "address" << address;
    QTest::newRow("no address: read") << int(Ch341) << "pbtnCh341Read" << "address" << address;
    QTest::newRow("no address: write then read") << int(Ch341) << "pbtnCh341WR" << "address" << address;
    QTest::newRow("no address: serial write") << int(Serial) << "pbtnCh341Write" << "address" << address;
}

// A transfer that cannot go sends nothing and says why in the log, once.
void TestSensorDebug::refusals()
{
    QFETCH(int, link);
    QFETCH(QString, button);
    QFETCH(QString, fault);
    QFETCH(QString, entry);
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Link(link)));
    type(f, kQuery, true);
    if (fault == "closed") {
        QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);  // disconnect
        QCOMPARE(f.ui->pbtnInfConnect->text(), QString("连接"));
    } else {
        f.ui->spbCh341Addr->findChild<QLineEdit*>()->setText("0x");
        QCOMPARE(f.ui->spbCh341Addr->value(), int(kSensorAddr));
    }
    sim::clearPacketLog(bridge);
    peer->clearReceived();
    QTest::mouseClick(f.findChild<QPushButton*>(button), Qt::LeftButton);
    const QStringList log = entries(f);
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0].mid(26), entry);
    QVERIFY(sim::packetLog(bridge).isEmpty());
    if (link == Serial) {
        QCOMPARE(peer->receivedSoFar(), QByteArray());
        return;
    }
    if (fault != "closed")
        return;
    // The multiplexer buttons refuse without a word.
    QTest::mouseClick(f.ui->pbtnSetPCA9548, Qt::LeftButton);
    QTest::mouseClick(f.ui->pbtnGetPCA9548, Qt::LeftButton);
    QVERIFY(sim::packetLog(bridge).isEmpty());
    QCOMPARE(entries(f).size(), 1);
}

void TestSensorDebug::speedAtConnection_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<QStringList>("speeds");
    QTest::newRow("CH341") << int(Ch341) << QStringList({"20K", "100K", "400K"});
    QTest::newRow("CH347") << int(Ch347) << QStringList({"100K", "400K", "750K"});
}

void TestSensorDebug::speedAtConnection()
{
    QFETCH(int, link);
    QFETCH(QStringList, speeds);
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Link(link)));
    QStringList items;
    for (int i = 0; i < f.ui->cbbDevSpeed->count(); ++i)
        items << f.ui->cbbDevSpeed->itemText(i);
    QCOMPARE(items, speeds);
    QCOMPARE(f.ui->cbbDevSpeed->currentText(), QString("100K"));
    QCOMPARE(sim::streamMode(bridge), 1u);
    QVERIFY(f.ui->groupBox_6->isEnabled());
    f.ui->rbtnUart->click();
    QVERIFY(!f.ui->groupBox_6->isEnabled());
    QCOMPARE(f.ui->cbbDevSpeed->currentText(), QString("460800"));
    // Another radio removes the open bridge; the button keeps its text until clicked.
    QVERIFY(!sim::isDeviceOpen(bridge));
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("断开"));
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("连接"));
}

void TestSensorDebug::reclickReplacesTheAdapter()
{
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Ch341));
    QPointer<class_ch341> first = f.ch341;
    f.ui->rbtnIIC->click();
    QVERIFY(!sim::isDeviceOpen(bridge));
    QVERIFY(f.ch341 && f.ch341 != first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
    QCOMPARE(f.findChildren<class_ch341*>().size(), 1);
    // The fresh adapter opens the bridge its predecessor let go.
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbDevInf->currentText(), QString("6002"), kListWaitMs);
    QVERIFY(f.ch341->open(6002));
}

void TestSensorDebug::writeThenReadWaits()
{
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Ch341));
    type(f, kQuery, true);
    f.ui->spbDelay->setValue(120);
    QTest::mouseClick(f.ui->pbtnCh341WR, Qt::LeftButton);
    const QStringList log = entries(f);
    QCOMPARE(log.size(), 2);
    QVERIFY(log[0].mid(26).startsWith("写:\n"));
    QVERIFY(log[1].mid(26).startsWith("读:校验成功\n"));
    QVERIFY(stampOf(log[0]).isValid());
    QVERIFY(stampOf(log[0]).msecsTo(stampOf(log[1])) >= 120);
}

void TestSensorDebug::tabChangeDuringTheWait_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("readEntry");
    QTest::newRow("CH341") << int(Ch341) << "转接板未连接\n";
    QTest::newRow("CH347") << int(Ch347) << "转接板未连接\n";
    QTest::newRow("serial") << int(Serial) << "读:校验失败:0x0000\n地址:0x6F\n长度:0\n命令:\n";
}

void TestSensorDebug::tabChangeDuringTheWait()
{
    QFETCH(int, link);
    QFETCH(QString, readEntry);
    sensorDebugForm f;
    TACTILE_STEP(connectTo(f, Link(link)));
    type(f, kQuery, true);
    f.ui->spbDelay->setValue(200);
    // Another tab becomes current while the console waits: its adapters go.
    QTimer::singleShot(50, &f, [&f] {
        f.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the adapters go now
    });
    QTest::mouseClick(f.ui->pbtnCh341WR, Qt::LeftButton);
    QVERIFY(!f.ch341 && !f.ch347 && !f.uart);
    QStringList log = entries(f);
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[1].mid(26), readEntry);
    if (link != Serial)
        return;
    // Without its adapter a serial write sends nothing, and its entry is logged all the same.
    peer->receivedSoFar();  // the first write, all of it on the line
    peer->clearReceived();
    QTest::mouseClick(f.ui->pbtnCh341Write, Qt::LeftButton);
    log = entries(f);
    QCOMPARE(log.size(), 3);
    QVERIFY(log[2].mid(26).startsWith("写:\n地址:0x6F\n长度:11\n"));
    QCOMPARE(peer->receivedSoFar(), QByteArray());
}

void TestSensorDebug::clearEmptiesThePane()
{
    sensorDebugForm f;
    f.start();
    QTest::mouseClick(f.ui->pbtnCh341Read, Qt::LeftButton);  // refused: the bridge is closed
    QCOMPARE(entries(f).size(), 1);
    QTest::mouseClick(f.ui->pbtnDebugLogClear, Qt::LeftButton);
    QVERIFY(f.ui->txtDebugLog->toPlainText().isEmpty());
}

TACTILE_TEST_MAIN(TestSensorDebug)
#include "tst_sensorDebug.moc"
