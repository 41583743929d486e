#include "hex2bin.h"

#include <QDebug>
#include <QMap>
#include <QString>
#include <QStringList>

namespace {

enum : uint32_t { kData = 0x00, kEndOfFile = 0x01, kSegment = 0x02, kStartSegment = 0x03, kLinear = 0x04 };

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The hexadecimal value of len characters at pos; false unless every one is a hex digit.
bool hexField(const QString& line, int pos, int len, uint32_t* value)
{
    if (pos + len > line.size())
        return false;
    uint32_t v = 0;
    for (int i = pos; i < pos + len; ++i) {
        const int digit = hexDigit(line[i]);
        if (digit < 0)
            return false;
        v = v * 16 + uint32_t(digit);
    }
    *value = v;
    return true;
}

}  // namespace

QByteArray hex2bin::hexToBin(const QByteArray& file)
{
    const int nul = file.indexOf('\0');
    QString text = QString::fromLatin1(nul < 0 ? file : file.left(nul));
    // CR LF, LF and CR each end a line.
    text.replace("\r\n", "\n").replace('\r', '\n');

    QByteArray image;
    QMap<uint32_t, QByteArray> addressMap;
    uint32_t base = 0;
    bool haveEnd = false;
    uint32_t nextAddress = 0;
    for (const QString& line : text.split('\n')) {
        if (line.isEmpty() || line[0] != ':')
            continue;
        uint32_t count = 0, offset = 0, type = 0;
        if (!hexField(line, 1, 2, &count) || !hexField(line, 3, 4, &offset) || !hexField(line, 7, 2, &type))
            return QByteArray();
        QByteArray data;
        uint32_t sum = count + (offset >> 8) + (offset & 0xFF) + type;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t byte = 0;
            if (!hexField(line, int(9 + 2 * i), 2, &byte))
                return QByteArray();
            data.append(char(byte));
            sum += byte;
        }
        uint32_t checksum = 0;
        if (!hexField(line, int(9 + 2 * count), 2, &checksum))
            return QByteArray();
        if (((sum + checksum) & 0xFF) != 0) {
            qWarning().noquote() << "Checksum error at line:" << line;
            return QByteArray();
        }
        switch (type) {
        case kData: {
            const uint32_t address = base + offset;
            if (!image.isEmpty() && address != nextAddress)
                qWarning("hex record at 0x%08x does not continue 0x%08x", address, nextAddress);
            nextAddress = address + count;
            image.append(data);
            addressMap.insert(address, data);
            break;
        }
        case kEndOfFile:
            haveEnd = true;
            break;
        case kSegment:
        case kStartSegment:
        case kLinear: {
            uint32_t value = 0;
            if (!hexField(line, 9, 4, &value))
                return QByteArray();
            if (type == kSegment)
                base = value * 16;
            else if (type == kLinear)
                base = value << 16;
            break;
        }
        default:
            qWarning() << "Unsupported record type:" << type;
            return QByteArray();
        }
        if (haveEnd)
            return image;
    }
    qDebug() << addressMap;
    return image;
}
