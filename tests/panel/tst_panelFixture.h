#pragma once
// Shared by the panel tests: a model view that records what the panel calls on it, its
// registration for the class numbers the tests use, a recorder of the panel's requests and
// builders of requests and answers as the sensor protocol lays them out.

#include "class_finger.h"
#include "fingerForm.h"
#include "sensor_ts.h"
// Each test includes "ui_fingerForm.h" itself, so that its own form generator sees the include.
#include "viewFactory.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableWidget>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <memory>

namespace panelTest {

// Stands in for the real model views, which live in another library: records what the panel
// calls on it and repaints on a new value, as a view does.
class RecordingView : public QWidget, public class_finger {
public:
    RecordingView(uint8_t classNumber, QWidget* parent)
        : QWidget(parent), class_finger(classNumber, this), classNumber(classNumber)
    {
    }
    void setShowData(bool show) override { showData.append(show); }
    void setData(uint8_t ch, uint32_t value) override
    {
        if (ch == 0)
            firstChannel.append(value);
        update();
    }
    const uint8_t classNumber;
    QVector<bool> showData;
    QVector<uint32_t> firstChannel;  // channel 0 of every frame shown, in order
    int paints = 0;
    int shownWhenPainted = 0;        // how many frames had been shown at the last paint

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        shownWhenPainted = firstChannel.size();
    }
};

template <uint8_t N>
class_finger* makeView(QWidget* parent)
{
    return new RecordingView(N, parent);
}

// Class numbers the tests need; real views of these numbers are not linked into the tests.
inline void registerViews()
{
    viewFactory::registerView(2, &makeView<2>);
    viewFactory::registerView(17, &makeView<17>);
    viewFactory::registerView(19, &makeView<19>);
    viewFactory::registerView(20, &makeView<20>);
    viewFactory::registerView(28, &makeView<28>);
    viewFactory::registerView(31, &makeView<31>);
    viewFactory::registerView(43, &makeView<43>);
    viewFactory::registerView(50, &makeView<50>);
    viewFactory::registerView(54, &makeView<54>);
    viewFactory::registerView(102, &makeView<102>);
}

// Deadline of a wait for something the panel does by itself, a second after the cause at most:
// only a hang runs out of it.
constexpr int kHangMs = 15000;

// Every request of a panel as "hex:rspLen", and when it came, in ms since the log was made or
// last taken.
class RequestLog : public QObject {
public:
    explicit RequestLog(fingerForm* panel)
    {
        clock.start();
        connect(panel, &fingerForm::si_cmdReq1, this, [this](uint8_t, uint8_t, QByteArray cmd, uint16_t rspLen) {
            lines << QString::fromLatin1(cmd.toHex()) + ":" + QString::number(rspLen);
            atMs << clock.elapsed();
        });
    }
    QStringList take()
    {
        const QStringList out = lines;
        lines.clear();
        atMs.clear();
        clock.restart();
        return out;
    }
    QStringList lines;
    QVector<qint64> atMs;

private:
    QElapsedTimer clock;
};

inline QByteArray withSum(QByteArray frame)
{
    uint16_t sum = 0;
    for (char c : frame)
        sum = uint16_t(sum + uint8_t(c));
    frame.append(char(sum & 0xFF));
    frame.append(char(sum >> 8));
    return frame;
}

// The sensor's id byte, byte 2 of every panel request: neither 0x01 nor the worker's 0x03, so a
// panel that writes a fixed byte there is caught.
constexpr uint8_t kDevId = 0x2B;

inline QByteArray u32le(uint32_t v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char(v >> (8 * i)));
    return b;
}

// Standard request "aa 55 <id> <code> p0..p4 <sum>" from the hex of code and parameters.
inline QString req(const char* codeAndParams, uint16_t rspLen, uint8_t id = kDevId)
{
    QByteArray body = QByteArray::fromHex("aa55") + char(id) + QByteArray::fromHex(codeAndParams);
    body.append(QByteArray(9 - body.size(), '\0'));
    return QString::fromLatin1(withSum(body).toHex()) + ":" + QString::number(rspLen);
}

// A request of any length "aa 55 <id> <code and parameters as given> <sum>".
inline QString rawReq(const char* codeAndParams, uint16_t rspLen, uint8_t id = kDevId)
{
    const QByteArray body = QByteArray::fromHex("aa55") + char(id) + QByteArray::fromHex(codeAndParams);
    return QString::fromLatin1(withSum(body).toHex()) + ":" + QString::number(rspLen);
}

// Answer "55 aa <id> <code | 0x80> payload <sum>".
inline QByteArray answer(uint8_t code, const QByteArray& payload, uint8_t id = kDevId)
{
    QByteArray a = QByteArray::fromHex("55aa") + char(id) + char(code | 0x80) + payload;
    return withSum(a);
}

// The request frame a panel would have sent for code (parameters zero unless given).
inline QByteArray request(uint8_t code, const QByteArray& params = QByteArray(), uint8_t id = kDevId)
{
    QByteArray body = QByteArray::fromHex("aa55") + char(id) + char(code) + params;
    body.append(QByteArray(qMax(0, 9 - body.size()), '\0'));
    return withSum(body);
}

inline sensor_ts sensor(uint8_t prg, uint8_t infIdx = 0, uint8_t addr = 0x60, int packLen = 0, uint8_t id = kDevId)
{
    sensor_ts s;
    s.infIdx = infIdx;
    s.addr = addr;
    s.prg = prg;
    s.devId = id;
    s.pack = QVector<uint8_t>(packLen, 0);
    return s;
}

// A panel for bus 0, address 0x60 showing the view of type code prg.
inline std::unique_ptr<fingerForm> panelFor(uint8_t prg, uint8_t infIdx = 0, uint8_t addr = 0x60)
{
    auto p = std::make_unique<fingerForm>(infIdx, addr);
    p->sl_connectedFinger(infIdx, addr, sensor(prg, infIdx, addr));
    return p;
}

inline QString cellText(QTableWidget* t, int row, int col)
{
    auto* e = qobject_cast<QLineEdit*>(t->cellWidget(row, col));
    return e ? e->text() : QString("<none>");
}

}  // namespace panelTest
