#include "class_sensorCmd.h"

#include <QtEndian>
#include <cstring>

// Search order is table order.
const sensorCmd_ts cmds[kSensorCmdCount] = {
    {0x40, 11, QStringLiteral("设置上电执行自动dac")},
    {0x41, 11, QStringLiteral("读取上电执行自动dac")},
    {0x42, 11, QStringLiteral("设置单通道总量标定列表")},
    {0x43, 11, QStringLiteral("设置压力释放阈值最大值")},
    {0x44, 11, QStringLiteral("读取压力释放阈值最大值")},
    {0x45, 11, QStringLiteral("设置接近释放阈值最大值")},
    {0x46, 11, QStringLiteral("读取接近释放阈值最大值")},
    {0x47, 0, QStringLiteral("读取电容调整目标值")},
    {0x48, 0, QStringLiteral("读取触点信息")},
    {0x4A, 0, QStringLiteral("读取dac")},
    {0x50, 11, QStringLiteral("设置激励频率")},
    {0x51, 0, QStringLiteral("读取激励频率")},
    {0x52, 11, QStringLiteral("设置量程")},
    {0x53, 0, QStringLiteral("读取量程")},
    {0x54, 11, QStringLiteral("读取读取通道最小识别力")},
    {0x55, 11, QStringLiteral("读取通道组最小识别力")},
    {0x56, 6, QStringLiteral("设置测量模式")},
    {0xA8, 11, QStringLiteral("设置字符串")},
    {0xA9, 0, QStringLiteral("读取字符串")},
    {0x59, 11, QStringLiteral("设置滤波")},
    {0x5A, 0, QStringLiteral("读取滤波")},
    {0x5B, 11, QStringLiteral("设置无接近时清除压力")},
    {0x5C, 11, QStringLiteral("读取无接近时清除压力")},
    {0x5D, 11, QStringLiteral("设置超时时清除压力")},
    {0x5E, 0, QStringLiteral("读取超时时清除压力")},
    {0x60, 0, QStringLiteral("读取命令")},
    {0x61, 11, QStringLiteral("设置串口发送类型")},
    {0x62, 11, QStringLiteral("读取通道数量")},
    {0x63, 6, QStringLiteral("自动DAC")},
    {0x64, 11, QStringLiteral("读取传感器状态")},
    {0x65, 11, QStringLiteral("设置单通道重量标定")},
    {0x66, 94, QStringLiteral("读取单通道重量标定")},
    {0x67, 6, QStringLiteral("设置自动阈值")},
    {0x68, 6, QStringLiteral("读取阈值")},
    {0x69, 11, QStringLiteral("设置通道阈值")},
    {0x6A, 11, QStringLiteral("设置压力阈值")},
    {0x6B, 11, QStringLiteral("最大力快速标定")},
    {0x6C, 11, QStringLiteral("读取采样率")},
    {0x6D, 0, QStringLiteral("读取标定列表")},
    {0x6E, 11, QStringLiteral("设置通道组重量标定")},
    {0x6F, 0, QStringLiteral("读取标定状态")},
    {0x70, 11, QStringLiteral("设置IIC地址")},
    {0x71, 11, QStringLiteral("读取IIC地址")},
    {0x72, 11, QStringLiteral("设置转换同步")},
    {0x73, 6, QStringLiteral("设置转换起始位置")},
    {0x74, 11, QStringLiteral("读取温度")},
    {0x75, 11, QStringLiteral("设置温度校准")},
    {0x76, 11, QStringLiteral("恢复出厂设置")},
    {0x77, 6, QStringLiteral("软件复位")},
    {0x78, 11, QStringLiteral("设置法向力标定参数")},
    {0x79, 6, QStringLiteral("所有通道复位")},
    {0x7A, 27, QStringLiteral("设置切向力方向校准")},
    {0x7B, 11, QStringLiteral("设置通道使能")},
    {0x7C, 11, QStringLiteral("单通道复位")},
    {0x7D, 94, QStringLiteral("读取法向力标定参数")},
    {0x7E, 11, QStringLiteral("读取通道状态")},
    {0x7F, 11, QStringLiteral("设置发送类型")},
    {0xA0, 25, QStringLiteral("读取固件信息")},
    {0xA1, 6, QStringLiteral("软件复位")},
    {0xA2, 11, QStringLiteral("读取设备类型")},
    {0xA4, 0, QStringLiteral("读取SN")},
    {0xA5, 0, QStringLiteral("设置SN")},
    {0xA7, 14, QStringLiteral("读取芯片信息")},
};

namespace {

constexpr int kCodeByte = 3;
constexpr int kParamByte = 4;   // first parameter byte
constexpr int kParamCount = 5;  // standard frame
constexpr int kSumLen = 2;
constexpr int kDataBoundByte = 5;  // data frames: the sum match must lie past this byte's value + 6
constexpr int kDataBoundExtra = 6;
constexpr uint8_t kCodeFilter = 0x59;
constexpr uint8_t kCodeCaliList = 0x42;

const sensorCmd_ts* findCmd(uint8_t code)
{
    for (const sensorCmd_ts& c : cmds)
        if (c.code == code)
            return &c;
    return nullptr;
}

// Bytes 0..3 of every request form.
void writeHead(uint8_t* frame, uint8_t target, uint8_t code)
{
    frame[0] = class_sensorCmd::kRequestHead0;
    frame[1] = class_sensorCmd::kRequestHead1;
    frame[2] = target;
    frame[kCodeByte] = code;
}

void putLe32(uint8_t* at, uint32_t value)
{
    qToLittleEndian<quint32>(value, at);
}

uint8_t* bytes(QByteArray& frame)
{
    return reinterpret_cast<uint8_t*>(frame.data());
}

// The parameter bytes p0..p4 (bytes 4..8) of a standard frame, built up by the builders.
struct Params {
    uint8_t p[kParamCount] = {};
    Params& at(int i, uint8_t v)
    {
        p[i] = v;
        return *this;
    }
    Params& le16(int i, uint16_t v)
    {
        qToLittleEndian<quint16>(v, p + i);
        return *this;
    }
    Params& le32(int i, uint32_t v)
    {
        qToLittleEndian<quint32>(v, p + i);
        return *this;
    }
    Params& le24(int i, uint32_t v)
    {
        return at(i, uint8_t(v)).at(i + 1, uint8_t(v >> 8)).at(i + 2, uint8_t(v >> 16));
    }
};

// One builder: the standard frame of code with params into buf (when given), and the answer length.
uint8_t build(uint8_t target, uint8_t code, const Params& params, uint8_t* buf)
{
    if (buf) {
        writeHead(buf, target, code);
        std::memcpy(buf + kParamByte, params.p, kParamCount);
        class_sensorCmd::closeFrame(buf, class_sensorCmd::kFrameLen);
    }
    return class_sensorCmd::getRspLen(code);
}

// The first running-sum match at a position of at least minPos whose frame reaches at least
// minEnd; the result is the frame's length, 0 when none. Reads only buf[0..len-1].
uint16_t firstSumMatch(const uint8_t* buf, int len, int minPos, int minEnd)
{
    uint32_t sum = 0;
    for (int i = 0; i < len - kSumLen; ++i) {
        sum += buf[i];
        const uint16_t stored = uint16_t(buf[i + 1] | (buf[i + 2] << 8));
        const int frameLen = i + 1 + kSumLen;
        if (uint16_t(sum) == stored && i >= minPos && frameLen >= minEnd)
            return uint16_t(frameLen);
    }
    return 0;
}

// Lengths are 16-bit on the wire; a longer buffer is searched in its first 64 KiB only.
int searchLen(int len)
{
    return qMin(len, 0xFFFF);
}

}  // namespace

class_sensorCmd::class_sensorCmd(QObject* parent) : QObject(parent) {}

class_sensorCmd::~class_sensorCmd() = default;

uint8_t class_sensorCmd::getRspLen(uint8_t code)
{
    const sensorCmd_ts* c = findCmd(code);
    return c ? c->rspLen : 0;
}

QString class_sensorCmd::getStr(uint8_t code)
{
    const sensorCmd_ts* c = findCmd(code);
    return c ? c->cmdName : QString();
}

uint16_t class_sensorCmd::sum16(const uint8_t* data, int len)
{
    uint32_t sum = 0;
    for (int i = 0; i < len; ++i)
        sum += data[i];
    return uint16_t(sum);
}

void class_sensorCmd::closeFrame(uint8_t* frame, int frameLen)
{
    if (!frame || frameLen < kSumLen)
        return;
    qToLittleEndian<quint16>(sum16(frame, frameLen - kSumLen), frame + frameLen - kSumLen);
}

QByteArray class_sensorCmd::frame(uint8_t target, uint8_t code, const uint8_t (&params)[5])
{
    Params p;
    std::memcpy(p.p, params, kParamCount);
    QByteArray out(kFrameLen, '\0');
    build(target, code, p, bytes(out));
    return out;
}

QByteArray class_sensorCmd::frame(uint8_t target, uint8_t code)
{
    QByteArray out(kFrameLen, '\0');
    build(target, code, Params(), bytes(out));
    return out;
}

QByteArray class_sensorCmd::filterFrame(uint8_t target, uint8_t channel, uint8_t first, uint8_t second,
                                        float value)
{
    QByteArray out(kFilterFrameLen, '\0');
    uint8_t* f = bytes(out);
    writeHead(f, target, kCodeFilter);
    f[4] = channel;
    f[5] = first;
    f[6] = second;
    uint32_t raw = 0;
    static_assert(sizeof raw == sizeof value, "IEEE-754 single precision");
    std::memcpy(&raw, &value, sizeof raw);
    putLe32(f + 7, raw);
    closeFrame(f, kFilterFrameLen);
    return out;
}

QByteArray class_sensorCmd::caliListFrame(uint8_t target, uint8_t channel, const QVector<uint32_t>& values)
{
    constexpr int kValuesAt = kParamByte + 1;
    QByteArray out(kValuesAt + 4 * values.size() + kSumLen, '\0');
    uint8_t* f = bytes(out);
    writeHead(f, target, kCodeCaliList);
    f[kParamByte] = channel;
    for (int i = 0; i < values.size(); ++i)
        putLe32(f + kValuesAt + 4 * i, values[i]);
    closeFrame(f, out.size());
    return out;
}

bool class_sensorCmd::checkAnswer(const QByteArray& req, const QByteArray& rsp, int len)
{
    if (len < kMinAnswerLen || len > rsp.size())
        return false;
    const auto* a = reinterpret_cast<const uint8_t*>(rsp.constData());
    const uint8_t reqCode = req.size() > kCodeByte ? uint8_t(req[kCodeByte]) : 0;
    if (a[kCodeByte] != uint8_t(reqCode | class_sensorCmd::kAnswerBit))
        return false;
    return sum16(a, len - kSumLen) == qFromLittleEndian<quint16>(a + len - kSumLen);
}

uint16_t class_sensorCmd::answerLength(const uint8_t* buf, int len)
{
    if (!buf || len < kMinAnswerLen)
        return 0;
    len = searchLen(len);
    // A match counts only when nothing but zero bytes follows it.
    int end = len;
    while (end > 0 && buf[end - 1] == 0)
        --end;
    return firstSumMatch(buf, len, 0, end);
}

uint16_t class_sensorCmd::dataFrameLength(const uint8_t* buf, int len)
{
    if (!buf || len < kMinAnswerLen)
        return 0;
    return firstSumMatch(buf, searchLen(len), buf[kDataBoundByte] + kDataBoundExtra + 1, 0);
}

uint8_t class_sensorCmd::SC_GetVersion(uint8_t target, uint8_t* buf) { return build(target, 0xA0, {}, buf); }
uint8_t class_sensorCmd::SC_Reset(uint8_t target, uint8_t* buf) { return build(target, 0xA1, {}, buf); }
uint8_t class_sensorCmd::SC_GetType(uint8_t target, uint8_t* buf) { return build(target, 0xA2, {}, buf); }
uint8_t class_sensorCmd::SC_GetSensorChannel(uint8_t target, uint8_t* buf) { return build(target, 0x62, {}, buf); }
uint8_t class_sensorCmd::SC_AutoDac(uint8_t target, uint8_t* buf) { return build(target, 0x63, {}, buf); }
uint8_t class_sensorCmd::SC_GetErrCode(uint8_t target, uint8_t* buf) { return build(target, 0x64, {}, buf); }
uint8_t class_sensorCmd::SC_GetAutoThreshold(uint8_t target, uint8_t* buf) { return build(target, 0x68, {}, buf); }
uint8_t class_sensorCmd::SC_GetAddr(uint8_t target, uint8_t* buf) { return build(target, 0x71, {}, buf); }
uint8_t class_sensorCmd::SC_Factor(uint8_t target, uint8_t* buf) { return build(target, 0x76, {}, buf); }
uint8_t class_sensorCmd::SC_ChannelResetAll(uint8_t target, uint8_t* buf) { return build(target, 0x79, {}, buf); }
uint8_t class_sensorCmd::SC_SetYddsUnif(uint8_t target, uint8_t* buf) { return build(target, 0x7A, {}, buf); }
uint8_t class_sensorCmd::SC_GetCali(uint8_t target, uint8_t* buf) { return build(target, 0x7D, {}, buf); }

uint8_t class_sensorCmd::SC_ChannelResetSingle(uint8_t target, uint8_t channel, uint8_t* buf)
{
    return build(target, 0x7C, Params().at(0, channel), buf);
}

uint8_t class_sensorCmd::SC_GetChannelCali(uint8_t target, uint8_t channel, uint8_t* buf)
{
    return build(target, 0x66, Params().at(0, channel), buf);
}

uint8_t class_sensorCmd::SC_SetSendType(uint8_t target, uint8_t type, uint8_t* buf)
{
    return build(target, 0x7F, Params().at(3, type), buf);
}

uint8_t class_sensorCmd::SC_SetAddr(uint8_t target, uint8_t addr, uint8_t* buf)
{
    return build(target, 0x70, Params().at(3, addr), buf);
}

uint8_t class_sensorCmd::SC_SetCapOffset(uint8_t target, uint8_t offset, uint8_t* buf)
{
    return build(target, 0x73, Params().at(3, offset), buf);
}

uint8_t class_sensorCmd::SC_ChannelEnable(uint8_t target, uint8_t channel, uint8_t enable, uint16_t value,
                                          uint8_t* buf)
{
    return build(target, 0x7B, Params().at(0, channel).le16(1, value).at(3, enable), buf);
}

uint8_t class_sensorCmd::SC_SetCali(uint8_t target, uint8_t selector, uint32_t value, uint8_t* buf)
{
    return build(target, 0x78, Params().at(0, selector).le32(1, value), buf);
}

uint8_t class_sensorCmd::SC_AutoThreshold(uint8_t target, uint8_t selector, uint32_t value, uint8_t* buf)
{
    return build(target, 0x67, Params().at(0, selector).le32(1, value), buf);
}

uint8_t class_sensorCmd::SC_SetChannelThreshold(uint8_t target, uint8_t channel, uint32_t value, uint8_t* buf)
{
    return build(target, 0x69, Params().at(0, channel).le32(1, value), buf);
}

uint8_t class_sensorCmd::SC_SetChannelCali(uint8_t target, uint8_t channel, uint8_t point, uint32_t value,
                                           uint8_t* buf)
{
    return build(target, 0x65, Params().at(0, channel).at(1, point).le24(2, value), buf);
}
