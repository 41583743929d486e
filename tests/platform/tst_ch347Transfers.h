#pragma once
// Whole I2C transactions on the simulated CH347 bridge at device index 0, as the simulator tests
// make them.

#include "ch347dll.h"

#include <QByteArray>
#include <cstdint>

inline bool writeAt(uint8_t addr, QByteArray data)
{
    data.prepend(char(addr << 1));
    return CH347StreamI2C(0, uint32_t(data.size()), data.constData(), 0, nullptr);
}

// The bytes of one read transaction; empty when the address is not acknowledged.
inline QByteArray readAt(uint8_t addr, int len)
{
    QByteArray buf(len, '\0');
    const uint8_t a = uint8_t((addr << 1) | 1);
    return CH347StreamI2C(0, 1, &a, uint32_t(len), buf.data()) ? buf : QByteArray();
}
