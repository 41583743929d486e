#include "workerHarness.h"

#include "class_sensorCmd.h"
#include "simCatalogue.h"

#include <QCoreApplication>
#include <algorithm>
#include <memory>
#include <QMetaType>
#include <QTest>

namespace {

void registerWorkerTypes()
{
    qRegisterMetaType<uint8_t>("uint8_t");
    qRegisterMetaType<uint16_t>("uint16_t");
    qRegisterMetaType<QVector<uint8_t>>("QVector<uint8_t>");
    qRegisterMetaType<QVector<uint16_t>>("QVector<uint16_t>");
    qRegisterMetaType<QVector<QString>>("QVector<QString>");
    qRegisterMetaType<sensor_ts>("sensor_ts");
}

}  // namespace

WorkerHarness::WorkerHarness(uint8_t linkType, QObject* parent) : QObject(parent), linkType(linkType)
{
    registerWorkerTypes();
    clock.start();
}

WorkerHarness::~WorkerHarness() { stop(); }

QString WorkerHarness::where(uint8_t infIdx, uint8_t addr)
{
    return QString::asprintf("%d/0x%02x", infIdx, addr);
}

void WorkerHarness::start()
{
    if (thread.isRunning())
        return;
    auto* w = new fingerThread(linkType);
    worker = w;
    w->moveToThread(&thread);
    connect(&thread, &QThread::started, w, &fingerThread::started);
    connect(&thread, &QThread::finished, w, &QObject::deleteLater);
    connect(this, &WorkerHarness::si_workerThreadStop, w, &fingerThread::stop);
    connect(this, &WorkerHarness::si_connectCh341, w, &fingerThread::sl_connectCh341);
    connect(this, &WorkerHarness::si_disconnectCh341, w, &fingerThread::sl_disconnectCh341);
    connect(this, &WorkerHarness::si_cmdReq1, w, &fingerThread::sl_cmdReq1);

    connect(w, &fingerThread::si_ch341ListUpdate, this, [this](QVector<QString> list) { lists.append(list); });
    connect(w, &fingerThread::si_ch341Connected, this, [this] {
        ++linkUps;
        events << "connected";
    });
    connect(w, &fingerThread::si_ch341Disconnected, this, [this] {
        ++linkDowns;
        events << "disconnected";
    });
    connect(w, &fingerThread::si_connectedSensor, this, [this](sensor_ts s) {
        connected.append({s, elapsedMs()});
        events << "found " + where(s.infIdx, s.addr);
    });
    connect(w, &fingerThread::si_disconnectedSensor, this, [this](sensor_ts s) {
        disconnected.append({s, elapsedMs()});
        events << "gone " + where(s.infIdx, s.addr);
    });
    connect(w, &fingerThread::si_updateData1, this, [this](uint8_t i, uint8_t a, QVector<uint8_t> pack, qint64 readMs) {
        frames.append({i, a, pack, elapsedMs(), readMs});
    });
    connect(w, &fingerThread::si_setHz1, this, [this](uint8_t i, uint8_t a, uint16_t hz, uint16_t rHz) {
        rates.append({i, a, hz, rHz, elapsedMs(), frames.size()});
    });
    connect(w, &fingerThread::si_cmdRsp1, this, [this](uint8_t i, uint8_t a, QByteArray req, QByteArray rsp) {
        answers.append({i, a, req, rsp, true, elapsedMs()});
    });
    connect(w, &fingerThread::si_cmdRspErr1, this, [this](uint8_t i, uint8_t a, QByteArray req, QByteArray rsp) {
        answers.append({i, a, req, rsp, false, elapsedMs()});
    });
    thread.start();
}

void WorkerHarness::stop()
{
    if (!thread.isRunning())
        return;
    emit si_workerThreadStop();
    thread.quit();
    thread.wait();
    // The worker's last reports are queued to this thread.
    QCoreApplication::sendPostedEvents(this);
}

bool WorkerHarness::connectWhenListed(const QString& id, int timeoutMs)
{
    const int ups = linkUps;
    auto listed = [&] { return !lists.isEmpty() && lists.last().contains(id); };
    if (!QTest::qWaitFor(listed, timeoutMs))
        return false;
    connectLink(id);
    return QTest::qWaitFor([&] { return linkUps > ups; }, timeoutMs);
}

bool WorkerHarness::waitForSensors(int n, int timeoutMs)
{
    return QTest::qWaitFor([&] { return connected.size() >= n; }, timeoutMs);
}

int WorkerHarness::betweenTicks(const std::function<void()>& change, int timeoutMs)
{
    if (!worker || !thread.isRunning())
        return -1;
    auto mark = std::make_shared<int>(-1);  // read and written in this thread only
    QMetaObject::invokeMethod(worker, [this, change, mark] {
        if (change)
            change();
        // Queued behind every report sent so far and ahead of every later one.
        QMetaObject::invokeMethod(this, [this, mark] { *mark = frames.size(); }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    if (!QTest::qWaitFor([&] { return *mark >= 0; }, timeoutMs))
        return -1;
    return *mark;
}

const sensor_ts* WorkerHarness::found(uint8_t infIdx, uint8_t addr) const
{
    for (const Sensor& s : connected)
        if (s.record.infIdx == infIdx && s.record.addr == addr)
            return &s.record;
    return nullptr;
}

int WorkerHarness::framesOf(uint8_t infIdx, uint8_t addr) const
{
    return int(std::count_if(frames.begin(), frames.end(),
                             [&](const Frame& f) { return f.infIdx == infIdx && f.addr == addr; }));
}

QString WorkerHarness::frameProblem(uint8_t infIdx, uint8_t addr, int len) const
{
    int last = -1;
    for (const Frame& f : frames) {
        if (f.infIdx != infIdx || f.addr != addr)
            continue;
        if (f.pack.size() != len)
            return QString("frame of %1 bytes").arg(f.pack.size());
        if (f.pack[0] != 0x55 || f.pack[1] != 0xAA || f.pack[3] != 0x85)
            return "not a data frame";
        if (f.pack[4] == last)
            return QString("sequence byte %1 reported twice").arg(last);
        last = f.pack[4];
    }
    return QString();
}

QString WorkerHarness::rateProblem(uint8_t infIdx, uint8_t addr) const
{
    int next = 0;         // first frame not yet counted
    uint8_t lastSeq = 0;  // a new record starts from 0
    for (const Rate& r : rates) {
        if (r.infIdx != infIdx || r.addr != addr)
            continue;
        int received = 0;
        int steps = 0;
        for (; next < r.framesBefore && next < frames.size(); ++next) {
            const Frame& f = frames[next];
            if (f.infIdx != infIdx || f.addr != addr)
                continue;
            if (f.pack.size() < 5)
                return QString("frame of %1 bytes").arg(f.pack.size());
            ++received;
            steps += uint8_t(f.pack[4] - lastSeq);
            lastSeq = f.pack[4];
        }
        if (r.rHz != received || r.hz != steps)
            return QString("at %1 ms: hz %2 rHz %3, frames %4 with steps %5")
                .arg(r.atMs).arg(r.hz).arg(r.rHz).arg(received).arg(steps);
    }
    return QString();
}

void WorkerHarness::clear()
{
    lists.clear();
    connected.clear();
    disconnected.clear();
    frames.clear();
    rates.clear();
    answers.clear();
    events.clear();
    linkUps = linkDowns = 0;
}

namespace workerWorld {

int freshBridge(sim::BridgeKind kind, bool pca, uint16_t id)
{
    sim::reset();
    simCatalogue::install();
    sim::BridgeConfig b;
    b.kind = kind;
    b.pca = pca;
    b.id = id;
    return sim::addBridge(b);
}

int addSensor(int bridge, int channel, uint8_t addr, uint8_t prg, uint8_t id, uint32_t framePeriodMs,
              const QString& serial)
{
    sim::SensorConfig s;
    s.prg = prg;
    s.addr = addr;
    s.port = kPortOfChannel[channel % 6];
    s.id = id;
    s.framePeriodMs = framePeriodMs;
    s.serial = serial.isEmpty() ? QString::asprintf("VX-%d-%02X", channel, addr) : serial;
    return sim::addSensor(bridge, s);
}

QByteArray bridgeRequest(uint8_t code, uint8_t byte7)
{
    const uint8_t params[5] = {0, 0, 0, byte7, 0};
    return class_sensorCmd::frame(0x03, code, params);
}

QVector<BusOp> ch341Transactions(const QVector<QByteArray>& packets)
{
    constexpr uint8_t kStream = 0xAA, kStart = 0x74, kStop = 0x75, kEnd = 0x00;
    QVector<BusOp> ops;
    BusOp cur;
    bool inTransaction = false;
    bool wantAddress = false;
    for (const QByteArray& p : packets) {
        if (p.isEmpty() || uint8_t(p[0]) != kStream)
            continue;
        for (int i = 1; i < p.size();) {
            const uint8_t b = uint8_t(p[i++]);
            if (b == kEnd)
                break;
            if (b == kStart || b == kStop) {
                if (inTransaction)
                    ops.append(cur);
                cur = BusOp();
                inTransaction = b == kStart;
                wantAddress = inTransaction;
            } else if ((b & 0xC0) == 0x80) {  // output n bytes
                QByteArray out = p.mid(i, b & 0x3F);
                i += b & 0x3F;
                if (wantAddress && !out.isEmpty()) {
                    cur.addr = uint8_t(out[0]) >> 1;
                    cur.read = uint8_t(out[0]) & 1;
                    out.remove(0, 1);
                    wantAddress = false;
                }
                cur.data += out;
            } else if ((b & 0xC0) == 0xC0) {  // input n bytes; C0 alone is one byte
                cur.len += (b & 0x3F) ? (b & 0x3F) : 1;
            }  // anything else is a delay code
        }
    }
    return ops;
}

QVector<BusOp> ch347Transactions(const QVector<QByteArray>& packets)
{
    QVector<BusOp> ops;
    for (const QByteArray& p : packets) {
        if (p.isEmpty())
            continue;
        BusOp op;
        op.addr = uint8_t(p[0]) >> 1;
        op.read = uint8_t(p[0]) & 1;
        op.len = op.read ? -1 : 0;
        op.data = p.mid(1);
        ops.append(op);
    }
    return ops;
}

QVector<BusOp> transactions(sim::BridgeKind kind, int bridge)
{
    const QVector<QByteArray> log = sim::packetLog(bridge);
    return kind == sim::BridgeKind::Ch341 ? ch341Transactions(log) : ch347Transactions(log);
}

QVector<uint8_t> pcaWrites(const QVector<BusOp>& ops)
{
    QVector<uint8_t> out;
    for (const BusOp& op : ops)
        if (!op.read && op.addr == sim::kPcaAddress && op.data.size() == 1)
            out.append(uint8_t(op.data[0]));
    return out;
}

QVector<Probe> probes(const QVector<BusOp>& ops)
{
    constexpr int kProbeLen = 4;
    QVector<Probe> out;
    int channel = -1;
    for (const BusOp& op : ops) {
        if (!op.read && op.addr == sim::kPcaAddress && op.data.size() == 1) {
            channel = -1;
            for (int ch = 0; ch < 6; ++ch)
                if (uint8_t(op.data[0]) == (1 << kPortOfChannel[ch]))
                    channel = ch;
        } else if (op.read && op.len == kProbeLen) {
            out.append({channel, op.addr});
        }
    }
    return out;
}

}  // namespace workerWorld
