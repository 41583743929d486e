#include "simWorld.h"

#include <QString>

namespace sim {
namespace detail {

Bridge::Bridge(int h, const BridgeConfig& c) : handle(h), config(c), bus(c.pca) {}

void Bridge::powerUp()
{
    open = false;
    pinData = kPinMask;
    pinDir = 0;
    gpioDir = 0;
    gpioData = 0xFF;
    clockStretch = false;
    driverMode = 0;
    bus.powerUp();
}

bool Bridge::takeTransferFault()
{
    if (faults.failTransfers == 0)
        return false;
    if (faults.failTransfers > 0)
        --faults.failTransfers;
    return true;
}

void Bridge::logPacket(const void* data, uint32_t length)
{
    constexpr int kMaxPackets = 20000;
    if (packets.size() < kMaxPackets)
        packets.append(QByteArray(static_cast<const char*>(data), int(length)));
}

void Bridge::updateResetLine()
{
    const bool low = config.kind == BridgeKind::Ch341 ? !(ch341Pins() & kCh341ResetBit) : !(gpioLevels() & 1);
    bus.setResetLine(low);
}

QByteArray Bridge::nameText() const
{
    if (!config.nameText.isEmpty())
        return config.nameText.toLatin1();
    if (config.kind == BridgeKind::Ch341) {
        // Field 2 of the name carries the id as <thousands>&..&..&<units>.
        return QString("\\\\?\\USB#VID_1A86&PID_5512#%1&1a2b3c4&0&%2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}")
            .arg(config.id / 1000)
            .arg(config.id % 1000)
            .toLatin1();
    }
    return QString("USB\\VID_1A86&PID_55DB&MI_02#7&%1&0&0002#{a5dcbf10-6530-11d2-901f-00c04fb951ed}")
        .arg(config.id, 4, 16, QChar('0'))
        .toUpper()
        .toLatin1();
}

int slotCount(BridgeKind kind)
{
    return kind == BridgeKind::Ch341 ? kCh341Slots : kCh347Slots;
}

World::World() : epoch_(std::chrono::steady_clock::now()) {}

World::~World()
{
    for (std::thread& t : notifyThreads_)
        if (t.joinable())
            t.join();
}

int64_t World::nowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - epoch_)
        .count() +
           offsetMs_;
}

Bridge* World::bridge(int handle)
{
    const auto it = bridges.find(handle);
    return it == bridges.end() ? nullptr : it->second.get();
}

Bridge* World::bridgeAt(BridgeKind kind, uint32_t index)
{
    for (auto& entry : bridges) {
        Bridge* b = entry.second.get();
        if (b->config.kind == kind && b->index >= 0 && uint32_t(b->index) == index)
            return b;
    }
    return nullptr;
}

Bridge* World::openBridgeAt(BridgeKind kind, uint32_t index)
{
    Bridge* b = bridgeAt(kind, index);
    if (!b || !b->open)
        return nullptr;
    b->bus.setNow(nowMs());
    return b;
}

intptr_t World::openDevice(BridgeKind kind, uint32_t index)
{
    Bridge* b = bridgeAt(kind, index);
    if (!b || b->faults.failOpen)
        return -1;
    b->open = true;
    return intptr_t(index);
}

bool World::closeDevice(BridgeKind kind, uint32_t index)
{
    Bridge* b = bridgeAt(kind, index);
    if (!b)
        return false;
    b->bus.stop();
    b->open = false;
    return true;
}

bool World::indexFree(BridgeKind kind, int index) const
{
    if (index < 0 || index >= slotCount(kind))
        return false;
    for (const auto& entry : bridges)
        if (entry.second->config.kind == kind && entry.second->index == index)
            return false;
    return true;
}

int World::firstFreeIndex(BridgeKind kind) const
{
    for (int i = 0; i < slotCount(kind); ++i)
        if (indexFree(kind, i))
            return i;
    return -1;
}

void World::notifyLater(BridgeKind kind, unsigned long event)
{
    notifyThreads_.emplace_back([kind, event] {
        NotifyRoutine routine = nullptr;
        {
            Lock lock(world().mutex);
            routine = kind == BridgeKind::Ch341 ? world().ch341Routine : world().ch347Routine;
        }
        // As the real library does: the routine runs on a thread of its own, without our lock.
        if (routine)
            routine(event);
    });
}

std::vector<std::thread> World::takeNotifyThreads()
{
    std::vector<std::thread> threads;
    threads.swap(notifyThreads_);
    return threads;
}

World& world()
{
    static World instance;
    return instance;
}

int catalogueAnswerLength(uint8_t code)
{
    const World& w = world();
    return w.commandLengthResolver ? w.commandLengthResolver(code) : -1;
}

}  // namespace detail
}  // namespace sim
