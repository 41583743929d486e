#pragma once
// Our CH341 USB-to-I2C bridge library: exactly the calls the adapter makes, served by the
// simulated bus (simBus.h). Results follow the library's convention: non-zero / true = success.

#include <cstdint>

// Called on plug changes with one event code; 0 is a removal.
using CH341NotifyRoutine = void (*)(unsigned long event);

constexpr intptr_t kCh341InvalidHandle = -1;

// Zero-terminated device name of the bridge at index 0..15, or null when there is none. The text
// stays valid until the same thread asks for the same index again.
const char* CH341GetDeviceName(uint32_t index);
intptr_t CH341OpenDevice(uint32_t index);  // kCh341InvalidHandle on failure
void CH341CloseDevice(uint32_t index);
bool CH341ResetDevice(uint32_t index);
bool CH341FlushBuffer(uint32_t index);
// Registers (routine) or removes (null) the plug routine; only index 0 and no device id are used.
bool CH341SetDeviceNotify(uint32_t index, const char* deviceId, CH341NotifyRoutine routine);
// Runs one raw I2C stream packet (AA ...); *length is the packet length in, the bytes taken out.
bool CH341WriteData(uint32_t index, const void* buffer, uint32_t* length);
// Runs one packet and returns the bytes its input commands collected (at most readStep * readTimes).
bool CH341WriteRead(uint32_t index, uint32_t writeLength, const void* writeBuffer, uint32_t readStep,
                    uint32_t readTimes, uint32_t* readLength, void* readBuffer);
// Stream mode 0..3: the I2C speed.
bool CH341SetStream(uint32_t index, uint32_t mode);
// 32-bit status word of the chip's pins.
bool CH341GetInput(uint32_t index, uint32_t* status);
// enable bit 0: data bits 15..8 valid, bit 1: direction bits 15..8, bit 2: data 7..0,
// bit 3: direction 7..0, bit 4: data 23..16.
bool CH341SetOutput(uint32_t index, uint32_t enable, uint32_t dirOut, uint32_t dataOut);
