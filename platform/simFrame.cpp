#include "simFrame.h"

#include <cmath>
#include <cstring>

namespace sim {
namespace {

void putLe(QByteArray& out, int offset, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out[offset + i] = char((value >> (8 * i)) & 0xFF);
}

void putFloat(QByteArray& out, int offset, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    putLe(out, offset, bits, 4);
}

// Fixed-point point formats carry the force in tenths (3) or hundredths (4) of a newton.
uint32_t scaled(float newtons, float scale, uint32_t maxValue)
{
    const float v = std::round(newtons * scale);
    if (!(v > 0))
        return 0;
    return v >= float(maxValue) ? maxValue : uint32_t(v);
}

void putPoint(QByteArray& out, int offset, uint8_t format, const ForcePoint& p, uint32_t firstSelfProx)
{
    switch (format) {
    case 2:
        putFloat(out, offset + 0, p.normal);
        putFloat(out, offset + 8, p.tangential);
        putLe(out, offset + 16, p.direction, 2);
        putLe(out, offset + 18, firstSelfProx, 4);
        break;
    case 3:
        putLe(out, offset + 0, scaled(p.normal, 10, 0xFF), 1);
        putLe(out, offset + 1, scaled(p.tangential, 10, 0xFF), 1);
        putLe(out, offset + 2, p.direction, 2);
        break;
    case 4:
        putLe(out, offset + 0, scaled(p.normal, 100, 0xFFFF), 2);
        putLe(out, offset + 2, scaled(p.tangential, 100, 0xFFFF), 2);
        putLe(out, offset + 4, p.direction, 2);
        break;
    case 5:
        putFloat(out, offset + 0, p.normal);
        putFloat(out, offset + 4, p.tangential);
        putLe(out, offset + 8, p.direction, 2);
        break;
    default:
        break;
    }
}

template <typename T>
T valueAt(const QVector<T>& list, int i)
{
    return i < list.size() ? list[i] : T();
}

}  // namespace

int pointSize(uint8_t format)
{
    switch (format) {
    case 2: return 22;
    case 3: return 4;
    case 4: return 6;
    case 5: return 10;
    default: return 0;
    }
}

int frameLength(const FrameLayout& l)
{
    const int selfBytes = l.yddsFormat == 2 ? 0 : 3 * l.sProxNum;
    return 6 + l.chSize * l.chNum + pointSize(l.yddsFormat) * l.yddsNum + selfBytes + 3 * l.mProxNum +
           l.statusNum + 2;
}

QByteArray buildDataFrame(const FrameLayout& l, uint8_t id, uint8_t seq, const FrameValues& v, uint8_t byte5)
{
    QByteArray out(frameLength(l), '\0');
    out[0] = char(kFrameHeader0);
    out[1] = char(kFrameHeader1);
    out[2] = char(id);
    out[3] = char(kDataFrameCode);
    out[4] = char(seq);
    out[5] = char(byte5);
    int at = 6;
    for (int i = 0; i < l.chNum; ++i, at += l.chSize)
        putLe(out, at, valueAt(v.channels, i), l.chSize);
    const int size = pointSize(l.yddsFormat);
    for (int k = 0; k < l.yddsNum; ++k, at += size)
        putPoint(out, at, l.yddsFormat, valueAt(v.points, k), k == 0 ? valueAt(v.sProx, 0) : 0);
    if (l.yddsFormat != 2)
        for (int i = 0; i < l.sProxNum; ++i, at += 3)
            putLe(out, at, valueAt(v.sProx, i) & 0xFFFFFF, 3);
    for (int i = 0; i < l.mProxNum; ++i, at += 3)
        putLe(out, at, valueAt(v.mProx, i) & 0xFFFFFF, 3);
    if (l.statusNum)
        out[at++] = char(v.status);
    closeWithSum(out);
    return out;
}

uint16_t sum16(const QByteArray& bytes, int count)
{
    uint16_t sum = 0;
    for (int i = 0; i < count && i < bytes.size(); ++i)
        sum = uint16_t(sum + uint8_t(bytes[i]));
    return sum;
}

void closeWithSum(QByteArray& frame)
{
    const int n = frame.size();
    if (n < 2)
        return;
    const uint16_t sum = sum16(frame, n - 2);
    frame[n - 2] = char(sum & 0xFF);
    frame[n - 1] = char(sum >> 8);
}

}  // namespace sim
