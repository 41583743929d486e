#include "simI2c.h"

#include <algorithm>

namespace sim {
namespace detail {

void Pca9548::setResetLine(bool low)
{
    if (low && !resetLow_)
        ++resets_;
    resetLow_ = low;
    if (low)
        control_ = 0;
}

I2cBus::I2cBus(bool withPca)
    : pca_(withPca ? std::make_unique<Pca9548>() : nullptr)
{
}

void I2cBus::setResetLine(bool low)
{
    if (pca_)
        pca_->setResetLine(low);
}

void I2cBus::powerUp()
{
    stop();
    if (pca_)
        pca_->powerUp();
}

void I2cBus::start()
{
    if (phase_ != Phase::Idle)
        endSegment();
    phase_ = Phase::Address;
}

bool I2cBus::writeByte(uint8_t byte)
{
    switch (phase_) {
    case Phase::Address: {
        const uint8_t addr = byte >> 1;
        const bool read = byte & 1;
        if (pca_ && addr == kPcaAddress) {
            pcaActive_ = pca_->begin();
        } else {
            // Address 0 is the general call: every reachable sensor takes part.
            for (const auto& s : sensors_) {
                const bool reachable = !pca_ || pca_->routes(s->port());
                const bool addressed = addr == kGeneralCall || s->address() == addr;
                if (reachable && addressed && s->begin(read, now_))
                    active_.push_back(s.get());
            }
        }
        const bool ack = pcaActive_ || !active_.empty();
        phase_ = !ack ? Phase::Refused : read ? Phase::Read : Phase::Write;
        return ack;
    }
    case Phase::Write: {
        bool ack = false;
        if (pcaActive_) {
            pca_->write(byte);
            ack = true;
        }
        for (SimSensor* s : active_)
            ack = s->write(byte) || ack;
        return ack;
    }
    default:
        return false;
    }
}

uint8_t I2cBus::readByte(bool /*ack*/)
{
    if (phase_ != Phase::Read)
        return 0xFF;  // nobody drives the line: the pull-ups read high
    uint8_t value = 0xFF;
    if (pcaActive_)
        value &= pca_->read();
    for (SimSensor* s : active_)
        value &= s->read();
    return value;
}

void I2cBus::stop()
{
    endSegment();
    phase_ = Phase::Idle;
}

void I2cBus::endSegment()
{
    for (SimSensor* s : active_)
        s->end(now_);
    active_.clear();
    pcaActive_ = false;
}

SimSensor* I2cBus::addSensor(std::unique_ptr<SimSensor> sensor)
{
    sensors_.push_back(std::move(sensor));
    return sensors_.back().get();
}

bool I2cBus::removeSensor(const SimSensor* sensor)
{
    active_.erase(std::remove(active_.begin(), active_.end(), sensor), active_.end());
    const auto it = std::find_if(sensors_.begin(), sensors_.end(),
                                 [sensor](const auto& s) { return s.get() == sensor; });
    if (it == sensors_.end())
        return false;
    sensors_.erase(it);
    return true;
}

}  // namespace detail
}  // namespace sim
