#pragma once
// A sensor's boot loader on the master side of a pseudo-terminal: the code under test opens the
// slave like a serial port. A reset request (AA 55 .. A1 .., 11 bytes with their sum) enters the
// loader, which then receives firmware with YMODEM (sim::YmodemReceiver, as on the simulated
// I2C bus). Bytes outside a packet are skipped; a packet cut short is dropped once the line has
// been quiet for a character time-out.
//
//     PtyPair pty;
//     SerialBootPeer peer(pty);
//     peer.start();                  // serves the line from its own thread
//     ... flash ...
//     peer.resets();                 // each reset frame with the line rate it came at
//     peer.state().image;            // what the loader received

#include "ptyPair.h"
#include "simBootLoader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QVector>
#include <mutex>


class SerialBootPeer {
public:
    struct Reset {
        QByteArray frame;
        int rate = 0;  // the line rate (termios) when it came
    };

    explicit SerialBootPeer(PtyPair& pty);
    ~SerialBootPeer();
    SerialBootPeer(const SerialBootPeer&) = delete;
    SerialBootPeer& operator=(const SerialBootPeer&) = delete;

    void setSwitches(const sim::BootLoaderSwitches& switches);
    void start();
    void stop();

    QVector<Reset> resets() const;
    sim::BootLoaderState state() const;
    int transferRate() const;  // the line rate when the first packet after a reset came; 0: none
    int partialsDropped() const;  // packets cut short and dropped after the character time-out

    static constexpr int kCharTimeoutMs = 50;

private:
    void run();
    void take(const QByteArray& bytes, int64_t nowMs);
    int lineRate() const;

    PtyPair& pty;
    mutable std::mutex lock;
    sim::YmodemReceiver receiver;
    QVector<Reset> resetFrames;
    QByteArray frameBuf;  // a possible reset frame, outside any packet
    int rateOfTransfer = 0;
    int dropped = 0;
    QElapsedTimer clock;
    PeerThread thread;  // last: stopped before the state it reads goes
};
