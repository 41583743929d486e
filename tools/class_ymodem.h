#pragma once
// YMODEM sender (CRC-16, 128- and 1024-byte blocks, file header, EOT, closing null header) of one
// firmware image. It owns no link: its owner writes each packet of si_write and then calls
// sl_writeSuccess, and answers each si_read (every 10 ms while waiting) with sl_received1 and
// what it read. Exactly one of si_updateSuccess, si_updateTimeout and si_updateCancel ends a run;
// the owner may delete the sender inside that signal, and may do everything else synchronously
// inside the emissions too. GUI thread only.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>

class QTimer;

class class_ymodem : public QObject {
    Q_OBJECT
public:
    class_ymodem(QString name, QByteArray data);
    ~class_ymodem() override;

    static constexpr uint8_t kSoh = 0x01;
    static constexpr uint8_t kStx = 0x02;
    static constexpr uint8_t kEot = 0x04;
    static constexpr uint8_t kAck = 0x06;
    static constexpr uint8_t kNak = 0x15;
    static constexpr uint8_t kCan = 0x18;
    static constexpr uint8_t kCrcRequest = 0x43;  // 'C'
    static constexpr int kTimeoutMs = 2000;
    static constexpr int kPollMs = 10;

    // CRC-16/XMODEM (polynomial 0x1021, start 0, no final XOR).
    static uint16_t crc16(const char* data, int len);
    // Eight CAN: what tells the receiver that the sender gave up.
    static QByteArray cancelPacket();

    int32_t state = 0;      // 0 idle, 1 wait 'C' for a header, 2 header sent, 3 wait 'C' for
                            // block 1, 4 block sent, 5 EOT sent
    QByteArray fileName;
    uint32_t fileSize = 0;
    QByteArray fileData;    // the bytes not yet acknowledged
    uint8_t packNum = 0;
    uint16_t blockLen = 0;
    uint32_t sentLen = 0;
    QTimer* timeoutTimer = nullptr;
    QTimer* readTimer = nullptr;
    QByteArray recvBuf;
    QByteArray sendPack;

signals:
    void si_write(QByteArray pack);
    void si_read(uint16_t len);
    void si_setProgress(uint8_t data);
    void si_updateSuccess();
    void si_updateTimeout();
    void si_updateCancel();

public slots:
    void update_start();
    void update_stop();
    void update_cancel();
    void sl_received1(QByteArray arr);
    void sl_writeSuccess();

private:
    // What a received byte led to.
    enum class step { none, sent, ended };

    step handle(uint8_t byte);
    step unexpected();
    void delayRead();
    void delayWrite();
    QByteArray headerBlock() const;
    QByteArray nextDataBlock();

    // Marks the run over before its one end signal goes out; false when it was over already.
    bool end();

    static uint8_t errCnt;   // unexpected bytes, shared by all senders
    bool closing = false;    // the header to come is the closing null header
    bool headerResent = false;  // the header went again for want of 'C'
    bool cancelling = false; // the owner cancelled: what the receiver says no longer counts
    bool ended = false;      // an end signal went out
};
