#pragma once
// What the GUI benches share: a sandbox that keeps every file they write under one temporary
// folder, a quiet message log, the process's own memory and per-thread CPU figures from /proc,
// and data frames of a catalogue type whose values change from frame to frame.

#include <QTemporaryDir>
#include <QString>
#include <QThread>
#include <QVector>
#include <atomic>
#include <cstdint>
#include <sys/types.h>

class QTcpServer;

namespace bench {

// Made before the application object: the tests' sandbox (HOME and XDG_* in a temporary folder,
// where the settings files land; the offscreen platform unless QT_QPA_PLATFORM names one), the
// program folder and with it the data logs in there too, and message boxes, restarts and the
// file manager as lines on stderr, so nothing waits on a dialog or starts a process.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    bool isValid() const { return dir.isValid(); }
    QString path() const { return dir.path(); }
    QString programDir() const { return dir.path() + "/program"; }
    int warnings() const;  // message boxes that would have been shown

private:
    QTemporaryDir dir;
};

// Drops debug and info lines (the panels log their life and every request); warnings stay.
void installQuietLog();

// Arguments of the form "--name value"; the default when the option is absent or not a number.
int intOption(int argc, char** argv, const char* name, int fallback);

struct Memory {
    qint64 rssKb = 0;  // VmRSS
    qint64 hwmKb = 0;  // VmHWM, the peak
};
Memory memory();

pid_t currentTid();
// User plus system CPU time of one thread of this process, in seconds; -1 when unreadable.
double threadCpuSeconds(pid_t tid);
// CPU time of the calling thread in seconds, at nanosecond resolution.
double threadCpuNow();
// Seconds since this process was started by the kernel (10 ms resolution of /proc/self/stat).
double secondsSinceProcessStart();

using Pack = QVector<uint8_t>;
// count valid data frames of a type code, as the worker hands them over: values, forces,
// directions, proximity and touch bits differ between neighbouring frames and the sequence
// byte advances. Empty when the catalogue has no record for the code.
QVector<Pack> framesOf(uint8_t typeCode, int count, uint8_t id = 1);

// The waveform viewer's end of a FireWater stream: a loopback server in a thread of its own (so
// that the thread being measured does not pay for receiving) that counts the lines it receives.
class LineServer {
public:
    LineServer();
    ~LineServer();
    LineServer(const LineServer&) = delete;
    LineServer& operator=(const LineServer&) = delete;
    bool listen();
    quint16 port() const { return serverPort; }
    qint64 lines() const { return count.load(); }
    // Runs the caller's event loop until no line came for quietMs: what was sent has arrived.
    void settle(int quietMs = 200) const;

private:
    QThread thread;
    QObject* context;              // lives in thread, with the server and its sockets
    QTcpServer* server = nullptr;
    quint16 serverPort = 0;
    std::atomic<qint64> count{0};
};

}  // namespace bench
