#include "class_ymodem.h"

#include <QDebug>
#include <QTimer>
#include <algorithm>

uint8_t class_ymodem::errCnt = 0;

namespace {

constexpr int kHeaderPayload = 128;
constexpr int kLongPayload = 1024;
constexpr int kNameMax = 20;
constexpr int kTrailingZeros = 3;  // every block carries three 0x00 after its CRC
constexpr char kFill = 0x1A;
constexpr int kRepeatAfter = 20;   // unexpected bytes before the last packet goes again
constexpr int kCancelBytes = 8;
constexpr int kCancelReportMs = 100;
constexpr int kCanToStop = 5;

// start byte, block number, its complement, payload, CRC high and low, three 0x00
QByteArray block(uint8_t start, uint8_t number, QByteArray payload)
{
    QByteArray p;
    p.append(char(start)).append(char(number)).append(char(~number));
    p.append(payload);
    const uint16_t crc = class_ymodem::crc16(payload.constData(), payload.size());
    p.append(char(crc >> 8)).append(char(crc & 0xFF));
    p.append(QByteArray(kTrailingZeros, '\0'));
    return p;
}

bool isReply(uint8_t b)
{
    return b == class_ymodem::kAck || b == class_ymodem::kNak || b == class_ymodem::kCrcRequest;
}

}  // namespace

uint16_t class_ymodem::crc16(const char* data, int len)
{
    uint16_t crc = 0;
    for (int i = 0; i < len; ++i) {
        crc ^= uint16_t(uint8_t(data[i]) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

QByteArray class_ymodem::cancelPacket()
{
    return QByteArray(kCancelBytes, char(kCan));
}

class_ymodem::class_ymodem(QString name, QByteArray data)
    : fileName(name.toLatin1()), fileSize(uint32_t(data.size())), fileData(data),
      timeoutTimer(new QTimer(this)), readTimer(new QTimer(this))
{
    timeoutTimer->setInterval(kTimeoutMs);
    readTimer->setInterval(kPollMs);
    connect(timeoutTimer, &QTimer::timeout, this, [this] {
        timeoutTimer->stop();
        qDebug() << "ymodem timeout";
        if (end())
            emit si_updateTimeout();
    });
    connect(readTimer, &QTimer::timeout, this, [this] { emit si_read(1); });
    qDebug() << "ymodem create";
    qDebug().noquote() << "name:" + name;
    qDebug().noquote() << "size:" + QString::number(fileSize);
}

class_ymodem::~class_ymodem()
{
    qDebug() << "ymodem delete";
}

void class_ymodem::update_start()
{
    qDebug() << "update start";
    recvBuf.clear();
    sendPack.clear();
    packNum = 0;
    sentLen = 0;
    state = 1;
    closing = false;
    headerResent = false;
    cancelling = false;
    ended = false;
    timeoutTimer->start(kTimeoutMs);
    readTimer->start(kPollMs);
}

bool class_ymodem::end()
{
    if (ended)
        return false;
    ended = true;
    return true;
}

void class_ymodem::update_stop()
{
    timeoutTimer->stop();
    qDebug() << "update stop";
    if (end())
        emit si_updateCancel();
}

void class_ymodem::update_cancel()
{
    if (ended || cancelling)
        return;
    // From here the transfer stands still: a late ACK neither sends a block in place of the
    // cancel packet nor ends the run a second time.
    cancelling = true;
    sendPack = cancelPacket();
    delayWrite();
    timeoutTimer->stop();
    QTimer::singleShot(kCancelReportMs, this, [this] {
        qDebug() << "update cancel";
        if (end())
            emit si_updateCancel();
    });
}

void class_ymodem::sl_writeSuccess()
{
    delayRead();
}

void class_ymodem::delayRead()
{
    readTimer->start(kPollMs);
}

void class_ymodem::delayWrite()
{
    QTimer::singleShot(kPollMs, this, [this] { emit si_write(sendPack); });
}

void class_ymodem::sl_received1(QByteArray arr)
{
    if (ended || cancelling)
        return;
    const auto first = uint8_t(arr.isEmpty() ? 0 : arr[0]);
    if (first == 0) {
        recvBuf.append(char(0xFF));  // nothing read: counted as an unexpected byte
    } else if (isReply(first)) {
        // Every reply of a serial read counts, in order: a receiver that sends ACK and 'C' in one
        // piece must not lose the 'C'.
        for (char c : arr)
            if (isReply(uint8_t(c)))
                recvBuf.append(c);
    } else if (arr.size() >= kCanToStop && arr.left(kCanToStop) == QByteArray(kCanToStop, char(kCan))) {
        recvBuf.append(arr);
    }

    while (!recvBuf.isEmpty()) {
        const auto b = uint8_t(recvBuf[0]);
        if (b == kCan) {
            update_stop();  // the owner may delete us in there
            return;
        }
        const step s = handle(b);
        if (s == step::ended)
            return;
        recvBuf.remove(0, 1);
        if (s == step::sent) {
            recvBuf.clear();  // the rest of that read answered the packet gone before
            return;
        }
    }
}

class_ymodem::step class_ymodem::unexpected()
{
    if (errCnt + 1 < kRepeatAfter) {
        ++errCnt;
        return step::none;
    }
    errCnt = 0;
    if (state == 3) {
        state = 2;
        headerResent = true;
    }
    delayWrite();
    return step::sent;
}

class_ymodem::step class_ymodem::handle(uint8_t b)
{
    if (b == kNak) {
        qDebug() << "retry write";
        readTimer->stop();
        delayWrite();
        return step::sent;
    }
    if (state == 1 && b == kCrcRequest) {
        readTimer->stop();
        packNum = 0;
        qDebug() << "<--------------------FILE C";
        timeoutTimer->start(kTimeoutMs);
        if (!closing)
            emit si_setProgress(0);  // the closing header keeps the bar where it is
        sendPack = headerBlock();
        qDebug() << (fileData.isEmpty() ? "NULL FILE INFO--------------->" : "FILE INFO--------------->");
        errCnt = 0;
        headerResent = false;
        state = 2;
        emit si_write(sendPack);
        return step::sent;
    }
    if (state == 2 && b == kAck) {
        readTimer->stop();
        if (fileData.isEmpty()) {
            qDebug() << "<--------------------NULL FILE ACK";
            timeoutTimer->stop();
            emit si_setProgress(100);
            end();
            emit si_updateSuccess();
            return step::ended;
        }
        // A header sent again for want of 'C' gains no time: a stuck header phase times out.
        if (!headerResent)
            timeoutTimer->start(kTimeoutMs);
        qDebug() << "<--------------------FILE ACK";
        readTimer->start(kPollMs);
        state = 3;
        return step::none;
    }
    if (state == 3 && b == kCrcRequest) {
        readTimer->stop();
        qDebug() << "<--------------------CONTENT C";
        timeoutTimer->start(kTimeoutMs);
        packNum = 1;
        sendPack = nextDataBlock();
        qDebug("DATA:%d--------------->", packNum);
        delayWrite();
        errCnt = 0;
        state = 4;
        return step::sent;
    }
    if (state == 4 && b == kAck) {
        readTimer->stop();
        qDebug() << "<--------------------CONTENT ACK";
        timeoutTimer->start(kTimeoutMs);
        ++packNum;
        fileData.remove(0, blockLen);
        sentLen += blockLen;
        qDebug("%u / %u", sentLen, fileSize);
        const uint64_t percent = fileSize ? uint64_t(sentLen) * 100 / fileSize : 100;
        emit si_setProgress(uint8_t(std::min<uint64_t>(percent, 99)));
        if (fileData.isEmpty()) {
            sendPack = QByteArray::fromHex("04000000");
            qDebug() << "EOT--------------->";
            state = 5;
        } else {
            if (fileData.size() <= kHeaderPayload)
                qDebug() << "send:128";
            sendPack = nextDataBlock();
            qDebug() << "DATA--------------->";
            errCnt = 0;
        }
        delayWrite();
        return step::sent;
    }
    if (state == 5 && b == kAck) {
        readTimer->stop();
        qDebug() << "<--------------------EOT ACK";
        fileName.clear();
        fileSize = 0;
        closing = true;
        readTimer->start(kPollMs);
        state = 1;
        return step::none;
    }
    return unexpected();
}

QByteArray class_ymodem::headerBlock() const
{
    QByteArray payload = fileName.left(kNameMax);
    payload.append('\0');
    if (fileSize > 0)
        payload.append(QByteArray::number(fileSize));
    payload.append('\0');
    payload.append(QByteArray(kHeaderPayload - payload.size(), '\0'));
    return block(kSoh, 0, payload);
}

QByteArray class_ymodem::nextDataBlock()
{
    const bool longBlock = fileData.size() > kHeaderPayload;
    const int size = longBlock ? kLongPayload : kHeaderPayload;
    blockLen = uint16_t(std::min<int>(fileData.size(), size));
    QByteArray payload = fileData.left(blockLen);
    payload.append(QByteArray(size - blockLen, kFill));
    return block(longBlock ? kStx : kSoh, packNum, payload);
}
