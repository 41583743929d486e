#pragma once
// The firmware tab on a fresh simulated world: a CH341 (id 6002) and a CH347 (id 7), each with
// a PCA9548 and a sensor with a boot loader at 0x61 on port 4 (multiplexer item 1), and helpers
// that work the tab as a user does.

#include "fwUpdateForm.h"
#include "simBus.h"
#include "simCatalogue.h"
#include "testMain.h"
#include "ui_fwUpdateForm.h"  // a test including this fixture includes it too, so that it is generated

#include <QFile>
#include <QTemporaryDir>

namespace fwFixture {

constexpr uint16_t kCh341Id = 6002;
constexpr uint16_t kCh347Id = 7;
constexpr uint8_t kSensorAddr = 0x61;
constexpr int kSensorPort = 4;
constexpr int kWaitMs = 10000;     // a device list: 100 ms after the adapter is made
constexpr int kRunWaitMs = 30000;  // a whole small transfer; only a hang takes this long
constexpr uint32_t kKey = 0x3C91D2B7;

struct World {
    int ch341Bridge = -1;
    int ch347Bridge = -1;
    int ch341Sensor = -1;
    int ch347Sensor = -1;

    int bridge(const QString& kind) const { return kind == "CH341" ? ch341Bridge : ch347Bridge; }
    int sensor(const QString& kind) const { return kind == "CH341" ? ch341Sensor : ch347Sensor; }
};

inline World freshWorld(bool pca = true)
{
    simCatalogue::install();
    sim::reset();
    World w;
    sim::BridgeConfig b;
    b.pca = pca;
    b.id = kCh341Id;
    w.ch341Bridge = sim::addBridge(b);
    b.kind = sim::BridgeKind::Ch347;
    b.id = kCh347Id;
    w.ch347Bridge = sim::addBridge(b);
    sim::SensorConfig s;
    s.addr = kSensorAddr;
    s.port = kSensorPort;
    s.bootLoader = true;
    w.ch341Sensor = sim::addSensor(w.ch341Bridge, s);
    w.ch347Sensor = sim::addSensor(w.ch347Bridge, s);
    return w;
}

inline QRadioButton* radioOf(fwUpdateForm& f, const QString& kind)
{
    return kind == "CH341" ? f.ui->rbtnIIC : kind == "CH347" ? f.ui->rbtnIICCh347 : f.ui->rbtnUart;
}

// Enters the tab, chooses the interface and waits until the device appears and is selected; a
// bridge gets multiplexer item 1, the port of the sensors.
inline bool chooseDevice(fwUpdateForm& f, const QString& kind, const QString& serialPort = QString())
{
    f.start();
    radioOf(f, kind)->click();
    if (kind != "serial")
        f.ui->cbbInfIdx->setCurrentIndex(1);
    const QString device = kind == "CH341" ? QString::number(kCh341Id)
                         : kind == "CH347" ? QString::number(kCh347Id)
                                           : serialPort;
    if (!QTest::qWaitFor([&] { return f.ui->cbbUpdateDevList->findText(device) >= 0; }, kWaitMs))
        return false;
    f.ui->cbbUpdateDevList->setCurrentIndex(f.ui->cbbUpdateDevList->findText(device));
    return true;
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

inline QByteArray sourceImage(int size)
{
    QByteArray d(size, '\0');
    for (int i = 0; i < size; ++i)
        d[i] = char((i * 13 + 5) & 0xFF);
    return d;
}

// One Intel HEX record with its checksum, upper-case digits.
inline QByteArray hexRecord(uint8_t type, uint16_t address, const QByteArray& data)
{
    QByteArray bytes;
    bytes.append(char(data.size())).append(char(address >> 8)).append(char(address & 0xFF)).append(char(type));
    bytes.append(data);
    uint8_t sum = 0;
    for (char c : bytes)
        sum = uint8_t(sum + uint8_t(c));
    bytes.append(char(uint8_t(-sum)));
    return ":" + bytes.toHex().toUpper();
}

// A generator's file: 16-byte records, an 04 record at each 64 KiB, the end record.
inline QByteArray hexFileOf(const QByteArray& image, const QByteArray& lineEnd = "\r\n")
{
    QByteArray file;
    for (int at = 0; at < image.size(); at += 16) {
        if (at % 0x10000 == 0 && at > 0) {
            const auto upper = uint16_t(at >> 16);
            file += hexRecord(4, 0, QByteArray().append(char(upper >> 8)).append(char(upper & 0xFF))) + lineEnd;
        }
        file += hexRecord(0, uint16_t(at & 0xFFFF), image.mid(at, 16)) + lineEnd;
    }
    return file + hexRecord(1, 0, QByteArray()) + lineEnd;
}

// The image as it was before the XOR with the key (whole 32-bit words; the tail stays).
inline QByteArray unmerged(QByteArray image)
{
    for (int at = 0; at + 4 <= image.size(); at += 4)
        for (int i = 0; i < 4; ++i)
            image[at + i] = char(uint8_t(image[at + i]) ^ uint8_t(kKey >> (8 * i)));
    return image;
}

}  // namespace fwFixture
