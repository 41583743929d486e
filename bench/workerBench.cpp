// Load figures of the bus worker on the simulated CH341 bridge with a PCA9548: six sensors, one per
// channel (types 43 and 20 by turns), each making a frame every millisecond.
//
//     worker_bench [seconds]      (default 10)
//
// Prints per sensor the frames the simulated sensor produced (the steps of its sequence byte)
// beside those the worker reported, with the line "captured: R of P frames produced (X %)", the
// frames delivered per second, the worker thread's CPU time per delivered frame and, with the
// link connected and no sensor on the bus, the worker's share of one core.
// CPU time is the worker thread's own clock (CLOCK_THREAD_CPUTIME_ID); it includes the simulated
// bridge library, which runs in the worker's thread as the real one would. The window opens after
// discovery: while polling and probing empty addresses the worker does not sleep, so the figures
// are bus work only, not waiting.

#include "class_sensorCmd.h"
#include "fingerParams.h"
#include "fingerThread.h"
#include "frameCapture.h"
#include "simBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaType>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <vector>

namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kIdleMaxSeconds = 5;
constexpr int kDiscoveryTimeoutMs = 30000;
constexpr uint16_t kBridgeId = 6002;
constexpr int kChannels = 6;
constexpr int kPortOfChannel[kChannels] = {4, 5, 6, 3, 2, 0};  // the worker's channel masks
constexpr uint8_t kTypes[2] = {43, 20};
constexpr uint8_t kSensorAddr = 0x61;
constexpr uint32_t kFramePeriodMs = 1;
constexpr int kSeqByte = 4;  // of a data frame
constexpr double kFrameTargetUs = 20;
constexpr double kIdleTargetPercent = 5;

void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

void registerTypes()
{
    qRegisterMetaType<uint8_t>("uint8_t");
    qRegisterMetaType<uint16_t>("uint16_t");
    qRegisterMetaType<QVector<uint8_t>>("QVector<uint8_t>");
    qRegisterMetaType<QVector<QString>>("QVector<QString>");
    qRegisterMetaType<sensor_ts>("sensor_ts");
}

int commandLength(uint8_t code)
{
    for (const sensorCmd_ts& c : cmds)
        if (c.code == code)
            return c.rspLen;
    return code == 0xA6 ? 11 : -1;
}

double threadCpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One worker in its own thread, connected to the simulated bridge, as the sensor view runs it.
class Run {
public:
    Run()
    {
        worker = new fingerThread(fingerThread::LinkCh341);
        worker->moveToThread(&thread);
        QObject::connect(&thread, &QThread::started, worker, &fingerThread::started);
        QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        QObject::connect(worker, &fingerThread::si_ch341ListUpdate, &receiver, [this](QVector<QString> l) { list = l; });
        QObject::connect(worker, &fingerThread::si_ch341Connected, &receiver, [this] { connected = true; });
        QObject::connect(worker, &fingerThread::si_connectedSensor, &receiver, [this](sensor_ts) { ++sensors; });
        QObject::connect(worker, &fingerThread::si_updateData1, &receiver,
                         [this](uint8_t ch, uint8_t, QVector<uint8_t> pack, qint64 readMs) {
                             const int c = ch % kChannels;
                             ++frames[c];
                             if (counting && pack.size() > kSeqByte)
                                 capture[c].add(counts[c].add(pack[kSeqByte], readMs));
                         });
        thread.start();
    }
    ~Run()
    {
        QMetaObject::invokeMethod(worker, "stop", Qt::QueuedConnection);
        thread.quit();
        thread.wait();
    }

    bool connect()
    {
        const QString id = QString::number(kBridgeId);
        if (!waitFor([&] { return list.contains(id); }, kDiscoveryTimeoutMs))
            return false;
        QMetaObject::invokeMethod(worker, "sl_connectCh341", Qt::QueuedConnection, Q_ARG(QString, id));
        if (!waitFor([&] { return connected; }, kDiscoveryTimeoutMs))
            return false;
        QMetaObject::invokeMethod(
            worker, [this] { pthread_getcpuclockid(pthread_self(), &cpuClock); }, Qt::BlockingQueuedConnection);
        return true;
    }

    QThread thread;
    fingerThread* worker = nullptr;
    QObject receiver;
    QVector<QString> list;
    bool connected = false;
    int sensors = 0;
    qint64 frames[kChannels] = {};
    bool counting = false;  // from the first report of the measured window
    std::vector<FrameCapture> counts = std::vector<FrameCapture>(kChannels, FrameCapture(kFramePeriodMs));
    CaptureTally capture[kChannels];
    clockid_t cpuClock{};
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietDebug);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultSeconds;
    registerTypes();
    sim::useCatalogue(findFingerParam, commandLength);

    // Idle: connected, nothing on the bus but the multiplexer.
    sim::reset();
    sim::BridgeConfig bridge;
    bridge.kind = sim::BridgeKind::Ch341;
    bridge.id = kBridgeId;
    sim::addBridge(bridge);
    double idlePercent = 0;
    {
        Run run;
        if (!run.connect()) {
            std::fprintf(stderr, "idle: the bridge did not connect\n");
            return 1;
        }
        const int idleMs = 1000 * std::min(seconds, kIdleMaxSeconds);
        const double cpu0 = threadCpuMs(run.cpuClock);
        QElapsedTimer wall;
        wall.start();
        runFor(idleMs);
        idlePercent = 100 * (threadCpuMs(run.cpuClock) - cpu0) / double(wall.elapsed());
    }

    // Load: six sensors, one per channel.
    sim::reset();
    const int b = sim::addBridge(bridge);
    for (int ch = 0; ch < kChannels; ++ch) {
        sim::SensorConfig s;
        s.prg = kTypes[ch % 2];
        s.addr = kSensorAddr;
        s.port = kPortOfChannel[ch];
        s.id = uint8_t(0x10 + ch);
        s.framePeriodMs = kFramePeriodMs;
        if (sim::addSensor(b, s) < 0) {
            std::fprintf(stderr, "type %d has no model\n", s.prg);
            return 1;
        }
    }
    Run run;
    if (!run.connect() || !waitFor([&] { return run.sensors == kChannels; }, kDiscoveryTimeoutMs)) {
        std::fprintf(stderr, "load: found %d of %d sensors\n", run.sensors, kChannels);
        return 1;
    }
    runFor(200);  // let the last registration's answers settle
    for (qint64& f : run.frames)
        f = 0;
    run.counting = true;
    const double cpu0 = threadCpuMs(run.cpuClock);
    QElapsedTimer wall;
    wall.start();
    runFor(1000 * seconds);
    const double cpuMs = threadCpuMs(run.cpuClock) - cpu0;
    const double wallS = wall.elapsed() / 1000.0;
    run.counting = false;

    qint64 total = 0;
    CaptureTally all;
    std::printf("worker bench: CH341 + PCA9548, %d sensors, frame period %u ms, %d s\n", kChannels,
                kFramePeriodMs, seconds);
    for (int ch = 0; ch < kChannels; ++ch) {
        total += run.frames[ch];
        all.add(run.capture[ch]);
        std::printf("  channel %d (type %d): %lld produced, %lld reported, %.0f frames/s\n", ch, kTypes[ch % 2],
                    static_cast<long long>(run.capture[ch].produced), static_cast<long long>(run.capture[ch].captured),
                    run.frames[ch] / wallS);
    }
    std::printf("%s\n", qPrintable(all.line()));
    const double usPerFrame = total ? 1000.0 * cpuMs / double(total) : 0;
    std::printf("worker CPU per delivered frame: %.2f us (target <= %.0f us)\n", usPerFrame, kFrameTargetUs);
    std::printf("worker CPU share while polling: %.1f %% of one core\n", 100 * cpuMs / (1000 * wallS));
    std::printf("worker CPU share connected, no sensor: %.2f %% of one core (target <= %.0f %%)\n", idlePercent,
                kIdleTargetPercent);
    return 0;
}
