#pragma once
// Helpers shared by the bridge adapter tests: a fresh simulated world per test and packet texts.

#include "simBus.h"
#include "simCatalogue.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>

namespace bridgeFixture {

constexpr uint8_t kSensorAddr = 0x61;
constexpr int kSensorPort = 4;     // the worker's channel 0
constexpr uint8_t kPortMask = 0x10;

inline int addBridge(sim::BridgeKind kind, uint16_t id = 6002, bool pca = true, int index = -1)
{
    sim::BridgeConfig b;
    b.kind = kind;
    b.id = id;
    b.pca = pca;
    b.index = index;
    return sim::addBridge(b);
}

// A sensor whose frame stays the same for a minute, so two reads can be compared byte by byte.
inline int addSteadySensor(int bridge, uint8_t prg = 20, uint8_t addr = kSensorAddr, int port = kSensorPort)
{
    sim::SensorConfig s;
    s.prg = prg;
    s.addr = addr;
    s.port = port;
    s.framePeriodMs = 60000;
    return sim::addSensor(bridge, s);
}

// Test data bytes: byte i is 0xA0 + i.
inline QByteArray dataBytes(int n)
{
    QByteArray d;
    for (int i = 0; i < n; ++i)
        d.append(char(0xA0 + i));
    return d;
}

// Hex text of a packet; {a-b} stands for data bytes a..b of dataBytes().
inline QByteArray expand(const QString& pattern)
{
    QString text = pattern;
    const QRegularExpression range("\\{(\\d+)-(\\d+)\\}");
    for (QRegularExpressionMatch m = range.match(text); m.hasMatch(); m = range.match(text)) {
        const int from = m.captured(1).toInt();
        const int to = m.captured(2).toInt();
        text.replace(m.capturedStart(), m.capturedLength(), dataBytes(to + 1).mid(from).toHex());
    }
    return QByteArray::fromHex(text.remove(' ').toLatin1());
}

inline QVector<QByteArray> expandAll(const QStringList& patterns)
{
    QVector<QByteArray> out;
    for (const QString& p : patterns)
        out.append(expand(p));
    return out;
}

inline bool validSum(const QByteArray& f)
{
    if (f.size() < 2)
        return false;
    uint16_t sum = 0;
    for (int i = 0; i < f.size() - 2; ++i)
        sum = uint16_t(sum + uint8_t(f[i]));
    return uint8_t(f[f.size() - 2]) == (sum & 0xFF) && uint8_t(f[f.size() - 1]) == (sum >> 8);
}

}  // namespace bridgeFixture

#include "class_ch341.h"
#include "class_ch347.h"

#include <memory>

namespace bridgeFixture {

// Either adapter behind one face, so a behaviour both share is tested once with a kind column.
class AnyAdapter {
public:
    explicit AnyAdapter(sim::BridgeKind kind)
    {
        if (kind == sim::BridgeKind::Ch341)
            ch341 = std::make_unique<class_ch341>();
        else
            ch347 = std::make_unique<class_ch347>();
    }
    QObject* object() const { return ch341 ? static_cast<QObject*>(ch341.get()) : ch347.get(); }
    const char* connectedSignal() const { return SIGNAL(si_connected()); }
    const char* disconnectedSignal() const { return SIGNAL(si_disconnected()); }
    const char* listSignal() const { return SIGNAL(si_updateList(QVector<uint16_t>)); }
    int scan() { return ch341 ? ch341->scan() : ch347->scan(); }
    bool open(uint16_t id) { return ch341 ? ch341->open(id) : ch347->open(id); }
    bool close() { return ch341 ? ch341->close() : ch347->close(); }
    bool isOpen() const { return ch341 ? ch341->isOpen() : ch347->isOpen(); }
    uint8_t devIndex() const { return ch341 ? ch341->devIndex : ch347->devIndex; }
    uint16_t openId() const { return ch341 ? ch341->openId : ch347->openId; }
    QVector<uint16_t> idList() const { return ch341 ? ch341->idList : ch347->idList; }
    uint16_t write(uint8_t addr, QByteArray data)
    {
        auto* d = reinterpret_cast<uint8_t*>(data.data());
        const auto n = uint16_t(data.size());
        return ch341 ? ch341->write(addr, d, n) : ch347->write(addr, d, n);
    }
    uint16_t read(uint8_t addr, QByteArray* buf)
    {
        auto* d = reinterpret_cast<uint8_t*>(buf->data());
        const auto n = uint16_t(buf->size());
        return ch341 ? ch341->read(addr, d, n) : ch347->read(addr, d, n);
    }
    void reset()
    {
        ch341.reset();
        ch347.reset();
    }

    std::unique_ptr<class_ch341> ch341;
    std::unique_ptr<class_ch347> ch347;
};

inline void addKindRows()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("CH341") << int(sim::BridgeKind::Ch341);
    QTest::newRow("CH347") << int(sim::BridgeKind::Ch347);
}

}  // namespace bridgeFixture
