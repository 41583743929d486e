#pragma once
// Data frames of the catalogue's sensor types for tests: the frame layout of a record, values
// that differ at every position, the frame that carries them and the texts a decoder keeps.

#include "fingerParams.h"
#include "simFrame.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <QVector>
#include <cstdint>

namespace catalogueFrames {

sim::FrameLayout layoutOf(const finger_param_ts& record);

// Values for the record's counts, distinct per field and position and shifted by salt; forces are
// whole or half newtons (exact in every point format), directions below 360, channel values odd
// and even by turns (channel i has touch bit i % 2).
sim::FrameValues sampleValues(const finger_param_ts& record, uint32_t salt = 0);

// A valid frame of the first record of typeCode; empty when the catalogue has none.
QByteArray frameFor(uint8_t typeCode, const sim::FrameValues& values, uint8_t seq = 1, uint8_t id = 1);
// The same with sampleValues(record, salt).
QByteArray sampleFrame(uint8_t typeCode, uint32_t salt = 0, uint8_t seq = 1, uint8_t id = 1);

// What the decoder keeps for these values, in frame order (dataList); forces must be whole or half
// newtons, as sampleValues gives them.
// 4-byte channel values read as signed 32-bit; format 2 keeps only the first self value.
QVector<QString> dataTexts(const finger_param_ts& record, const sim::FrameValues& values);

// Any bytes made a data frame: header and data code in place, closed by the sum (bodies shorter
// than the header are only closed).
QByteArray closedFrame(QByteArray body);
// A data frame of that length with random contents, as closedFrame makes it.
QByteArray randomFrame(int length, QRandomGenerator& rng);

// The worker hands frames over as QVector<uint8_t>.
QVector<uint8_t> toPack(const QByteArray& frame);

}  // namespace catalogueFrames
