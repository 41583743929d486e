#include "serialBootPeer.h"

#include "ptyPair.h"

#include <termios.h>

namespace {

constexpr int kResetLen = 11;
constexpr int kSliceMs = 2;
constexpr int kWriteGiveUpMs = 2000;
constexpr int kMaxOut = 4096;

int rateOf(speed_t speed)
{
    struct Rate {
        speed_t code;
        int rate;
    };
    static constexpr Rate kRates[] = {{B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                                      {B57600, 57600},   {B115200, 115200}, {B230400, 230400},
                                      {B460800, 460800}, {B576000, 576000}, {B921600, 921600}};
    for (const Rate& r : kRates)
        if (r.code == speed)
            return r.rate;
    return -1;
}

}  // namespace

SerialBootPeer::SerialBootPeer(PtyPair& pty) : pty(pty) { clock.start(); }

SerialBootPeer::~SerialBootPeer() { stop(); }

void SerialBootPeer::setSwitches(const sim::BootLoaderSwitches& switches)
{
    std::lock_guard<std::mutex> guard(lock);
    receiver.setSwitches(switches);
}

void SerialBootPeer::start()
{
    thread.start([this] { run(); });
}

void SerialBootPeer::stop()
{
    thread.stop();
}

QVector<SerialBootPeer::Reset> SerialBootPeer::resets() const
{
    std::lock_guard<std::mutex> guard(lock);
    return resetFrames;
}

sim::BootLoaderState SerialBootPeer::state() const
{
    std::lock_guard<std::mutex> guard(lock);
    return receiver.state();
}

int SerialBootPeer::transferRate() const
{
    std::lock_guard<std::mutex> guard(lock);
    return rateOfTransfer;
}

int SerialBootPeer::partialsDropped() const
{
    std::lock_guard<std::mutex> guard(lock);
    return dropped;
}

int SerialBootPeer::lineRate() const
{
    termios t{};
    return tcgetattr(pty.masterFd(), &t) == 0 ? rateOf(cfgetospeed(&t)) : -1;
}

void SerialBootPeer::run()
{
    int64_t lastByteMs = 0;
    while (thread.running()) {
        QByteArray in;
        const bool got = pty.readSome(&in, kSliceMs) > 0;
        const int64_t now = clock.elapsed();
        QByteArray out;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (got) {
                lastByteMs = now;
                take(in, now);
            } else if (now - lastByteMs > kCharTimeoutMs) {
                frameBuf.clear();
                if (receiver.inPacket())
                    ++dropped;
                receiver.dropPartial();
            }
            out = receiver.take(now, kMaxOut);
        }
        if (!out.isEmpty())
            pty.writeAll(out, [this] { return thread.running(); }, kWriteGiveUpMs);
    }
}

// Splits the host's bytes into reset frames (outside a packet) and what the loader reads.
void SerialBootPeer::take(const QByteArray& bytes, int64_t nowMs)
{
    for (char c : bytes) {
        const bool frameStart = uint8_t(c) == 0xAA && !receiver.inPacket();
        if (frameBuf.isEmpty() && !frameStart) {
            const int before = receiver.state().packets.size();
            receiver.feed(QByteArray(1, c), nowMs);
            if (before == 0 && receiver.state().packets.size() == 1)
                rateOfTransfer = lineRate();
            continue;
        }
        frameBuf.append(c);
        const bool stillFrame = frameBuf.size() < 2 || uint8_t(frameBuf[1]) == 0x55;
        if (stillFrame && frameBuf.size() < kResetLen)
            continue;
        if (stillFrame && sim::isBootRequest(frameBuf)) {
            resetFrames.append({frameBuf, lineRate()});
            rateOfTransfer = 0;
            receiver.enter(nowMs);
        } else {
            receiver.feed(frameBuf, nowMs);
        }
        frameBuf.clear();
    }
}
