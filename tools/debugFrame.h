#pragma once
// What the command console makes of its texts and bytes, apart from any link: the frame typed as
// hexadecimal text, its 16-bit sum, the log entries of a write and a read, and the mapping between
// the multiplexer's channel bits and the adapter board's connectors.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace debugFrame {

// Two characters a byte; an odd last character is a byte of its own ("ABC" gives AB 0C).
QByteArray fromHex(const QString& text);
// The label shown beside the frame: the sum of all its bytes, low byte first, "%02x%02x".
QString sumLabel(const QByteArray& frame);
// The two sum bytes back from such a label (low byte, then high byte).
QByteArray sumBytes(const QString& label);
// Replaces the last two bytes by the sum of the others, low byte first.
void resum(QByteArray& frame);

// The closing sum test of a read: all bytes but the last two against the last two. With fewer than
// two bytes there is nothing to compare: it fails with a computed sum of 0.
bool sumMatches(const QByteArray& bytes, uint16_t* computed);

// Pane entries, without their time stamp.
QString writeEntry(uint8_t addr, const QByteArray& frame);
QString readEntry(uint8_t addr, const QByteArray& bytes);
// One line of the pane: "[yyyy/MM/dd hh:mm:ss:zzz]:" + entry + "\n".
QString stamped(const QDateTime& at, const QString& entry);

// The connector (1..6) wired to channel b, 0 for a channel without one; the channel (0..7) of
// connector n, -1 for no such connector.
int connectorOf(int channel);
int channelOf(int connector);

}  // namespace debugFrame
