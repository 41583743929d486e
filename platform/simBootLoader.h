#pragma once
// A simulated sensor's boot loader: the YMODEM receiver (CRC-16 form, 128- and 1024-byte blocks)
// that firmware is flashed into. It reads the host's bytes as a stream, so it serves an I2C sensor
// (each write transaction fed whole) and a serial peer (bytes as they arrive) alike:
// - bytes outside a packet are skipped (the three 0x00 after each block, "04 00 00 00" after
//   EOT); a packet cut short is dropped by dropPartial() (end of a write, character time-out);
// - a file header (block 0 with a name) is ACKed and followed by 'C'; a bad block (complement or
//   CRC) is NAKed; the expected block is ACKed and kept; a duplicate of the last one is ACKed
//   and dropped; the header again instead of block 1 is ACKed and followed by 'C' once more;
// - EOT is ACKed and followed by 'C'; the null header (block 0, empty name) is ACKed and ends
//   the session: the loader is left and the sensor runs again;
// - CAN from the host ends the session (each one counted); the loader waits for a new header.
// Before the first header it offers 'C' every 500 ms while nothing is waiting to be read.
// Everything the loader says is queued with the time it becomes readable: the host reads it in
// order, one byte at a time on I2C (0x00 when none is ready) or all at once on a serial line.
// Not thread-safe: the simulated world's mutex, or the serial peer's own lock, guards it.

#include <QByteArray>
#include <QVector>
#include <cstdint>
#include <deque>

namespace sim {

// Fault switches; block numbers count the data blocks of a transfer from 1.
struct BootLoaderSwitches {
    int nakBlock = -1;          // NAK this block once, then take its repeat
    bool nakFirstEot = false;   // NAK the first EOT of a transfer
    int cancelAtBlock = -1;     // answer this block with eight CAN
    int silentFromBlock = -1;   // answer nothing from this block on (0: from the file header)
    uint32_t ackDelayMs = 0;    // every ACK becomes readable this long after its packet
    bool ackWithC = false;      // an ACK and the 'C' after it in one piece (else 'C' 30 ms later)
};

// What the loader keeps of its sessions.
struct BootLoaderState {
    bool active = false;          // the loader runs now
    int entries = 0;              // times the reset request entered it
    bool complete = false;        // a transfer ended with the null header
    QByteArray fileName;          // of the last file header
    QByteArray sizeField;         // its size text as written (digits up to the 0x00 or space)
    QByteArray image;             // the kept blocks' bytes, cut to the size field
    QVector<QByteArray> packets;  // every packet the loader read, as written, in order
    int naks = 0;                 // NAKs sent
    int cancelBytes = 0;          // CAN bytes the host sent since the loader was entered
};

// The reset request that enters the loader: AA 55, any byte 2, command 0xA1, its closing sum.
bool isBootRequest(const QByteArray& frame);
// CRC-16/XMODEM of a block's payload, worked out on the loader's side on its own, so that the
// simulator checks the sender's (and tests can build packets without the sender's code).
uint16_t crcXmodem(const QByteArray& bytes);

class YmodemReceiver {
public:
    void setSwitches(const BootLoaderSwitches& switches) { switches_ = switches; }
    const BootLoaderSwitches& switches() const { return switches_; }
    const BootLoaderState& state() const { return state_; }
    bool active() const { return state_.active; }
    bool inPacket() const { return !packet_.isEmpty(); }
    // Something said is still to be read (the loader may have ended meanwhile).
    bool hasOutput() const { return !out_.empty(); }

    // The reset request: a fresh session waiting for a file header.
    void enter(int64_t nowMs);
    void feed(const QByteArray& bytes, int64_t nowMs);
    void dropPartial() { packet_.clear(); }
    // Up to max bytes of what is readable by now, in order.
    QByteArray take(int64_t nowMs, int max);

private:
    enum class Phase { header, data };
    void takePacket(int64_t nowMs);
    void takeHeader(const QByteArray& payload, int64_t nowMs);
    void takeData(const QByteArray& payload, uint8_t block, int64_t nowMs);
    void takeEot(int64_t nowMs);
    void say(uint8_t byte, int64_t readyMs);
    void ack(int64_t nowMs, bool thenC);
    void nak(int64_t nowMs);
    void finishImage();

    struct Pending {
        uint8_t byte;
        int64_t readyMs;
    };

    BootLoaderSwitches switches_;
    BootLoaderState state_;
    Phase phase_ = Phase::header;
    QByteArray packet_;         // the packet being read
    QByteArray received_;       // the kept blocks' bytes of this transfer
    uint8_t expect_ = 1;        // block number expected next
    int blocks_ = 0;            // data blocks taken in this transfer
    bool silenced_ = false;     // the silent switch has struck
    bool eotNaked_ = false;
    bool nakedOnce_ = false;
    bool headerSeen_ = false;
    int64_t lastOfferMs_ = 0;
    std::deque<Pending> out_;
};

}  // namespace sim
