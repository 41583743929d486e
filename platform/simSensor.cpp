#include "simSensor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {
namespace detail {

int catalogueAnswerLength(uint8_t code);  // simWorld.cpp: the registered command catalogue

namespace {

constexpr uint8_t kRequestHeader0 = 0xAA;
constexpr uint8_t kRequestHeader1 = 0x55;
constexpr int kTargetByte = 2;
constexpr int kMinFrame = 6;            // header, id, code, sum
constexpr int kStandardAnswer = 11;     // five payload bytes
constexpr int kStatusByte = 7;
constexpr int kMaxSerialText = 43;      // the answer must fit the 50 bytes discovery reads
constexpr int kMaxWriteBytes = 4096;
constexpr int kMaxLogEntries = 2000;
constexpr uint8_t kMaxAddress = 0x6F;
constexpr uint8_t kSetAddress = 0x70;
constexpr uint8_t kSetAddressDone = 0xF0;  // answer code of kSetAddress
constexpr int kAddressByte = 7;            // the new address of 0x70, the address report of 0x71
constexpr uint16_t kNoDirection = 0xFFFF;
constexpr double kTwoPi = 6.283185307179586;

enum Status : uint8_t { kOk = 0, kBadChannel = 1, kBadValue = 2 };

uint8_t byteAt(const QByteArray& a, int i)
{
    return i >= 0 && i < a.size() ? uint8_t(a[i]) : 0;
}

uint32_t leAt(const QByteArray& a, int at, int width)
{
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | byteAt(a, at + i);
    return v;
}

float floatAt(const QByteArray& a, int at)
{
    const uint32_t bits = leAt(a, at, 4);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool isValidRequest(const QByteArray& f)
{
    if (f.size() < kMinFrame || byteAt(f, 0) != kRequestHeader0 || byteAt(f, 1) != kRequestHeader1)
        return false;
    return sum16(f, f.size() - 2) == leAt(f, f.size() - 2, 2);
}

// Writes little-endian fields into an answer; positions outside the payload are skipped.
class Payload {
public:
    explicit Payload(QByteArray& out) : out_(out) {}
    void u8(int at, uint32_t v) { put(at, v, 1); }
    void u16(int at, uint32_t v) { put(at, v, 2); }
    void u32(int at, uint32_t v) { put(at, v, 4); }
    void f32(int at, float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        put(at, bits, 4);
    }
    void text(int at, const QByteArray& t, int maxLen)
    {
        for (int i = 0; i < std::min(int(t.size()), maxLen); ++i)
            u8(at + i, uint8_t(t[i]));
    }

private:
    void put(int at, uint32_t v, int width)
    {
        for (int i = 0; i < width; ++i)
            if (at + i >= 4 && at + i < out_.size() - 2)
                out_[at + i] = char((v >> (8 * i)) & 0xFF);
    }
    QByteArray& out_;
};

// Press level 0..1 of a slow press-and-release cycle; zero for half of each cycle.
double pressLevel(double t, double cycle, double phase)
{
    const double s = std::sin(kTwoPi * t / cycle - phase);
    return s > 0 ? s * s : 0;
}

// Proximity rises before the touch and falls after it.
double proximityLevel(double t, double cycle, double phase)
{
    return 0.5 + 0.5 * std::sin(kTwoPi * t / cycle - phase + 0.8);
}

}  // namespace

SimSensor::SimSensor(const SensorConfig& config, const SensorModel& model, int64_t nowMs)
    : config_(config), model_(model), addr_(config.addr), startMs_(nowMs)
{
    if (config_.framePeriodMs == 0)
        config_.framePeriodMs = 1;
    resetSettings();
}

void SimSensor::resetSettings()
{
    channels_.fill(ChannelSettings(), model_.layout.chNum);
    for (int ch = 0; ch < channels_.size(); ++ch)
        channels_[ch].threshold = uint32_t(100 + 10 * ch);
    calibration_.clear();
    for (int ch = 0; ch < caliChannels(); ++ch) {
        QVector<uint32_t> points(model_.caliNum);
        for (int i = 0; i < points.size(); ++i)
            points[i] = uint32_t((i + 1) * 10000 + ch * 100);
        calibration_.append(points);
    }
    sendType_ = 0;
    autoDacAtPowerUp_ = 0;
    pressRelease_ = proxRelease_ = 0;
    pressReleaseScale_ = proxReleaseScale_ = 0;
    proxClearFlag_ = 0;
    proxClearTimeout_ = 0;
}

void SimSensor::setFaults(const SensorFaults& faults, int64_t nowMs)
{
    if (faults.frozenSeq && !faults_.frozenSeq)
        frozenSeq_ = sequenceByte(frameIndex(nowMs));
    faults_ = faults;
}

SensorState SimSensor::state() const
{
    SensorState s;
    s.addr = addr_;
    s.sendType = sendType_;
    s.offset = offset_;
    s.requests = requests_;
    s.rawWrites = rawWrites_;
    s.answersServed = answersServed_;
    s.lastFrameServed = lastFrameServed_;
    return s;
}

uint32_t SimSensor::frameIndex(int64_t nowMs) const
{
    // Counting from 1: a fresh sensor's first frame already differs from a zeroed record.
    return 1 + uint32_t(std::max<int64_t>(0, nowMs - startMs_) / config_.framePeriodMs);
}

uint8_t SimSensor::sequenceByte(uint32_t frame) const
{
    return uint8_t(frame * config_.seqStep);
}

FrameValues SimSensor::valuesAt(uint32_t frame) const
{
    const FrameLayout& l = model_.layout;
    const double t = double(frame) * config_.framePeriodMs / 1000.0;
    const double cycle = 3.0 + (addr_ % 5) * 0.4;
    const double fullScale = model_.pressMax > 0 ? model_.pressMax : 25.0;
    FrameValues v;
    for (int ch = 0; ch < l.chNum; ++ch) {
        if (ch < model_.pressNum) {
            const double level = pressLevel(t, cycle, ch * 0.25);
            const auto milliNewtons = uint32_t(std::lround(level * 0.4 * fullScale * 1000.0));
            const bool touched = level > 0.05;
            v.channels.append((milliNewtons & ~1u) | (touched ? 1u : 0u));
        } else {
            const double prox = proximityLevel(t, cycle, ch * 0.25);
            v.channels.append(uint32_t(200000 + std::lround(prox * 300000.0)) & ~1u);
        }
    }
    for (int k = 0; k < l.yddsNum; ++k) {
        const double level = pressLevel(t, cycle, k * 0.5);
        ForcePoint p;
        p.normal = float(level * 0.5 * fullScale);
        p.tangential = float(p.normal * (0.2 + 0.15 * std::sin(kTwoPi * t / (2 * cycle))));
        p.direction = level > 0.05 ? uint16_t(int(t * 40.0 + k * 120) % 360) : kNoDirection;
        v.points.append(p);
    }
    for (int i = 0; i < l.sProxNum; ++i)
        v.sProx.append(uint32_t(100000 + std::lround(proximityLevel(t, cycle, i * 0.3) * 800000.0)));
    for (int i = 0; i < l.mProxNum; ++i)
        v.mProx.append(uint32_t(50000 + std::lround(proximityLevel(t, cycle, i * 0.3 + 0.2) * 400000.0)));
    return v;
}

QByteArray SimSensor::dataFrame(int64_t nowMs) const
{
    const uint32_t frame = frameIndex(nowMs);
    const uint8_t seq = faults_.frozenSeq ? frozenSeq_ : sequenceByte(frame);
    // Byte 5 bounds the reader's length search to the frame's own end.
    const int length = frameLength(model_.layout);
    const auto bound = uint8_t(std::clamp(length - 10, 0, 255));
    QByteArray f = buildDataFrame(model_.layout, config_.id, seq, valuesAt(frame), bound);
    if (faults_.corruptFrameSum && !f.isEmpty())
        f[f.size() - 1] = char(f[f.size() - 1] ^ 0x5A);
    return f;
}

QByteArray SimSensor::output(int64_t nowMs, bool* isAnswer) const
{
    *isAnswer = false;
    if (faults_.silent)
        return QByteArray();
    if (answerPending_ && nowMs >= answerReadyMs_) {
        *isAnswer = true;
        return answer_;
    }
    return dataFrame(nowMs);
}

QByteArray SimSensor::peek(int len, int64_t nowMs) const
{
    bool isAnswer = false;
    QByteArray out = output(nowMs, &isAnswer).left(std::max(len, 0));
    out.append(QByteArray(std::max(0, len - out.size()), '\0'));
    return out;
}

bool SimSensor::begin(bool read, int64_t nowMs)
{
    if (faults_.nack)
        return false;
    reading_ = read;
    outPos_ = 0;
    in_.clear();
    segmentMs_ = nowMs;
    bootReading_ = read && bootServesRead();
    if (bootReading_) {
        servingAnswer_ = false;
        return true;
    }
    out_ = read ? output(nowMs, &servingAnswer_) : QByteArray();
    if (!read)
        servingAnswer_ = false;
    else if (!servingAnswer_ && !out_.isEmpty())
        lastFrameServed_ = frameIndex(nowMs);
    return true;
}

bool SimSensor::write(uint8_t byte)
{
    if (reading_)
        return false;
    if (in_.size() < kMaxWriteBytes)
        in_.append(char(byte));
    return true;
}

uint8_t SimSensor::read()
{
    if (bootReading_) {
        const QByteArray next = boot_.take(segmentMs_, 1);
        return next.isEmpty() ? 0 : uint8_t(next[0]);
    }
    const uint8_t b = outPos_ < out_.size() ? uint8_t(out_[outPos_]) : 0;
    ++outPos_;
    return b;
}

void SimSensor::end(int64_t nowMs)
{
    if (reading_) {
        if (servingAnswer_ && outPos_ > 0) {
            answerPending_ = false;
            ++answersServed_;
        }
    } else if (!in_.isEmpty()) {
        if (rawWrites_.size() < kMaxLogEntries)
            rawWrites_.append(in_);
        if (!bootTakesWrite(in_, nowMs))
            takeRequest(in_, nowMs);
    }
    reading_ = servingAnswer_ = bootReading_ = false;
    out_.clear();
    in_.clear();
    outPos_ = 0;
}

bool SimSensor::isForMe(const QByteArray& frame) const
{
    const uint8_t target = byteAt(frame, kTargetByte);
    return target == config_.id || target == kAnySensorOnAddress || target == kHostOnAddress;
}

bool SimSensor::bootTakesWrite(const QByteArray& bytes, int64_t nowMs)
{
    if (!config_.bootLoader)
        return false;
    if (isBootRequest(bytes)) {
        boot_.enter(nowMs);
        answerPending_ = false;
        return true;
    }
    if (!boot_.active())
        return false;
    boot_.feed(bytes, nowMs);
    boot_.dropPartial();  // a transaction is a whole packet
    return true;
}

void SimSensor::takeRequest(const QByteArray& frame, int64_t nowMs)
{
    if (faults_.silent || !isValidRequest(frame) || !isForMe(frame))
        return;
    if (requests_.size() < kMaxLogEntries)
        requests_.append(frame);
    // The report of a moved address stays until it is read: what is written before that read
    // takes effect unanswered.
    const bool keepAnswer = answerPending_ && byteAt(answer_, 3) == kSetAddressDone;
    answerPending_ = keepAnswer;
    QByteArray answer = respond(frame);
    if (answer.isEmpty() || keepAnswer)
        return;
    const uint8_t code = byteAt(frame, 3);
    if (faults_.noAnswers || faults_.unansweredCodes.contains(code))
        return;
    if (faults_.dropAnswers > 0) {
        --faults_.dropAnswers;
        return;
    }
    if (faults_.corruptAnswerSum)
        answer[answer.size() - 1] = char(answer[answer.size() - 1] ^ 0x5A);
    answer_ = answer;
    answerPending_ = true;
    answerReadyMs_ = nowMs + faults_.answerLatencyMs;
}

int SimSensor::answerLength(uint8_t code) const
{
    const FrameLayout& l = model_.layout;
    switch (code) {
    case 0x66: return 4 * model_.caliNum + 6;
    case 0x6D: return 4 * model_.caliNum + 7;
    case 0x6F: return caliChannels() + 6;
    case 0x68: case 0x5E: case 0x4A: return 4 * l.chNum + 6;
    case 0x51: case 0x53: return l.chNum + 6;
    case 0x5A: return 6 * l.chNum + 6;
    case 0xA0: return 25;
    case 0xA6: case 0x62: return kStandardAnswer;
    case 0xA4: return 5 + std::min(int(config_.serial.toLatin1().size()), kMaxSerialText) + 2;
    default: break;
    }
    const int catalogued = catalogueAnswerLength(code);
    if (catalogued < 0)
        return -1;
    // The catalogue fixes no length for a few commands nobody decodes: a standard answer.
    return catalogued == 0 ? kStandardAnswer : std::max(catalogued, kMinFrame);
}

QByteArray SimSensor::respond(const QByteArray& req)
{
    const uint8_t code = byteAt(req, 3);
    const int length = answerLength(code);
    if (length < kMinFrame)
        return QByteArray();
    QByteArray answer(length, '\0');
    answer[0] = char(0x55);
    answer[1] = char(0xAA);
    answer[2] = char(config_.id);
    answer[3] = char(code >= 0xA0 ? code : (code | 0x80));
    const uint8_t status = applySetting(req);
    if (length > kStatusByte + 2)
        answer[kStatusByte] = char(status);
    fillPayload(code, req, answer);
    closeWithSum(answer);
    return answer;
}

uint8_t SimSensor::applySetting(const QByteArray& req)
{
    const uint8_t code = byteAt(req, 3);
    const int ch = byteAt(req, 4);
    const bool channelOk = ch < channels_.size();
    switch (code) {
    case 0x69:
        if (!channelOk) return kBadChannel;
        channels_[ch].threshold = leAt(req, 5, 4);
        return kOk;
    case 0x50: {
        if (!channelOk) return kBadChannel;
        const uint8_t v = byteAt(req, 5);
        if (v < 1 || v > 63) return kBadValue;
        channels_[ch].excitation = v;
        return kOk;
    }
    case 0x52: {
        if (!channelOk) return kBadChannel;
        const uint8_t v = byteAt(req, 5);
        if (v > 22) return kBadValue;
        channels_[ch].range = v;
        return kOk;
    }
    case 0x59:
        if (!channelOk) return kBadChannel;
        if (req.size() < 13) return kBadValue;
        channels_[ch].filterFirst = byteAt(req, 5);
        channels_[ch].filterSecond = byteAt(req, 6);
        channels_[ch].filterValue = floatAt(req, 7);
        return kOk;
    case 0x5D:
        if (!channelOk) return kBadChannel;
        channels_[ch].timeoutMs = leAt(req, 5, 4);
        return kOk;
    case 0x65: {
        const int point = byteAt(req, 5);
        if (ch >= calibration_.size()) return kBadChannel;
        if (point >= calibration_[ch].size()) return kBadValue;
        // The long form carries a full 32-bit value.
        calibration_[ch][point] = req.size() >= 12 ? leAt(req, 6, 4) : leAt(req, 6, 3);
        return kOk;
    }
    case 0x42: {
        if (ch >= calibration_.size()) return kBadChannel;
        const int given = std::max(0, (int(req.size()) - 7) / 4);
        for (int i = 0; i < calibration_[ch].size(); ++i)
            calibration_[ch][i] = i < given ? leAt(req, 5 + 4 * i, 4) : 0;
        return kOk;
    }
    case 0x40: autoDacAtPowerUp_ = byteAt(req, 4) ? 1 : 0; return kOk;
    case 0x43: pressRelease_ = leAt(req, 4, 4); pressReleaseScale_ = byteAt(req, 8); return kOk;
    case 0x45: proxRelease_ = leAt(req, 4, 4); proxReleaseScale_ = byteAt(req, 8); return kOk;
    case 0x5B: proxClearFlag_ = byteAt(req, 4) ? 1 : 0; proxClearTimeout_ = leAt(req, 5, 4); return kOk;
    case kSetAddress: {
        const uint8_t newAddr = byteAt(req, kAddressByte);
        if (newAddr < 1 || newAddr > kMaxAddress) return kBadValue;
        addr_ = newAddr;
        return kOk;
    }
    case 0x7F: sendType_ = byteAt(req, 7); return kOk;
    case 0x73: offset_ = byteAt(req, 7); return kOk;
    case 0x76: resetSettings(); return kOk;
    default: return kOk;
    }
}

void SimSensor::fillPayload(uint8_t code, const QByteArray& req, QByteArray& answer) const
{
    Payload p(answer);
    const int n = channels_.size();
    switch (code) {
    case 0x66: {
        const int ch = byteAt(req, 4);
        if (ch < calibration_.size())
            for (int i = 0; i < calibration_[ch].size(); ++i)
                p.u32(4 + 4 * i, calibration_[ch][i]);
        break;
    }
    case 0x6D:
        p.u8(4, model_.caliNum);
        for (int i = 0; i < model_.caliNum; ++i)
            p.f32(5 + 4 * i, float(model_.pressMax * (i + 1) / model_.caliNum));
        break;
    case 0x6F:  // 0 calibrated, 1 not calibrated (a cleared column)
        for (int ch = 0; ch < calibration_.size(); ++ch) {
            const bool cleared = std::all_of(calibration_[ch].begin(), calibration_[ch].end(),
                                             [](uint32_t v) { return v == 0; });
            p.u8(4 + ch, cleared && !calibration_[ch].isEmpty() ? 1 : 0);
        }
        break;
    case 0x68:
        for (int i = 0; i < n; ++i) p.u32(4 + 4 * i, channels_[i].threshold);
        break;
    case 0x5E:
        for (int i = 0; i < n; ++i) p.u32(4 + 4 * i, channels_[i].timeoutMs);
        break;
    case 0x4A:
        for (int i = 0; i < n; ++i) {
            p.u8(4 + 4 * i, uint8_t(i));
            p.u8(5 + 4 * i, 0x10);
            p.u16(6 + 4 * i, uint16_t(2048 + 16 * i));
        }
        break;
    case 0x51:
        for (int i = 0; i < n; ++i) p.u8(4 + i, channels_[i].excitation);
        break;
    case 0x53:
        for (int i = 0; i < n; ++i) p.u8(4 + i, channels_[i].range);
        break;
    case 0x5A:
        for (int i = 0; i < n; ++i) {
            p.u8(4 + i, channels_[i].filterFirst);
            p.u8(4 + n + i, channels_[i].filterSecond);
            p.f32(4 + 2 * n + 4 * i, channels_[i].filterValue);
        }
        break;
    case 0xA0:
        p.text(4, "Mar 18 2024", 11);
        p.text(15, "10:42:07", 8);
        break;
    case 0xA6:
        for (int i = 0; i < 3; ++i) p.u8(4 + i, config_.version[i]);
        p.u8(7, config_.prg);
        break;
    case 0x62:
        p.u8(4, model_.layout.chNum);
        p.u8(5, model_.pressNum);
        p.u8(6, model_.layout.yddsNum);
        p.u8(8, model_.layout.sProxNum + model_.layout.mProxNum);
        break;
    case 0xA4: {
        const QByteArray text = config_.serial.toLatin1().left(kMaxSerialText);
        p.u8(4, uint8_t(text.size()));
        p.text(5, text, text.size());
        break;
    }
    case 0x71: p.u8(kAddressByte, addr_); break;  // 0x70 answers its status there
    case 0x41: p.u8(7, autoDacAtPowerUp_); break;
    case 0x44: p.u32(4, pressRelease_); p.u8(8, pressReleaseScale_); break;
    case 0x46: p.u32(4, proxRelease_); p.u8(8, proxReleaseScale_); break;
    case 0x5C: p.u8(4, proxClearFlag_); p.u32(5, proxClearTimeout_); break;
    case 0x74: p.u16(4, 2534); break;  // 25.34 degrees
    case 0x6C: p.u16(4, uint16_t(1000 / config_.framePeriodMs)); break;
    default: break;
    }
}

}  // namespace detail
}  // namespace sim
