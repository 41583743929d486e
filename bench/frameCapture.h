#pragma once
// Counting a sensor's frames at the bus. A sensor advances its sequence byte by one for every frame
// it makes, so the steps of that byte between the frames the worker reported tell how many frames
// the sensor produced, and how many of them the worker never read. A step that wrapped past 256
// frames (the worker held up for that long) is told by the time between the two reads.
//
//     FrameCapture c(periodMs);
//     CaptureTally tally;
//     for each report (sequence byte, read time): tally.add(c.add(seq, readMs));
//     puts(tally.line());   // "captured: R of P frames produced (X %)"

#include <QString>
#include <QtGlobal>
#include <cmath>
#include <cstdint>

class FrameCapture {
public:
    explicit FrameCapture(double framePeriodMs) : periodMs(framePeriodMs > 0 ? framePeriodMs : 1) {}

    // The frames the sensor made since the report before, this one included: 1 for the first.
    qint64 add(uint8_t seq, qint64 readMs)
    {
        qint64 made = 1;
        if (started) {
            const int step = uint8_t(seq - lastSeq);  // 1..255: an unchanged byte is not reported
            const double byTime = double(readMs - lastMs) / periodMs;
            const double wraps = std::round((byTime - step) / 256.0);
            made = step + 256 * qint64(std::max(0.0, wraps));
        }
        started = true;
        lastSeq = seq;
        lastMs = readMs;
        return made;
    }

private:
    double periodMs;
    bool started = false;
    uint8_t lastSeq = 0;
    qint64 lastMs = 0;
};

// Frames reported against frames produced, over one sensor or many.
struct CaptureTally {
    qint64 captured = 0;
    qint64 produced = 0;

    void add(qint64 made)
    {
        ++captured;
        produced += made;
    }
    void add(const CaptureTally& other)
    {
        captured += other.captured;
        produced += other.produced;
    }
    qint64 lost() const { return produced - captured; }
    // Rounded down, so that a single lost frame never shows as 100 %.
    double percent() const { return produced ? std::floor(10000.0 * double(captured) / double(produced)) / 100.0 : 100.0; }
    QString line() const
    {
        return QString::asprintf("captured: %lld of %lld frames produced (%.2f %%)", static_cast<long long>(captured),
                                 static_cast<long long>(produced), percent());
    }
};
