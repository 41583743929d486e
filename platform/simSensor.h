#pragma once
// One simulated tactile sensor as an I2C device: it serves data frames and answers, takes request
// frames, and keeps the settings the requests change. Not thread-safe: the world's mutex guards it.

#include "simBus.h"

#include <QByteArray>
#include <QVector>
#include <cstdint>

namespace sim {
namespace detail {

class SimSensor {
public:
    SimSensor(const SensorConfig& config, const SensorModel& model, int64_t nowMs);

    uint8_t address() const { return addr_; }
    int port() const { return config_.port; }
    void setFaults(const SensorFaults& faults, int64_t nowMs);
    const SensorFaults& faults() const { return faults_; }
    SensorState state() const;
    QByteArray peek(int len, int64_t nowMs) const;

    YmodemReceiver& bootLoader() { return boot_; }

    // One transaction segment (from a start to the next start or stop).
    bool begin(bool read, int64_t nowMs);  // false: the address is not acknowledged
    bool write(uint8_t byte);
    uint8_t read();
    void end(int64_t nowMs);

private:
    struct ChannelSettings {
        uint32_t threshold = 0;
        uint8_t excitation = 20;
        uint8_t range = 10;
        uint8_t filterFirst = 4;
        uint8_t filterSecond = 2;
        float filterValue = 0.5f;
        uint32_t timeoutMs = 3000;
    };

    uint32_t frameIndex(int64_t nowMs) const;
    uint8_t sequenceByte(uint32_t frame) const;
    QByteArray dataFrame(int64_t nowMs) const;
    FrameValues valuesAt(uint32_t frame) const;
    // What a read segment starting now serves.
    QByteArray output(int64_t nowMs, bool* isAnswer) const;
    // Byte 2 names the sensor: its id byte, or a byte that means whichever sensor the address
    // reached (simBus.h).
    bool isForMe(const QByteArray& frame) const;
    void takeRequest(const QByteArray& frame, int64_t nowMs);
    // Applies the request's effect; returns the answer, or an empty array for no answer.
    QByteArray respond(const QByteArray& req);
    int answerLength(uint8_t code) const;
    uint8_t applySetting(const QByteArray& req);  // status byte of a setting's answer
    void fillPayload(uint8_t code, const QByteArray& req, QByteArray& answer) const;
    void resetSettings();
    int caliChannels() const { return model_.pressNum + model_.layout.yddsNum; }
    // The boot loader's part of a segment; false where the sensor itself serves it.
    bool bootServesRead() const { return config_.bootLoader && (boot_.active() || boot_.hasOutput()); }
    bool bootTakesWrite(const QByteArray& bytes, int64_t nowMs);

    SensorConfig config_;
    SensorModel model_;
    SensorFaults faults_;
    uint8_t addr_;
    int64_t startMs_;
    uint8_t frozenSeq_ = 0;

    QVector<ChannelSettings> channels_;
    QVector<QVector<uint32_t>> calibration_;  // [calibration channel][point]
    uint8_t sendType_ = 0;
    uint8_t offset_ = 0;
    uint8_t autoDacAtPowerUp_ = 0;
    uint32_t pressRelease_ = 0, proxRelease_ = 0;
    uint8_t pressReleaseScale_ = 0, proxReleaseScale_ = 0;
    uint8_t proxClearFlag_ = 0;
    uint32_t proxClearTimeout_ = 0;

    QByteArray answer_;
    bool answerPending_ = false;
    int64_t answerReadyMs_ = 0;

    YmodemReceiver boot_;

    // The segment in progress.
    bool reading_ = false;
    bool bootReading_ = false;
    int64_t segmentMs_ = 0;
    bool servingAnswer_ = false;
    QByteArray out_;
    int outPos_ = 0;
    QByteArray in_;

    QVector<QByteArray> requests_;
    QVector<QByteArray> rawWrites_;
    int answersServed_ = 0;
    uint32_t lastFrameServed_ = 0;
};

}  // namespace detail
}  // namespace sim
