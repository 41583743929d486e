#include "class_finger.h"

#include "class_sensorCmd.h"
#include "hooks.h"

#include <QDebug>
#include <charconv>
#include <cstring>

namespace {

constexpr uint8_t kHeader0 = class_sensorCmd::kSensorHead0;
constexpr uint8_t kHeader1 = class_sensorCmd::kSensorHead1;
constexpr uint8_t kDataFrameCode = class_sensorCmd::kDataFrameCode;
constexpr int kSeqOffset = 4;
constexpr int kValuesOffset = 6;
constexpr int kSumBytes = 2;
constexpr int kProxBytes = 3;
constexpr int kMaxValueBytes = 4;
constexpr uint8_t kFormatWithSelfProxInPoint = 2;
constexpr int kSelfProxInPointOffset = 18;
constexpr float kMilliNewtons = 1000.0f;
constexpr int kForceDecimals = 2;

uint32_t readLe(const uint8_t* at, int width)
{
    uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= uint32_t(at[i]) << (8 * i);
    return v;
}

float readFloat(const uint8_t* at)
{
    const uint32_t bits = readLe(at, 4);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

struct Point {
    float normal = 0;
    float tangential = 0;
    uint16_t direction = 0;
    // Formats 3 and 4 send whole tenths or hundredths of a newton; 0 for the float formats.
    uint32_t unitsPerNewton = 0;
    uint32_t normalUnits = 0;
    uint32_t tangentialUnits = 0;
};

// One point record by its format; false for a format the decoder does not know.
bool readPoint(const uint8_t* at, uint8_t format, Point& out)
{
    switch (format) {
    case 2:
        out = {readFloat(at), readFloat(at + 8), uint16_t(readLe(at + 16, 2))};
        return true;
    case 3:
        out = {at[0] / 10.0f, at[1] / 10.0f, uint16_t(readLe(at + 2, 2)), 10, at[0], at[1]};
        return true;
    case 4: {
        const uint32_t n = readLe(at, 2);
        const uint32_t t = readLe(at + 2, 2);
        out = {n / 100.0f, t / 100.0f, uint16_t(readLe(at + 4, 2)), 100, n, t};
        return true;
    }
    case 5:
        out = {readFloat(at), readFloat(at + 4), uint16_t(readLe(at + 8, 2))};
        return true;
    default:
        return false;
    }
}

// The decimal text of an integer, as QString::number writes it, without its locale machinery:
// a frame has dozens of them.
QString decimal(int64_t v)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    return QString::fromLatin1(digits, int(end - digits));
}

// A force's text with two decimals, as QString::number(force, 'f', 2) writes it. Sent in whole
// tenths or hundredths, it is made from those directly (the float is within far less than half a
// hundredth of them, so the two agree): a frame may carry dozens.
QString forceText(float force, uint32_t units, uint32_t unitsPerNewton)
{
    if (unitsPerNewton == 0)
        return QString::number(force, 'f', kForceDecimals);
    const uint32_t hundredths = units * (100 / unitsPerNewton);
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits - 3, hundredths / 100).ptr;
    *end++ = '.';
    *end++ = char('0' + hundredths / 10 % 10);
    *end++ = char('0' + hundredths % 10);
    return QString::fromLatin1(digits, int(end - digits));
}

// Empties a list for the next frame without copying it when the previous frame's list is still
// shared with a receiver (the panel's queued signals hold copies).
template <typename T>
void restart(QVector<T>& list, int capacity)
{
    if (list.isDetached())
        list.clear();
    else
        list = QVector<T>();
    list.reserve(capacity);
}

// The frame layout, walked once per use: the channels, the force points, the self and the mutual
// proximity values and the status, each handed to the visitor in frame order with its value.
template <typename Visitor>
void walkFrame(const uint8_t* bytes, const finger_param_ts& p, int pointSize, Visitor& visit)
{
    const uint8_t* at = bytes + kValuesOffset;
    for (int i = 0; i < p.chNum; ++i, at += p.chSize) {
        const uint32_t v = readLe(at, p.chSize);
        const int32_t sv = int32_t(v);  // 4-byte values are signed; 3-byte ones never reach bit 31
        const float force = (sv > 1 ? float(sv) : 0.0f) / kMilliNewtons;
        visit.channel(uint8_t(i), v, sv, i < p.pressNum, force);
    }
    visit.channelsDone();

    const uint8_t* firstPoint = at;
    for (int k = 0; k < p.yddsNum; ++k, at += pointSize) {
        Point pt;
        if (readPoint(at, p.yddsFormat, pt))
            visit.point(uint8_t(k), pt);
    }
    if (p.yddsFormat == kFormatWithSelfProxInPoint) {
        // The one self value travels inside the first point record; without a point there is none.
        if (p.yddsNum > 0)
            visit.selfProx(0, readLe(firstPoint + kSelfProxInPointOffset, 4));
    } else {
        for (int i = 0; i < p.sProxNum; ++i, at += kProxBytes)
            visit.selfProx(uint8_t(i), readLe(at, kProxBytes));
    }
    for (int i = 0; i < p.mProxNum; ++i, at += kProxBytes)
        visit.mutualProx(uint8_t(i), readLe(at, kProxBytes));
    if (p.statusNum == 1)
        visit.status(*at);
}

// Every record must be consistent with the frame layout rule; a fault is reported, not fatal.
void checkCatalogue()
{
    int pointSize = 0;
    for (const finger_param_ts& p : fingerParams) {
        if (p.chNum != p.pressNum + p.sProxNum + p.mProxNum)
            hooks::warning(QObject::tr("传感器通道数量错误"), QObject::tr("通道数:%1.%2,%3,%4")
                                                                   .arg(p.chNum)
                                                                   .arg(p.pressNum)
                                                                   .arg(p.sProxNum)
                                                                   .arg(p.mProxNum));
        if (const int size = yddsPointSize(p.yddsFormat))
            pointSize = size;
        else
            hooks::warning(QObject::tr("错误"), QObject::tr("三维力数据格式错误"));
        const uint16_t expected = uint16_t(layoutBytes(p, pointSize));
        if (expected != p.packLen)
            hooks::warning(QObject::tr("传感器数据长度错误"), QObject::tr("数据长度不匹配:%1,长度:%2 / %3")
                                                                   .arg(QString::fromUtf8(p.name))
                                                                   .arg(p.packLen)
                                                                   .arg(expected));
    }
}

}  // namespace

class_finger::class_finger(uint8_t prg, QWidget* widget) : widget(widget)
{
    checkCatalogue();
    if (prg == kUnknownType)
        return;
    const int idx = fingerParamIndex(prg);
    if (idx < 0) {
        qDebug() << "not found finger prg";
        hooks::warning(QObject::tr("传感器类型错误"), QObject::tr("未识别传感器类型") + QString::number(prg));
        return;
    }
    useRecord(fingerParams[idx], uint8_t(idx));
}

class_finger::~class_finger() = default;

void class_finger::setShowData(bool) {}
void class_finger::setData(uint8_t, uint32_t) {}
void class_finger::setTouchState(uint8_t, bool) {}
void class_finger::setYdds(uint8_t, float, float, uint16_t) {}
void class_finger::setSProx(uint8_t, uint32_t) {}
void class_finger::setMProx(uint8_t, uint32_t) {}
void class_finger::setPress(uint8_t, float, float) {}
void class_finger::setPressNList(QVector<float>, float) {}
void class_finger::setErrCode(uint8_t) {}

bool class_finger::selectRecord(uint8_t prg)
{
    if (prg == kUnknownType)
        return false;
    const int idx = fingerParamIndex(prg);
    if (idx < 0)
        return false;
    useRecord(fingerParams[idx], uint8_t(idx));
    return true;
}

void class_finger::useRecord(const finger_param_ts& record, uint8_t index)
{
    fingerParam = &record;
    paramIdx = index;
    yddsSize = yddsPointSize(record.yddsFormat);
    m_latest.clear();  // laid out by the previous record
    // Checked once here so that the per-frame path needs only the frame length test to stay in bounds.
    m_layoutFits = record.chSize <= kMaxValueBytes && layoutBytes(record, yddsSize) <= record.packLen;
}

int class_finger::parseData(const QByteArray& frame)
{
    const int result = decodeFrame(frame);
    if (result == Decoded)
        showLatestFrame();
    return result;
}

int class_finger::decodeFrame(const QByteArray& frame)
{
    if (paramIdx == kNoRecord || !fingerParam)
        return NoRecord;
    const finger_param_ts& p = *fingerParam;
    const int n = frame.size();
    if (n != p.packLen) {
        qDebug("len err:%d,%d", n, p.packLen);
        return LengthMismatch;
    }
    if (!m_layoutFits) {
        qDebug("layout err:%d", p.prg);  // a catalogue fault, warned about at construction
        return LengthMismatch;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(frame.constData());
    if (bytes[0] != kHeader0 || bytes[1] != kHeader1 || bytes[3] != kDataFrameCode ||
        class_sensorCmd::sum16(bytes, n - kSumBytes) != readLe(bytes + n - kSumBytes, kSumBytes)) {
        qDebug("chk err");
        return HeaderOrSumError;
    }

    const bool selfInPoint = p.yddsFormat == kFormatWithSelfProxInPoint;
    const int selfCount = selfInPoint ? (p.yddsNum > 0 ? 1 : 0) : p.sProxNum;
    const int statusCount = p.statusNum == 1 ? 1 : 0;
    restart(chDataList, p.chNum);
    restart(yddsList, p.yddsNum);
    restart(sProxList, selfCount);
    restart(mProxList, p.mProxNum);
    restart(proxList, selfCount + p.mProxNum);
    restart(statusList, statusCount);
    restart(dataList, p.chNum + 3 * p.yddsNum + selfCount + p.mProxNum + statusCount);
    seq = bytes[kSeqOffset];

    // The value texts of the frame, for the rows, the log and the stream.
    struct Texts {
        class_finger& f;
        void channel(uint8_t, uint32_t, int32_t sv, bool, float)
        {
            const QString text = decimal(sv);
            f.chDataList.append(text);
            f.dataList.append(text);
        }
        void channelsDone() {}
        void point(uint8_t, const Point& pt)
        {
            const ydds_str_ts texts{forceText(pt.normal, pt.normalUnits, pt.unitsPerNewton),
                                    forceText(pt.tangential, pt.tangentialUnits, pt.unitsPerNewton),
                                    decimal(pt.direction)};
            f.yddsList.append(texts);
            f.dataList.append(texts.normal);
            f.dataList.append(texts.tangential);
            f.dataList.append(texts.direction);
        }
        // Each proximity text goes to its own list, the joint list and the frame's list.
        void prox(QVector<QString>& own, uint32_t v)
        {
            const QString text = decimal(v);
            own.append(text);
            f.proxList.append(text);
            f.dataList.append(text);
        }
        void selfProx(uint8_t, uint32_t v) { prox(f.sProxList, v); }
        void mutualProx(uint8_t, uint32_t v) { prox(f.mProxList, v); }
        void status(uint8_t b)
        {
            const QString text = decimal(b);
            f.statusList.append(text);
            f.dataList.append(text);
        }
    } texts{*this};
    walkFrame(bytes, p, yddsSize, texts);
    m_latest = frame;
    return Decoded;
}

void class_finger::showLatestFrame()
{
    if (m_latest.isEmpty() || !fingerParam)
        return;
    restart(m_forces, fingerParam->pressNum);

    // The setters in their order, with the numbers of the frame.
    struct Setters {
        class_finger& f;
        void channel(uint8_t i, uint32_t v, int32_t, bool isPress, float force)
        {
            f.setData(i, v);
            f.setTouchState(i, v & 1);  // bit 0 is the touch flag
            if (isPress) {
                f.setPress(i, force, f.fingerParam->pressMax);
                f.m_forces.append(force);
            }
        }
        void channelsDone() { f.setPressNList(f.m_forces, f.fingerParam->pressMax); }
        void point(uint8_t k, const Point& pt) { f.setYdds(k, pt.normal, pt.tangential, pt.direction); }
        void selfProx(uint8_t i, uint32_t v) { f.setSProx(i, v); }
        void mutualProx(uint8_t i, uint32_t v) { f.setMProx(i, v); }
        void status(uint8_t b) { f.setErrCode(b); }
    } setters{*this};
    walkFrame(reinterpret_cast<const uint8_t*>(m_latest.constData()), *fingerParam, yddsSize, setters);
    emit fingerSignals.si_dataUpdate();
}
