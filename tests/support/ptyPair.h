#pragma once
// A pseudo-terminal pair for serial tests: the code under test opens slavePath() like a serial
// port, the test plays the far end on the master side.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

class PtyPair {
public:
    // Opens the pair in raw mode; isOpen() tells whether that worked.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isOpen() const { return master >= 0; }
    QString slavePath() const { return path; }
    int masterFd() const { return master; }

    // Writes all bytes to the master side (the slave reads them).
    void write(const QByteArray& data);
    // Everything that arrives on the master side within timeoutMs; pending events of this thread
    // run while it waits.
    QByteArray read(int timeoutMs);
    // Closes the master so that the slave side sees a hang-up.
    void hangUp();

    // Writes bytes into the line from the slave side, behind everything written there before: a
    // marker that tells the far end that all the code under test wrote so far has arrived.
    void writeBehind(const QByteArray& bytes);
    // Everything the slave side wrote so far: pending events run first (so a port in this thread
    // sends what it buffered), then a marker goes behind it and the master is read up to it.
    // Without the marker within deadlineMs (a hang), what came is returned with a warning.
    QByteArray readAllWritten(int deadlineMs = 10000);
    // The marker of readAllWritten(); peers that serve the master side take it as noise.
    static QByteArray marker();

    // For a peer serving the master side from its own thread (no events run): appends what
    // arrives within sliceMs to *out and returns how many bytes that was.
    int readSome(QByteArray* out, int sliceMs);
    // Writes all bytes, waiting for room while keepGoing() holds, at most giveUpMs in all.
    void writeAll(const QByteArray& bytes, const std::function<bool()>& keepGoing, int giveUpMs);

private:
    int master = -1;
    int slave = -1;  // kept open so the line stays up until hangUp()
    QString path;
};

// The thread a peer serves the master side from: body runs until stop(); running() tells it.
class PeerThread {
public:
    PeerThread() = default;
    ~PeerThread() { stop(); }
    PeerThread(const PeerThread&) = delete;
    PeerThread& operator=(const PeerThread&) = delete;

    void start(std::function<void()> body)
    {
        if (on.exchange(true))
            return;
        worker = std::thread(std::move(body));
    }
    void stop()
    {
        on = false;
        if (worker.joinable())
            worker.join();
    }
    bool running() const { return on.load(); }

private:
    std::atomic<bool> on{false};
    std::thread worker;
};
