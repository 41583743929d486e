#pragma once
// The sensor view on the simulated bus, as a user runs it: one CH341 bridge with its multiplexer,
// sensors on the worker's channels, the view shown, started and connected; then each sensor's
// panel and model view, found by the panel's window name.

#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>

class QMdiSubWindow;
class class_finger;
class fingerForm;
class orvalisForm;

class SensorViewFixture {
public:
    // Discovery, a panel and its first frames take a second or two on the simulated bus; only a
    // hang runs out of this.
    static constexpr int kFoundMs = 30000;

    SensorViewFixture();
    ~SensorViewFixture();

    // In init(): an empty simulated world with one plugged bridge, and a sensor view of that size,
    // shown and exposed.
    void open(QSize size);
    // In cleanup(): the view goes first (its worker is joined), then the simulated world.
    void close();

    // A sensor on one of the worker's channels 0..5; its handle in the simulator.
    int addSensor(int channel, uint8_t addr, uint8_t prg = 20, const QString& serial = QString(),
                  uint32_t framePeriodMs = 5);
    // Starts the view and connects the bridge as soon as the view lists it.
    void startAndConnect();

    QMdiSubWindow* window(int channel, uint8_t addr) const;
    fingerForm* panel(int channel, uint8_t addr) const;
    // The panels the display clock lets wait behind the one in front show their latest decoded
    // frame now; the one in front is left to its clock. True, so that a QTRY condition can start
    // with it.
    bool showCoveredFrames() const;
    // Every panel, the one in front too, shows the frame its decoder read last: for comparing a
    // view with the decoder's values between two frames.
    void showAllFrames() const;
    // The sensor's model view once its panel has made one; null when none came within timeoutMs.
    class_finger* waitForView(int channel, uint8_t addr, int timeoutMs = kFoundMs) const;

    std::unique_ptr<orvalisForm> view;
    int bridge = -1;
};
