#include "simBus.h"

#include "simWorld.h"

namespace sim {

using detail::Bridge;
using detail::Lock;
using detail::World;
using detail::world;

namespace {

template <typename T, typename Fn>
T withBridge(int handle, T fallback, Fn fn)
{
    World& w = world();
    Lock lock(w.mutex);
    Bridge* b = w.bridge(handle);
    return b ? fn(*b) : fallback;
}

template <typename T, typename Fn>
T withSensor(int handle, T fallback, Fn fn)
{
    World& w = world();
    Lock lock(w.mutex);
    const auto it = w.sensors.find(handle);
    return it == w.sensors.end() ? fallback : fn(*it->second.sensor, w.nowMs());
}

enum class PlugChange { Plug, Unplug, Move };

// Puts a bridge at its new device index (none when unplugged) and tells the plug routine.
bool changePlug(int bridge, PlugChange change, int index)
{
    World& w = world();
    Lock lock(w.mutex);
    Bridge* b = w.bridge(bridge);
    const bool plugged = b && b->index >= 0;
    if (!b || plugged == (change == PlugChange::Plug))
        return false;
    const BridgeKind kind = b->config.kind;
    int at = -1;
    if (change != PlugChange::Unplug) {
        at = change == PlugChange::Plug && index < 0 ? w.firstFreeIndex(kind) : index;
        if (!w.indexFree(kind, at))
            return false;
    }
    b->index = at;
    b->powerUp();
    w.notifyLater(kind, change == PlugChange::Unplug ? kEventRemoved : kEventArrived);
    return true;
}

}  // namespace

void setModelResolver(SensorModelResolver resolver)
{
    Lock lock(world().mutex);
    world().modelResolver = std::move(resolver);
}

void setCommandLengthResolver(CommandLengthResolver resolver)
{
    Lock lock(world().mutex);
    world().commandLengthResolver = std::move(resolver);
}

void waitForNotifications()
{
    for (;;) {
        std::vector<std::thread> threads;
        {
            Lock lock(world().mutex);
            threads = world().takeNotifyThreads();
        }
        if (threads.empty())
            return;
        for (std::thread& t : threads)
            t.join();
    }
}

void reset()
{
    waitForNotifications();
    World& w = world();
    Lock lock(w.mutex);
    w.sensors.clear();
    w.bridges.clear();
}

int addBridge(const BridgeConfig& config)
{
    World& w = world();
    Lock lock(w.mutex);
    int index = -1;
    if (config.plugged) {
        index = config.index >= 0 ? config.index : w.firstFreeIndex(config.kind);
        if (!w.indexFree(config.kind, index))
            return -1;
    }
    const int handle = w.nextHandle++;
    auto bridge = std::make_unique<Bridge>(handle, config);
    bridge->index = index;
    w.bridges.emplace(handle, std::move(bridge));
    return handle;
}

int addSensor(int bridge, const SensorConfig& config)
{
    World& w = world();
    Lock lock(w.mutex);
    Bridge* b = w.bridge(bridge);
    if (!b || config.addr == 0 || config.addr > 0x7F)
        return -1;
    if (b->bus.pca() && (config.port < 0 || config.port > 7 || config.addr == kPcaAddress))
        return -1;
    SensorModel model = config.model;
    if (!config.useModel && !(w.modelResolver && w.modelResolver(config.prg, &model)))
        return -1;
    const int handle = w.nextHandle++;
    detail::SimSensor* s = b->bus.addSensor(std::make_unique<detail::SimSensor>(config, model, w.nowMs()));
    w.sensors.emplace(handle, World::SensorRef{b, s});
    return handle;
}

bool removeSensor(int sensor)
{
    World& w = world();
    Lock lock(w.mutex);
    const auto it = w.sensors.find(sensor);
    if (it == w.sensors.end())
        return false;
    it->second.bridge->bus.removeSensor(it->second.sensor);
    w.sensors.erase(it);
    return true;
}

void setBridgeFaults(int bridge, const BridgeFaults& faults)
{
    withBridge(bridge, false, [&](Bridge& b) {
        b.faults = faults;
        return true;
    });
}

void setSensorFaults(int sensor, const SensorFaults& faults)
{
    withSensor(sensor, false, [&](detail::SimSensor& s, int64_t now) {
        s.setFaults(faults, now);
        return true;
    });
}

SensorFaults sensorFaults(int sensor)
{
    return withSensor(sensor, SensorFaults(), [](detail::SimSensor& s, int64_t) { return s.faults(); });
}

SensorState sensorState(int sensor)
{
    return withSensor(sensor, SensorState(), [](detail::SimSensor& s, int64_t) { return s.state(); });
}

void setBootSwitches(int sensor, const BootLoaderSwitches& switches)
{
    withSensor(sensor, false, [&](detail::SimSensor& s, int64_t) {
        s.bootLoader().setSwitches(switches);
        return true;
    });
}

BootLoaderState bootState(int sensor)
{
    return withSensor(sensor, BootLoaderState(),
                      [](detail::SimSensor& s, int64_t) { return s.bootLoader().state(); });
}

QByteArray peekSensor(int sensor, int len)
{
    return withSensor(sensor, QByteArray(), [len](detail::SimSensor& s, int64_t now) { return s.peek(len, now); });
}

bool plug(int bridge, int index)
{
    return changePlug(bridge, PlugChange::Plug, index);
}

bool unplug(int bridge)
{
    return changePlug(bridge, PlugChange::Unplug, -1);
}

bool move(int bridge, int newIndex)
{
    return changePlug(bridge, PlugChange::Move, newIndex);
}

void advanceTime(int64_t ms)
{
    Lock lock(world().mutex);
    world().advance(ms);
}

bool plugRoutineRegistered(BridgeKind kind)
{
    Lock lock(world().mutex);
    return kind == BridgeKind::Ch341 ? world().ch341Routine != nullptr : world().ch347Routine != nullptr;
}

int deviceIndex(int bridge)
{
    return withBridge(bridge, -1, [](Bridge& b) { return b.index; });
}

bool isDeviceOpen(int bridge)
{
    return withBridge(bridge, false, [](Bridge& b) { return b.index >= 0 && b.open; });
}

QVector<QByteArray> packetLog(int bridge)
{
    return withBridge(bridge, QVector<QByteArray>(), [](Bridge& b) { return b.packets; });
}

void clearPacketLog(int bridge)
{
    withBridge(bridge, false, [](Bridge& b) {
        b.packets.clear();
        b.delayCodes = 0;
        return true;
    });
}

int delayCodeCount(int bridge)
{
    return withBridge(bridge, 0, [](Bridge& b) { return b.delayCodes; });
}

uint32_t streamMode(int bridge)
{
    return withBridge(bridge, 0u, [](Bridge& b) { return b.streamMode; });
}

bool clockStretch(int bridge)
{
    return withBridge(bridge, false, [](Bridge& b) { return b.clockStretch; });
}

int driverMode(int bridge)
{
    return withBridge(bridge, 0, [](Bridge& b) { return int(b.driverMode); });
}

int pcaControl(int bridge)
{
    return withBridge(bridge, -1, [](Bridge& b) { return b.bus.pca() ? int(b.bus.pca()->control()) : -1; });
}

int pcaResetCount(int bridge)
{
    return withBridge(bridge, 0, [](Bridge& b) { return b.bus.pca() ? b.bus.pca()->resets() : 0; });
}

bool pcaResetLineLow(int bridge)
{
    return withBridge(bridge, false, [](Bridge& b) { return b.bus.pca() && b.bus.pca()->inReset(); });
}

}  // namespace sim
