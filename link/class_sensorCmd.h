#pragma once
// The command catalogue, the request-frame builders and the answer checks.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>
#include <cstdint>

struct sensorCmd_ts {
    uint8_t code;     // command code
    uint8_t rspLen;   // answer length; 0 = not fixed
    QString cmdName;  // display name
};

constexpr int kSensorCmdCount = 63;
extern const sensorCmd_ts cmds[kSensorCmdCount];

class class_sensorCmd : public QObject {
    Q_OBJECT
public:
    explicit class_sensorCmd(QObject* parent = nullptr);
    ~class_sensorCmd() override;

    // Requests begin AA 55; answers and data frames begin 55 AA. An answer carries the request's
    // code with bit 7 set in byte 3, a data frame 0x85.
    static constexpr uint8_t kRequestHead0 = 0xAA;
    static constexpr uint8_t kRequestHead1 = 0x55;
    static constexpr uint8_t kSensorHead0 = 0x55;
    static constexpr uint8_t kSensorHead1 = 0xAA;
    static constexpr uint8_t kAnswerBit = 0x80;
    static constexpr uint8_t kDataFrameCode = 0x85;

    static constexpr int kFrameLen = 11;       // standard request frame
    static constexpr int kFilterFrameLen = 13; // request 0x59
    static constexpr int kMinAnswerLen = 6;    // header, code and sum
    static constexpr uint16_t kRspNone = 0;         // queued request awaits no answer
    static constexpr uint16_t kRspVariable = 0xFFFF; // answer length found in the bytes

    static uint8_t getRspLen(uint8_t code);
    static QString getStr(uint8_t code);

    // 16-bit sum of the first len bytes.
    static uint16_t sum16(const uint8_t* data, int len);
    // Writes the closing sum of a frame of frameLen bytes into its last two bytes.
    static void closeFrame(uint8_t* frame, int frameLen);
    // Standard 11-byte request with the five parameter bytes p[0..4] (bytes 4..8).
    static QByteArray frame(uint8_t target, uint8_t code, const uint8_t (&params)[5]);
    static QByteArray frame(uint8_t target, uint8_t code);
    // 13-byte filter request 0x59.
    static QByteArray filterFrame(uint8_t target, uint8_t channel, uint8_t first, uint8_t second, float value);
    // Calibration list request 0x42: channel, then n 32-bit values.
    static QByteArray caliListFrame(uint8_t target, uint8_t channel, const QVector<uint32_t>& values);

    // The first len bytes of rsp answer req: byte 3 is the request code with bit 7 set and the
    // closing sum matches; bytes 0..2 are not compared. Fails for len below 6 or beyond rsp.
    static bool checkAnswer(const QByteArray& req, const QByteArray& rsp, int len);
    // Length of an answer frame at the start of buf that only zero bytes follow; 0 = none.
    static uint16_t answerLength(const uint8_t* buf, int len);
    // Length of a data frame at the start of buf (the sum match must lie past buf[5] + 6); 0 = none.
    static uint16_t dataFrameLength(const uint8_t* buf, int len);

    // Builders: each writes an 11-byte frame into buf (when not null) and returns the answer length.
    static uint8_t SC_GetVersion(uint8_t target, uint8_t* buf);
    static uint8_t SC_Reset(uint8_t target, uint8_t* buf);
    static uint8_t SC_GetType(uint8_t target, uint8_t* buf);
    static uint8_t SC_GetSensorChannel(uint8_t target, uint8_t* buf);
    static uint8_t SC_AutoDac(uint8_t target, uint8_t* buf);
    static uint8_t SC_GetErrCode(uint8_t target, uint8_t* buf);
    static uint8_t SC_GetAutoThreshold(uint8_t target, uint8_t* buf);
    static uint8_t SC_GetAddr(uint8_t target, uint8_t* buf);
    static uint8_t SC_Factor(uint8_t target, uint8_t* buf);
    static uint8_t SC_ChannelResetAll(uint8_t target, uint8_t* buf);
    static uint8_t SC_SetYddsUnif(uint8_t target, uint8_t* buf);
    static uint8_t SC_GetCali(uint8_t target, uint8_t* buf);
    static uint8_t SC_ChannelResetSingle(uint8_t target, uint8_t channel, uint8_t* buf);
    static uint8_t SC_GetChannelCali(uint8_t target, uint8_t channel, uint8_t* buf);
    static uint8_t SC_SetSendType(uint8_t target, uint8_t type, uint8_t* buf);
    static uint8_t SC_SetAddr(uint8_t target, uint8_t addr, uint8_t* buf);
    static uint8_t SC_SetCapOffset(uint8_t target, uint8_t offset, uint8_t* buf);
    static uint8_t SC_ChannelEnable(uint8_t target, uint8_t channel, uint8_t enable, uint16_t value, uint8_t* buf);
    static uint8_t SC_SetCali(uint8_t target, uint8_t selector, uint32_t value, uint8_t* buf);
    static uint8_t SC_AutoThreshold(uint8_t target, uint8_t selector, uint32_t value, uint8_t* buf);
    static uint8_t SC_SetChannelThreshold(uint8_t target, uint8_t channel, uint32_t value, uint8_t* buf);
    static uint8_t SC_SetChannelCali(uint8_t target, uint8_t channel, uint8_t point, uint32_t value, uint8_t* buf);
};
