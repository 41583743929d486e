#pragma once
// What the address tool reads from a sensor's answer. No length and no checksum is tested: the
// tool only looks at the header, the status byte and where the address stands.

#include <QByteArray>
#include <cstdint>

namespace addrAnswer {

constexpr uint8_t kSetDone = 0xF0;  // the set-address command was carried out
constexpr uint8_t kReport = 0xF1;   // address report

struct Answer {
    bool seen = false;     // an answer beginning 55 AA
    bool setDone = false;  // its status is kSetDone
    int addr = -1;         // the address it names; -1 for none
};

// The bytes of one I2C read: a report names the address in byte 7.
Answer fromBridge(const QByteArray& bytes);
// The first answer in the serial receive buffer, which it consumes: bytes before a 55 AA are
// dropped one at a time, fewer than six bytes wait for more, and once an answer is found the
// whole buffer goes. On the serial line byte 2 is the address, whatever the status.
Answer takeSerial(QByteArray& rec);

}  // namespace addrAnswer
