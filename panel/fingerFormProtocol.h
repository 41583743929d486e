#pragma once
// What the panel says to a sensor and reads back: command codes, parameter bytes of a request
// and bounds-checked reads of an answer. Shared by the panel's command and answer code.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>
#include <utility>

namespace panelCmd {

enum Code : uint8_t {
    SetAutoDacPowerUp = 0x40,
    GetAutoDacPowerUp = 0x41,
    SetCaliList = 0x42,
    SetPressRelease = 0x43,
    GetPressRelease = 0x44,
    SetProxRelease = 0x45,
    GetProxRelease = 0x46,
    GetDac = 0x4A,
    SetExcF = 0x50,
    GetExcF = 0x51,
    SetRange = 0x52,
    GetRange = 0x53,
    SetMode = 0x56,
    SetFilter = 0x59,
    GetFilter = 0x5A,
    SetProxClearTouch = 0x5B,
    GetProxClearTouch = 0x5C,
    SetTimeout = 0x5D,
    GetTimeout = 0x5E,
    GetSensorNum = 0x62,
    AutoDac = 0x63,
    SetCaliPoint = 0x65,
    GetCaliCh = 0x66,
    AutoThreshold = 0x67,
    GetThreshold = 0x68,
    SetChannelThreshold = 0x69,
    SetTouchThreshold = 0x6A,
    GetCaliList = 0x6D,
    SetCaliGroup = 0x6E,
    GetCaliState = 0x6F,
    SetAddr = 0x70,
    GetTemp = 0x74,
    TempCali = 0x75,
    Factory = 0x76,
    ChannelResetAll = 0x79,
    ChannelEnable = 0x7B,
    ChannelReset = 0x7C,
    SetSendType = 0x7F,
    GetVersion = 0xA0,
    Reset = 0xA1,
    GetSN = 0xA4,
    SetSN = 0xA5,
    GetPrg = 0xA6,
    GetRunTime = 0xAA,
};

// Fixed answer lengths the panel asks for where the catalogue has none or another.
constexpr uint16_t kLenShort = 6;         // header, code and sum only
constexpr uint16_t kLenStd = 11;          // five payload bytes
constexpr uint16_t kLenVersion = 25;      // firmware information
constexpr uint8_t kSendTypeForce = 4;     // output type while the model view is shown
constexpr int kAnswerHead = 4;            // 55 AA id code
constexpr int kSumLen = 2;
constexpr uint32_t kMax24 = 0xFFFFFE;     // largest calibration value of the short 0x65 frame

// The five parameter bytes (frame bytes 4..8) of a standard request, little-endian.
struct Params {
    uint8_t p[5] = {};
    Params& u8(int byte, uint8_t v)
    {
        p[byte - 4] = v;
        return *this;
    }
    Params& uN(int byte, uint32_t v, int width)
    {
        for (int i = 0; i < width; ++i)
            p[byte - 4 + i] = uint8_t(v >> (8 * i));
        return *this;
    }
    Params& u24(int byte, uint32_t v) { return uN(byte, v, 3); }
    Params& u32(int byte, uint32_t v) { return uN(byte, v, 4); }
    Params& f32(int byte, float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return u32(byte, bits);
    }
};

// Reads of an answer (or request) frame. Every read checks its range: `at` looks at any byte of
// the frame, the payload reads stop before the closing sum.
class Answer {
public:
    explicit Answer(QByteArray bytes) : b(std::move(bytes)) {}
    int size() const { return b.size(); }
    // End of the payload: the closing sum is never read as data.
    int payloadEnd() const { return b.size() > kAnswerHead + kSumLen ? b.size() - kSumLen : kAnswerHead; }
    bool hasPayload(int offset, int len) const { return offset >= kAnswerHead && offset + len <= payloadEnd(); }
    // Byte i of the frame, or fallback when the frame is shorter.
    uint8_t at(int i, uint8_t fallback = 0) const { return i >= 0 && i < b.size() ? uint8_t(b[i]) : fallback; }
    uint16_t u16(int i) const { return uint16_t(at(i) | at(i + 1) << 8); }
    uint32_t u32(int i) const
    {
        return uint32_t(at(i)) | uint32_t(at(i + 1)) << 8 | uint32_t(at(i + 2)) << 16 | uint32_t(at(i + 3)) << 24;
    }
    float f32(int i) const
    {
        const uint32_t bits = u32(i);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // Text of the payload bytes [offset, offset + maxLen) up to the first zero byte, UTF-8.
    QString text(int offset, int maxLen) const
    {
        const int end = qMin(offset + maxLen, payloadEnd());
        int stop = offset;
        while (stop < end && b[stop] != '\0')
            ++stop;
        return stop > offset ? QString::fromUtf8(b.constData() + offset, stop - offset) : QString();
    }

private:
    QByteArray b;
};

}  // namespace panelCmd
