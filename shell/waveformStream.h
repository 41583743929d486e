#pragma once
// One sample of the waveform stream, built from the value texts of the last decoded frame.
// The viewer accepts two formats: "FireWater", one comma-separated text line per sample, and
// "JustFloat", little-endian single-precision floats closed by the bytes of +infinity.

#include <QByteArray>
#include <QString>
#include <QVector>

class class_finger;

namespace waveformStream {

enum Format { FireWater = 0, JustFloat = 1 };

// The streamed values in stream order: raw channels; normal, tangential and direction of each
// force point; self proximity; mutual proximity; then the status when the frame has one.
QVector<QString> fields(const class_finger& ff);

// "12,-3" + CR LF for the fields 12 and -3, in Latin-1.
QByteArray fireWater(const QVector<QString>& fields);
// 4 little-endian bytes per field (0 for a text that is no number), then 00 00 80 7F.
QByteArray justFloat(const QVector<QString>& fields);

// The sample of a decoder's lists in the format of that index; empty for an unknown index.
QByteArray sample(const class_finger& ff, int format);

}  // namespace waveformStream
