// The address tab on a pseudo-terminal: the poll on the line, how the bytes that come back are
// taken, and an address set over the serial link.

#include "ptyPair.h"
#include "serialSensorPeer.h"
#include "setSensorAddrForm.h"
#include "testMain.h"
#include "ui_setSensorAddrForm.h"

#include <QElapsedTimer>
#include <memory>

namespace {

// Deadlines that only catch a hang.
constexpr int kListWaitMs = 10000;
constexpr int kAnswerWaitMs = 10000;

QByteArray answer(uint8_t addr, uint8_t status)
{
    return SerialSensorPeer::addressAnswer(addr, status);
}

// Waits until the peer has heard n more polls or requests: the tool has been round its poll again.
bool morePolls(SerialSensorPeer& peer, int n)
{
    const int from = peer.heard().size();
    return QTest::qWaitFor([&] { return peer.heard().size() >= from + n; }, kAnswerWaitMs);
}

}  // namespace

class TestSetSensorAddrSerial : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void pollEvery50ms();
    void incomingBytes_data();
    void incomingBytes();
    void setOverSerial();

private:
    void connect(setSensorAddrForm& f);

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<SerialSensorPeer> peer;
};

void TestSetSensorAddrSerial::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isOpen());
    class_uart::setExtraPortNames({pty->slavePath()});
    peer = std::make_unique<SerialSensorPeer>(*pty);
}

void TestSetSensorAddrSerial::cleanup()
{
    peer.reset();
    pty.reset();
    class_uart::setExtraPortNames({});
}

void TestSetSensorAddrSerial::connect(setSensorAddrForm& f)
{
    f.start();  // the combo starts on UART
    QCOMPARE(f.ui->cbbInf->currentText(), QString("UART"));
    QCOMPARE(f.ui->lbInfArg->text(), QString("波特率"));
    QCOMPARE(f.ui->cbbInfArg->currentText(), QString("460800"));
    QTRY_VERIFY_WITH_TIMEOUT(f.ui->cbbInfList->findText(pty->slavePath()) >= 0, kListWaitMs);
    f.ui->cbbInfList->setCurrentIndex(f.ui->cbbInfList->findText(pty->slavePath()));
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);
    QVERIFY(f.uart && f.uart->port->isOpen());
    QCOMPARE(f.uart->port->baudRate(), 460800);
    QCOMPARE(f.ui->lbFingerState->text(), QString("扫描中。。。"));
}

void TestSetSensorAddrSerial::pollEvery50ms()
{
    peer->start();
    setSensorAddrForm f;
    TACTILE_STEP(connect(f));
    QVERIFY(morePolls(*peer, 1));
    peer->clearReceived();
    QElapsedTimer window;
    window.start();
    QVERIFY(morePolls(*peer, 10));
    const QByteArray got = peer->receivedSoFar();
    const qint64 ms = window.elapsed();
    QCOMPARE(got.size() % 2, 0);
    QCOMPARE(got, QByteArray::fromHex("00ff").repeated(got.size() / 2));
    // Never faster than one poll in 50 ms (the timer's coarse 5 % and the pieces at either end of
    // the window aside); a busy machine only makes the window longer.
    const qint64 polls = got.size() / 2;
    QVERIFY2(polls >= 10 && polls <= ms / 47 + 2, qPrintable(QString("%1 polls in %2 ms").arg(polls).arg(ms)));
}

void TestSetSensorAddrSerial::incomingBytes_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("rest");  // sent after a few polls saw nothing to take
    QTest::addColumn<int>("addr");
    QTest::addColumn<QString>("cmdState");
    const QByteArray report = answer(0x22, 0xF1);
    QTest::newRow("five bytes wait for more") << report.left(5) << report.mid(5) << 0x22 << "";
    QTest::newRow("set done") << answer(0x22, 0xF0) << QByteArray() << 0x22 << "成功";
    QTest::newRow("second frame in the same read ignored")
        << answer(0x22, 0xF1) + answer(0x33, 0xF0) << QByteArray() << 0x22 << "";
    QTest::newRow("garbage before 55 AA skipped")
        << QByteArray::fromHex("015502aa55") + answer(0x33, 0xF1) << QByteArray() << 0x33 << "";
}

void TestSetSensorAddrSerial::incomingBytes()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, rest);
    QFETCH(int, addr);
    QFETCH(QString, cmdState);
    peer->start();  // no sensor serves the line: only the bytes sent here come back
    setSensorAddrForm f;
    connect(f);
    peer->sendRaw(first);
    if (!rest.isEmpty()) {
        QVERIFY(morePolls(*peer, 3));  // the tool has read what was there
        QCOMPARE(f.ui->lbFingerState->text(), QString("扫描中。。。"));
        peer->sendRaw(rest);
    }
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbFingerState->text(), QString("已连接"), kAnswerWaitMs);
    QCOMPARE(f.ui->spbCurrAddrDec->value(), addr);
    QCOMPARE(f.ui->spbCurrAddrHex->value(), addr);
    QCOMPARE(f.ui->lbCmdState->text(), cmdState);
    QVERIFY(morePolls(*peer, 3));
    QCOMPARE(f.ui->spbCurrAddrDec->value(), addr);
    QCOMPARE(f.ui->lbCmdState->text(), cmdState);
}

void TestSetSensorAddrSerial::setOverSerial()
{
    SerialSensorPeer::Sensor s;
    s.addr = 0x61;
    const int sensor = peer->addSensor(s);
    QVERIFY(sensor >= 0);
    peer->start();
    setSensorAddrForm f;
    TACTILE_STEP(connect(f));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->spbCurrAddrDec->value(), 0x61, kAnswerWaitMs);
    QCOMPARE(f.ui->lbFingerState->text(), QString("已连接"));

    f.ui->spbTarAddrHex->setValue(0x22);
    QTest::mouseClick(f.ui->pbtnSet, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui->lbCmdState->text(), QString("成功"), kAnswerWaitMs);
    QCOMPARE(f.ui->spbCurrAddrDec->value(), 0x22);
    QCOMPARE(peer->addr(sensor), uint8_t(0x22));
    QCOMPARE(peer->requests(sensor), QVector<QByteArray>({QByteArray::fromHex("aa550070000000220091 01")}));

    // Closing the port ends the polling.
    QTest::mouseClick(f.ui->pbtnInfConnect, Qt::LeftButton);
    QCOMPARE(f.ui->lbFingerState->text(), QString("接口未打开"));
    QVERIFY(!f.uart->port->isOpen());
    QVERIFY(!f.pollTimer->isActive());
    peer->receivedSoFar();  // what was on its way before the close
    peer->clearReceived();
    QCOMPARE(peer->receivedSoFar(), QByteArray());
}

TACTILE_TEST_MAIN(TestSetSensorAddrSerial)
#include "tst_setSensorAddrSerial.moc"
