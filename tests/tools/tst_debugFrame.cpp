// The console's own rules, apart from any link: typed text to frame, the sum label, the closing
// sum test with short reads, the pane entries and their time stamp, the connector mapping.

#include "debugFrame.h"
#include "testMain.h"

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

}  // namespace

class TestDebugFrame : public QObject {
    Q_OBJECT
private slots:
    void textToFrameAndLabel_data();
    void textToFrameAndLabel();
    void sumTest_data();
    void sumTest();
    void writeEntryListsTheBytesSent();
    void readEntry_data();
    void readEntry();
    void stampedEntry();
    void connectors();
};

void TestDebugFrame::textToFrameAndLabel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("label");
    QTest::newRow("address query") << "AA5500710000000000" << hex("aa5500710000000000") << "7001";
    QTest::newRow("odd last digit is a byte") << "ABC" << hex("ab0c") << "b700";
    QTest::newRow("one digit") << "5" << hex("05") << "0500";
    QTest::newRow("lower case") << "aa55" << hex("aa55") << "ff00";
    QTest::newRow("empty") << "" << QByteArray() << "0000";
    // The sum wraps at 16 bits: 300 bytes FF sum to 0x12AD4.
    QTest::newRow("sum wraps") << QString(600, 'F') << QByteArray(300, char(0xFF)) << "d42a";
}

void TestDebugFrame::textToFrameAndLabel()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    QFETCH(QString, label);
    QCOMPARE(debugFrame::fromHex(text), frame);
    QCOMPARE(debugFrame::sumLabel(frame), label);
    QCOMPARE(debugFrame::sumBytes(label), hex(qPrintable(label)));
}

void TestDebugFrame::sumTest_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("computed");
    QTest::newRow("answer") << hex("55aa03f1000000610054 02") << true << 0x0254;
    QTest::newRow("wrong sum") << hex("55aa03f100000061005502") << false << 0x0254;
    QTest::newRow("sum bytes swapped") << hex("55aa03f100000061000254") << false << 0x0254;
    QTest::newRow("two zero bytes") << hex("0000") << true << 0;
    // Nothing to compare: a failure, and nothing read outside the bytes.
    QTest::newRow("one byte") << hex("55") << false << 0;
    QTest::newRow("none") << QByteArray() << false << 0;
}

void TestDebugFrame::sumTest()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(int, computed);
    uint16_t sum = 0xBEEF;
    QCOMPARE(debugFrame::sumMatches(bytes, &sum), ok);
    QCOMPARE(int(sum), computed);
}

void TestDebugFrame::writeEntryListsTheBytesSent()
{
    QCOMPARE(debugFrame::writeEntry(0x6F, hex("aa5500710000000000 7001")),
             QString("写:\n地址:0x6F\n长度:11\n命令:\n"
                     "0xaa,0x55,0x00,0x71,0x00,0x00,0x00,0x00,0x00,0x70,0x01"));
}

void TestDebugFrame::readEntry_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("entry");
    QTest::newRow("good") << hex("55aa03f1000000610054 02")
                          << "读:校验成功\n地址:0x0A\n长度:11\n命令:\n"
                             "0x55,0xaa,0x03,0xf1,0x00,0x00,0x00,0x61,0x00,0x54,0x02";
    QTest::newRow("cut short") << hex("55aa03f10000")
                               << "读:校验失败:0x01f3\n地址:0x0A\n长度:6\n命令:\n0x55,0xaa,0x03,0xf1,0x00,0x00";
    QTest::newRow("one byte") << hex("55") << "读:校验失败:0x0000\n地址:0x0A\n长度:1\n命令:\n0x55";
    QTest::newRow("nothing") << QByteArray() << "读:校验失败:0x0000\n地址:0x0A\n长度:0\n命令:";
}

void TestDebugFrame::readEntry()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, entry);
    QCOMPARE(debugFrame::readEntry(0x0A, bytes), entry);
}

void TestDebugFrame::stampedEntry()
{
    const QDateTime at(QDate(2024, 3, 8), QTime(9, 5, 7, 42));
    QCOMPARE(debugFrame::stamped(at, "写:\nx"), QString("[2024/03/08 09:05:07:042]:写:\nx\n"));
}

void TestDebugFrame::connectors()
{
    // Connectors 1..6 sit on channels 4, 5, 6, 3, 2, 0; channels 1 and 7 have none.
    const int channelOfConnector[] = {-1, 4, 5, 6, 3, 2, 0, -1};
    for (int n = 0; n <= 7; ++n)
        QCOMPARE(debugFrame::channelOf(n), channelOfConnector[n]);
    const int connectorOfChannel[] = {6, 0, 5, 4, 1, 2, 3, 0};
    for (int b = 0; b < 8; ++b)
        QCOMPARE(debugFrame::connectorOf(b), connectorOfChannel[b]);
    QCOMPARE(debugFrame::connectorOf(8), 0);
}

TACTILE_TEST_MAIN(TestDebugFrame)
#include "tst_debugFrame.moc"
