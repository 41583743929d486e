#include "class_ch347.h"

#include "bridgeAdapter.h"
#include "ch347dll.h"
#include "msleep.h"

#include <QDebug>
#include <QTimer>
#include <array>
#include <cstring>

class_ch347* class_ch347::notify = nullptr;

namespace {

using HandOver = bridge::PlugHandOver<class_ch347>;

constexpr int kMaxDeviceIndex = 31;
constexpr int kScanDelayMs = 100;  // first scan, and the rescan after a plug change
constexpr uint8_t kMaxSpeedMode = 6;
constexpr uint8_t kMaxPin = 7;
constexpr uint16_t kMaxWrite = 4095;
constexpr int kTransferBuffer = 4096;
constexpr uint32_t kIdModulus = 65535;

// Id from the device's id text: field 1 at '#', then field 1 at '&', hexadecimal; 0 when none.
uint16_t idFromText(const QString& text)
{
    bool ok = false;
    const qulonglong value = text.split("#").value(1).split("&").value(1).toULongLong(&ok, 16);
    return ok ? uint16_t(value % kIdModulus) : 0;
}

QString deviceIdText(const CH347DeviceInfo& info)
{
    // The text is the library's: never read past the record, even without its terminator.
    return QString::fromLatin1(info.deviceId, int(strnlen(info.deviceId, sizeof info.deviceId)));
}

}  // namespace

class_ch347::class_ch347(QObject* parent) : QObject(parent)
{
    qDebug() << "CH347 new";
    HandOver::adopt(this);
    CH347SetDeviceNotify(0, nullptr, &class_ch347::CH347_NOTIFY_ROUTINE);
    QTimer::singleShot(kScanDelayMs, this, [this] {
        scan();
        emit si_updateList(idList);
    });
}

class_ch347::~class_ch347()
{
    qDebug() << "CH347 delete";
    close();  // as the CH341 adapter does: an open bridge is not left behind
    HandOver::release(this, [] { CH347SetDeviceNotify(0, nullptr, nullptr); });
}

int class_ch347::scan()
{
    idList.clear();
    indexList.clear();
    for (uint8_t index = 0; index <= kMaxDeviceIndex; ++index) {
        CH347DeviceInfo info{};
        if (isOpen() && index == devIndex) {
            // Opening and closing it here would cut our own link: ask the open device whether it
            // is still there, and list it under its id.
            if (CH347GetDeviceInfor(index, &info)) {
                idList.append(openId);
                indexList.append(index);
            }
            continue;
        }
        if (CH347OpenDevice(index) != kCh347InvalidHandle) {
            CH347GetDeviceInfor(index, &info);
            idList.append(idFromText(deviceIdText(info)));
            indexList.append(index);
        }
        CH347CloseDevice(index);
    }
    qDebug() << "ch347:" << idList;
    return idList.size();
}

void class_ch347::getScanSignal()
{
    scan();
    emit si_updateList(idList);
}

int class_ch347::deviceIndexOf(uint16_t id) const
{
    return bridge::deviceIndexOf(idList, indexList, id);
}

bool class_ch347::open(uint16_t id)
{
    return bridge::openAt(
        *this, id, deviceIndexOf(id), kMaxDeviceIndex, [](uint8_t i) { return CH347OpenDevice(i); },
        [](uint8_t i) { CH347CloseDevice(i); }, [](uint8_t) {});
}

bool class_ch347::close()
{
    return bridge::closeWith(*this, [](uint8_t i) { CH347CloseDevice(i); });
}

uint16_t class_ch347::write(uint8_t addr, uint8_t* data, uint16_t len)
{
    if (!isOpen() || !data || len < 1 || len > kMaxWrite) {
        qDebug("ch347 write err,%d, %d,%p", isOpen() ? 1 : 0, len, static_cast<void*>(data));
        return 0;
    }
    std::array<uint8_t, kTransferBuffer> buffer{};
    buffer[0] = uint8_t(addr << 1);
    std::memcpy(buffer.data() + 1, data, len);
    if (!CH347StreamI2C(devIndex, uint32_t(len) + 1, buffer.data(), 0, nullptr)) {
        qDebug("ch347 write err");
        return 0;
    }
    return len;
}

uint16_t class_ch347::read(uint8_t addr, uint8_t* buf, uint16_t len)
{
    if (!isOpen() || !buf || len == 0) {
        qDebug("ch347 read err:%p, %d", static_cast<void*>(buf), len);
        return 0;
    }
    const uint8_t address = uint8_t((addr << 1) + 1);
    if (!CH347StreamI2C(devIndex, 1, &address, len, buf)) {
        std::memset(buf, 0xFF, len);
        return 0;
    }
    return len;
}

int class_ch347::setIICSpeed(ch347_iic_speed_te mode)
{
    if (!isOpen() || mode > kMaxSpeedMode)
        return 0;
    speedMode = mode;
    return CH347I2C_Set(devIndex, mode);
}

int class_ch347::setIICStretch(uint8_t on)
{
    return CH347I2C_SetStretch(devIndex, on & 1);
}

int class_ch347::setIICDriverMode(uint8_t mode)
{
    return CH347I2C_SetDriverMode(devIndex, mode & 1);
}

int class_ch347::setGPIO(ch347_gpio_te pin, ch347_gpio_en_te en, ch347_gpio_dir_te dir, uint8_t value)
{
    if (pin > kMaxPin || en > 1 || dir > 1 || value > 1)
        return 0;
    const auto bit = uint8_t(1u << pin);
    auto setBit = [bit](uint8_t& mask, bool on) { mask = on ? uint8_t(mask | bit) : uint8_t(mask & ~bit); };
    setBit(gpioEnable, en);
    if (en) {
        setBit(gpioDir, dir);
        if (dir)
            setBit(gpioData, value);
    }
    return CH347GPIO_Set(devIndex, gpioEnable, gpioDir, gpioData);
}

int class_ch347::getGPIO(ch347_gpio_te pin, ch347_gpio_dir_te* dir, uint8_t* value)
{
    if (!dir || !value || pin > kMaxPin || !(gpioEnable & (1u << pin)))
        return 0;
    uint8_t dirByte = 0;
    uint8_t dataByte = 0;
    if (!CH347GPIO_Get(devIndex, &dirByte, &dataByte))
        return 0;
    *dir = ch347_gpio_dir_te((dirByte >> pin) & 1);
    *value = (dataByte >> pin) & 1;
    return 1;
}

uint16_t class_ch347::wdr(uint8_t addr, uint8_t* wbuf, uint16_t wlen, uint16_t delayMs, uint8_t* rbuf,
                          uint16_t rlen)
{
    if (write(addr, wbuf, wlen) == 0)
        return 0;
    if (!CH347I2C_SetDelaymS(devIndex, delayMs))
        platform::msleep(delayMs);
    return read(addr, rbuf, rlen);
}

void class_ch347::CH347_NOTIFY_ROUTINE(unsigned long event)
{
    HandOver::post([event](class_ch347* adapter) {
        // Removal is decided on the rescan, once the library's list has settled.
        QTimer::singleShot(kScanDelayMs, adapter, [adapter, event] { adapter->onPlugEvent(event); });
    });
}

void class_ch347::onPlugEvent(unsigned long event)
{
    scan();
    emit si_updateList(idList);
    bridge::followPlugChange(*this, event, deviceIndexOf(openId));
}
