// Request frames, answer checks, frame-length searches and the command catalogue.

#include "class_sensorCmd.h"
#include "simFrame.h"
#include "testMain.h"

#include <QSet>
#include <functional>

namespace {

using Builder = std::function<uint8_t(uint8_t* buf)>;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A frame from its bytes before the sum, closed with the 16-bit little-endian sum.
QByteArray closed(const char* bodyHex)
{
    QByteArray f = hex(bodyHex) + QByteArray(2, '\0');
    sim::closeWithSum(f);
    return f;
}

const uint8_t* bytes(const QByteArray& b)
{
    return reinterpret_cast<const uint8_t*>(b.constData());
}

}  // namespace

class TestSensorCmd : public QObject {
    Q_OBJECT
private slots:
    void builders_data();
    void builders();
    void longFrames_data();
    void longFrames();
    void checkAnswer_data();
    void checkAnswer();
    void answerLength_data();
    void answerLength();
    void dataFrameLength_data();
    void dataFrameLength();
    void searchesStayInsideBuffer();
    void lookups_data();
    void lookups();
    void catalogueShape();
    void everyRecord_data();
    void everyRecord();
};

void TestSensorCmd::builders_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<int>("rspLen");
    QTest::addColumn<int>("rspLenWithoutBuffer");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("expectedRspLen");

    const auto row = [](const char* name, const Builder& build, const char* expectedHex, int rspLen) {
        // Poisoned first, so a builder that skips a byte is caught.
        QByteArray buf(class_sensorCmd::kFrameLen, '\x5A');
        const int len = build(reinterpret_cast<uint8_t*>(buf.data()));
        QTest::newRow(name) << buf << len << int(build(nullptr)) << hex(expectedHex) << rspLen;
    };
    using C = class_sensorCmd;
    row("GetVersion", [](uint8_t* b) { return C::SC_GetVersion(0x03, b); }, "AA5503A00000000000A201", 25);
    row("Reset", [](uint8_t* b) { return C::SC_Reset(0x03, b); }, "AA5503A10000000000A301", 6);
    row("GetType", [](uint8_t* b) { return C::SC_GetType(0x03, b); }, "AA5503A20000000000A401", 11);
    row("GetSensorChannel", [](uint8_t* b) { return C::SC_GetSensorChannel(0x01, b); }, "AA550162000000000062 01", 11);
    row("AutoDac", [](uint8_t* b) { return C::SC_AutoDac(0x01, b); }, "AA5501630000000000 6301", 6);
    row("GetErrCode", [](uint8_t* b) { return C::SC_GetErrCode(0x01, b); }, "AA55016400000000006401", 11);
    row("GetAutoThreshold", [](uint8_t* b) { return C::SC_GetAutoThreshold(0x01, b); }, "AA55016800000000006801", 6);
    row("GetAddr", [](uint8_t* b) { return C::SC_GetAddr(0x01, b); }, "AA55017100000000007101", 11);
    row("Factor", [](uint8_t* b) { return C::SC_Factor(0x01, b); }, "AA55017600000000007601", 11);
    row("ChannelResetAll", [](uint8_t* b) { return C::SC_ChannelResetAll(0x01, b); }, "AA55017900000000007901", 6);
    row("SetYddsUnif", [](uint8_t* b) { return C::SC_SetYddsUnif(0x01, b); }, "AA55017A00000000007A01", 27);
    row("GetCali", [](uint8_t* b) { return C::SC_GetCali(0x01, b); }, "AA55017D00000000007D01", 94);
    row("ChannelResetSingle ch 5", [](uint8_t* b) { return C::SC_ChannelResetSingle(0x02, 5, b); },
        "AA55027C05000000008201", 11);
    row("GetChannelCali ch 7", [](uint8_t* b) { return C::SC_GetChannelCali(0x02, 7, b); },
        "AA55026607000000006E01", 94);
    row("SetSendType 4 in byte 7", [](uint8_t* b) { return C::SC_SetSendType(0x01, 4, b); },
        "AA55017F00000004008301", 11);
    row("SetAddr 0x62 in byte 7", [](uint8_t* b) { return C::SC_SetAddr(0x03, 0x62, b); },
        "AA5503700000006200D401", 11);
    row("SetCapOffset 5 in byte 7", [](uint8_t* b) { return C::SC_SetCapOffset(0x03, 5, b); },
        "AA5503730000000500 7A01", 6);
    row("ChannelEnable ch 3 value 0x1234 on", [](uint8_t* b) { return C::SC_ChannelEnable(0x02, 3, 1, 0x1234, b); },
        "AA55027B033412010 0C601", 11);
    row("SetCali selector 1 value LE", [](uint8_t* b) { return C::SC_SetCali(0x02, 1, 0xA1B2C3D4, b); },
        "AA55027801D4C3B2A16404", 11);
    row("AutoThreshold 1000", [](uint8_t* b) { return C::SC_AutoThreshold(0x02, 2, 1000, b); },
        "AA55026702E80300005502", 6);
    row("SetChannelThreshold ch 9", [](uint8_t* b) { return C::SC_SetChannelThreshold(0x02, 9, 0x01020304, b); },
        "AA55026909040302017D01", 11);
    row("SetChannelCali keeps low 24 bits", [](uint8_t* b) { return C::SC_SetChannelCali(0x02, 4, 2, 0xFFABCDEF, b); },
        "AA5502650402EFCDABD303", 11);
}

void TestSensorCmd::builders()
{
    QFETCH(QByteArray, built);
    QFETCH(int, rspLen);
    QFETCH(int, rspLenWithoutBuffer);
    QFETCH(QByteArray, expected);
    QFETCH(int, expectedRspLen);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
    QCOMPARE(rspLen, expectedRspLen);
    QCOMPARE(rspLenWithoutBuffer, expectedRspLen);
}

void TestSensorCmd::longFrames_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    using C = class_sensorCmd;
    QTest::newRow("standard, no parameters") << C::frame(0x03, 0xA6) << hex("AA5503A60000000000A801");
    const uint8_t p[5] = {0x01, 0x02, 0x03, 0x04, 0xFF};
    QTest::newRow("standard, five parameters") << C::frame(0x07, 0x7E, p) << hex("AA55077E01020304FF8D02");
    QTest::newRow("filter 0x59, 13 bytes") << C::filterFrame(0x02, 1, 10, 20, 1.5f)
                                           << hex("AA550259010A140000C03F7802");
    QTest::newRow("calibration list 0x42, two points")
        << C::caliListFrame(0x02, 3, {1, 0x01020304}) << hex("AA5502420301000000040302015101");
    QTest::newRow("calibration list 0x42, no points") << C::caliListFrame(0x02, 3, {}) << hex("AA550242034601");
}

void TestSensorCmd::longFrames()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestSensorCmd::checkAnswer_data()
{
    QTest::addColumn<QByteArray>("req");
    QTest::addColumn<QByteArray>("rsp");
    QTest::addColumn<int>("len");
    QTest::addColumn<bool>("passes");
    const QByteArray sendType = hex("AA55017F00000004008301");
    const QByteArray good = closed("55AA01FF0000000400");
    QTest::newRow("good") << sendType << good << 11 << true;
    QTest::newRow("bytes 0..2 not compared") << sendType << closed("00000AFF0000000400") << 11 << true;
    QTest::newRow("code without bit 7") << sendType << closed("55AA017F0000000400") << 11 << false;
    QByteArray badSum = good;
    badSum[9] = char(badSum[9] + 1);
    QTest::newRow("wrong sum") << sendType << badSum << 11 << false;
    QTest::newRow("six bytes") << hex("AA5501630000000000 6301") << closed("55AA01E3") << 6 << true;
    QTest::newRow("0xA0 answers with 0xA0") << class_sensorCmd::frame(0x03, 0xA0)
                                            << closed("55AA03A0" "01020304050607080910111213141516171819")
                                            << 25 << true;
    QTest::newRow("longer than received") << sendType << good << 12 << false;
    QTest::newRow("shorter than an answer") << sendType << good.left(5) << 5 << false;
    QTest::newRow("empty answer") << sendType << QByteArray() << 11 << false;
    QTest::newRow("length below six") << hex("AA550163") << closed("55AAE3") << 5 << false;
    QTest::newRow("request without code wants 0x80") << QByteArray() << closed("55AA0180") << 6 << true;
    QTest::newRow("trailing bytes beyond len ignored") << sendType << good + hex("1234") << 11 << true;
}

void TestSensorCmd::checkAnswer()
{
    QFETCH(QByteArray, req);
    QFETCH(QByteArray, rsp);
    QFETCH(int, len);
    QFETCH(bool, passes);
    QCOMPARE(class_sensorCmd::checkAnswer(req, rsp, len), passes);
}

void TestSensorCmd::answerLength_data()
{
    QTest::addColumn<QByteArray>("buf");
    QTest::addColumn<int>("length");
    const QByteArray answer = closed("55AA01FF0000000400");
    QTest::newRow("exact answer") << answer << 11;
    QTest::newRow("zero tail cut off") << answer + QByteArray(489, '\0') << 11;
    QTest::newRow("six-byte answer") << closed("55AA01E3") << 6;
    // 55 55 00: the sum matches after byte 0, but the bytes after it are not zero.
    QTest::newRow("early match with data after it is skipped") << closed("555500 85") << 6;
    QTest::newRow("non-zero byte after the answer") << answer + hex("0001") + QByteArray(8, '\0') << 0;
    QTest::newRow("truncated answer") << answer.left(10) << 0;
    QTest::newRow("five bytes") << answer.left(5) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestSensorCmd::answerLength()
{
    QFETCH(QByteArray, buf);
    QFETCH(int, length);
    QCOMPARE(int(class_sensorCmd::answerLength(bytes(buf), buf.size())), length);
}

void TestSensorCmd::dataFrameLength_data()
{
    QTest::addColumn<QByteArray>("buf");
    QTest::addColumn<int>("length");
    // The shortest frame with byte 5 = 0: two value bytes after the header.
    QTest::newRow("byte 5 = 0, ten bytes") << closed("55AA038507000102") << 10;
    // Bytes 1..2 carry the running sum of byte 0 (a match at 0), ignored since 0 <= byte 5 + 6.
    QTest::newRow("early match ignored") << closed("555500850700010203") << 11;
    const QByteArray frame = closed("55AA0385070400000000000000000000");
    QTest::newRow("byte 5 = 4") << frame << frame.size();
    QTest::newRow("garbage after frame allowed") << frame + hex("FFFF") << frame.size();
    // A short frame that would end before byte 5 + 10 is not a frame for this bound.
    QTest::newRow("too short for byte 5") << closed("55AA03850708010203") << 0;
    QTest::newRow("byte 5 far past the buffer") << closed("55AA038507FF01020304") << 0;
    QTest::newRow("five bytes") << hex("55AA038507") << 0;
}

void TestSensorCmd::dataFrameLength()
{
    QFETCH(QByteArray, buf);
    QFETCH(int, length);
    QCOMPARE(int(class_sensorCmd::dataFrameLength(bytes(buf), buf.size())), length);
}

void TestSensorCmd::searchesStayInsideBuffer()
{
    // Exactly sized heap copies: a read past the end shows under the address sanitizer.
    for (int n = 0; n <= 12; ++n) {
        std::vector<uint8_t> zeros(size_t(n), 0);
        std::vector<uint8_t> ones(size_t(n), 0xFF);
        const uint8_t* z = zeros.empty() ? nullptr : zeros.data();
        const uint8_t* o = ones.empty() ? nullptr : ones.data();
        QVERIFY(class_sensorCmd::answerLength(z, n) <= n);
        QVERIFY(class_sensorCmd::dataFrameLength(z, n) <= n);
        QCOMPARE(int(class_sensorCmd::answerLength(o, n)), 0);
        QCOMPARE(int(class_sensorCmd::dataFrameLength(o, n)), 0);
    }
    QCOMPARE(int(class_sensorCmd::answerLength(nullptr, 11)), 0);
    QCOMPARE(int(class_sensorCmd::dataFrameLength(nullptr, 11)), 0);
}

void TestSensorCmd::lookups_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rspLen");
    QTest::addColumn<QString>("name");
    QTest::newRow("first record") << 0x40 << 11 << "设置上电执行自动dac";
    QTest::newRow("0x47 length not fixed") << 0x47 << 0 << "读取电容调整目标值";
    QTest::newRow("0x4A") << 0x4A << 0 << "读取dac";
    QTest::newRow("0x54 doubled word") << 0x54 << 11 << "读取读取通道最小识别力";
    QTest::newRow("0x56") << 0x56 << 6 << "设置测量模式";
    QTest::newRow("0xA8 between 0x56 and 0x59") << 0xA8 << 11 << "设置字符串";
    QTest::newRow("0x63") << 0x63 << 6 << "自动DAC";
    QTest::newRow("0x66") << 0x66 << 94 << "读取单通道重量标定";
    QTest::newRow("0x70") << 0x70 << 11 << "设置IIC地址";
    QTest::newRow("0x77") << 0x77 << 6 << "软件复位";
    QTest::newRow("0x7A") << 0x7A << 27 << "设置切向力方向校准";
    QTest::newRow("0x7D") << 0x7D << 94 << "读取法向力标定参数";
    QTest::newRow("0xA0") << 0xA0 << 25 << "读取固件信息";
    QTest::newRow("0xA1 same name as 0x77") << 0xA1 << 6 << "软件复位";
    QTest::newRow("0xA4") << 0xA4 << 0 << "读取SN";
    QTest::newRow("last record") << 0xA7 << 14 << "读取芯片信息";
    QTest::newRow("0xA6 type query not listed") << 0xA6 << 0 << QString();
    QTest::newRow("0x49 unknown") << 0x49 << 0 << QString();
    QTest::newRow("0x57 unknown") << 0x57 << 0 << QString();
    QTest::newRow("0xAA unknown") << 0xAA << 0 << QString();
    QTest::newRow("0x00 unknown") << 0x00 << 0 << QString();
    QTest::newRow("0xFF unknown") << 0xFF << 0 << QString();
}

void TestSensorCmd::lookups()
{
    QFETCH(int, code);
    QFETCH(int, rspLen);
    QFETCH(QString, name);
    QCOMPARE(int(class_sensorCmd::getRspLen(uint8_t(code))), rspLen);
    QCOMPARE(class_sensorCmd::getStr(uint8_t(code)), name);
    QCOMPARE(class_sensorCmd::getStr(uint8_t(code)).isNull(), name.isNull());
}

void TestSensorCmd::catalogueShape()
{
    QCOMPARE(int(sizeof cmds / sizeof cmds[0]), 63);
    QSet<int> codes;
    for (const sensorCmd_ts& c : cmds) {
        QVERIFY2(!codes.contains(c.code), qPrintable(QString::number(c.code, 16)));
        codes.insert(c.code);
        QVERIFY(!c.cmdName.isEmpty());
        QCOMPARE(class_sensorCmd::getRspLen(c.code), c.rspLen);
    }
    QCOMPARE(cmds[19].code, uint8_t(0x59));
    QCOMPARE(cmds[62].code, uint8_t(0xA7));
}

void TestSensorCmd::everyRecord_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rspLen");
    QTest::addColumn<QString>("name");
    // The catalogue as the protocol lists it: position, code, answer length, display name.
    const auto row = [](int n, int code, int rspLen, const char* name) {
        QTest::addRow("%d: 0x%02X", n, code) << n - 1 << code << rspLen << QString::fromUtf8(name);
    };
    row(1, 0x40, 11, "设置上电执行自动dac");
    row(2, 0x41, 11, "读取上电执行自动dac");
    row(3, 0x42, 11, "设置单通道总量标定列表");
    row(4, 0x43, 11, "设置压力释放阈值最大值");
    row(5, 0x44, 11, "读取压力释放阈值最大值");
    row(6, 0x45, 11, "设置接近释放阈值最大值");
    row(7, 0x46, 11, "读取接近释放阈值最大值");
    row(8, 0x47, 0, "读取电容调整目标值");
    row(9, 0x48, 0, "读取触点信息");
    row(10, 0x4A, 0, "读取dac");
    row(11, 0x50, 11, "设置激励频率");
    row(12, 0x51, 0, "读取激励频率");
    row(13, 0x52, 11, "设置量程");
    row(14, 0x53, 0, "读取量程");
    row(15, 0x54, 11, "读取读取通道最小识别力");
    row(16, 0x55, 11, "读取通道组最小识别力");
    row(17, 0x56, 6, "设置测量模式");
    row(18, 0xA8, 11, "设置字符串");
    row(19, 0xA9, 0, "读取字符串");
    row(20, 0x59, 11, "设置滤波");
    row(21, 0x5A, 0, "读取滤波");
    row(22, 0x5B, 11, "设置无接近时清除压力");
    row(23, 0x5C, 11, "读取无接近时清除压力");
    row(24, 0x5D, 11, "设置超时时清除压力");
    row(25, 0x5E, 0, "读取超时时清除压力");
    row(26, 0x60, 0, "读取命令");
    row(27, 0x61, 11, "设置串口发送类型");
    row(28, 0x62, 11, "读取通道数量");
    row(29, 0x63, 6, "自动DAC");
    row(30, 0x64, 11, "读取传感器状态");
    row(31, 0x65, 11, "设置单通道重量标定");
    row(32, 0x66, 94, "读取单通道重量标定");
    row(33, 0x67, 6, "设置自动阈值");
    row(34, 0x68, 6, "读取阈值");
    row(35, 0x69, 11, "设置通道阈值");
    row(36, 0x6A, 11, "设置压力阈值");
    row(37, 0x6B, 11, "最大力快速标定");
    row(38, 0x6C, 11, "读取采样率");
    row(39, 0x6D, 0, "读取标定列表");
    row(40, 0x6E, 11, "设置通道组重量标定");
    row(41, 0x6F, 0, "读取标定状态");
    row(42, 0x70, 11, "设置IIC地址");
    row(43, 0x71, 11, "读取IIC地址");
    row(44, 0x72, 11, "设置转换同步");
    row(45, 0x73, 6, "设置转换起始位置");
    row(46, 0x74, 11, "读取温度");
    row(47, 0x75, 11, "设置温度校准");
    row(48, 0x76, 11, "恢复出厂设置");
    row(49, 0x77, 6, "软件复位");
    row(50, 0x78, 11, "设置法向力标定参数");
    row(51, 0x79, 6, "所有通道复位");
    row(52, 0x7A, 27, "设置切向力方向校准");
    row(53, 0x7B, 11, "设置通道使能");
    row(54, 0x7C, 11, "单通道复位");
    row(55, 0x7D, 94, "读取法向力标定参数");
    row(56, 0x7E, 11, "读取通道状态");
    row(57, 0x7F, 11, "设置发送类型");
    row(58, 0xA0, 25, "读取固件信息");
    row(59, 0xA1, 6, "软件复位");
    row(60, 0xA2, 11, "读取设备类型");
    row(61, 0xA4, 0, "读取SN");
    row(62, 0xA5, 0, "设置SN");
    row(63, 0xA7, 14, "读取芯片信息");
}

void TestSensorCmd::everyRecord()
{
    QFETCH(int, index);
    QFETCH(int, code);
    QFETCH(int, rspLen);
    QFETCH(QString, name);
    const sensorCmd_ts& record = cmds[index];
    QCOMPARE(int(record.code), code);
    QCOMPARE(int(record.rspLen), rspLen);
    QCOMPARE(record.cmdName, name);
    QCOMPARE(int(class_sensorCmd::getRspLen(uint8_t(code))), rspLen);
    QCOMPARE(class_sensorCmd::getStr(uint8_t(code)), name);
}

TACTILE_TEST_MAIN(TestSensorCmd)
#include "tst_sensorCmd.moc"
