#pragma once
// The one place that knows how a sensor lays out its data frame, so the simulated sensors and the
// decoder's tests build frames the same way. Knows nothing of the type catalogue: the caller
// passes the layout.

#include <QByteArray>
#include <QVector>
#include <cstdint>

namespace sim {

struct FrameLayout {
    uint16_t chNum = 0;
    uint8_t chSize = 3;      // bytes per raw channel value
    uint16_t yddsNum = 0;
    uint8_t yddsFormat = 4;  // 2, 3, 4 or 5
    uint16_t sProxNum = 0;   // in format 2 the first point record carries the one self value
    uint16_t mProxNum = 0;
    uint8_t statusNum = 0;
};

struct ForcePoint {
    float normal = 0;       // newtons
    float tangential = 0;   // newtons
    uint16_t direction = 0; // degrees; 360 or more means none
};

struct FrameValues {
    QVector<uint32_t> channels;  // chNum raw values
    QVector<ForcePoint> points;  // yddsNum points
    QVector<uint32_t> sProx;     // sProxNum 24-bit values (format 2: the first one, 32-bit)
    QVector<uint32_t> mProx;     // mProxNum 24-bit values
    uint8_t status = 0;
};

constexpr uint8_t kFrameHeader0 = 0x55;
constexpr uint8_t kFrameHeader1 = 0xAA;
constexpr uint8_t kDataFrameCode = 0x85;

// Bytes of one force point in a format; 0 for an unknown format.
int pointSize(uint8_t format);
// Whole frame length of a layout.
int frameLength(const FrameLayout& layout);
// 55 AA id 85 seq byte5, values, points, proximity, status, 16-bit little-endian sum.
// Missing values are written as 0; extra values are ignored.
QByteArray buildDataFrame(const FrameLayout& layout, uint8_t id, uint8_t seq, const FrameValues& values,
                          uint8_t byte5 = 0);
// 16-bit sum of the first count bytes.
uint16_t sum16(const QByteArray& bytes, int count);
// Writes the 16-bit little-endian sum of all bytes before the last two into the last two.
void closeWithSum(QByteArray& frame);

}  // namespace sim
