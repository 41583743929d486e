#pragma once
// One connected sensor as the bus worker reports it; crosses threads by value.

#include <QMetaType>
#include <QString>
#include <QVector>
#include <cstdint>

struct sensor_ts {
    uint8_t infIdx = 0;         // bus channel 0..5
    uint8_t addr = 0;           // 7-bit I2C address (serial: the sensor's bus address)
    QVector<uint8_t> pack;      // latest data frame; its length is the read length of every poll
    uint8_t seq = 0;            // sequence byte of the last new frame
    QString sn;                 // serial-number text
    uint8_t prg = 0xFF;         // type code, 0xFF when it could not be read
    uint8_t devId = 0;          // byte 2 of the data frame seen at discovery
    uint16_t hz = 0;            // sequence steps in the current second
    uint16_t rHz = 0;           // frames received in the current second
    uint16_t ageMs = 0;         // milliseconds since the last new frame
};

Q_DECLARE_METATYPE(sensor_ts)
