#include "simBootLoader.h"

#include "simFrame.h"

namespace sim {

namespace {

constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kCan = 0x18;
constexpr uint8_t kC = 0x43;
constexpr int kHead = 3;  // start byte, block number, its complement
constexpr int kCrc = 2;
constexpr int kCancelBytes = 8;
constexpr int64_t kCAfterAckMs = 30;
constexpr int64_t kOfferEveryMs = 500;
constexpr uint8_t kBootCode = 0xA1;
constexpr int kMinRequest = 6;

int payloadSize(uint8_t start)
{
    return start == kStx ? 1024 : 128;
}

}  // namespace

uint16_t crcXmodem(const QByteArray& bytes)
{
    uint16_t crc = 0;
    for (char c : bytes) {
        crc ^= uint16_t(uint8_t(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

bool isBootRequest(const QByteArray& f)
{
    const int n = f.size();
    if (n < kMinRequest || uint8_t(f[0]) != 0xAA || uint8_t(f[1]) != 0x55 || uint8_t(f[3]) != kBootCode)
        return false;
    return sum16(f, n - 2) == (uint8_t(f[n - 2]) | uint8_t(f[n - 1]) << 8);
}

void YmodemReceiver::enter(int64_t nowMs)
{
    state_.active = true;
    state_.complete = false;
    ++state_.entries;
    state_.packets.clear();
    state_.cancelBytes = 0;
    phase_ = Phase::header;
    packet_.clear();
    out_.clear();
    headerSeen_ = false;
    silenced_ = false;
    say(kC, nowMs);
    lastOfferMs_ = nowMs;
}

void YmodemReceiver::feed(const QByteArray& bytes, int64_t nowMs)
{
    if (!state_.active)
        return;
    for (char c : bytes) {
        const auto b = uint8_t(c);
        if (!packet_.isEmpty()) {
            packet_.append(c);
            if (packet_.size() == kHead + payloadSize(uint8_t(packet_[0])) + kCrc) {
                takePacket(nowMs);
                packet_.clear();
            }
            continue;
        }
        if (b == kSoh || b == kStx) {
            packet_.append(c);
        } else if (b == kEot) {
            state_.packets.append(QByteArray(1, c));
            takeEot(nowMs);
        } else if (b == kCan) {
            ++state_.cancelBytes;
            phase_ = Phase::header;  // the host gave up: wait for a new header
            headerSeen_ = false;
        }
        // anything else lies outside a packet
    }
}

QByteArray YmodemReceiver::take(int64_t nowMs, int max)
{
    if (state_.active && !headerSeen_ && out_.empty() && nowMs - lastOfferMs_ >= kOfferEveryMs) {
        say(kC, nowMs);
        lastOfferMs_ = nowMs;
    }
    QByteArray bytes;
    while (!out_.empty() && bytes.size() < max && out_.front().readyMs <= nowMs) {
        bytes.append(char(out_.front().byte));
        out_.pop_front();
    }
    return bytes;
}

void YmodemReceiver::takePacket(int64_t nowMs)
{
    state_.packets.append(packet_);
    const auto block = uint8_t(packet_[1]);
    const QByteArray payload = packet_.mid(kHead, packet_.size() - kHead - kCrc);
    const uint16_t crc = uint16_t(uint8_t(packet_[packet_.size() - 2]) << 8 | uint8_t(packet_[packet_.size() - 1]));
    const bool intact = uint8_t(block ^ uint8_t(packet_[2])) == 0xFF && crcXmodem(payload) == crc;
    const bool header = block == 0 && (phase_ == Phase::header || blocks_ == 0);
    const int count = header ? 0 : block == expect_ ? blocks_ + 1 : blocks_;
    if (switches_.silentFromBlock >= 0 && count >= switches_.silentFromBlock)
        silenced_ = true;
    if (silenced_)
        return;
    if (!intact) {
        nak(nowMs);
        return;
    }
    if (phase_ == Phase::header) {
        if (block == 0)
            takeHeader(payload, nowMs);
        else
            nak(nowMs);
        return;
    }
    if (header) {
        ack(nowMs, true);  // the header once more: its ACK went astray
        return;
    }
    takeData(payload, block, nowMs);
}

void YmodemReceiver::takeHeader(const QByteArray& payload, int64_t nowMs)
{
    const int nameEnd = payload.indexOf('\0');
    const QByteArray name = payload.left(nameEnd);
    if (name.isEmpty()) {
        // The null header closes the batch: the sensor runs again.
        ack(nowMs, false);
        state_.complete = true;
        state_.active = false;
        return;
    }
    QByteArray size = payload.mid(nameEnd + 1);
    for (int i = 0; i < size.size(); ++i) {
        if (size[i] == '\0' || size[i] == ' ') {
            size.truncate(i);
            break;
        }
    }
    state_.fileName = name;
    state_.sizeField = size;
    state_.image.clear();
    received_.clear();
    blocks_ = 0;
    expect_ = 1;
    eotNaked_ = false;
    nakedOnce_ = false;
    headerSeen_ = true;
    phase_ = Phase::data;
    ack(nowMs, true);
}

void YmodemReceiver::takeData(const QByteArray& payload, uint8_t block, int64_t nowMs)
{
    if (block == expect_) {
        const int count = blocks_ + 1;
        if (count == switches_.nakBlock && !nakedOnce_) {
            nakedOnce_ = true;
            nak(nowMs);
            return;
        }
        if (count == switches_.cancelAtBlock) {
            for (int i = 0; i < kCancelBytes; ++i)
                say(kCan, nowMs);
            return;
        }
        received_.append(payload);
        ++blocks_;
        ++expect_;
        ack(nowMs, false);
    } else if (blocks_ > 0 && block == uint8_t(expect_ - 1)) {
        ack(nowMs, false);  // a repeat of the block just kept
    } else {
        nak(nowMs);
    }
}

void YmodemReceiver::takeEot(int64_t nowMs)
{
    if (silenced_)
        return;
    if (phase_ == Phase::header) {
        if (headerSeen_)
            ack(nowMs, true);  // EOT again: the ACK went astray
        return;
    }
    if (switches_.nakFirstEot && !eotNaked_) {
        eotNaked_ = true;
        nak(nowMs);
        return;
    }
    finishImage();
    phase_ = Phase::header;
    ack(nowMs, true);
}

void YmodemReceiver::finishImage()
{
    bool ok = false;
    const uint size = state_.sizeField.toUInt(&ok);
    state_.image = ok && int(size) <= received_.size() ? received_.left(int(size)) : received_;
}

void YmodemReceiver::say(uint8_t byte, int64_t readyMs)
{
    out_.push_back({byte, readyMs});
}

void YmodemReceiver::ack(int64_t nowMs, bool thenC)
{
    const int64_t ready = nowMs + switches_.ackDelayMs;
    say(kAck, ready);
    if (thenC)
        say(kC, switches_.ackWithC ? ready : ready + kCAfterAckMs);
}

void YmodemReceiver::nak(int64_t nowMs)
{
    ++state_.naks;
    say(kNak, nowMs);
}

}  // namespace sim
