// CH341 calls served by the simulated bus. A stream packet is AA followed by stream commands:
// 74 start, 75 stop, other 40..7F delays, 80|n output n bytes, C0|n input n bytes acknowledged,
// C0 one byte not acknowledged, 00 end. A transaction may span several packets.

#include "ch341dll.h"

#include "simWorld.h"

#include <array>
#include <cstring>

using sim::BridgeKind;
using sim::detail::Bridge;
using sim::detail::Lock;
using sim::detail::World;
using sim::detail::world;

namespace {

constexpr uint8_t kStream = 0xAA;
constexpr uint8_t kEnd = 0x00;
constexpr uint8_t kStart = 0x74;
constexpr uint8_t kStop = 0x75;
constexpr uint8_t kDelayFirst = 0x40;
constexpr uint8_t kOutput = 0x80;
constexpr uint8_t kInput = 0xC0;
constexpr uint8_t kCountMask = 0x3F;
constexpr uint32_t kMaxPacket = 32;  // one USB packet of the chip
constexpr int kNameSize = 256;

// Runs one stream packet; the bytes of its input commands are appended to input.
bool runPacket(Bridge& b, const uint8_t* p, uint32_t n, QByteArray* input)
{
    if (n == 0 || n > kMaxPacket || p[0] != kStream)
        return false;
    uint32_t i = 1;
    while (i < n) {
        const uint8_t c = p[i++];
        if (c == kEnd)
            break;
        if (c == kStart) {
            b.bus.start();
        } else if (c == kStop) {
            b.bus.stop();
        } else if (c >= kDelayFirst && c < kOutput) {
            ++b.delayCodes;
        } else if (c >= kOutput && c < kInput) {
            const uint32_t count = c & kCountMask;
            if (i + count > n)
                return false;
            for (uint32_t k = 0; k < count; ++k)
                b.bus.writeByte(p[i++]);
        } else if (c >= kInput) {
            const uint32_t count = c & kCountMask;
            if (count == 0)
                input->append(char(b.bus.readByte(false)));
            for (uint32_t k = 0; k < count; ++k)
                input->append(char(b.bus.readByte(true)));
        } else {
            return false;  // 01..3F are no stream commands
        }
    }
    return true;
}

Bridge* openCh341(uint32_t index)
{
    return world().openBridgeAt(BridgeKind::Ch341, index);
}

}  // namespace

const char* CH341GetDeviceName(uint32_t index)
{
    thread_local std::array<std::array<char, kNameSize>, sim::kCh341Slots> names;
    if (index >= uint32_t(sim::kCh341Slots))
        return nullptr;
    Lock lock(world().mutex);
    Bridge* b = world().bridgeAt(BridgeKind::Ch341, index);
    if (!b)
        return nullptr;
    const QByteArray text = b->nameText().left(kNameSize - 1);
    std::memcpy(names[index].data(), text.constData(), size_t(text.size()));
    names[index][size_t(text.size())] = '\0';
    return names[index].data();
}

intptr_t CH341OpenDevice(uint32_t index)
{
    Lock lock(world().mutex);
    return world().openDevice(BridgeKind::Ch341, index);
}

void CH341CloseDevice(uint32_t index)
{
    Lock lock(world().mutex);
    world().closeDevice(BridgeKind::Ch341, index);
}

bool CH341ResetDevice(uint32_t index)
{
    Lock lock(world().mutex);
    Bridge* b = openCh341(index);
    if (b)
        b->bus.stop();
    return b;
}

bool CH341FlushBuffer(uint32_t index)
{
    Lock lock(world().mutex);
    return openCh341(index);
}

bool CH341SetDeviceNotify(uint32_t index, const char* deviceId, CH341NotifyRoutine routine)
{
    if (index != 0 || deviceId)
        return false;
    Lock lock(world().mutex);
    world().ch341Routine = routine;
    return true;
}

bool CH341WriteData(uint32_t index, const void* buffer, uint32_t* length)
{
    if (!buffer || !length)
        return false;
    Lock lock(world().mutex);
    Bridge* b = openCh341(index);
    if (!b)
        return false;
    b->logPacket(buffer, *length);
    QByteArray input;
    if (b->takeTransferFault() || !runPacket(*b, static_cast<const uint8_t*>(buffer), *length, &input)) {
        *length = 0;
        return false;
    }
    return true;
}

bool CH341WriteRead(uint32_t index, uint32_t writeLength, const void* writeBuffer, uint32_t readStep,
                    uint32_t readTimes, uint32_t* readLength, void* readBuffer)
{
    if (!writeBuffer || !readLength || !readBuffer)
        return false;
    *readLength = 0;
    Lock lock(world().mutex);
    Bridge* b = openCh341(index);
    if (!b)
        return false;
    b->logPacket(writeBuffer, writeLength);
    QByteArray input;
    if (b->takeTransferFault() || !runPacket(*b, static_cast<const uint8_t*>(writeBuffer), writeLength, &input))
        return false;
    if (uint32_t(input.size()) > readStep * readTimes)
        return false;
    uint32_t got = uint32_t(input.size());
    if (b->faults.shortRead && got > 0)
        --got;
    std::memcpy(readBuffer, input.constData(), got);
    *readLength = got;
    return true;
}

bool CH341SetStream(uint32_t index, uint32_t mode)
{
    Lock lock(world().mutex);
    Bridge* b = openCh341(index);
    if (b)
        b->streamMode = mode;
    return b;
}

bool CH341GetInput(uint32_t index, uint32_t* status)
{
    if (!status)
        return false;
    Lock lock(world().mutex);
    Bridge* b = openCh341(index);
    if (!b)
        return false;
    *status = b->ch341Pins();
    return true;
}

bool CH341SetOutput(uint32_t index, uint32_t enable, uint32_t dirOut, uint32_t dataOut)
{
    struct Field {
        uint32_t enableBit;
        bool direction;
        uint32_t mask;
    };
    static constexpr Field kFields[] = {
        {1u << 0, false, 0x00FF00}, {1u << 1, true, 0x00FF00}, {1u << 2, false, 0x0000FF},
        {1u << 3, true, 0x0000FF},  {1u << 4, false, 0xFF0000},
    };
    Lock lock(world().mutex);
    Bridge* b = openCh341(index);
    if (!b)
        return false;
    for (const Field& f : kFields) {
        if (!(enable & f.enableBit))
            continue;
        uint32_t& reg = f.direction ? b->pinDir : b->pinData;
        const uint32_t value = f.direction ? dirOut : dataOut;
        reg = (reg & ~f.mask) | (value & f.mask);
    }
    b->updateResetLine();
    return true;
}
