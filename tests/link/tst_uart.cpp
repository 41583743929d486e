// The serial adapter against a real pseudo-terminal: line settings, bytes both ways, hang-up.

#include "class_uart.h"
#include "ptyPair.h"
#include "testMain.h"

#include <QSignalSpy>
#include <termios.h>

namespace {
constexpr unsigned int kSensorBaud = 460800;
constexpr int kWaitMs = 30000;  // catches a hang only
}  // namespace

class TestUart : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void openSets460800_8N1();
    void bytesBothWays();
    void hangUpIsReportedAsClose();
    void openFailure();
    void reopenClosesWithoutSignal();
    void closeAlwaysSignals();
    void lineErrors_data();
    void lineErrors();
    void scanListsExtraNamesOnce();
    void scanWithOpenLeavesOutBusyPort();
};

void TestUart::cleanup()
{
    class_uart::setExtraPortNames({});
}

void TestUart::openSets460800_8N1()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    class_uart uart;
    QSignalSpy ok(&uart, &class_uart::si_openSuccess);
    QSignalSpy fail(&uart, &class_uart::si_openFail);
    QVERIFY(uart.open(pty.slavePath(), kSensorBaud));
    QCOMPARE(ok.count(), 1);
    QCOMPARE(fail.count(), 0);
    QVERIFY(uart.port->isOpen());

    // The line as the terminal driver holds it, not as the port object remembers it.
    termios t{};
    QCOMPARE(tcgetattr(pty.masterFd(), &t), 0);
    QCOMPARE(cfgetospeed(&t), speed_t(B460800));
    QCOMPARE(cfgetispeed(&t), speed_t(B460800));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
}

void TestUart::bytesBothWays()
{
    PtyPair pty;
    class_uart uart;
    QVERIFY(uart.open(pty.slavePath(), kSensorBaud));

    const QByteArray toHost = QByteArray::fromHex("55aa0385010000ff11");
    pty.write(toHost);
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += uart.port->readAll()).size() >= toHost.size(), kWaitMs);
    QCOMPARE(got, toHost);

    const QByteArray toSensor = QByteArray::fromHex("aa5503a000000000 00a201");
    QCOMPARE(uart.port->write(toSensor), qint64(toSensor.size()));
    QByteArray sent;
    QTRY_VERIFY_WITH_TIMEOUT((sent += pty.read(10)).size() >= toSensor.size(), kWaitMs);
    QCOMPARE(sent, toSensor);
}

void TestUart::hangUpIsReportedAsClose()
{
    PtyPair pty;
    class_uart uart;
    QSignalSpy closed(&uart, &class_uart::si_close);
    QVERIFY(uart.open(pty.slavePath(), kSensorBaud));
    pty.hangUp();
    QVERIFY(closed.wait(kWaitMs));
    QCOMPARE(closed.count(), 1);
    QVERIFY(!uart.port->isOpen());
}

void TestUart::openFailure()
{
    QTemporaryDir dir;
    class_uart uart;
    QSignalSpy ok(&uart, &class_uart::si_openSuccess);
    QSignalSpy fail(&uart, &class_uart::si_openFail);
    QVERIFY(!uart.open(dir.filePath("noSuchPort"), kSensorBaud));
    QCOMPARE(ok.count(), 0);
    QCOMPARE(fail.count(), 1);
    QVERIFY(!uart.port->isOpen());
}

void TestUart::reopenClosesWithoutSignal()
{
    PtyPair first;
    PtyPair second;
    class_uart uart;
    QSignalSpy closed(&uart, &class_uart::si_close);
    QVERIFY(uart.open(first.slavePath(), kSensorBaud));
    QVERIFY(uart.open(second.slavePath(), 115200));
    QCOMPARE(closed.count(), 0);
    QVERIFY(uart.port->isOpen());
    uart.port->write("\x55");
    QByteArray sent;
    QTRY_VERIFY_WITH_TIMEOUT(!(sent += second.read(10)).isEmpty(), kWaitMs);
    QCOMPARE(sent, QByteArray("\x55"));
    // The first line is free again: another adapter can take it.
    class_uart other;
    QVERIFY(other.open(first.slavePath(), kSensorBaud));
}

void TestUart::closeAlwaysSignals()
{
    PtyPair pty;
    class_uart uart;
    QSignalSpy closed(&uart, &class_uart::si_close);
    uart.close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(uart.open(pty.slavePath(), kSensorBaud));
    uart.close();
    QCOMPARE(closed.count(), 2);
    QVERIFY(!uart.port->isOpen());
}

void TestUart::lineErrors_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("lost");
    QTest::newRow("permission") << int(QSerialPort::PermissionError) << true;
    QTest::newRow("read (hang-up)") << int(QSerialPort::ReadError) << true;
    QTest::newRow("resource (unplugged)") << int(QSerialPort::ResourceError) << true;
    QTest::newRow("timeout") << int(QSerialPort::TimeoutError) << false;
    QTest::newRow("write") << int(QSerialPort::WriteError) << false;
    QTest::newRow("unknown") << int(QSerialPort::UnknownError) << false;
}

void TestUart::lineErrors()
{
    QFETCH(int, error);
    QFETCH(bool, lost);
    PtyPair pty;
    class_uart uart;
    QSignalSpy closed(&uart, &class_uart::si_close);
    QVERIFY(uart.open(pty.slavePath(), kSensorBaud));
    emit uart.port->errorOccurred(QSerialPort::SerialPortError(error));
    QCOMPARE(closed.count(), lost ? 1 : 0);
    QCOMPARE(uart.port->isOpen(), !lost);

    // On a closed port no error reports a close again.
    uart.port->close();
    emit uart.port->errorOccurred(QSerialPort::SerialPortError(error));
    QCOMPARE(closed.count(), lost ? 1 : 0);
}

void TestUart::scanListsExtraNamesOnce()
{
    PtyPair pty;
    class_uart::setExtraPortNames({pty.slavePath(), pty.slavePath()});
    QCOMPARE(class_uart::extraPortNames().size(), 2);
    class_uart uart;
    QSignalSpy scanned(&uart, &class_uart::si_scanEnd);
    uart.scan(false);
    QCOMPARE(scanned.count(), 1);
    const QStringList list = scanned.at(0).at(0).toStringList();
    QCOMPARE(list.count(pty.slavePath()), 1);
    QCOMPARE(list.last(), pty.slavePath());
}

void TestUart::scanWithOpenLeavesOutBusyPort()
{
    PtyPair busy;
    PtyPair free;
    class_uart::setExtraPortNames({busy.slavePath(), free.slavePath()});
    class_uart otherProgram;
    QVERIFY(otherProgram.open(busy.slavePath(), kSensorBaud));

    class_uart uart;
    QSignalSpy scanned(&uart, &class_uart::si_scanEnd);
    uart.scan(true);
    uart.scan(false);
    QCOMPARE(scanned.count(), 2);
    const QStringList probed = scanned.at(0).at(0).toStringList();
    QVERIFY(!probed.contains(busy.slavePath()));
    QVERIFY(probed.contains(free.slavePath()));
    QVERIFY(scanned.at(1).at(0).toStringList().contains(busy.slavePath()));
    // The adapter's own open line is in use by it, not busy elsewhere.
    QVERIFY(otherProgram.port->isOpen());
    QSignalSpy ownScan(&otherProgram, &class_uart::si_scanEnd);
    otherProgram.scan(true);
    QVERIFY(ownScan.at(0).at(0).toStringList().contains(busy.slavePath()));
    // The probe leaves the free line closed, and the busy one open in its owner.
    QVERIFY(!uart.port->isOpen());
    QVERIFY(otherProgram.port->isOpen());
    class_uart later;
    QVERIFY(later.open(free.slavePath(), kSensorBaud));
}

TACTILE_TEST_MAIN(TestUart)
#include "tst_uart.moc"
