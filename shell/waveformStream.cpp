#include "waveformStream.h"

#include "class_finger.h"

#include <QtEndian>
#include <cstring>

namespace waveformStream {
namespace {

const char kFieldSeparator = ',';
const char kLineEnd[] = "\r\n";
// +infinity as a little-endian float: the viewer's end-of-sample mark.
const char kJustFloatTail[] = {'\x00', '\x00', '\x80', '\x7F'};

}  // namespace

QVector<QString> fields(const class_finger& ff)
{
    QVector<QString> out;
    out.reserve(ff.chDataList.size() + 3 * ff.yddsList.size() + ff.sProxList.size() + ff.mProxList.size() + 1);
    out += ff.chDataList;
    for (const class_finger::ydds_str_ts& point : ff.yddsList)
        out << point.normal << point.tangential << point.direction;
    out += ff.sProxList;
    out += ff.mProxList;
    if (!ff.statusList.isEmpty())
        out << ff.statusList.first();
    return out;
}

QByteArray fireWater(const QVector<QString>& fields)
{
    QByteArray line;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += kFieldSeparator;
        line += fields[i].toLatin1();
    }
    return line + kLineEnd;
}

QByteArray justFloat(const QVector<QString>& fields)
{
    QByteArray bytes;
    bytes.reserve(4 * fields.size() + int(sizeof kJustFloatTail));
    for (const QString& field : fields) {
        const float value = field.toFloat();  // 0 when the text is no number
        quint32 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        char le[sizeof bits];
        qToLittleEndian(bits, le);
        bytes.append(le, int(sizeof le));
    }
    return bytes.append(kJustFloatTail, int(sizeof kJustFloatTail));
}

QByteArray sample(const class_finger& ff, int format)
{
    switch (format) {
    case FireWater:
        return fireWater(fields(ff));
    case JustFloat:
        return justFloat(fields(ff));
    default:
        return {};
    }
}

}  // namespace waveformStream
