#pragma once
// Our CH347 USB-to-I2C bridge library: exactly the calls the adapter makes, served by the
// simulated bus (simBus.h). Results: non-zero / true = success.

#include <cstddef>
#include <cstdint>

using CH347NotifyRoutine = void (*)(unsigned long event);

constexpr intptr_t kCh347InvalidHandle = -1;
constexpr int kCh347DeviceIdOffset = 263;

// The library's device-information record; the adapter reads only the id text.
struct CH347DeviceInfo {
    uint8_t index;              // device index
    char devicePath[256];       // zero-terminated system path
    uint8_t usbClass;
    uint8_t functionType;       // 0 UART, 1 SPI/I2C, 2 JTAG/I2C
    uint8_t chipMode;
    uint8_t reserved[3];
    char deviceId[64];          // zero-terminated id text, at byte 263
    uint8_t firmwareVersion;
};
static_assert(offsetof(CH347DeviceInfo, deviceId) == kCh347DeviceIdOffset, "id text position");

intptr_t CH347OpenDevice(uint32_t index);  // kCh347InvalidHandle on failure
bool CH347CloseDevice(uint32_t index);
bool CH347GetDeviceInfor(uint32_t index, CH347DeviceInfo* info);
bool CH347SetDeviceNotify(uint32_t index, const char* deviceId, CH347NotifyRoutine routine);
// One transfer: start, writeLength bytes (the first is the address byte), then, when readLength is
// not 0, readLength bytes read (after a repeated start with the read address unless the address
// byte already was one), the last not acknowledged; stop. false when the address is not acked.
bool CH347StreamI2C(uint32_t index, uint32_t writeLength, const void* writeBuffer, uint32_t readLength,
                    void* readBuffer);
bool CH347I2C_Set(uint32_t index, uint32_t mode);            // speed mode 0..6
bool CH347I2C_SetStretch(uint32_t index, bool enable);
bool CH347I2C_SetDriverMode(uint32_t index, uint8_t mode);
bool CH347I2C_SetDelaymS(uint32_t index, uint32_t ms);       // waits ms before returning
bool CH347GPIO_Set(uint32_t index, uint8_t enable, uint8_t dirOut, uint8_t dataOut);
bool CH347GPIO_Get(uint32_t index, uint8_t* dir, uint8_t* data);
