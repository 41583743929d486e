// How soon the bus worker finds a sensor again that fell silent long enough to be removed: on the
// simulated CH341 bridge (with its PCA9548, the sensor on channel 1, another on channel 4) and on a
// serial line (a pseudo-terminal whose far end plays two sensors, tests/support/serialSensorPeer).
// The silence lasts until the worker reports the sensor gone; then it answers again. Printed per
// run: the time from falling silent to being reported gone and from answering again to being found.
//
//     refind_bench [--runs N]      (default 3 per link)

#include "benchSupport.h"
#include "class_uart.h"
#include "ptyPair.h"
#include "serialSensorPeer.h"
#include "workerHarness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <memory>

namespace {

constexpr int kDefaultRuns = 3;
constexpr int kFoundMs = 60000;
constexpr int kRefindMs = 600000;  // a whole pass of the serial address walk, many times over
constexpr uint32_t kPeriodMs = 5;

struct Times {
    double goneMs = -1;   // from falling silent to the gone report
    double foundMs = -1;  // from answering again to the found report
};

// Runs the worker until the sensor at 0x61 was found, silences it with mute(true) until it is
// reported gone, lets it answer again and waits until it is found once more.
Times refind(WorkerHarness& worker, const QString& device, const std::function<void(bool)>& mute)
{
    Times t;
    worker.start();
    if (!worker.connectWhenListed(device, kFoundMs) || !worker.waitForSensors(2, kFoundMs)) {
        std::fprintf(stderr, "the sensors were not found\n");
        return t;
    }
    QElapsedTimer clock;
    clock.start();
    mute(true);
    if (!QTest::qWaitFor([&] { return !worker.disconnected.isEmpty(); }, kFoundMs)) {
        std::fprintf(stderr, "the silent sensor was not reported gone\n");
        return t;
    }
    t.goneMs = double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    mute(false);
    if (!QTest::qWaitFor([&] { return worker.connected.size() == 3; }, kRefindMs)) {
        std::fprintf(stderr, "the sensor was not found again\n");
        return t;
    }
    t.foundMs = double(clock.nsecsElapsed()) / 1e6;
    worker.stop();
    return t;
}

Times bridgeRun()
{
    const int bridge = workerWorld::freshBridge();
    const int sensor = workerWorld::addSensor(bridge, 1, 0x61, 20, 0x03, kPeriodMs);
    workerWorld::addSensor(bridge, 4, 0x62, 43, 0x04, kPeriodMs);
    WorkerHarness worker(fingerThread::LinkCh341);
    return refind(worker, QString::number(workerWorld::kBridgeId), [sensor](bool silent) {
        sim::SensorFaults f;
        f.silent = silent;
        sim::setSensorFaults(sensor, f);
    });
}

Times serialRun()
{
    PtyPair pty;
    if (!pty.isOpen())
        return Times();
    SerialSensorPeer peer(pty);
    SerialSensorPeer::Sensor s;
    s.framePeriodMs = kPeriodMs;
    s.addr = 0x61;
    s.serial = "VX-REFIND-61";
    const int first = peer.addSensor(s);
    s.addr = 0x62;
    s.prg = 43;
    s.serial = "VX-REFIND-62";
    peer.addSensor(s);
    peer.start();
    class_uart::setExtraPortNames({pty.slavePath()});
    Times t;
    {
        WorkerHarness worker(fingerThread::LinkSerial);
        t = refind(worker, pty.slavePath(), [&](bool silent) {
            peer.update(first, [silent](SerialSensorPeer::Sensor& x) { x.mute = silent; });
        });
    }
    class_uart::setExtraPortNames({});
    return t;
}

void quiet(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

}  // namespace

int main(int argc, char** argv)
{
    bench::Sandbox sandbox;
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    const int runs = std::max(1, bench::intOption(argc, argv, "--runs", kDefaultRuns));
    std::printf("refind bench: a sensor silent until reported gone, then answering again; %d runs per link\n", runs);
    const struct {
        const char* name;
        Times (*run)();
    } links[] = {{"CH341 bridge", bridgeRun}, {"serial line", serialRun}};
    for (const auto& link : links) {
        for (int i = 0; i < runs; ++i) {
            const Times t = link.run();
            if (t.foundMs < 0)
                return 1;
            std::printf("  %-12s  gone %.0f ms after falling silent, found %.1f s after answering again\n", link.name,
                        t.goneMs, t.foundMs / 1000);
        }
    }
    return 0;
}
