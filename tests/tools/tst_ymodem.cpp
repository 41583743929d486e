// The YMODEM sender with an owner in the same process: the packets it writes (checked by the
// simulator's own receiver and byte by byte), progress, retries, cancel rules, time-outs and its
// end signal, on which the owner may delete it.

#include "class_ymodem.h"
#include "simBootLoader.h"
#include "testMain.h"

#include <QElapsedTimer>
#include <QPointer>
#include <functional>

namespace {

constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;
constexpr char kC = 0x43;
constexpr int kEndWaitMs = 30000;  // the longest path, a 2 s time-out; only a hang takes this long

QByteArray imageOf(int size)
{
    QByteArray d(size, '\0');
    for (int i = 0; i < size; ++i)
        d[i] = char((i * 7 + i / 256) & 0xFF);
    return d;
}

// Owns one sender and plays its link: every write is recorded and reported done at once; every
// read asks `read`. By default the far end is the simulator's receiver, one byte per read.
class Owner : public QObject {
public:
    explicit Owner(const QByteArray& image, const QString& name = "app.bin")
        : y(new class_ymodem(name, image))
    {
        clock.start();
        receiver.enter(0);
        read = [this] { return receiver.take(clock.elapsed(), 1); };
        wrote = [this](const QByteArray& p) { receiver.feed(p, clock.elapsed()); };
        connect(y, &class_ymodem::si_write, this, [this](QByteArray p) {
            packets << p;
            wrote(p);
            y->sl_writeSuccess();
        });
        connect(y, &class_ymodem::si_read, this, [this](uint16_t len) {
            QCOMPARE(int(len), 1);
            ++reads;
            y->sl_received1(read());
        });
        connect(y, &class_ymodem::si_setProgress, this, [this](uint8_t v) { progress << v; });
        const auto end = [this](const char* what) {
            ends << what;
            endMs = clock.elapsed();
            if (deleteOnEnd)
                delete y.data();
        };
        connect(y, &class_ymodem::si_updateSuccess, this, [end] { end("success"); });
        connect(y, &class_ymodem::si_updateTimeout, this, [end] { end("timeout"); });
        connect(y, &class_ymodem::si_updateCancel, this, [end] { end("cancel"); });
    }
    ~Owner() override { delete y.data(); }

    void run()
    {
        clock.restart();
        y->update_start();
    }
    bool waitForEnd() { return QTest::qWaitFor([this] { return !ends.isEmpty(); }, kEndWaitMs); }

    QPointer<class_ymodem> y;
    sim::YmodemReceiver receiver;
    std::function<QByteArray()> read;
    std::function<void(const QByteArray&)> wrote;
    QVector<QByteArray> packets;
    QVector<int> progress;
    QStringList ends;
    bool deleteOnEnd = true;
    int reads = 0;
    qint64 endMs = -1;
    QElapsedTimer clock;
};

// Replies a scripted receiver gives, one per read; empty reads when the script is used up.
struct Script {
    QVector<QByteArray> replies;
    QByteArray next() { return replies.isEmpty() ? QByteArray() : replies.takeFirst(); }
};

QByteArray expectedBlock(char start, uint8_t number, const QByteArray& payload)
{
    QByteArray p;
    p.append(start).append(char(number)).append(char(~number)).append(payload);
    return p;  // CRC and the three 0x00 are checked apart
}

}  // namespace

class tst_ymodem : public QObject {
    Q_OBJECT
private slots:
    void wholePackets_data();
    void wholePackets();
    void longNameIsCut();
    void headerCrc();
    void progressSequence();
    void nakRepeatsThePacket_data();
    void nakRepeatsThePacket();
    void emptyReadsInState3();
    void fiveCanCancelOneDoesNot();
    void ownerCancel();
    void deadReceiverTimesOnce();
    void ackAndCInOneRead();
    void headerCopiesWithoutCTimeOut();
    void blockNumbersPast256();
    void oneEndOnEveryPath_data();
    void oneEndOnEveryPath();
};

void tst_ymodem::wholePackets_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("blocks");  // payload sizes of the data blocks, in order
    const struct {
        int size;
        const char* blocks;
    } rows[] = {{0, ""},         {1, "128"},        {128, "128"},       {129, "1024"},           {1000, "1024"},
                {1024, "1024"}, {1025, "1024,128"}, {2048, "1024,1024"}, {2049, "1024,1024,128"}};
    for (const auto& r : rows)
        QTest::addRow("%d bytes", r.size) << r.size << QString(r.blocks);
}

void tst_ymodem::wholePackets()
{
    QFETCH(int, size);
    QFETCH(QString, blocks);
    const QByteArray image = imageOf(size);
    Owner o(image);
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.ends, QStringList{"success"});

    // Header: name, 0x00, size digits (none for 0), zeros up to 128 bytes.
    QByteArray headerPayload = "app.bin" + QByteArray(1, '\0') + (size ? QByteArray::number(size) : QByteArray());
    headerPayload.append(QByteArray(128 - headerPayload.size(), '\0'));
    QCOMPARE(o.packets[0].size(), 136);
    QCOMPARE(o.packets[0].left(131), expectedBlock(0x01, 0, headerPayload));
    if (size == 0) {
        QCOMPARE(o.packets.size(), 1);  // its ACK ends the transfer
        return;
    }
    // Blocks of the listed sizes, the image's bytes in order, 0x1A fill.
    QVector<QByteArray> expected;
    int at = 0;
    uint8_t n = 1;
    for (const QString& block : blocks.split(',', Qt::SkipEmptyParts)) {
        const int payload = block.toInt();
        const int carried = std::min(size - at, payload);
        expected << expectedBlock(payload == 1024 ? 0x02 : 0x01, n++,
                                  image.mid(at, carried) + QByteArray(payload - carried, 0x1A));
        at += carried;
    }
    QCOMPARE(at, size);
    QCOMPARE(o.packets.size(), 1 + expected.size() + 2);
    for (int i = 0; i < expected.size(); ++i) {
        const QByteArray& p = o.packets[1 + i];
        QCOMPARE(p.size(), expected[i].size() + 5);
        QCOMPARE(p.left(expected[i].size()), expected[i]);
        QCOMPARE(p.right(3), QByteArray(3, '\0'));
    }
    QCOMPARE(o.packets[1 + expected.size()], QByteArray::fromHex("04000000"));
    QCOMPARE(o.packets.last(), QByteArray::fromHex("0100ff") + QByteArray(133, '\0'));
    // The simulator's receiver checks every CRC on its own.
    QCOMPARE(o.receiver.state().naks, 0);
    QCOMPARE(o.receiver.state().image, image);
    QVERIFY(o.receiver.state().complete);
}

void tst_ymodem::longNameIsCut()
{
    const QString name = "firmware_of_the_palm.bin";  // 24 bytes
    QCOMPARE(name.size() + 1, 25);
    Owner o(imageOf(10), name + "x");
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.packets[0].mid(3, 24), QByteArray("firmware_of_the_palm") + QByteArray(1, '\0') + "10" +
                                          QByteArray(1, '\0'));
    QCOMPARE(o.receiver.state().fileName, QByteArray("firmware_of_the_palm"));
}

void tst_ymodem::headerCrc()
{
    Owner o(imageOf(1008));
    o.read = [] { return QByteArray(1, kC); };
    o.run();
    QTRY_VERIFY(!o.packets.isEmpty());
    QCOMPARE(o.packets[0].mid(131, 5), QByteArray::fromHex("94a0000000"));
}

// 0 at the header, each block's share (never 100 before the end), 100 at the null header's ACK;
// the null header's 'C' leaves the bar alone.
void tst_ymodem::progressSequence()
{
    Owner o(imageOf(3000));
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.progress, QVector<int>({0, 34, 68, 99, 100}));
}

void tst_ymodem::nakRepeatsThePacket_data()
{
    QTest::addColumn<bool>("eot");
    QTest::newRow("after block 2") << false;
    QTest::newRow("after EOT") << true;
}

void tst_ymodem::nakRepeatsThePacket()
{
    QFETCH(bool, eot);
    const QByteArray image = imageOf(3000);
    Owner o(image);
    sim::BootLoaderSwitches s;
    s.nakBlock = eot ? -1 : 2;
    s.nakFirstEot = eot;
    o.receiver.setSwitches(s);
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.ends, QStringList{"success"});
    const int repeated = eot ? 4 : 2;  // header, blocks 1..3, EOT
    QCOMPARE(o.packets[repeated + 1], o.packets[repeated]);
    QCOMPARE(o.packets.size(), 1 + 3 + 1 + 1 + 1);
    QCOMPARE(o.receiver.state().image, image);
}

// Nineteen empty reads after the header's ACK change nothing; the twentieth sends the header
// again and awaits its ACK once more.
void tst_ymodem::emptyReadsInState3()
{
    Owner o(imageOf(100));
    Script script;
    script.replies = {QByteArray(1, kC), QByteArray(1, kAck)};
    for (int i = 0; i < 19; ++i)
        script.replies << QByteArray();
    script.replies << QByteArray(1, '\0') << QByteArray(1, kAck) << QByteArray(1, kC);
    int packetsBefore = -1;
    int stateBefore = -1;
    int stateAfter = -1;
    o.read = [&] {
        if (script.replies.size() == 3) {  // the twentieth unexpected read comes next
            packetsBefore = o.packets.size();
            stateBefore = o.y->state;
        } else if (script.replies.size() == 2) {
            stateAfter = o.y->state;
        }
        return script.next();
    };
    o.wrote = [](const QByteArray&) {};
    o.run();
    // Once the script is used up and block 1 has gone, the packets tell the story in order (what
    // comes after block 1, for want of replies, does not matter here).
    QTRY_VERIFY_WITH_TIMEOUT(script.replies.isEmpty() && o.packets.size() >= 3, kEndWaitMs);
    QCOMPARE(packetsBefore, 1);  // nineteen changed nothing
    QCOMPARE(stateBefore, 3);
    QCOMPARE(stateAfter, 2);     // the twentieth: the header's ACK awaited again
    QCOMPARE(o.packets[1], o.packets[0]);
    QCOMPARE(uint8_t(o.packets[2][0]), uint8_t(0x01));  // its ACK, then 'C': block 1
    QCOMPARE(uint8_t(o.packets[2][1]), uint8_t(1));
}

void tst_ymodem::fiveCanCancelOneDoesNot()
{
    Owner o(imageOf(3000));
    Script script;
    script.replies = {QByteArray(1, kC), QByteArray(1, kAck), QByteArray(1, kC), QByteArray(1, kCan),
                      QByteArray(4, kCan), QByteArray(5, kCan)};
    o.read = [&script] { return script.next(); };
    o.wrote = [](const QByteArray&) {};
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.ends, QStringList{"cancel"});
    QVERIFY(script.replies.isEmpty());  // one CAN and four CAN went by without effect
    QCOMPARE(o.packets.size(), 2);      // header and block 1
}

// The owner's cancel: eight CAN written about 10 ms later, the end about 100 ms later.
void tst_ymodem::ownerCancel()
{
    Owner o(imageOf(3000));
    o.run();
    QTRY_VERIFY(o.packets.size() >= 2);
    const int before = o.packets.size();
    QElapsedTimer t;
    t.start();
    o.y->update_cancel();
    QTRY_VERIFY(o.packets.contains(QByteArray(8, kCan)));
    QVERIFY(o.waitForEnd());
    QVERIFY(t.elapsed() >= 95);
    QCOMPARE(o.ends, QStringList{"cancel"});
    QCOMPARE(o.packets.last(), QByteArray(8, kCan));  // the transfer stood still meanwhile
    QVERIFY(o.packets.size() <= before + 2);
}

void tst_ymodem::deadReceiverTimesOnce()
{
    Owner o(imageOf(3000));
    o.deleteOnEnd = false;
    o.read = [] { return QByteArray(); };
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.ends, QStringList{"timeout"});
    QVERIFY2(o.endMs >= 1850, qPrintable(QString::number(o.endMs)));  // 2 s, a coarse timer
    // The sender polls on until its owner lets it go; the time-out is over for good, and what
    // the receiver says now moves nothing.
    QVERIFY(!o.y->timeoutTimer->isActive());
    const int reads = o.reads;
    const int packets = o.packets.size();  // the empty packet repeated for want of answers
    o.read = [] { return QByteArray(1, kC); };
    QTRY_VERIFY_WITH_TIMEOUT(o.reads >= reads + 5, kEndWaitMs);
    QCOMPARE(o.ends.size(), 1);
    QCOMPARE(o.packets.size(), packets);
}

// A serial read of ACK and 'C' together after the header: block 1 goes at once.
void tst_ymodem::ackAndCInOneRead()
{
    const QByteArray image = imageOf(1500);
    Owner o(image);
    sim::BootLoaderSwitches s;
    s.ackWithC = true;
    o.receiver.setSwitches(s);
    o.read = [&o] { return o.receiver.take(o.clock.elapsed(), 64); };
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.ends, QStringList{"success"});
    QCOMPARE(o.packets.size(), 1 + 2 + 2);  // no header repeated
    QCOMPARE(o.receiver.state().image, image);
}

// A receiver that ACKs every header but never asks for block 1: the run does not go on for
// ever, it times out 2 s after the first header's ACK.
void tst_ymodem::headerCopiesWithoutCTimeOut()
{
    Owner o(imageOf(3000));
    o.deleteOnEnd = false;
    QByteArray pending(1, kC);
    o.wrote = [&pending](const QByteArray& p) {
        if (uint8_t(p[1]) == 0)
            pending = QByteArray(1, kAck);
    };
    o.read = [&pending] {
        const QByteArray r = pending;
        pending.clear();
        return r;
    };
    o.run();
    QVERIFY(o.waitForEnd());
    QCOMPARE(o.ends, QStringList{"timeout"});
    QVERIFY(o.packets.size() >= 2);  // the header went again (every twentieth empty read)
    for (const QByteArray& p : o.packets)
        QCOMPARE(p, o.packets[0]);
    QVERIFY2(o.endMs >= 1850, qPrintable(QString::number(o.endMs)));
}

void tst_ymodem::blockNumbersPast256()
{
    const QByteArray image = imageOf(258 * 1024);
    Owner o(image);
    o.run();
    QVERIFY(QTest::qWaitFor([&o] { return !o.ends.isEmpty(); }, 120000));  // about 260 round trips
    QCOMPARE(o.ends, QStringList{"success"});
    QCOMPARE(uint8_t(o.packets[256][1]), uint8_t(0));  // block 256 carries number 0
    QCOMPARE(uint8_t(o.packets[256][2]), uint8_t(0xFF));
    QCOMPARE(uint8_t(o.packets[258][1]), uint8_t(2));
    QCOMPARE(o.receiver.state().image, image);
}

// Every way a run ends gives one end signal, and the owner may delete the sender inside it.
void tst_ymodem::oneEndOnEveryPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("end");
    QTest::newRow("success") << "success" << "success";
    QTest::newRow("time-out") << "timeout" << "timeout";
    QTest::newRow("receiver cancel") << "can" << "cancel";
    QTest::newRow("owner cancel") << "cancel" << "cancel";
    QTest::newRow("stop") << "stop" << "cancel";
}

void tst_ymodem::oneEndOnEveryPath()
{
    QFETCH(QString, path);
    QFETCH(QString, end);
    Owner o(imageOf(2000));
    if (path == "timeout")
        o.read = [] { return QByteArray(); };
    sim::BootLoaderSwitches s;
    s.cancelAtBlock = path == "can" ? 1 : -1;
    o.receiver.setSwitches(s);
    if (path == "can")
        o.read = [&o] { return o.receiver.take(o.clock.elapsed(), 64); };
    o.run();
    if (path == "cancel" || path == "stop") {
        QTRY_VERIFY(o.packets.size() >= 2);
        path == "cancel" ? o.y->update_cancel() : o.y->update_stop();
    }
    QVERIFY(o.waitForEnd());
    QVERIFY(!o.y);  // deleted in its own end signal: its timers went with it, nothing more comes
    QCOMPARE(o.ends, QStringList{end});
}

TACTILE_TEST_MAIN(tst_ymodem)
#include "tst_ymodem.moc"
