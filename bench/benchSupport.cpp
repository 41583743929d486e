#include "benchSupport.h"

#include "fingerParams.h"
#include "hooks.h"
#include "simBus.h"
#include "testMain.h"

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace bench {
namespace {

std::atomic<int> warningCount{0};

// Frame values cycle through this many steps: long enough that neighbouring frames differ in
// every field, short enough that gauges and bars sweep their whole range.
constexpr uint32_t kValueSteps = 64;
constexpr float kForceStep = 0.25f;  // newtons per step, exact in every point format
constexpr uint32_t kDegreesPerTurn = 360;
constexpr uint32_t kProxMax = 0xFFFFFF;  // proximity values are 24-bit
// A channel's touch flag holds for this many frames (a press, then a release); the channels are
// staggered, so on a large sensor some flag changes in most frames.
constexpr uint32_t kTouchFrames = 32;

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    // The offscreen platform says so for every window it shows.
    if (type == QtDebugMsg || type == QtInfoMsg || text.contains("propagateSizeHints"))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// utime and stime (fields 14 and 15) of a /proc stat line; the name in parentheses may hold spaces.
double cpuTicksOfStat(const QByteArray& stat)
{
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');  // from field 3 on
    constexpr int kUtime = 14 - 3;
    constexpr int kStime = 15 - 3;
    if (fields.size() <= kStime)
        return -1;
    return fields[kUtime].toDouble() + fields[kStime].toDouble();
}

QByteArray readProc(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

Sandbox::Sandbox()
{
    testenv::prepare(dir);
    hooks::setProgramDir(programDir());
    hooks::setWarning([](const QString& title, const QString& text) {
        ++warningCount;
        std::fprintf(stderr, "warning box: %s: %s\n", qPrintable(title), qPrintable(text));
    });
    hooks::setQuestion([](const QString& title, const QString&, QMessageBox::StandardButtons,
                          QMessageBox::StandardButton defaultButton) {
        std::fprintf(stderr, "question box: %s\n", qPrintable(title));
        return defaultButton;
    });
    hooks::setRestart([] { std::fprintf(stderr, "restart asked for\n"); });
    hooks::setOpenFolder([](const QString&) { return false; });
}

Sandbox::~Sandbox()
{
    hooks::setProgramDir(QString());
}

int Sandbox::warnings() const
{
    return warningCount;
}

void installQuietLog()
{
    qInstallMessageHandler(quietHandler);
}

int intOption(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) != 0)
            continue;
        bool ok = false;
        const int v = QString::fromLocal8Bit(argv[i + 1]).toInt(&ok);
        return ok ? v : fallback;
    }
    return fallback;
}

Memory memory()
{
    Memory m;
    const QString status = QString::fromLatin1(readProc("/proc/self/status"));
    const QRegularExpression line("^(VmRSS|VmHWM):\\s+(\\d+) kB$", QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(status); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        (match.captured(1) == "VmRSS" ? m.rssKb : m.hwmKb) = match.captured(2).toLongLong();
    }
    return m;
}

pid_t currentTid()
{
    return pid_t(syscall(SYS_gettid));
}

double threadCpuSeconds(pid_t tid)
{
    const double ticks = cpuTicksOfStat(readProc(QString("/proc/self/task/%1/stat").arg(tid)));
    return ticks < 0 ? -1 : ticks / double(sysconf(_SC_CLK_TCK));
}

double threadCpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double secondsSinceProcessStart()
{
    // Field 22, the start time in clock ticks after boot, as CLOCK_BOOTTIME counts.
    const QByteArray stat = readProc("/proc/self/stat");
    const int close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    constexpr int kStartTime = 22 - 3;
    if (close < 0 || fields.size() <= kStartTime)
        return -1;
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double started = fields[kStartTime].toDouble() / double(sysconf(_SC_CLK_TCK));
    return double(now.tv_sec) + now.tv_nsec / 1e9 - started;
}

LineServer::LineServer() : context(new QObject)
{
    context->moveToThread(&thread);
    thread.start();
}

LineServer::~LineServer()
{
    // The server and its sockets go in their own thread.
    QMetaObject::invokeMethod(context, [this] { delete context; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

bool LineServer::listen()
{
    bool ok = false;
    QMetaObject::invokeMethod(
        context,
        [this, &ok] {
            server = new QTcpServer(context);
            QObject::connect(server, &QTcpServer::newConnection, server, [this] {
                while (QTcpSocket* s = server->nextPendingConnection()) {
                    s->setParent(server);
                    QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { count += s->readAll().count('\n'); });
                }
            });
            ok = server->listen(QHostAddress::LocalHost);
            serverPort = server->serverPort();
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

void LineServer::settle(int quietMs) const
{
    qint64 seen = -1;
    while (seen != lines()) {
        seen = lines();
        QEventLoop loop;
        QTimer::singleShot(quietMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

QVector<Pack> framesOf(uint8_t typeCode, int count, uint8_t id)
{
    QVector<Pack> frames;
    const finger_param_ts* record = findFingerParam(typeCode);
    if (!record)
        return frames;
    const sim::FrameLayout layout = sim::modelFromRecord(*record).layout;
    frames.reserve(count);
    for (int n = 0; n < count; ++n) {
        const uint32_t step = uint32_t(n) % kValueSteps;
        sim::FrameValues v;
        for (int i = 0; i < record->chNum; ++i) {  // bit 0 is the touch flag
            const uint32_t touched = ((uint32_t(n) + uint32_t(i) * 5u) / kTouchFrames) & 1u;
            v.channels.append(((step * 131u + uint32_t(i) * 977u) << 1) | touched);
        }
        for (int k = 0; k < record->yddsNum; ++k) {
            sim::ForcePoint p;
            p.normal = float((step + uint32_t(k) * 7u) % kValueSteps) * kForceStep;
            p.tangential = float((step * 3u + uint32_t(k)) % kValueSteps) * kForceStep;
            p.direction = uint16_t((step * 23u + uint32_t(k) * 90u) % kDegreesPerTurn);
            v.points.append(p);
        }
        for (int i = 0; i < record->sProxNum; ++i)
            v.sProx.append((step * 4099u + uint32_t(i) * 65537u) % kProxMax);
        for (int i = 0; i < record->mProxNum; ++i)
            v.mProx.append((step * 8191u + uint32_t(i) * 32771u) % kProxMax);
        v.status = uint8_t(step & 0x3);
        const QByteArray frame = sim::buildDataFrame(layout, id, uint8_t(n), v);
        frames.append(Pack(frame.begin(), frame.end()));
    }
    return frames;
}

}  // namespace bench
