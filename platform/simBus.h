#pragma once
// The simulated world behind our replacement of the two bridge libraries (ch341dll.h, ch347dll.h):
// bridges plugged into USB slots, each with its own I2C bus, an optional PCA9548 multiplexer at
// 0x70 on that bus, and simulated tactile sensors on the multiplexer's downstream ports (or on the
// bridge's bus itself when there is no multiplexer).
//
// How a test builds a world:
//
//     sim::reset();                                    // empty world (resolvers stay registered)
//     sim::BridgeConfig b;                             // CH341, id 6002, PCA9548 present
//     b.kind = sim::BridgeKind::Ch341; b.id = 6002;
//     const int bridge = sim::addBridge(b);            // plugged at the first free device index
//     sim::SensorConfig s;                             // type 20 at 0x61 on multiplexer port 4
//     s.prg = 20; s.addr = 0x61; s.port = 4;
//     const int sensor = sim::addSensor(bridge, s);    // -1 when the type has no model
//     sim::SensorFaults f; f.dropAnswers = 2;          // the next two requests go unanswered
//     sim::setSensorFaults(sensor, f);
//     sim::unplug(bridge);                             // the registered plug routine runs on
//     sim::waitForNotifications();                     // another thread; wait for it to return
//
// Ports are the multiplexer's own port numbers 0..7 (bit n of its control byte), not the bus
// worker's channel numbers: the worker's channels 0..5 select the ports 4, 5, 6, 3, 2, 0.
//
// Sensor behaviour:
// - A read without a pending answer returns the sensor's latest data frame (built by
//   sim::buildDataFrame from the type's layout); byte 5 carries frame length - 10 (at most 255), so
//   a length search over the frame finds exactly its end. Bytes past a frame or an answer read 0.
// - The sequence byte advances by seqStep once per frame period of the simulated clock (real time
//   plus what advanceTime added) and rolls over at 256; values follow a slow press-and-release cycle (touch
//   bits, forces, directions, proximity).
// - A written frame AA 55 .. with a correct closing sum is a request when byte 2 names the sensor:
//   its own id byte (what a panel writes, having read it from byte 2 of the sensor's data frame),
//   or 0x00 or 0x03, which on I2C mean whichever sensor the address reached (the maintenance tools
//   write 0x00, the bus worker 0x03 in its own requests). Requests for another id byte are not
//   taken (they show among the raw writes only). On a serial line, where the address is not on
//   the wire, the host writes the sensor's address in byte 2 instead (tests/support's serial peer).
//   A request is answered when it is a command of the command catalogue (or 0xA6): the answer is ready answerLatencyMs later and is
//   served by the first read transaction after that; once read it is gone (a read of a later
//   frame gets data again). A new request replaces an unread answer. Lengths are the panel's (per
//   type for the per-channel reads, 0xA4 by its text, otherwise the catalogue's; 11 where the
//   catalogue fixes none). Settings are kept and read back (thresholds, excitation, range, filter,
//   timeout, calibration, ...); a setting answers status 0 in byte 7, 1 for a channel the type
//   lacks, 2 for a value out of range.
// - 0x70 moves the sensor to the address in request byte 7 at once (1..0x6F, others refused),
//   so its answer is read from the new address. That answer (0xF0) carries the status in byte 7,
//   as every setting does (2 for a refused address), not the address, and stays until it is
//   read: a request written before that read takes effect but is not answered. Only the answer
//   to 0x71 (0xF1) carries the address in byte 7.
// - Address 0 is the general call: a write to 0 reaches every sensor the multiplexer routes (or
//   every sensor of a bridge without one), and they all answer a read from 0, driving the line
//   together. A sensor's pending answer is served by a read at its own address or at 0.
// - The address tool's query 0x71 and set 0x70 carry 0x00 in byte 2 and go to address 0, so they
//   reach every sensor the general call reaches.
// - A sensor with a boot loader (SensorConfig::bootLoader) enters it on the reset request 0xA1,
//   written to its address or to 0 (simBootLoader.h). While the loader runs, every write feeds
//   its YMODEM receiver (a write transaction is one packet) and every byte read serves its next
//   readable byte, 0x00 when none; a reset request starts it afresh. After the null header the
//   sensor serves frames and answers again. bootState() tells what it received.
//
// Everything here is guarded by one mutex inside the layer: tests, the bus worker's thread and the
// plug threads may call in at any time. Plug routines are called without that mutex held.

#include "simBootLoader.h"
#include "simFrame.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>

namespace sim {

enum class BridgeKind : uint8_t { Ch341, Ch347 };

// Event codes the plug routine receives.
constexpr unsigned long kEventRemoved = 0;
constexpr unsigned long kEventArrived = 3;

constexpr int kCh341Slots = 16;  // device indices 0..15
constexpr int kCh347Slots = 32;  // device indices 0..31
constexpr uint8_t kPcaAddress = 0x70;
// Byte 2 of a request on I2C that any sensor takes as its own (besides its id byte).
constexpr uint8_t kAnySensorOnAddress = 0x00;
constexpr uint8_t kHostOnAddress = 0x03;

// What the simulator needs to know of a sensor type (the catalogue lives above this layer).
struct SensorModel {
    FrameLayout layout;
    uint16_t pressNum = 0;
    uint8_t caliNum = 0;
    float pressMax = 25;
};

// Resolves a type code to its model; false when the type is unknown.
using SensorModelResolver = std::function<bool(uint8_t prg, SensorModel* model)>;
// Answer length the command catalogue gives a code: 0 = not fixed, -1 = not a catalogue command.
using CommandLengthResolver = std::function<int(uint8_t code)>;

// Registered once by the program and by the tests (tests/support/simCatalogue.h); kept by reset().
void setModelResolver(SensorModelResolver resolver);
void setCommandLengthResolver(CommandLengthResolver resolver);

// The model of a type catalogue record: any record with the fields chNum, chSize, yddsNum,
// yddsFormat, sProxNum, mProxNum, statusNum, pressNum, caliNum and pressMax.
template <typename Record>
SensorModel modelFromRecord(const Record& r)
{
    SensorModel model;
    model.layout.chNum = r.chNum;
    model.layout.chSize = r.chSize;
    model.layout.yddsNum = r.yddsNum;
    model.layout.yddsFormat = r.yddsFormat;
    model.layout.sProxNum = r.sProxNum;
    model.layout.mProxNum = r.mProxNum;
    model.layout.statusNum = r.statusNum;
    model.pressNum = r.pressNum;
    model.caliNum = r.caliNum;
    model.pressMax = r.pressMax;
    return model;
}

// Registers both resolvers from a type catalogue (findRecord(prg) returns a record pointer or
// null) and a command catalogue (commandLength as CommandLengthResolver).
template <typename FindRecord>
void useCatalogue(FindRecord findRecord, CommandLengthResolver commandLength)
{
    setModelResolver([findRecord](uint8_t prg, SensorModel* model) {
        const auto* record = findRecord(prg);
        if (record)
            *model = modelFromRecord(*record);
        return record != nullptr;
    });
    setCommandLengthResolver(std::move(commandLength));
}

struct BridgeFaults {
    bool failOpen = false;       // OpenDevice returns -1
    int failTransfers = 0;       // the next n transfer calls fail (-1: all of them)
    bool shortRead = false;      // CH341WriteRead reports one byte fewer than it collected
};

struct BridgeConfig {
    BridgeKind kind = BridgeKind::Ch341;
    uint16_t id = 6002;          // what the adapter's scan reads from the name / id text
    bool pca = true;             // a PCA9548 answers at 0x70
    int index = -1;              // device index; -1 = first free one
    bool plugged = true;         // false: added unplugged, plug() it later
    QString nameText;            // replaces the generated CH341 name / CH347 id text when set
};

struct SensorFaults {
    bool nack = false;            // does not acknowledge its address
    bool silent = false;          // acknowledges, but reads give zeros and requests are ignored
    bool frozenSeq = false;       // the sequence byte stops moving
    bool corruptFrameSum = false; // data frames carry a wrong closing sum
    bool corruptAnswerSum = false;// answers carry a wrong closing sum
    bool noAnswers = false;       // requests take effect but are never answered
    QSet<uint8_t> unansweredCodes;// requests of these codes are never answered
    int dropAnswers = 0;          // the next n requests are not answered (counts down)
    uint32_t answerLatencyMs = 1; // a late answer: set it above the reader's patience
};

struct SensorConfig {
    uint8_t prg = 20;             // type code
    uint8_t addr = 0x61;          // 7-bit address
    int port = 0;                 // multiplexer port 0..7; ignored on a bridge without one
    uint8_t id = 0x03;            // id byte (byte 2 of frames and answers)
    QString serial = "VX-000000001";
    uint8_t version[3] = {1, 3, 0};
    uint32_t framePeriodMs = 10;
    uint8_t seqStep = 1;          // the sequence byte moves this much per frame (more: it skips)
    bool bootLoader = false;      // the reset request 0xA1 enters a boot loader
    bool useModel = false;        // true: take `model` instead of asking the resolver
    SensorModel model;
};

// What the sensor keeps of the requests it was sent.
struct SensorState {
    uint8_t addr = 0;
    uint8_t sendType = 0;         // last 0x7F
    uint8_t offset = 0;           // last 0x73
    QVector<QByteArray> requests; // every accepted request, in order
    QVector<QByteArray> rawWrites;// every write transaction's bytes, valid or not
    int answersServed = 0;
    uint32_t lastFrameServed = 0; // number of the data frame the last read got (the sensor's
                                  // frames count from 1, one per period); 0 before any
};

// Empties the world: waits for running plug threads, then removes every bridge and sensor with
// their faults and logs. Resolvers and registered plug routines stay.
void reset();

int addBridge(const BridgeConfig& config);  // returns the bridge handle
int addSensor(int bridge, const SensorConfig& config);  // -1 when the bridge or the model is unknown
bool removeSensor(int sensor);

void setBridgeFaults(int bridge, const BridgeFaults& faults);
void setSensorFaults(int sensor, const SensorFaults& faults);
SensorFaults sensorFaults(int sensor);
SensorState sensorState(int sensor);
void setBootSwitches(int sensor, const BootLoaderSwitches& switches);
BootLoaderState bootState(int sensor);
// The bytes a read of the sensor would give now (data frame or pending answer), without consuming.
QByteArray peekSensor(int sensor, int len);

// Plug changes. Each calls the plug routine registered for the bridge's kind once, from a new
// thread, and returns at once: plug and move with kEventArrived, unplug with kEventRemoved.
// A move is the bridge disappearing from its index and appearing at newIndex.
bool plug(int bridge, int index = -1);
bool unplug(int bridge);
bool move(int bridge, int newIndex);
// Joins every plug thread started so far.
void waitForNotifications();
int deviceIndex(int bridge);  // -1 while unplugged
bool isDeviceOpen(int bridge);

// Moves the simulated clock forward: frames, sequence bytes and answer latencies follow it.
void advanceTime(int64_t ms);
bool plugRoutineRegistered(BridgeKind kind);

// Inspection of a bridge.
QVector<QByteArray> packetLog(int bridge);  // CH341 stream packets, CH347 write buffers, in order
void clearPacketLog(int bridge);
int delayCodeCount(int bridge);             // CH341 stream delay codes seen
uint32_t streamMode(int bridge);            // last CH341SetStream / CH347I2C_Set mode
bool clockStretch(int bridge);              // last CH347I2C_SetStretch, false after power-up
int driverMode(int bridge);                 // last CH347I2C_SetDriverMode, 0 after power-up
int pcaControl(int bridge);                 // multiplexer control byte; -1 without a multiplexer
int pcaResetCount(int bridge);              // falling edges of the multiplexer's reset line
bool pcaResetLineLow(int bridge);

}  // namespace sim
