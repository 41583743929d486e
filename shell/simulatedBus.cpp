#include "simulatedBus.h"

#include "class_sensorCmd.h"
#include "fingerParams.h"
#include "simBus.h"

#include <QDebug>
#include <QStringList>

namespace {

constexpr char kVariable[] = "TACTILE_SIM_BUS";

// One bridge of each kind, each behind a multiplexer, with sensors of different families and
// frame sizes on different ports (ports 4, 5, 6, 3, 2, 0 are the worker's channels 0..5).
constexpr char kDemo[] =
    "ch341 id=6002 pca;"
    " sensor type=20 addr=0x61 port=4 sn=VX-202400101 period=10;"
    " sensor type=21 addr=0x62 port=5 sn=VX-202400102 period=15;"
    " sensor type=43 addr=0x63 port=6 sn=VX-202400103 period=20;"
    " sensor type=17 addr=0x64 port=3 sn=VX-202400104 period=10;"
    " sensor type=59 addr=0x65 port=2 sn=VX-202400105 period=25;"
    "ch347 id=7 pca;"
    " sensor type=45 addr=0x61 port=4 sn=VX-202400201 period=20;"
    " sensor type=29 addr=0x62 port=5 sn=VX-202400202 period=10;"
    " sensor type=37 addr=0x61 port=3 sn=VX-202400203 period=15;"
    " sensor type=19 addr=0x66 port=0 sn=VX-202400204 period=12";

int commandLength(uint8_t code)
{
    return class_sensorCmd::getStr(code).isEmpty() ? -1 : class_sensorCmd::getRspLen(code);
}

bool parseNumber(const QString& text, int maxValue, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 0);  // base 0: decimal or 0x-hexadecimal
    if (!ok || v < 0 || v > maxValue)
        return false;
    *value = v;
    return true;
}

bool parseVersion(const QString& text, uint8_t (&version)[3])
{
    const QStringList parts = text.split('.');
    if (parts.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        int v = 0;
        if (!parseNumber(parts[i], 255, &v))
            return false;
        version[i] = uint8_t(v);
    }
    return true;
}

bool parseBridge(const QStringList& words, sim::BridgeConfig* bridge)
{
    bridge->kind = words[0] == "ch341" ? sim::BridgeKind::Ch341 : sim::BridgeKind::Ch347;
    for (const QString& word : words.mid(1)) {
        int v = 0;
        if (word == "pca" || word == "nopca")
            bridge->pca = word == "pca";
        else if (word.startsWith("id=") && parseNumber(word.mid(3), 0xFFFF, &v))
            bridge->id = uint16_t(v);
        else
            return false;
    }
    return true;
}

bool parseSensor(const QStringList& words, sim::SensorConfig* sensor)
{
    bool typeGiven = false;
    for (const QString& word : words.mid(1)) {
        if (word == "boot") {
            sensor->bootLoader = true;
            continue;
        }
        const int eq = word.indexOf('=');
        const QString key = word.left(eq);
        const QString value = word.mid(eq + 1);
        int v = 0;
        if (eq <= 0)
            return false;
        if (key == "sn") {
            sensor->serial = value;
        } else if (key == "fw") {
            if (!parseVersion(value, sensor->version))
                return false;
        } else if (key == "type" && parseNumber(value, 255, &v)) {
            sensor->prg = uint8_t(v);
            typeGiven = true;
        } else if (key == "addr" && parseNumber(value, 0x7F, &v)) {
            sensor->addr = uint8_t(v);
        } else if (key == "port" && parseNumber(value, 7, &v)) {
            sensor->port = v;
        } else if (key == "id" && parseNumber(value, 255, &v)) {
            sensor->id = uint8_t(v);
        } else if (key == "period" && parseNumber(value, 60000, &v) && v > 0) {
            sensor->framePeriodMs = uint32_t(v);
        } else {
            return false;
        }
    }
    return typeGiven;
}

}  // namespace

int installSimulatedBus(const QString& description)
{
    int bridge = -1;
    int sensors = 0;
    const QString text = description.trimmed() == "demo" ? QString(kDemo) : description;
    for (const QString& item : text.split(';', Qt::SkipEmptyParts)) {
        const QStringList words = item.simplified().split(' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        bool ok = false;
        if (words[0] == "ch341" || words[0] == "ch347") {
            sim::BridgeConfig config;
            bridge = parseBridge(words, &config) ? sim::addBridge(config) : -1;  // its sensors go too
            ok = bridge >= 0;
        } else if (words[0] == "sensor") {
            sim::SensorConfig config;
            config.port = 4;
            ok = bridge >= 0 && parseSensor(words, &config) && sim::addSensor(bridge, config) >= 0;
            sensors += ok ? 1 : 0;
        }
        if (!ok)
            qWarning() << kVariable << "item skipped:" << item.simplified();
    }
    return sensors;
}

void installSimulatedBusFromEnvironment()
{
    sim::useCatalogue(&findFingerParam, &commandLength);
    const QString description = qEnvironmentVariable(kVariable);
    if (!description.trimmed().isEmpty())
        installSimulatedBus(description);
}
