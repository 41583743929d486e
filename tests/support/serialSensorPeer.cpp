#include "serialSensorPeer.h"

#include "catalogueFrames.h"
#include "class_sensorCmd.h"
#include "fingerParams.h"
#include "ptyPair.h"
#include "simFrame.h"

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <unistd.h>

namespace {

constexpr uint8_t kReqHead0 = 0xAA;
constexpr uint8_t kReqHead1 = 0x55;
constexpr int kCodeByte = 3;
constexpr int kParamByte = 7;
constexpr int kStdRequestLen = 11;
constexpr int kFilterRequestLen = 13;
constexpr uint8_t kFilterCode = 0x59;
constexpr uint8_t kSnCode = 0xA4;
constexpr uint8_t kTypeCode = 0xA6;
constexpr uint8_t kEveryone = 0x00;
constexpr uint8_t kSetAddrCode = 0x70;
constexpr uint8_t kGetAddrCode = 0x71;
constexpr uint8_t kAddrReport = 0xF1;
constexpr uint8_t kMaxAddr = 0x6F;
constexpr uint8_t kAnswerBit = 0x80;
constexpr int kSnLenByte = 4;
constexpr int kSnTextAt = 5;
constexpr int kSumLen = 2;
constexpr int kDefaultAnswerLen = 11;
constexpr int kPollSliceMs = 2;
constexpr int kWriteGiveUpMs = 2000;

bool sumOk(const QByteArray& frame)
{
    const int n = frame.size();
    if (n < kSumLen + 1)
        return false;
    // The sensor's own sum, not the host's code: a wrong sum of the host's is noticed.
    const auto* b = reinterpret_cast<const uint8_t*>(frame.constData());
    const uint16_t sum = sim::sum16(frame, n - kSumLen);
    return (sum & 0xFF) == b[n - 2] && (sum >> 8) == b[n - 1];
}

}  // namespace

QByteArray SerialSensorPeer::addressAnswer(uint8_t addr, uint8_t status)
{
    QByteArray a(kDefaultAnswerLen, '\0');
    a[0] = char(0x55);
    a[1] = char(0xAA);
    a[2] = char(addr);
    a[kCodeByte] = char(status);
    // Only a report names the address in byte 7; a set answers its status there.
    a[kParamByte] = char(status == kAddrReport ? addr : 0);
    sim::closeWithSum(a);
    return a;
}

SerialSensorPeer::SerialSensorPeer(PtyPair& pty) : pty(pty) { clock.start(); }

SerialSensorPeer::~SerialSensorPeer() { stop(); }

int SerialSensorPeer::addSensor(const Sensor& sensor)
{
    const finger_param_ts* record = findFingerParam(sensor.prg);
    if (!record)
        return -1;
    std::lock_guard<std::mutex> guard(lock);
    Entry e;
    e.config = sensor;
    e.frameLen = sim::frameLength(catalogueFrames::layoutOf(*record));
    sensors.append(e);
    return sensors.size() - 1;
}

void SerialSensorPeer::update(int sensor, const std::function<void(Sensor&)>& change)
{
    std::lock_guard<std::mutex> guard(lock);
    if (sensor >= 0 && sensor < sensors.size())
        change(sensors[sensor].config);
}

void SerialSensorPeer::start()
{
    thread.start([this] { run(); });
}

void SerialSensorPeer::stop()
{
    thread.stop();
}

void SerialSensorPeer::hangUp()
{
    stop();
    pty.hangUp();
}

QVector<QByteArray> SerialSensorPeer::requests(int sensor) const
{
    std::lock_guard<std::mutex> guard(lock);
    return sensor >= 0 && sensor < sensors.size() ? sensors[sensor].requests : QVector<QByteArray>();
}

QVector<SerialSensorPeer::Heard> SerialSensorPeer::heard() const
{
    std::lock_guard<std::mutex> guard(lock);
    return log;
}

int SerialSensorPeer::polls(int sensor) const
{
    std::lock_guard<std::mutex> guard(lock);
    return sensor >= 0 && sensor < sensors.size() ? sensors[sensor].polls : 0;
}

uint8_t SerialSensorPeer::addr(int sensor) const
{
    std::lock_guard<std::mutex> guard(lock);
    return sensor >= 0 && sensor < sensors.size() ? sensors[sensor].config.addr : 0;
}

void SerialSensorPeer::setDropLateAnswers(bool on)
{
    dropLate = on;
}

int SerialSensorPeer::lateAnswers(int sensor) const
{
    std::lock_guard<std::mutex> guard(lock);
    return sensor >= 0 && sensor < sensors.size() ? sensors[sensor].lateAnswers : 0;
}

bool SerialSensorPeer::hostWroteAgain(QByteArray& in)
{
    const int before = in.size();
    if (pty.readSome(&in, 0) > 0) {
        std::lock_guard<std::mutex> guard(lock);
        fromHost.append(in.mid(before));
    }
    return !in.isEmpty();
}

QByteArray SerialSensorPeer::received() const
{
    std::lock_guard<std::mutex> guard(lock);
    return fromHost;
}

void SerialSensorPeer::clearReceived()
{
    std::lock_guard<std::mutex> guard(lock);
    fromHost.clear();
}

QByteArray SerialSensorPeer::receivedSoFar(int deadlineMs)
{
    QCoreApplication::processEvents();
    const QByteArray marker = PtyPair::marker();
    pty.writeBehind(marker);
    const auto cut = [this, &marker] {
        std::lock_guard<std::mutex> guard(lock);
        return fromHost.indexOf(marker);
    };
    if (!QTest::qWaitFor([&] { return cut() >= 0; }, deadlineMs)) {
        qWarning("serial peer: the marker did not come back within %d ms", deadlineMs);
        return received();
    }
    std::lock_guard<std::mutex> guard(lock);
    const int at = fromHost.indexOf(marker);
    const QByteArray before = fromHost.left(at);
    fromHost.remove(at, marker.size());
    return before;
}

void SerialSensorPeer::sendRaw(const QByteArray& bytes)
{
    writeOut(bytes, false);
}

void SerialSensorPeer::run()
{
    QByteArray in;
    while (thread.running()) {
        const int before = in.size();
        if (pty.readSome(&in, kPollSliceMs) <= 0)
            continue;
        {
            std::lock_guard<std::mutex> guard(lock);
            fromHost.append(in.mid(before));
        }
        consume(in);
    }
}

QVector<SerialSensorPeer::Entry*> SerialSensorPeer::reached(uint8_t addr)
{
    QVector<Entry*> found;
    for (Entry& e : sensors)
        if (addr == kEveryone || e.config.addr == addr)
            found.append(&e);
    return found;
}

QVector<SerialSensorPeer::Entry*> SerialSensorPeer::named(uint8_t target)
{
    QVector<Entry*> found = reached(target);
    for (int i = 0; found.isEmpty() && i < sensors.size(); ++i)
        if (sensors[i].config.id == target)
            found.append(&sensors[i]);
    return found;
}

// Splits what the host wrote into polls and request frames and answers each one.
void SerialSensorPeer::consume(QByteArray& in)
{
    while (in.size() >= 2) {
        const uint8_t b0 = uint8_t(in[0]);
        const uint8_t b1 = uint8_t(in[1]);
        if (b0 == kReqHead0 && b1 == kReqHead1) {
            if (in.size() <= kCodeByte)
                return;
            const int len = uint8_t(in[kCodeByte]) == kFilterCode ? kFilterRequestLen : kStdRequestLen;
            if (in.size() < len)
                return;  // the rest of the request is on its way
            const QByteArray req = in.left(len);
            in.remove(0, len);
            if (!sumOk(req))
                continue;
            QByteArray answers;
            uint32_t delayMs = 0;
            uint32_t splitMs = 0;
            QVector<int> answering;  // indices: the entries may move while this thread sleeps
            {
                std::lock_guard<std::mutex> guard(lock);
                log.append({uint8_t(req[2]), uint8_t(req[kCodeByte])});
                for (Entry* e : named(uint8_t(req[2]))) {
                    e->requests.append(req);
                    if (e->config.mute || e->config.ignoreRequests)
                        continue;
                    const QByteArray whole = answerTo(*e, req);
                    answers += e->config.answerJunk + whole.left(std::max(0, int(whole.size()) - e->config.answerCut));
                    delayMs = std::max(delayMs, e->config.answerDelayMs);
                    splitMs = std::max(splitMs, e->config.answerSplitMs);
                    answering.append(int(e - sensors.constData()));
                }
            }
            if (delayMs)
                ::usleep(delayMs * 1000);
            if (!answering.isEmpty() && dropLate && hostWroteAgain(in)) {
                std::lock_guard<std::mutex> guard(lock);
                for (int i : answering)
                    ++sensors[i].lateAnswers;
                continue;
            }
            if (splitMs) {
                const int half = answers.size() / 2;
                send(answers.left(half));
                ::usleep(splitMs * 1000);
                answers.remove(0, half);
            }
            send(answers);
            continue;
        }
        if (b1 == uint8_t(b0 ^ 0xFF)) {
            in.remove(0, 2);
            QByteArray frames;
            {
                std::lock_guard<std::mutex> guard(lock);
                log.append({b0, -1});
                for (Entry* e : reached(b0)) {
                    ++e->polls;
                    if (!e->config.mute)
                        frames += b0 == kEveryone ? addressAnswer(e->config.addr, kAddrReport) : frameOf(*e);
                }
            }
            if (!frames.isEmpty() && dropLate && hostWroteAgain(in))
                continue;
            send(frames);
            continue;
        }
        in.remove(0, 1);  // noise
    }
}

QByteArray SerialSensorPeer::frameOf(Entry& e)
{
    const finger_param_ts* record = findFingerParam(e.config.prg);
    const uint32_t period = std::max<uint32_t>(1, e.config.framePeriodMs);
    uint8_t seq = uint8_t(uint64_t(clock.elapsed()) / period);
    if (e.config.frozenSeq) {
        if (!e.wasFrozen)
            e.seqWhenFrozen = seq;
        e.wasFrozen = true;
        seq = e.seqWhenFrozen;
    } else {
        e.wasFrozen = false;
    }
    const uint8_t lengthBound = uint8_t(std::min(255, e.frameLen - 10));
    return sim::buildDataFrame(catalogueFrames::layoutOf(*record), e.config.id, seq,
                               catalogueFrames::sampleValues(*record, seq), lengthBound);
}

QByteArray SerialSensorPeer::answerTo(Entry& e, const QByteArray& req) const
{
    const uint8_t code = uint8_t(req[kCodeByte]);
    // Sent to everyone, the address commands speak of the address; to one sensor, as any other.
    const bool toEveryone = uint8_t(req[2]) == kEveryone;
    if (toEveryone && code == kSetAddrCode) {
        const uint8_t to = uint8_t(req[kParamByte]);
        if (to >= 1 && to <= kMaxAddr)
            e.config.addr = to;
    }
    if (toEveryone && (code == kSetAddrCode || code == kGetAddrCode))
        return addressAnswer(e.config.addr, uint8_t(code | kAnswerBit));
    const QByteArray text = e.config.serial.toLatin1();
    int len = class_sensorCmd::getRspLen(code);
    if (code == kSnCode)
        len = kSnTextAt + text.size() + kSumLen;
    if (len == 0)
        len = kDefaultAnswerLen;
    QByteArray a(len, '\0');
    a[0] = char(0x55);
    a[1] = char(0xAA);
    a[2] = char(e.config.id);
    a[kCodeByte] = char(code | kAnswerBit);
    if (code == kSnCode) {
        a[kSnLenByte] = char(e.config.snLengthByte >= 0 ? e.config.snLengthByte : text.size());
        a.replace(kSnTextAt, text.size(), text);
    } else if (code == kTypeCode) {
        a[kParamByte] = char(e.config.prg);
    }
    sim::closeWithSum(a);
    return a;
}

void SerialSensorPeer::send(const QByteArray& bytes)
{
    writeOut(bytes, true);
}

void SerialSensorPeer::writeOut(const QByteArray& bytes, bool onlyWhileRunning)
{
    // One writer at a time, so the serving thread and a test never interleave their bytes.
    std::lock_guard<std::mutex> guard(sendLock);
    pty.writeAll(bytes, [this, onlyWhileRunning] { return thread.running() || !onlyWhileRunning; }, kWriteGiveUpMs);
}
