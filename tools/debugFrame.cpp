#include "debugFrame.h"

#include "class_sensorCmd.h"
#include "pca9548.h"

#include <QObject>
#include <QtEndian>

namespace debugFrame {

namespace {

constexpr int kSumLen = 2;

uint16_t sumOf(const QByteArray& bytes, int count)
{
    return class_sensorCmd::sum16(reinterpret_cast<const uint8_t*>(bytes.constData()), count);
}

// "0x%02x," for every byte, the last comma left out.
QString byteList(const QByteArray& bytes)
{
    QString list;
    for (char b : bytes)
        list += QString::asprintf("0x%02x,", uint8_t(b));
    return list;
}

QString entryTail(uint8_t addr, const QByteArray& bytes)
{
    QString text = QObject::tr("地址:") + QString::asprintf("0x%02X", addr) + "\n" + QObject::tr("长度:") +
                   QString::number(bytes.size()) + "\n" + QObject::tr("命令:") + "\n" + byteList(bytes);
    text.chop(1);
    return text;
}

}  // namespace

QByteArray fromHex(const QString& text)
{
    QByteArray frame;
    for (int i = 0; i < text.size(); i += 2)
        frame.append(char(text.mid(i, 2).toUInt(nullptr, 16) & 0xFF));
    return frame;
}

QString sumLabel(const QByteArray& frame)
{
    const uint16_t sum = sumOf(frame, frame.size());
    return QString::asprintf("%02x%02x", sum & 0xFF, sum >> 8);
}

QByteArray sumBytes(const QString& label)
{
    QByteArray bytes;
    bytes.append(char(label.mid(0, 2).toUInt(nullptr, 16)));
    bytes.append(char(label.mid(2, 2).toUInt(nullptr, 16)));
    return bytes;
}

void resum(QByteArray& frame)
{
    if (frame.size() < kSumLen)
        return;
    qToLittleEndian<quint16>(sumOf(frame, frame.size() - kSumLen), frame.data() + frame.size() - kSumLen);
}

bool sumMatches(const QByteArray& bytes, uint16_t* computed)
{
    if (bytes.size() < kSumLen) {
        *computed = 0;
        return false;
    }
    *computed = sumOf(bytes, bytes.size() - kSumLen);
    return *computed == qFromLittleEndian<quint16>(bytes.constData() + bytes.size() - kSumLen);
}

QString writeEntry(uint8_t addr, const QByteArray& frame)
{
    return QObject::tr("写:\n") + entryTail(addr, frame);
}

QString readEntry(uint8_t addr, const QByteArray& bytes)
{
    uint16_t computed = 0;
    const bool ok = sumMatches(bytes, &computed);
    const QString check = QObject::tr("读:") + QObject::tr("校验") +
                          (ok ? QObject::tr("成功") : QObject::tr("失败:") + QString::asprintf("0x%04x", computed));
    return check + "\n" + entryTail(addr, bytes);
}

QString stamped(const QDateTime& at, const QString& entry)
{
    return "[" + at.toString("yyyy/MM/dd hh:mm:ss:zzz") + "]:" + entry + "\n";
}

int connectorOf(int channel)
{
    for (int n = 1; n <= pca9548::kBoardCount; ++n)
        if (channel >= 0 && channel < pca9548::kChannelCount && pca9548::kBoardMasks[n - 1] == (1u << channel))
            return n;
    return 0;
}

int channelOf(int connector)
{
    if (connector < 1 || connector > pca9548::kBoardCount)
        return -1;
    for (int b = 0; b < pca9548::kChannelCount; ++b)
        if (pca9548::kBoardMasks[connector - 1] == (1u << b))
            return b;
    return -1;
}

}  // namespace debugFrame
