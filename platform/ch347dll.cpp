// CH347 calls served by the simulated bus: each StreamI2C call is one whole transfer.

#include "ch347dll.h"

#include "msleep.h"
#include "simWorld.h"

#include <cstring>

using sim::BridgeKind;
using sim::detail::Bridge;
using sim::detail::Lock;
using sim::detail::world;

namespace {

constexpr uint32_t kMaxSpeedMode = 6;
constexpr uint32_t kMaxTransfer = 1u << 16;

Bridge* openCh347(uint32_t index)
{
    return world().openBridgeAt(BridgeKind::Ch347, index);
}

// start, address byte, data bytes, then the read part; false on a missing acknowledge.
bool transfer(Bridge& b, const uint8_t* w, uint32_t wlen, uint32_t rlen, uint8_t* r)
{
    b.bus.start();
    if (!b.bus.writeByte(w[0])) {
        b.bus.stop();
        return false;
    }
    const bool readAddress = w[0] & 1;
    if (!readAddress) {
        for (uint32_t i = 1; i < wlen; ++i) {
            if (!b.bus.writeByte(w[i])) {
                b.bus.stop();
                return false;
            }
        }
        if (rlen > 0) {
            b.bus.start();
            if (!b.bus.writeByte(uint8_t(w[0] | 1))) {
                b.bus.stop();
                return false;
            }
        }
    }
    for (uint32_t i = 0; i < rlen; ++i)
        r[i] = b.bus.readByte(i + 1 < rlen);
    b.bus.stop();
    return true;
}

}  // namespace

intptr_t CH347OpenDevice(uint32_t index)
{
    Lock lock(world().mutex);
    return world().openDevice(BridgeKind::Ch347, index);
}

bool CH347CloseDevice(uint32_t index)
{
    Lock lock(world().mutex);
    return world().closeDevice(BridgeKind::Ch347, index);
}

bool CH347GetDeviceInfor(uint32_t index, CH347DeviceInfo* info)
{
    if (!info)
        return false;
    Lock lock(world().mutex);
    Bridge* b = openCh347(index);
    if (!b)
        return false;
    std::memset(info, 0, sizeof *info);
    info->index = uint8_t(index);
    std::strncpy(info->devicePath, "\\\\?\\usb#vid_1a86&pid_55db&mi_02", sizeof info->devicePath - 1);
    info->functionType = 1;
    const QByteArray text = b->nameText().left(int(sizeof info->deviceId) - 1);
    std::memcpy(info->deviceId, text.constData(), size_t(text.size()));
    return true;
}

bool CH347SetDeviceNotify(uint32_t index, const char* deviceId, CH347NotifyRoutine routine)
{
    if (index != 0 || deviceId)
        return false;
    Lock lock(world().mutex);
    world().ch347Routine = routine;
    return true;
}

bool CH347StreamI2C(uint32_t index, uint32_t writeLength, const void* writeBuffer, uint32_t readLength,
                    void* readBuffer)
{
    if (writeLength == 0 || !writeBuffer || writeLength > kMaxTransfer || readLength > kMaxTransfer ||
        (readLength > 0 && !readBuffer))
        return false;
    Lock lock(world().mutex);
    Bridge* b = openCh347(index);
    if (!b)
        return false;
    b->logPacket(writeBuffer, writeLength);
    if (b->takeTransferFault())
        return false;
    return transfer(*b, static_cast<const uint8_t*>(writeBuffer), writeLength, readLength,
                    static_cast<uint8_t*>(readBuffer));
}

bool CH347I2C_Set(uint32_t index, uint32_t mode)
{
    Lock lock(world().mutex);
    Bridge* b = openCh347(index);
    if (!b || mode > kMaxSpeedMode)
        return false;
    b->streamMode = mode;
    return true;
}

bool CH347I2C_SetStretch(uint32_t index, bool enable)
{
    Lock lock(world().mutex);
    Bridge* b = openCh347(index);
    if (b)
        b->clockStretch = enable;
    return b;
}

bool CH347I2C_SetDriverMode(uint32_t index, uint8_t mode)
{
    Lock lock(world().mutex);
    Bridge* b = openCh347(index);
    if (!b || mode > 1)
        return false;
    b->driverMode = mode;
    return true;
}

bool CH347I2C_SetDelaymS(uint32_t index, uint32_t ms)
{
    {
        Lock lock(world().mutex);
        if (!openCh347(index))
            return false;
    }
    platform::msleep(ms);  // without the lock: other bridges go on meanwhile
    return true;
}

bool CH347GPIO_Set(uint32_t index, uint8_t enable, uint8_t dirOut, uint8_t dataOut)
{
    Lock lock(world().mutex);
    Bridge* b = openCh347(index);
    if (!b)
        return false;
    b->gpioDir = uint8_t((b->gpioDir & ~enable) | (dirOut & enable));
    b->gpioData = uint8_t((b->gpioData & ~enable) | (dataOut & enable));
    b->updateResetLine();
    return true;
}

bool CH347GPIO_Get(uint32_t index, uint8_t* dir, uint8_t* data)
{
    if (!dir || !data)
        return false;
    Lock lock(world().mutex);
    Bridge* b = openCh347(index);
    if (!b)
        return false;
    *dir = b->gpioDir;
    *data = b->gpioLevels();
    return true;
}
