#pragma once
// The I2C bus of one simulated bridge: start, address byte -> ack, write byte -> ack, read byte
// with or without ack, stop. A PCA9548 at 0x70 (when present) routes every other address to the
// sensors on the ports whose control bits are set; without it the sensors sit on this bus.
// Address 0 (the general call) reaches every reachable sensor, for writes and reads alike.
// Several devices answering one read drive the line together (wired AND).

#include "simSensor.h"

#include <memory>
#include <vector>

namespace sim {
namespace detail {

constexpr uint8_t kGeneralCall = 0x00;

class Pca9548 {
public:
    // A low reset line clears the control byte and keeps the chip off the bus.
    void setResetLine(bool low);
    void powerUp() { control_ = 0; resetLow_ = false; }
    bool inReset() const { return resetLow_; }
    bool routes(int port) const { return !resetLow_ && port >= 0 && port < 8 && (control_ >> port) & 1; }
    uint8_t control() const { return control_; }
    int resets() const { return resets_; }

    bool begin() const { return !resetLow_; }
    void write(uint8_t byte) { control_ = byte; }  // every byte written sets the control byte
    uint8_t read() const { return control_; }

private:
    uint8_t control_ = 0;
    bool resetLow_ = false;
    int resets_ = 0;
};

class I2cBus {
public:
    explicit I2cBus(bool withPca);

    void setNow(int64_t nowMs) { now_ = nowMs; }
    void start();                   // a start, or a repeated start inside a transaction
    bool writeByte(uint8_t byte);   // the first byte after a start is the address byte
    uint8_t readByte(bool ack);
    void stop();

    Pca9548* pca() { return pca_.get(); }
    const Pca9548* pca() const { return pca_.get(); }
    void setResetLine(bool low);
    void powerUp();  // ends any transaction and clears the multiplexer

    SimSensor* addSensor(std::unique_ptr<SimSensor> sensor);
    bool removeSensor(const SimSensor* sensor);
    const std::vector<std::unique_ptr<SimSensor>>& sensors() const { return sensors_; }

private:
    enum class Phase { Idle, Address, Write, Read, Refused };
    void endSegment();

    std::unique_ptr<Pca9548> pca_;
    std::vector<std::unique_ptr<SimSensor>> sensors_;
    std::vector<SimSensor*> active_;
    bool pcaActive_ = false;
    Phase phase_ = Phase::Idle;
    int64_t now_ = 0;
};

}  // namespace detail
}  // namespace sim
