#pragma once
// Runs a bus worker the way the sensor view does (its own QThread, queued signals both ways) and
// records what it reports, with the time each report reached the test's thread.

#include "fingerThread.h"
#include "sensor_ts.h"
#include "simBus.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>
#include <cstdint>
#include <functional>

class WorkerHarness : public QObject {
    Q_OBJECT
public:
    struct Frame {
        uint8_t infIdx;
        uint8_t addr;
        QVector<uint8_t> pack;
        qint64 atMs;
        qint64 readMs;  // when the worker read it (frameClock)
    };
    struct Rate {
        uint8_t infIdx;
        uint8_t addr;
        uint16_t hz;
        uint16_t rHz;
        qint64 atMs;
        int framesBefore;  // size of frames when it arrived: reports keep the worker's order
    };
    struct Answer {
        uint8_t infIdx;
        uint8_t addr;
        QByteArray req;
        QByteArray rsp;
        bool ok;
        qint64 atMs;
    };
    struct Sensor {
        sensor_ts record;
        qint64 atMs;
    };

    explicit WorkerHarness(uint8_t linkType, QObject* parent = nullptr);
    ~WorkerHarness() override;

    // Starts the thread; the worker then creates its adapter and reports the devices it sees.
    void start();
    // Stops the worker and joins its thread, then takes in the reports still queued.
    void stop();
    bool running() const { return thread.isRunning(); }
    // The running worker (lives in its own thread), null when none.
    fingerThread* workerObject() const { return worker; }

    void connectLink(const QString& id) { emit si_connectCh341(id); }
    void disconnectLink() { emit si_disconnectCh341(); }
    void sendCommand(uint8_t infIdx, uint8_t addr, const QByteArray& cmd, uint16_t rspLen)
    {
        emit si_cmdReq1(infIdx, addr, cmd, rspLen);
    }

    // Waits for a device list that holds id, then connects; true once si_ch341Connected came.
    bool connectWhenListed(const QString& id, int timeoutMs = 5000);
    // Waits until n sensors were found since the start (or the last clear()).
    bool waitForSensors(int n, int timeoutMs = 10000);

    const sensor_ts* found(uint8_t infIdx, uint8_t addr) const;
    int framesOf(uint8_t infIdx, uint8_t addr) const;
    // Empty when every frame reported for the sensor is len bytes of 55 AA id 85 and carries a
    // sequence byte other than the frame before it; else what was wrong.
    QString frameProblem(uint8_t infIdx, uint8_t addr, int len) const;
    // Empty when every rate report of the sensor counts exactly the frames reported since the one
    // before: rHz the frames, hz the steps of their sequence bytes (from 0 at discovery); else
    // the first report that does not.
    QString rateProblem(uint8_t infIdx, uint8_t addr) const;
    qint64 elapsedMs() const { return clock.elapsed(); }
    void clear();
    // Runs change (when given) in the worker's thread and returns how many frames it had reported
    // before: frames from that index on were read after the change. A bridge worker runs it
    // between two ticks, so no transfer overlaps it; a serial one may run it inside a serial wait.
    // Every report sent before it has been taken in on return. -1 when the worker does not take
    // it within timeoutMs, or no worker runs.
    int betweenTicks(const std::function<void()>& change = {}, int timeoutMs = 60000);

    // What the worker reported, in order of arrival.
    QVector<QVector<QString>> lists;
    QVector<Sensor> connected;
    QVector<Sensor> disconnected;
    QVector<Frame> frames;
    QVector<Rate> rates;
    QVector<Answer> answers;
    QStringList events;  // "connected", "disconnected", "found i/0xaa", "gone i/0xaa"
    int linkUps = 0;
    int linkDowns = 0;

signals:
    void si_connectCh341(QString id);
    void si_disconnectCh341();
    void si_cmdReq1(uint8_t infIdx, uint8_t addr, QByteArray cmd, uint16_t rspLen);
    void si_workerThreadStop();

private:
    static QString where(uint8_t infIdx, uint8_t addr);

    uint8_t linkType;
    QThread thread;
    QPointer<fingerThread> worker;
    QElapsedTimer clock;
};

// Building simulated worlds for the worker and reading back what crossed the bus.
namespace workerWorld {

// A deadline that only a hung worker reaches, whatever else the machine is doing.
constexpr int kHangMs = 60000;
constexpr uint16_t kBridgeId = 6002;
// The multiplexer port each of the worker's channels 0..5 selects.
constexpr int kPortOfChannel[6] = {4, 5, 6, 3, 2, 0};

// Empties the world and installs the catalogues; then one plugged bridge.
int freshBridge(sim::BridgeKind kind = sim::BridgeKind::Ch341, bool pca = true, uint16_t id = kBridgeId);
// A sensor on one of the worker's channels (ignored without a multiplexer); returns its handle.
int addSensor(int bridge, int channel, uint8_t addr, uint8_t prg = 20, uint8_t id = 0x03,
              uint32_t framePeriodMs = 5, const QString& serial = QString());
// The request frame the worker builds on a bridge: target 0x03, the parameter in byte 7.
QByteArray bridgeRequest(uint8_t code, uint8_t byte7 = 0);

// One I2C transaction as the CH341 stream packets of a bridge carried it.
struct BusOp {
    bool read = false;
    uint8_t addr = 0;
    int len = 0;       // bytes read
    QByteArray data;   // bytes written after the address
};
QVector<BusOp> ch341Transactions(const QVector<QByteArray>& packets);
// CH347 transfers as logged (address byte, then the bytes written); read lengths are not logged (-1).
QVector<BusOp> ch347Transactions(const QVector<QByteArray>& packets);
QVector<BusOp> transactions(sim::BridgeKind kind, int bridge);
// The control bytes written to the multiplexer, in order.
QVector<uint8_t> pcaWrites(const QVector<BusOp>& ops);

// Each probe (a 4-byte read) as (channel, address); the channel from the last multiplexer byte.
struct Probe {
    int channel;
    uint8_t addr;
};
QVector<Probe> probes(const QVector<BusOp>& ops);

}  // namespace workerWorld
