#include "addrAnswer.h"

#include "class_sensorCmd.h"

namespace addrAnswer {

namespace {

constexpr int kStatusByte = 3;
constexpr int kSerialAddrByte = 2;
constexpr int kReportAddrByte = 7;
constexpr int kSerialMinimum = 6;

bool beginsAnswer(const QByteArray& bytes)
{
    return bytes.size() >= 2 && uint8_t(bytes[0]) == class_sensorCmd::kSensorHead0 &&
           uint8_t(bytes[1]) == class_sensorCmd::kSensorHead1;
}

uint8_t at(const QByteArray& bytes, int i)
{
    return i < bytes.size() ? uint8_t(bytes[i]) : 0;
}

}  // namespace

Answer fromBridge(const QByteArray& bytes)
{
    Answer a;
    if (!beginsAnswer(bytes))
        return a;
    a.seen = true;
    const uint8_t status = at(bytes, kStatusByte);
    a.setDone = status == kSetDone;
    if (status == kReport)
        a.addr = at(bytes, kReportAddrByte);
    return a;
}

Answer takeSerial(QByteArray& rec)
{
    Answer a;
    while (rec.size() >= kSerialMinimum) {
        if (!beginsAnswer(rec)) {
            rec.remove(0, 1);
            continue;
        }
        a.seen = true;
        a.setDone = at(rec, kStatusByte) == kSetDone;
        a.addr = at(rec, kSerialAddrByte);
        rec.clear();
        break;
    }
    return a;
}

}  // namespace addrAnswer
