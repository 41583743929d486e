#include "class_ch341.h"

#include "bridgeAdapter.h"
#include "ch341dll.h"
#include "msleep.h"

#include <QDebug>
#include <QTimer>
#include <array>
#include <cstring>

class_ch341* class_ch341::notify = nullptr;

namespace {

using HandOver = bridge::PlugHandOver<class_ch341>;

constexpr int kMaxDeviceIndex = 15;
constexpr int kFirstScanDelayMs = 100;

// Stream packet bytes.
constexpr uint8_t kStream = 0xAA;
constexpr uint8_t kStart = 0x74;
constexpr uint8_t kStop = 0x75;
constexpr uint8_t kEnd = 0x00;
constexpr uint8_t kOutput = 0x80;      // | n: output n bytes
constexpr uint8_t kInput = 0xC0;       // | n: input n bytes acknowledged; alone: one byte, no ack
constexpr uint8_t kDelay15us = 0x4F;
constexpr uint8_t kDelayCodes[] = {0, 2, 3, 5};  // per speed mode 0..3

constexpr int kWriteChunk = 20;
constexpr int kReadChunk = 30;
constexpr int kMaxReadChunks = 255;   // the chunk count is 8 bits wide
constexpr uint16_t kMaxRead = kReadChunk * (kMaxReadChunks + 1);  // 7680
constexpr uint32_t kReadStep = 63;
constexpr int kReadBufferSize = 64;

constexpr uint32_t kResetLineBit = 1u << 10;  // output line resetting the multiplexer
constexpr uint32_t kOutputEnable = 3;         // data and direction of bits 15..8
constexpr uint32_t kOutputDirection = 0xFF00;
constexpr uint32_t kSettleMs = 10;

// Decimal value of a name field; not a number counts 0.
uint32_t decimalField(const QStringList& fields, int i)
{
    return fields.value(i).toUInt();
}

}  // namespace

class_ch341::class_ch341(QObject* parent) : QObject(parent)
{
    qDebug() << "ch341 new";
    HandOver::adopt(this);
    CH341SetDeviceNotify(0, nullptr, &class_ch341::CH341_NOTIFY_ROUTINE);
    QTimer::singleShot(kFirstScanDelayMs, this, [this] {
        scan();
        emit si_updateList(idList);
    });
}

class_ch341::~class_ch341()
{
    qDebug() << "ch341 delete";
    close();
    HandOver::release(this, [] { CH341SetDeviceNotify(0, nullptr, nullptr); });
}

int class_ch341::scan()
{
    idList.clear();
    indexList.clear();
    for (uint8_t index = 0; index <= kMaxDeviceIndex; ++index) {
        const char* name = CH341GetDeviceName(index);
        if (!name)
            continue;
        const QString text = QString::fromLatin1(name);
        qDebug() << text;
        const QString upper = text.toUpper();
        const int pid = upper.indexOf("PID_");
        if (pid < 0 || upper.mid(pid + 4, 4) != "5512")
            continue;
        // A name with fewer fields than the rule reads gives 0 for each missing one.
        const QStringList sub = text.split('#').value(2).split('&');
        idList.append(uint16_t(decimalField(sub, 3) + 1000 * decimalField(sub, 0)));
        indexList.append(index);
    }
    qDebug() << idList;
    return idList.size();
}

void class_ch341::getScanSignal()
{
    scan();
    emit si_updateList(idList);
}

int class_ch341::deviceIndexOf(uint16_t id) const
{
    return bridge::deviceIndexOf(idList, indexList, id);
}

bool class_ch341::open(uint16_t id)
{
    return bridge::openAt(
        *this, id, deviceIndexOf(id), kMaxDeviceIndex, [](uint8_t i) { return CH341OpenDevice(i); },
        [](uint8_t i) { CH341CloseDevice(i); },
        [](uint8_t i) {
            CH341ResetDevice(i);
            CH341FlushBuffer(i);
        });
}

bool class_ch341::close()
{
    return bridge::closeWith(*this, [](uint8_t i) { CH341CloseDevice(i); });
}

QByteArray class_ch341::header(uint8_t addressByte) const
{
    QByteArray h;
    h.append(char(kStream)).append(char(kStart)).append(char(kOutput | 1)).append(char(addressByte));
    const int delays = speedMode < sizeof kDelayCodes ? kDelayCodes[speedMode] : 0;
    h.append(QByteArray(delays, char(kDelay15us)));
    return h;
}

bool class_ch341::sendPacket(const QByteArray& packet)
{
    uint32_t length = uint32_t(packet.size());
    return CH341WriteData(devIndex, packet.constData(), &length) && length != 0;
}

bool class_ch341::readPacket(const QByteArray& packet, uint8_t* dest, uint8_t count)
{
    std::array<uint8_t, kReadBufferSize> local{};
    uint32_t got = 0;
    if (!CH341WriteRead(devIndex, uint32_t(packet.size()), packet.constData(), kReadStep, 1, &got, local.data()))
        return false;
    // A short answer is a failed read, not data padded with whatever the buffer held.
    if (got != count)
        return false;
    std::memcpy(dest, local.data(), count);
    return true;
}

uint16_t class_ch341::write(uint8_t addr, uint8_t* data, uint16_t len)
{
    if (!isOpen() || !data || len == 0)
        return 0;
    const int full = len / kWriteChunk;
    const int rest = len % kWriteChunk;
    const uint8_t* at = data;
    QByteArray packet = header(uint8_t(addr << 1));
    for (int k = 0; k < full; ++k, at += kWriteChunk) {
        if (k > 0)
            packet = QByteArray(1, char(kStream));
        packet.append(char(kOutput | kWriteChunk));
        packet.append(reinterpret_cast<const char*>(at), kWriteChunk);
        packet.append(char(kEnd));
        if (!sendPacket(packet))
            return 0;
    }
    if (full > 0)
        packet = QByteArray(1, char(kStream));
    if (rest > 0) {
        packet.append(char(kOutput | rest));
        packet.append(reinterpret_cast<const char*>(at), rest);
    }
    packet.append(char(kStop)).append(char(kEnd));
    return sendPacket(packet) ? len : 0;
}

uint16_t class_ch341::read(uint8_t addr, uint8_t* buf, uint16_t len)
{
    if (!isOpen() || !buf || len == 0)
        return 0;
    if (len > kMaxRead) {
        qDebug("ch341 read too long:%d", len);
        return 0;
    }
    int full = len / kReadChunk;
    int rest = len % kReadChunk;
    if (rest == 0) {
        --full;
        rest = kReadChunk;
    }
    uint8_t* at = buf;
    QByteArray packet = header(uint8_t((addr << 1) + 1));
    for (int k = 0; k < full; ++k, at += kReadChunk) {
        if (k > 0)
            packet = QByteArray(1, char(kStream));
        packet.append(char(kInput | kReadChunk)).append(char(kEnd));
        if (!readPacket(packet, at, kReadChunk))
            return 0;
    }
    if (full > 0)
        packet = QByteArray(1, char(kStream));
    if (rest > 1)
        packet.append(char(kInput | (rest - 1)));
    packet.append(char(kInput)).append(char(kStop)).append(char(kEnd));
    return readPacket(packet, at, uint8_t(rest)) ? len : 0;
}

int class_ch341::setIICSpeed(ch341_iic_speed_te mode)
{
    if (!isOpen() || mode >= sizeof kDelayCodes)
        return 0;
    speedMode = mode;
    return CH341SetStream(devIndex, mode);
}

void class_ch341::setInt(uint8_t on)
{
    if (!isOpen())
        return;
    uint32_t status = 0;
    CH341GetInput(devIndex, &status);
    platform::msleep(kSettleMs);
    status = on ? (status | kResetLineBit) : (status & ~kResetLineBit);
    CH341SetOutput(devIndex, kOutputEnable, kOutputDirection, status);
}

uint8_t class_ch341::getInt()
{
    if (!isOpen())
        return 0xFF;
    uint32_t status = 0;
    CH341GetInput(devIndex, &status);
    return (status & kResetLineBit) ? 1 : 0;
}

void class_ch341::CH341_NOTIFY_ROUTINE(unsigned long event)
{
    HandOver::post([event](class_ch341* adapter) { adapter->onPlugEvent(event); });
}

void class_ch341::onPlugEvent(unsigned long event)
{
    scan();
    emit si_updateList(idList);
    bridge::followPlugChange(*this, event, deviceIndexOf(openId));
}
