#pragma once
// Intel HEX text to the flat firmware image: the data records' bytes back to back in file order
// (load addresses do not place them). Any fault gives an empty image.

#include <QByteArray>

class hex2bin {
public:
    static QByteArray hexToBin(const QByteArray& file);
};
