// The simulated boot loader: its YMODEM receiver packet by packet, the I2C sensor that enters it
// on the reset request, and the serial peer with its reset frames and character time-out.

#include "ch347dll.h"
#include "class_uart.h"
#include "ptyPair.h"
#include "serialBootPeer.h"
#include "simBus.h"
#include "simCatalogue.h"
#include "testMain.h"
#include "tst_ch347Transfers.h"

namespace {

constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kC = 0x43;
constexpr int kWaitMs = 30000;  // the line and the loader's 30 ms take milliseconds: catches a hang only

QByteArray packet(char start, uint8_t number, QByteArray payload)
{
    payload.append(QByteArray((start == 0x02 ? 1024 : 128) - payload.size(), '\0'));
    const uint16_t crc = sim::crcXmodem(payload);
    QByteArray p;
    p.append(start).append(char(number)).append(char(~number)).append(payload);
    return p.append(char(crc >> 8)).append(char(crc & 0xFF));
}

QByteArray header(const QByteArray& name, const QByteArray& size)
{
    return packet(0x01, 0, name + QByteArray(1, '\0') + size + QByteArray(1, '\0'));
}

QByteArray nullHeader() { return packet(0x01, 0, QByteArray()); }

QByteArray eot() { return QByteArray::fromHex("04000000"); }

// A receiver that has taken the file header of "fw.bin", 200 bytes.
sim::YmodemReceiver afterHeader()
{
    sim::YmodemReceiver r;
    r.enter(0);
    r.take(0, 16);
    r.feed(header("fw.bin", "200") + QByteArray(3, '\0'), 0);
    r.take(100, 16);
    return r;
}

// Waits until a one-byte read gives byte (each read takes what is ready).
bool readSoon(uint8_t addr, char byte)
{
    return QTest::qWaitFor([&] { return readAt(addr, 1) == QByteArray(1, byte); }, kWaitMs);
}

}  // namespace

class tst_simBootLoader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { simCatalogue::install(); }

    // What the receiver answers to each kind of packet, and what it keeps.
    void receiverAnswers_data();
    void receiverAnswers();
    void headerAckThenC();
    void offersCWhileWaiting();
    void partialPacketDropped();
    void hostCancel();
    void sensorEntersItsBootLoader();
    void serialPeerResetsAndTimeOut();
};

void tst_simBootLoader::receiverAnswers_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("image");  // after an EOT that follows the input
    const QByteArray one = QByteArray(128, 'a');
    const QByteArray two = QByteArray(1024, 'b');
    QByteArray badCrc = packet(0x01, 1, one);
    badCrc[130] = char(badCrc[130] ^ 1);
    QByteArray badComplement = packet(0x01, 1, one);
    badComplement[2] = 0x00;
    QTest::newRow("block kept") << packet(0x01, 1, one) << QByteArray(1, kAck) << one.left(128);
    QTest::newRow("long block, cut to the size") << packet(0x02, 1, two) << QByteArray(1, kAck) << two.left(200);
    QTest::newRow("bad CRC") << badCrc << QByteArray(1, kNak) << QByteArray();
    QTest::newRow("bad complement") << badComplement << QByteArray(1, kNak) << QByteArray();
    QTest::newRow("duplicate dropped") << packet(0x01, 1, one) + packet(0x01, 1, one)
                                       << QByteArray::fromHex("0606") << one;
    QTest::newRow("header again") << header("fw.bin", "200") << QByteArray::fromHex("0643") << QByteArray();
    QTest::newRow("block out of order") << packet(0x01, 2, one) << QByteArray(1, kNak) << QByteArray();
    QTest::newRow("bytes between packets") << QByteArray::fromHex("000000ff7e") + packet(0x01, 1, one) +
                                                  QByteArray(3, '\0')
                                           << QByteArray(1, kAck) << one;
}

void tst_simBootLoader::receiverAnswers()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, image);
    sim::YmodemReceiver r = afterHeader();
    r.feed(input, 200);
    QCOMPARE(r.take(1000, 64), answer);
    r.feed(eot(), 1000);
    QCOMPARE(r.take(2000, 64), QByteArray::fromHex("0643"));
    QCOMPARE(r.state().image, image);
    QCOMPARE(r.state().fileName, QByteArray("fw.bin"));
    QCOMPARE(r.state().sizeField, QByteArray("200"));
    QVERIFY(r.active());
    r.feed(nullHeader(), 2000);
    QCOMPARE(r.take(2000, 64), QByteArray(1, kAck));
    QVERIFY(r.state().complete);
    QVERIFY(!r.active());
}

// The 'C' after a header's ACK comes 30 ms later, or with it when the switch says so.
void tst_simBootLoader::headerAckThenC()
{
    for (bool together : {false, true}) {
        sim::YmodemReceiver r;
        sim::BootLoaderSwitches s;
        s.ackWithC = together;
        r.setSwitches(s);
        r.enter(0);
        QCOMPARE(r.take(0, 8), QByteArray(1, kC));
        r.feed(header("a", "1"), 10);
        QCOMPARE(r.take(10, 8), together ? QByteArray::fromHex("0643") : QByteArray(1, kAck));
        QCOMPARE(r.take(40, 8), together ? QByteArray() : QByteArray(1, kC));
    }
}

// Before a header the loader asks again every 500 ms, never piling 'C' on 'C'.
void tst_simBootLoader::offersCWhileWaiting()
{
    sim::YmodemReceiver r;
    r.enter(0);
    QCOMPARE(r.take(499, 8), QByteArray(1, kC));
    QCOMPARE(r.take(499, 8), QByteArray());
    QCOMPARE(r.take(1000, 8), QByteArray(1, kC));
    r.take(2000, 0);  // offered, not read
    QCOMPARE(r.take(5000, 8), QByteArray(1, kC));
    r.feed(header("a", "1"), 5000);
    QCOMPARE(r.take(9000, 8), QByteArray::fromHex("0643"));
    QCOMPARE(r.take(20000, 8), QByteArray());  // a header seen: no more offers
}

void tst_simBootLoader::partialPacketDropped()
{
    sim::YmodemReceiver r = afterHeader();
    const QByteArray block = packet(0x01, 1, QByteArray(128, 'z'));
    r.feed(block.left(60), 200);
    QVERIFY(r.inPacket());
    r.dropPartial();
    r.feed(block, 300);
    QCOMPARE(r.take(300, 8), QByteArray(1, kAck));
    QCOMPARE(r.state().naks, 0);
}

// The host's cancel mid-transfer is counted and ends the session: the next header starts afresh.
void tst_simBootLoader::hostCancel()
{
    sim::YmodemReceiver r = afterHeader();
    r.feed(packet(0x01, 1, QByteArray(128, 'a')), 200);
    QCOMPARE(r.take(200, 8), QByteArray(1, kAck));
    r.feed(QByteArray(8, 0x18), 300);
    QCOMPARE(r.state().cancelBytes, 8);
    QVERIFY(r.active());
    r.feed(packet(0x01, 2, QByteArray(128, 'b')), 400);  // no transfer to take it
    QCOMPARE(r.take(400, 8), QByteArray(1, kNak));
    r.feed(header("again.bin", "1"), 500);
    QCOMPARE(r.take(600, 8), QByteArray::fromHex("0643"));
    QCOMPARE(r.state().fileName, QByteArray("again.bin"));
    r.enter(700);
    QCOMPARE(r.state().cancelBytes, 0);
}

// On I2C: the reset request to 0 enters the loader; its bytes are read one per byte at its own
// address or at 0, 0x00 when none; after the null header it sends frames again.
void tst_simBootLoader::sensorEntersItsBootLoader()
{
    sim::reset();
    sim::BridgeConfig b;
    b.kind = sim::BridgeKind::Ch347;
    b.pca = false;
    const int bridge = sim::addBridge(b);
    QVERIFY(CH347OpenDevice(0) != kCh347InvalidHandle);
    sim::SensorConfig s;
    s.addr = 0x61;
    s.bootLoader = true;
    const int sensor = sim::addSensor(bridge, s);
    QVERIFY(sensor >= 0);
    QCOMPARE(uint8_t(readAt(0x61, 4)[0]), uint8_t(0x55));  // a sensor until reset

    QVERIFY(writeAt(0x00, QByteArray::fromHex("aa5500a10000000000a001")));
    QCOMPARE(sim::bootState(sensor).entries, 1);
    QCOMPARE(readAt(0x61, 3), QByteArray::fromHex("430000"));
    QVERIFY(writeAt(0x61, header("app.bin", "4") + QByteArray(3, '\0')));
    QCOMPARE(readAt(0x00, 1), QByteArray(1, kAck));
    QVERIFY(readSoon(0x61, kC));
    QVERIFY(writeAt(0x61, packet(0x01, 1, "abcd") + QByteArray(3, '\0')));
    QCOMPARE(readAt(0x61, 1), QByteArray(1, kAck));
    QVERIFY(writeAt(0x61, eot()));
    QCOMPARE(readAt(0x61, 1), QByteArray(1, kAck));
    QVERIFY(readSoon(0x61, kC));
    QVERIFY(writeAt(0x61, nullHeader() + QByteArray(3, '\0')));
    QCOMPARE(readAt(0x61, 1), QByteArray(1, kAck));

    const sim::BootLoaderState done = sim::bootState(sensor);
    QVERIFY(done.complete);
    QCOMPARE(done.fileName, QByteArray("app.bin"));
    QCOMPARE(done.image, QByteArray("abcd"));
    QCOMPARE(done.packets.size(), 4);
    QCOMPARE(uint8_t(readAt(0x61, 4)[3]), uint8_t(0x85));  // frames again
    CH347CloseDevice(0);
}

// The serial peer: a reset frame at each rate recorded as it came; a packet cut short is
// dropped after the character time-out, so the next whole one is read.
void tst_simBootLoader::serialPeerResetsAndTimeOut()
{
    PtyPair pty;
    SerialBootPeer peer(pty);
    peer.start();
    class_uart uart;
    const QByteArray reset = QByteArray::fromHex("aa5505a10000000000a501");
    for (unsigned int rate : {115200u, 576000u}) {
        QVERIFY(uart.open(pty.slavePath(), rate));
        uart.port->write(QByteArray::fromHex("0000") + reset);
        QVERIFY(uart.port->waitForBytesWritten(kWaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(peer.resets().size(), rate == 115200u ? 1 : 2, kWaitMs);
    }
    QCOMPARE(peer.resets()[0].rate, 115200);
    QCOMPARE(peer.resets()[1].rate, 576000);
    QCOMPARE(peer.resets()[1].frame, reset);
    const QByteArray h = header("fw.bin", "9");
    uart.port->write(h.left(50));
    QVERIFY(uart.port->waitForBytesWritten(kWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(peer.partialsDropped(), 1, kWaitMs);
    uart.port->clear();
    uart.port->write(h);
    QVERIFY(uart.port->waitForBytesWritten(kWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(peer.state().fileName, QByteArray("fw.bin"), kWaitMs);
    QCOMPARE(peer.state().naks, 0);
    QCOMPARE(peer.transferRate(), 576000);
}

TACTILE_TEST_MAIN(tst_simBootLoader)
#include "tst_simBootLoader.moc"
