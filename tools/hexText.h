#pragma once
// Bytes typed as hexadecimal text: byte i is characters 2i and 2i+1, an odd last character a
// byte of its own ("A1B" gives A1 0B). The tools' fields accept hexadecimal digits only.

#include <QByteArray>
#include <QString>

inline QByteArray hexTextToBytes(const QString& text)
{
    QByteArray bytes;
    for (int i = 0; i < text.size(); i += 2)
        bytes.append(char(text.mid(i, 2).toUInt(nullptr, 16) & 0xFF));
    return bytes;
}
