#pragma once
// CH341 USB-to-I2C bridge: lists bridges by id, opens one, and runs I2C transfers as the chip's
// raw stream packets.

#include <QObject>
#include <QVector>
#include <cstdint>

enum ch341_iic_speed_te : uint8_t {};  // speed modes 0..3

class class_ch341 : public QObject {
    Q_OBJECT
public:
    explicit class_ch341(QObject* parent = nullptr);
    ~class_ch341() override;

    int scan();
    void getScanSignal();
    bool open(uint16_t id);
    bool close();
    bool isOpen() const { return devIndex != 0xFF; }
    uint16_t write(uint8_t addr, uint8_t* data, uint16_t len);
    uint16_t read(uint8_t addr, uint8_t* buf, uint16_t len);
    int setIICSpeed(ch341_iic_speed_te mode);
    void setInt(uint8_t on);
    uint8_t getInt();

    // Called by the library on plug changes; event 0 is a removal.
    static void CH341_NOTIFY_ROUTINE(unsigned long event);

    uint16_t openId = 0;
    uint8_t devIndex = 0xFF;
    QVector<uint16_t> idList;
    uint8_t speedMode = 1;

    static class_ch341* notify;

signals:
    void si_connected();
    void si_disconnected();
    void si_updateList(QVector<uint16_t> ch341List);

private:
    void onPlugEvent(unsigned long event);
    // Library device index of each entry of idList: the scan skips indices, so a position in the
    // list is not always a device index.
    QVector<uint8_t> indexList;
    int deviceIndexOf(uint16_t id) const;
    bool sendPacket(const QByteArray& packet);
    bool readPacket(const QByteArray& packet, uint8_t* dest, uint8_t count);
    QByteArray header(uint8_t addressByte) const;
};
