#pragma once
// CH347 USB-to-I2C bridge: lists bridges by id, opens one, and hands whole I2C transfers to the
// bridge library; GPIO pin 0 drives the multiplexer's reset line.

#include <QObject>
#include <QVector>
#include <cstdint>

enum ch347_iic_speed_te : uint8_t {};  // speed modes 0..6
enum ch347_gpio_te : uint8_t {};       // pin 0..7
enum ch347_gpio_en_te : uint8_t {};    // 0 disable, 1 enable
enum ch347_gpio_dir_te : uint8_t {};   // 0 input, 1 output

class class_ch347 : public QObject {
    Q_OBJECT
public:
    explicit class_ch347(QObject* parent = nullptr);
    ~class_ch347() override;

    int scan();
    void getScanSignal();
    bool open(uint16_t id);
    bool close();
    bool isOpen() const { return devIndex != 0xFF; }
    uint16_t write(uint8_t addr, uint8_t* data, uint16_t len);
    uint16_t read(uint8_t addr, uint8_t* buf, uint16_t len);
    int setIICSpeed(ch347_iic_speed_te mode);
    int setIICStretch(uint8_t on);
    int setIICDriverMode(uint8_t mode);
    int setGPIO(ch347_gpio_te pin, ch347_gpio_en_te en, ch347_gpio_dir_te dir, uint8_t value);
    int getGPIO(ch347_gpio_te pin, ch347_gpio_dir_te* dir, uint8_t* value);
    uint16_t wdr(uint8_t addr, uint8_t* wbuf, uint16_t wlen, uint16_t delayMs, uint8_t* rbuf, uint16_t rlen);

    static void CH347_NOTIFY_ROUTINE(unsigned long event);

    uint16_t openId = 0;
    uint8_t devIndex = 0xFF;
    QVector<uint16_t> idList;
    uint8_t speedMode = 1;
    uint8_t gpioEnable = 0;
    uint8_t gpioDir = 0;
    uint8_t gpioData = 0;

    static class_ch347* notify;

signals:
    void si_connected();
    void si_disconnected();
    void si_updateList(QVector<uint16_t> ch347List);

private:
    void onPlugEvent(unsigned long event);
    // Library device index of each entry of idList (an index whose open fails is skipped).
    QVector<uint8_t> indexList;
    int deviceIndexOf(uint16_t id) const;
};
