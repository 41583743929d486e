#include "catalogueFrames.h"

namespace catalogueFrames {
namespace {

constexpr uint8_t kSelfInPointFormat = 2;

// Half newtons print exactly with two decimals in every format.
QString halfNewtons(float value)
{
    const int halves = int(value * 2);
    return QString("%1.%2").arg(halves / 2).arg(halves % 2 ? "50" : "00");
}

}  // namespace

sim::FrameLayout layoutOf(const finger_param_ts& r)
{
    sim::FrameLayout l;
    l.chNum = r.chNum;
    l.chSize = r.chSize;
    l.yddsNum = r.yddsNum;
    l.yddsFormat = r.yddsFormat;
    l.sProxNum = r.sProxNum;
    l.mProxNum = r.mProxNum;
    l.statusNum = r.statusNum;
    return l;
}

sim::FrameValues sampleValues(const finger_param_ts& r, uint32_t salt)
{
    sim::FrameValues v;
    for (int i = 0; i < r.chNum; ++i)
        v.channels.append(2 * (50000 + 1013 * uint32_t(i) + salt) + uint32_t(i % 2));
    for (int k = 0; k < r.yddsNum; ++k) {
        const uint32_t step = (uint32_t(k) + salt) % 20;
        v.points.append({1.5f + step, 0.5f + step / 2.0f, uint16_t((37 * k + 90 + salt) % 360)});
    }
    const int selfCount = r.yddsFormat == kSelfInPointFormat ? 1 : r.sProxNum;
    for (int i = 0; i < selfCount; ++i)
        v.sProx.append(200000 + 7 * uint32_t(i) + salt);
    for (int i = 0; i < r.mProxNum; ++i)
        v.mProx.append(300000 + 11 * uint32_t(i) + salt);
    v.status = uint8_t(5 + salt);
    return v;
}

QByteArray frameFor(uint8_t typeCode, const sim::FrameValues& values, uint8_t seq, uint8_t id)
{
    const finger_param_ts* r = findFingerParam(typeCode);
    return r ? sim::buildDataFrame(layoutOf(*r), id, seq, values) : QByteArray();
}

QByteArray sampleFrame(uint8_t typeCode, uint32_t salt, uint8_t seq, uint8_t id)
{
    const finger_param_ts* r = findFingerParam(typeCode);
    return r ? frameFor(typeCode, sampleValues(*r, salt), seq, id) : QByteArray();
}

QVector<QString> dataTexts(const finger_param_ts& r, const sim::FrameValues& v)
{
    QVector<QString> texts;
    for (int i = 0; i < r.chNum; ++i) {
        const uint32_t raw = i < v.channels.size() ? v.channels[i] : 0;
        const uint32_t kept = r.chSize >= 4 ? raw : raw & ((1u << (8 * r.chSize)) - 1);
        texts.append(r.chSize >= 4 ? QString::number(int32_t(kept)) : QString::number(kept));
    }
    for (int k = 0; k < r.yddsNum; ++k) {
        const sim::ForcePoint p = k < v.points.size() ? v.points[k] : sim::ForcePoint();
        texts << halfNewtons(p.normal) << halfNewtons(p.tangential) << QString::number(p.direction);
    }
    const bool selfInPoint = r.yddsFormat == kSelfInPointFormat;
    const int selfCount = selfInPoint ? (r.yddsNum > 0 ? 1 : 0) : r.sProxNum;
    for (int i = 0; i < selfCount; ++i) {
        const uint32_t raw = i < v.sProx.size() ? v.sProx[i] : 0;
        texts.append(QString::number(selfInPoint ? raw : raw & 0xFFFFFF));
    }
    for (int i = 0; i < r.mProxNum; ++i)
        texts.append(QString::number((i < v.mProx.size() ? v.mProx[i] : 0) & 0xFFFFFF));
    if (r.statusNum == 1)
        texts.append(QString::number(v.status));
    return texts;
}

QByteArray closedFrame(QByteArray body)
{
    if (body.size() >= 4) {
        body[0] = char(sim::kFrameHeader0);
        body[1] = char(sim::kFrameHeader1);
        body[3] = char(sim::kDataFrameCode);
    }
    sim::closeWithSum(body);
    return body;
}

QByteArray randomFrame(int length, QRandomGenerator& rng)
{
    QByteArray body(length, '\0');
    for (char& c : body)
        c = char(rng.bounded(256));
    return closedFrame(body);
}

QVector<uint8_t> toPack(const QByteArray& frame)
{
    QVector<uint8_t> pack;
    pack.reserve(frame.size());
    for (char c : frame)
        pack.append(uint8_t(c));
    return pack;
}

}  // namespace catalogueFrames
