#pragma once
// Inside of the simulated world, shared by simBus.cpp and the two library front ends. Everything
// here is used with World::mutex held.

#include "simBus.h"
#include "simI2c.h"

#include <QByteArray>
#include <QVector>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {
namespace detail {

using NotifyRoutine = void (*)(unsigned long event);

struct Bridge {
    Bridge(int handle, const BridgeConfig& config);

    // Power as after plugging in: pins released, multiplexer cleared, no transaction.
    void powerUp();
    // Consumes one failing transfer of the fault switch; true when this call must fail.
    bool takeTransferFault();
    void logPacket(const void* data, uint32_t length);
    // CH341 pin levels: driven output bits, released pins read high.
    uint32_t ch341Pins() const { return (pinData & pinDir) | (~pinDir & kPinMask); }
    uint8_t gpioLevels() const { return uint8_t((gpioData & gpioDir) | ~gpioDir); }
    // The multiplexer's reset line: CH341 output bit 10, CH347 GPIO pin 0.
    void updateResetLine();
    // CH341 device name or CH347 id text.
    QByteArray nameText() const;

    static constexpr uint32_t kPinMask = 0xFFFFFF;
    static constexpr uint32_t kCh341ResetBit = 1u << 10;

    const int handle;
    BridgeConfig config;
    int index = -1;  // -1 while unplugged
    bool open = false;
    BridgeFaults faults;
    I2cBus bus;
    QVector<QByteArray> packets;
    int delayCodes = 0;
    uint32_t streamMode = 0;
    bool clockStretch = false;  // CH347
    uint8_t driverMode = 0;     // CH347
    uint32_t pinData = kPinMask;
    uint32_t pinDir = 0;
    uint8_t gpioDir = 0;
    uint8_t gpioData = 0xFF;
};

class World {
public:
    World();
    ~World();

    int64_t nowMs() const;
    void advance(int64_t ms) { offsetMs_ += ms; }
    Bridge* bridge(int handle);
    // The plugged bridge of a kind at a device index, or null.
    Bridge* bridgeAt(BridgeKind kind, uint32_t index);
    // As bridgeAt, and only when the device was opened; with the bus clock set.
    Bridge* openBridgeAt(BridgeKind kind, uint32_t index);
    // The library's open and close of a device index (open fails without a device or by fault).
    intptr_t openDevice(BridgeKind kind, uint32_t index);
    bool closeDevice(BridgeKind kind, uint32_t index);
    bool indexFree(BridgeKind kind, int index) const;
    int firstFreeIndex(BridgeKind kind) const;
    // Starts a thread that calls the routine registered for the kind with the event.
    void notifyLater(BridgeKind kind, unsigned long event);
    // Moves the started plug threads out, for joining without the mutex.
    std::vector<std::thread> takeNotifyThreads();

    std::mutex mutex;
    std::map<int, std::unique_ptr<Bridge>> bridges;
    struct SensorRef {
        Bridge* bridge;
        SimSensor* sensor;
    };
    std::map<int, SensorRef> sensors;
    int nextHandle = 1;
    SensorModelResolver modelResolver;
    CommandLengthResolver commandLengthResolver;
    NotifyRoutine ch341Routine = nullptr;
    NotifyRoutine ch347Routine = nullptr;

private:
    std::vector<std::thread> notifyThreads_;
    const std::chrono::steady_clock::time_point epoch_;
    int64_t offsetMs_ = 0;
};

World& world();
using Lock = std::lock_guard<std::mutex>;

int slotCount(BridgeKind kind);

}  // namespace detail
}  // namespace sim
