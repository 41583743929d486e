#include "fingerThread.h"

#include "class_ch341.h"
#include "class_ch347.h"
#include "class_sensorCmd.h"
#include "class_uart.h"
#include "msleep.h"
#include "pca9548.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <thread>

namespace {

constexpr uint8_t kHead0 = class_sensorCmd::kSensorHead0;
constexpr uint8_t kHead1 = class_sensorCmd::kSensorHead1;
constexpr uint8_t kDataCode = class_sensorCmd::kDataFrameCode;
constexpr uint8_t kAnswerBit = class_sensorCmd::kAnswerBit;

// The six bus channels are the adapter board's connectors: the PCA9548 control byte of each, in
// channel order (not bit order).
constexpr int kChannelCount = pca9548::kBoardCount;
constexpr const uint8_t (&kChannelMasks)[kChannelCount] = pca9548::kBoardMasks;
constexpr uint8_t kPcaAddr = pca9548::kAddress;
constexpr uint8_t kPcaAllOff = pca9548::kAllOff;

// Probe addresses cycle 0x61..0x6F, then 0x01..0x6F: the walk runs modulo 111 and probes walk + 1.
constexpr uint8_t kFirstLastAddr = 0x60;
constexpr int kAddrCycle = 111;

// A tick every millisecond, on a schedule of the tick's own: Qt waits whole milliseconds from a
// timer's late wake-up, so a 1 ms timer ticks every 1.05 to 1.2 ms, and a sensor that makes a
// frame every 1 or 2 ms loses frames to that slip. The timer fires whenever the worker's loop is
// free; each tick first waits for its slot.
constexpr std::chrono::microseconds kTickPeriod(1000);
constexpr int kRateMs = 1000;
constexpr int kAgeStepMs = 200;
constexpr int kRescanMs = 500;
constexpr uint16_t kAgeLimitMs = 3000;
constexpr uint16_t kSerialProbeEvery = 100;  // the serial probe runs when the counter exceeds this
constexpr unsigned int kSerialBaud = 460800;

// Frame bytes the worker looks at.
constexpr int kCodeByte = 3;
constexpr int kSeqByte = 4;
constexpr int kSumLen = 2;
constexpr uint8_t kBootCode = 0xF2;  // a sensor in its boot loader also answers the probe

// Discovery: the four requests, their answer lengths and where their one parameter goes.
constexpr uint8_t kBridgeTarget = 0x03;
constexpr int kParamSlot = 3;  // parameter p3 = request byte 7
constexpr uint8_t kCmdSendType = 0x7F;
constexpr uint8_t kCmdOffset = 0x73;
constexpr uint8_t kCmdSn = 0xA4;
constexpr uint8_t kCmdPrg = 0xA6;
constexpr int kSendTypeAnswerLen = 11;
constexpr int kOffsetAnswerLen = 6;
constexpr int kSnAnswerLen = 50;
constexpr int kPrgAnswerLen = 11;
constexpr int kSnLenByte = 4;
constexpr int kSnTextAt = 5;
constexpr int kPrgByte = 7;
constexpr uint8_t kChannelOffsetStep = 3;
constexpr uint8_t kOffsetModulo = 7;
constexpr int kScanBufLen = 500;
constexpr int kProbeLen = 4;
constexpr int kMinFrameLen = 6;
const char* const kNoSerial = "VX-000000000";

// Command queue.
constexpr uint8_t kTries = 3;
constexpr uint8_t kCmdSetAddr = 0x70;
constexpr int kNewAddrByte = 7;
constexpr int kVariableReadLen = 500;

// Waits: passes of about 1 ms on a serial link, reads 10 ms apart on a bridge.
constexpr int kProbePasses = 10;
constexpr int kRequestPasses = 50;
constexpr int kPollPasses = 100;
constexpr int kRequestReads = 5;
constexpr int kAnswerReads = 10;
constexpr int kReadGapMs = 10;
constexpr int kSettleBeforeSendTypeMs = 50;
constexpr int kSettleBeforeFrameMs = 100;
constexpr int kAfterCommandMs = 50;

// Timer call sites named in the "start:%d" / "stop:%d" log lines.
enum TimerSite : uint16_t { SiteSerial = 0, SiteCh341 = 1, SiteCh347 = 2 };

// Process-wide, as only one worker runs at a time: the channel of the tick and the serial probe
// counter carry over from one worker to the next.
uint8_t s_tickChannel = 0;
uint16_t s_serialProbeCount = 0;

uint8_t* bytes(QByteArray& a) { return reinterpret_cast<uint8_t*>(a.data()); }
const uint8_t* bytes(const QByteArray& a) { return reinterpret_cast<const uint8_t*>(a.constData()); }

// The closing sum of a frame of len bytes at the start of buf, reading only the held bytes.
bool sumMatches(const uint8_t* buf, int held, int len)
{
    if (len < kMinFrameLen || len > held)
        return false;
    return class_sensorCmd::sum16(buf, len - kSumLen) == qFromLittleEndian<quint16>(buf + len - kSumLen);
}

// Answer byte 3 against the request's code with bit 7 set (short frames count as 0 / 0x80).
bool codeMatches(const QByteArray& req, const QByteArray& rsp)
{
    const uint8_t want = uint8_t((req.size() > kCodeByte ? uint8_t(req[kCodeByte]) : 0) | kAnswerBit);
    const uint8_t got = rsp.size() > kCodeByte ? uint8_t(rsp[kCodeByte]) : 0;
    return got == want;
}

QByteArray hex(const QByteArray& a) { return a.toHex(' '); }

// The two-byte poll that asks a serial sensor for its frame.
QByteArray pollBytes(uint8_t addr)
{
    QByteArray poll(2, '\0');
    poll[0] = char(addr);
    poll[1] = char(addr ^ 0xFF);
    return poll;
}

}  // namespace

fingerThread::fingerThread(uint8_t linkType, QObject* parent) : QObject(parent), linkType(linkType)
{
    qDebug("fingerThread new");
}

fingerThread::~fingerThread()
{
    qDebug("fingerThread delete");
    if (tickTimer)
        tickTimer->stop();
    if (hzTimer)
        hzTimer->stop();
    // The adapters go with the worker; their last close must not reach a worker being destroyed.
    for (QObject* adapter : std::initializer_list<QObject*>{ch341, ch347, uart})
        if (adapter)
            QObject::disconnect(adapter, nullptr, this, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Life of the worker

void fingerThread::started()
{
    pcaFound = 1;
    switch (linkType) {
    case LinkSerial: uartInit(); break;
    case LinkCh341: ch341Init(); break;
    case LinkCh347: ch347Init(); break;
    default: qDebug("unknown link:%d", linkType); break;
    }

    infoList.clear();
    for (uint8_t mask : kChannelMasks) {
        info_ts channel;
        channel.mask = mask;
        channel.lastAddr = kFirstLastAddr;
        infoList.append(channel);
    }

    auto makeTimer = [this](void (fingerThread::*handler)()) {
        auto* timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, handler);
        return timer;
    };
    tickTimer = makeTimer(&fingerThread::tick);
    hzTimer = makeTimer(&fingerThread::reportRates);
    ageTimer = makeTimer(&fingerThread::advanceAges);
    ageTimer->start(kAgeStepMs);

    QEventLoop loop;
    connect(this, &fingerThread::si_stop, &loop, &QEventLoop::quit);
    loop.exec();  // also ends when the thread is told to quit

    qDebug("fingerThread exit");
    ++linkEpoch;
    reportAllGone();
    stop();
}

void fingerThread::stop()
{
    qDebug("fingerThread stop");
    if (tickTimer)
        tickTimer->stop();
    if (hzTimer)
        hzTimer->stop();
    emit si_stop();
}

void fingerThread::reportAllGone()
{
    for (info_ts& channel : infoList) {
        for (const sensor_ts& sensor : qAsConst(channel.sensors))
            emit si_disconnectedSensor(sensor);
        channel.sensors.clear();
    }
    newFrameAt.clear();
}

// ---------------------------------------------------------------------------------------------
// Transport set-up, device lists, open and close

void fingerThread::uartInit()
{
    uart = new class_uart(this);
    qDebug("uart init");
    rescanTimer = new QTimer(this);
    rescanTimer->setSingleShot(true);
    rescanTimer->setInterval(kRescanMs);
    connect(rescanTimer, &QTimer::timeout, this, [this] {
        if (!uart->port->isOpen())
            uart->scan(false);
    });
    connect(uart, &class_uart::si_close, this, &fingerThread::onLinkClosed);
    connect(uart, &class_uart::si_openSuccess, this, &fingerThread::onSerialOpened);
    connect(uart, &class_uart::si_scanEnd, this, &fingerThread::onSerialList);
    uart->scan(false);
}

void fingerThread::ch341Init()
{
    qDebug("ch341 init");
    ch341 = new class_ch341(this);
    connect(ch341, &class_ch341::si_updateList, this, [this](QVector<uint16_t> ids) { onBridgeList(ids, true); });
    connect(ch341, &class_ch341::si_disconnected, this, &fingerThread::onLinkClosed);
    connect(ch341, &class_ch341::si_connected, this, &fingerThread::onCh341Opened);
}

void fingerThread::ch347Init()
{
    ch347 = new class_ch347(this);
    connect(ch347, &class_ch347::si_disconnected, this, &fingerThread::onLinkClosed);
    connect(ch347, &class_ch347::si_connected, this, &fingerThread::onCh347Opened);
    connect(ch347, &class_ch347::si_updateList, this, [this](QVector<uint16_t> ids) { onBridgeList(ids, false); });
}

void fingerThread::onBridgeList(const QVector<uint16_t>& ids, bool logAlways)
{
    QVector<QString> list;
    list.reserve(ids.size());
    for (uint16_t id : ids)
        list.append(QString::number(id, 10));
    if (logAlways)
        qDebug() << list << ch341List;
    if (list == ch341List)
        return;
    if (!logAlways)
        qDebug() << list;
    ch341List = list;
    emit si_ch341ListUpdate(ch341List);
}

void fingerThread::onSerialList(const QStringList& names)
{
    const QVector<QString> list(names.begin(), names.end());
    if (list != ch341List) {
        ch341List = list;
        emit si_ch341ListUpdate(ch341List);
    }
    rescanTimer->start();  // stops by itself once the port is open
}

void fingerThread::sl_connectCh341(QString id)
{
    if (!ch341List.contains(id) || linkOpen())
        return;
    if (uart) {
        qDebug("uart connect");
        uart->open(id, kSerialBaud);
    } else if (ch341) {
        qDebug("ch341 connect");
        ch341->open(uint16_t(id.toUInt()));
    } else if (ch347) {
        qDebug("ch347 connect");
        ch347->open(uint16_t(id.toUInt()));
    }
    sensorNum = 0;
}

void fingerThread::sl_disconnectCh341()
{
    if (uart) {
        if (uart->port->isOpen())
            uart->close();  // emits si_close
    } else if (ch341) {
        if (ch341->isOpen())
            ch341->close();  // emits si_disconnected
    } else if (ch347) {
        if (ch347->isOpen())
            ch347->close();
    }
}

void fingerThread::onSerialOpened()
{
    qDebug("uart connected");
    emit si_ch341Connected();
    timerStart(SiteSerial);
}

void fingerThread::onCh341Opened()
{
    qDebug("ch341 connected");
    emit si_ch341Connected();
    ch341->setIICSpeed(ch341_iic_speed_te(1));
    ch341->setInt(0);  // a pulse on the output line resets the multiplexer
    ch341->setInt(1);
    detectPca();
    timerStart(SiteCh341);
}

void fingerThread::onCh347Opened()
{
    qDebug("ch347 connected");
    emit si_ch341Connected();
    ch347->setIICSpeed(ch347_iic_speed_te(1));
    ch347->setIICDriverMode(1);
    ch347->setIICStretch(1);
    // GPIO 0 drives the multiplexer's reset line: output, low, then high.
    ch347->setGPIO(ch347_gpio_te(0), ch347_gpio_en_te(1), ch347_gpio_dir_te(1), 0);
    ch347->setGPIO(ch347_gpio_te(0), ch347_gpio_en_te(1), ch347_gpio_dir_te(1), 1);
    detectPca();
    timerStart(SiteCh347);
}

void fingerThread::detectPca()
{
    setPcaState(kPcaAllOff);
    const uint8_t readBack = getPcaState();
    if (readBack == 0 || readBack == 1) {
        qDebug("find pca");
        pcaFound = 1;
    } else {
        qDebug("not find pca");
        pcaFound = 0;
    }
}

void fingerThread::onLinkClosed()
{
    qDebug("%s", uart ? "uart disconnect" : ch341 ? "ch341 disconnect" : "ch347 disconnect");
    ++linkEpoch;  // a tick waiting inside a serial read must not touch the records cleared here
    reportAllGone();
    emit si_ch341Disconnected();
    timerStop(uart ? SiteSerial : ch341 ? SiteCh341 : SiteCh347);
    // Probing on a bridge without a multiplexer pauses while sensors are counted; none are left.
    sensorNum = 0;
    if (rescanTimer)
        rescanTimer->start();  // the port list must follow plug changes again
}

void fingerThread::timerStart(uint16_t site)
{
    qDebug("start:%d", site);
    nextTick = {};
    tickTimer->start(0);
    hzTimer->start(kRateMs);
}

void fingerThread::timerStop(uint16_t site)
{
    qDebug("stop:%d", site);
    tickTimer->stop();
    hzTimer->stop();
}

// ---------------------------------------------------------------------------------------------
// The tick, the rate report and the age counter

void fingerThread::tick()
{
    if (ticking || infoList.size() != kChannelCount)
        return;
    ticking = true;
    waitForTickSlot();
    tickEpoch = linkEpoch;
    if (s_tickChannel >= kChannelCount)
        s_tickChannel = 0;
    const uint8_t idx = s_tickChannel;

    setPcaState(infoList[idx].mask);
    if (isBridge()) {
        scanSensor(idx);
    } else if (++s_serialProbeCount > kSerialProbeEvery) {
        s_serialProbeCount = 0;
        scanSensor(idx);
    }
    if (!interrupted())
        readSensor(idx);
    if (!interrupted()) {
        setPcaState(infoList[idx].mask);
        wrCmdSensor(idx);
    }
    if (isBridge())
        s_tickChannel = uint8_t((idx + 1) % kChannelCount);
    setPcaState(kPcaAllOff);
    ticking = false;
}

void fingerThread::waitForTickSlot()
{
    const auto now = std::chrono::steady_clock::now();
    // A tick that came a whole period late (a long transfer, a command's wait) starts the schedule
    // afresh rather than making up for the lost slots in a burst.
    if (nextTick == std::chrono::steady_clock::time_point() || now > nextTick + kTickPeriod)
        nextTick = now;
    else if (now < nextTick)
        std::this_thread::sleep_until(nextTick);
    nextTick += kTickPeriod;
}

void fingerThread::reportRates()
{
    for (info_ts& channel : infoList)
        for (sensor_ts& s : channel.sensors) {
            emit si_setHz1(s.infIdx, s.addr, s.hz, s.rHz);
            s.hz = 0;
            s.rHz = 0;
        }
}

void fingerThread::advanceAges()
{
    const int step = ageTimer->interval();
    for (info_ts& channel : infoList)
        for (sensor_ts& s : channel.sensors)
            s.ageMs = uint16_t(std::min(int(s.ageMs) + step, 0xFFFF));
}

// ---------------------------------------------------------------------------------------------
// Bus primitives

bool fingerThread::isBridge() const { return ch341 || ch347; }

bool fingerThread::linkOpen() const
{
    if (uart)
        return uart->port->isOpen();
    if (ch341)
        return ch341->isOpen();
    return ch347 && ch347->isOpen();
}

void fingerThread::busWrite(uint8_t addr, const uint8_t* data, uint16_t len)
{
    // The adapters take a writable buffer; hand them a copy.
    QByteArray copy(reinterpret_cast<const char*>(data), len);
    if (ch341)
        ch341->write(addr, bytes(copy), len);
    else if (ch347)
        ch347->write(addr, bytes(copy), len);
}

void fingerThread::busRead(uint8_t addr, uint8_t* buf, uint16_t len)
{
    if (ch341)
        ch341->read(addr, buf, len);
    else if (ch347)
        ch347->read(addr, buf, len);
}

void fingerThread::serialSend(const QByteArray& data)
{
    if (!uart || !uart->port->isOpen())
        return;
    uart->port->clear(QSerialPort::Input);  // bytes of an earlier answer that came too late
    uart->port->write(data);
    uart->port->flush();
}

QByteArray fingerThread::serialCollect(int want, int passes)
{
    QByteArray held;
    for (int pass = 0; pass < passes; ++pass) {
        if (!uart || !uart->port->isOpen())
            break;
        QCoreApplication::processEvents();  // queued slots and timers run here; the tick guards itself
        if (interrupted() || !uart->port->isOpen())
            break;
        held.append(uart->port->readAll());
        const int start = held.indexOf(char(kHead0));
        held.remove(0, start < 0 ? held.size() : start);
        if (held.size() >= want)
            break;
        QThread::msleep(1);
    }
    return held;
}

void fingerThread::pause(int ms)
{
    if (isBridge())
        platform::msleep(uint32_t(ms));
    else
        QThread::msleep(ulong(ms));
}

uint8_t fingerThread::setPcaState(uint8_t state)
{
    if (isBridge() && pcaFound == 1)
        busWrite(kPcaAddr, &state, 1);
    return state;
}

uint8_t fingerThread::getPcaState()
{
    if (!isBridge())
        return 0;
    uint8_t state = 0xFF;  // a failed read leaves it: no multiplexer
    busRead(kPcaAddr, &state, 1);
    return state;
}

void fingerThread::getCap(uint8_t addr, uint8_t* buf, uint16_t len)
{
    if (isBridge()) {
        busRead(addr, buf, len);
        return;
    }
    serialSend(pollBytes(addr));
    const QByteArray held = serialCollect(len, kProbePasses);
    std::memset(buf, 0, len);
    if (held.size() >= std::min<int>(len, kMinFrameLen)) {
        const int n = std::min<int>(held.size(), len);
        std::memcpy(buf, held.constData(), size_t(n));
        qDebug().noquote() << hex(held.left(n));
    }
}

bool fingerThread::hasSensor(uint8_t ch, uint8_t addr) const
{
    if (ch >= infoList.size())
        return false;
    const auto& sensors = infoList[ch].sensors;
    return std::any_of(sensors.begin(), sensors.end(), [addr](const sensor_ts& s) { return s.addr == addr; });
}

uint16_t fingerThread::getSensorPackLen(uint8_t* buf, uint16_t len)
{
    const uint16_t n = class_sensorCmd::dataFrameLength(buf, len);
    if (n)
        qDebug("pack len1:%d", n);
    return n;
}

uint16_t fingerThread::getPackLen(uint8_t* buf, uint16_t len) { return class_sensorCmd::answerLength(buf, len); }

// ---------------------------------------------------------------------------------------------
// Discovery

void fingerThread::scanSensor(uint8_t ch)
{
    // Without a multiplexer the channels are one bus: one known sensor pauses the probing.
    if (!(sensorNum == 0 || pcaFound == 1))
        return;
    probeAddress(ch, uint8_t(infoList[ch].lastAddr + 1));
    walkAddress(ch);
}

void fingerThread::probeAddress(uint8_t ch, uint8_t a)
{
    QByteArray buf(kScanBufLen, '\0');
    uint8_t* b = bytes(buf);
    getCap(a, b, kProbeLen);
    const bool answered = b[0] == kHead0 && b[1] == kHead1 && (b[kCodeByte] == kDataCode || b[kCodeByte] == kBootCode);
    if (interrupted() || !answered)
        return;

    pause(kSettleBeforeSendTypeMs);
    const bool sendTypeSet = setSensorSendType(a, 0);
    if (interrupted())
        return;
    if (!sendTypeSet) {
        qDebug("setSensorSendType err");
        return;
    }
    pause(kSettleBeforeFrameMs);
    buf.fill('\0');
    getCap(a, b, kScanBufLen);
    if (interrupted())
        return;
    const bool isFrame = b[0] == kHead0 && b[1] == kHead1 && b[kCodeByte] == kDataCode;
    const uint16_t n = isFrame ? getSensorPackLen(b, kScanBufLen) : 0;
    if (n == 0) {
        qDebug("chk err");
        return;
    }
    qDebug("pack len2:%d", n);

    sensor_ts s;
    s.infIdx = ch;
    s.addr = a;
    s.pack = QVector<uint8_t>(n, 0);
    s.devId = b[2];
    setOffset(a, uint8_t((ch * kChannelOffsetStep) % kOffsetModulo));
    if (!interrupted())
        s.sn = getSN(a);
    if (!interrupted())
        s.prg = getSensorPrg(a);
    if (interrupted())
        return;
    if (s.sn.isEmpty())
        s.sn = QLatin1String(kNoSerial);
    qDebug().noquote() << QString("find sensor：%1 inf:%2 addr:0x%3 pack:%4 sn:%5")
                              .arg(s.prg)
                              .arg(ch)
                              .arg(a, 2, 16, QChar('0'))
                              .arg(n)
                              .arg(s.sn);
    ++sensorNum;
    emit si_connectedSensor(s);
    infoList[ch].sensors.append(s);
    newFrameAt.insert(sensorKey(s), frameClock::nowMs());
}

void fingerThread::walkAddress(uint8_t ch)
{
    uint8_t a = infoList[ch].lastAddr;
    for (int tries = 0; tries < kAddrCycle; ++tries) {
        a = uint8_t((a + 1) % kAddrCycle);
        if (!hasSensor(ch, uint8_t(a + 1)))
            break;
    }
    infoList[ch].lastAddr = a;
}

fingerThread::Exchange fingerThread::discoveryRequest(uint8_t addr, uint8_t code, uint8_t param, int answerLen)
{
    uint8_t params[5] = {};
    params[kParamSlot] = param;
    const QByteArray req = class_sensorCmd::frame(isBridge() ? kBridgeTarget : addr, code, params);
    // A serial-number answer has the sensor's own length: a frame followed only by zero bytes.
    auto passes = [&](QByteArray& answer) {
        if (code == kCmdSn)
            return codeMatches(req, answer) && getPackLen(bytes(answer), uint16_t(answer.size())) != 0;
        return class_sensorCmd::checkAnswer(req, answer, answerLen);
    };

    Exchange x;
    x.request = req;
    x.answer = QByteArray(answerLen, '\0');
    if (isBridge()) {
        busWrite(addr, bytes(req), uint16_t(req.size()));
        for (int r = 0; r < kRequestReads && !x.passed; ++r) {
            pause(kReadGapMs);
            busRead(addr, bytes(x.answer), uint16_t(answerLen));
            x.passed = passes(x.answer);
        }
        return x;
    }
    serialSend(req);
    x.collected = serialCollect(answerLen, kRequestPasses);
    if (interrupted())
        return x;
    std::memcpy(x.answer.data(), x.collected.constData(), size_t(std::min(answerLen, int(x.collected.size()))));
    x.passed = passes(x.answer);
    return x;
}

bool fingerThread::setSensorSendType(uint8_t addr, uint8_t type)
{
    const Exchange x = discoveryRequest(addr, kCmdSendType, type, kSendTypeAnswerLen);
    if (!isBridge())
        qDebug().noquote() << hex(x.request) << "/" << hex(x.collected);
    if (!x.passed) {
        qDebug().noquote() << hex(x.answer) << "/" << hex(x.collected);
        qDebug("set send type err");
    }
    return x.passed;
}

uint8_t fingerThread::setOffset(uint8_t addr, uint8_t offset)
{
    qDebug("set offset:%d", offset);
    if (!discoveryRequest(addr, kCmdOffset, offset, kOffsetAnswerLen).passed) {
        qDebug("set offset err");
        return 1;
    }
    return 0;
}

QString fingerThread::getSN(uint8_t addr)
{
    Exchange x = discoveryRequest(addr, kCmdSn, 0, kSnAnswerLen);
    if (!x.passed)
        return QString();
    QByteArray& answer = x.answer;
    // The text lies between the length byte's successor and the closing sum of the found frame.
    const int frameLen = getPackLen(bytes(answer), uint16_t(answer.size()));
    const int room = std::max(0, frameLen - kSnTextAt - kSumLen);
    const int len = std::min<int>(uint8_t(answer[kSnLenByte]), room);
    QByteArray text = answer.mid(kSnTextAt, len);
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    const QString sn = QString::fromLatin1(text);
    qDebug().noquote() << sn;
    return sn;
}

uint8_t fingerThread::getSensorPrg(uint8_t addr)
{
    const Exchange x = discoveryRequest(addr, kCmdPrg, 0, kPrgAnswerLen);
    return x.passed ? uint8_t(x.answer[kPrgByte]) : 0xFF;
}

// ---------------------------------------------------------------------------------------------
// Data polling

void fingerThread::readSensor(uint8_t /*idx*/)
{
    for (int ch = 0; ch < infoList.size(); ++ch) {
        setPcaState(infoList[ch].mask);
        for (int i = 0; i < infoList[ch].sensors.size(); ++i) {
            const uint16_t n = getSensorData(infoList[ch].sensors[i].addr, &infoList[ch].sensors[i]);
            const qint64 readMs = frameClock::nowMs();
            if (interrupted())
                return;  // the link closed inside the wait: the records are gone
            auto& sensors = infoList[ch].sensors;
            sensor_ts& s = sensors[i];
            // Past the age limit by its counter and by the clock.
            if (s.ageMs > kAgeLimitMs && readMs - newFrameAt.value(sensorKey(s)) > kAgeLimitMs) {
                emit si_disconnectedSensor(s);
                newFrameAt.remove(sensorKey(s));
                sensors.remove(i);
                if (sensorNum)
                    --sensorNum;
                break;  // the rest of this channel waits for the next tick
            }
            if (n && s.pack[kSeqByte] != s.seq) {
                s.ageMs = 0;
                s.hz = uint16_t(s.hz + uint8_t(s.pack[kSeqByte] - s.seq));
                ++s.rHz;
                s.seq = s.pack[kSeqByte];
                newFrameAt.insert(sensorKey(s), readMs);
                emit si_updateData1(s.infIdx, s.addr, s.pack, readMs);
            }
        }
    }
}

uint16_t fingerThread::getSensorData(uint8_t addr, sensor_ts* s)
{
    const int len = s->pack.size();
    s->pack.fill(0);
    if (isBridge()) {
        busRead(addr, s->pack.data(), uint16_t(len));
    } else {
        serialSend(pollBytes(addr));
        QByteArray held = serialCollect(len, kPollPasses);
        if (interrupted())
            return 0;  // s may be gone
        const int m = held.size() > kMinFrameLen - 1 ? getSensorPackLen(bytes(held), uint16_t(held.size())) : 0;
        if (m != len) {
            qDebug("err");
            return 0;
        }
        std::memcpy(s->pack.data(), held.constData(), size_t(len));
    }
    const uint8_t* p = s->pack.constData();
    if (len >= kMinFrameLen && p[0] == kHead0 && p[1] == kHead1 && sumMatches(p, len, len))
        return uint16_t(len);
    s->pack.fill(0);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Command queue

void fingerThread::sl_cmdReq1(uint8_t infIdx, uint8_t addr, QByteArray cmd, uint16_t rspLen)
{
    qDebug().noquote().nospace() << "add cmd:" << hex(cmd);
    appendCmdList.append(cmd_ts{infIdx, addr, cmd, rspLen});
    qDebug("appendCmdList:%d", int(appendCmdList.size()));
}

bool fingerThread::channelVisited(uint8_t infIdx, uint8_t idx) const
{
    // A bridge tick walks all six channels; a serial tick stays on its one.
    return isBridge() ? infIdx < kChannelCount : infIdx == idx;
}

void fingerThread::dropHead(const cmd_ts& head, const char* why)
{
    qDebug().noquote().nospace() << "drop cmd (" << why << "):" << hex(head.cmd);
    cmdList.removeFirst();
    tryCnt = kTries;
    emit si_cmdRspErr1(head.infIdx, head.addr, head.cmd, QByteArray());
}

void fingerThread::wrCmdSensor(uint8_t idx)
{
    if (!appendCmdList.isEmpty()) {
        cmdList.append(appendCmdList);
        appendCmdList.clear();
    }
    if (cmdList.isEmpty())
        return;
    const cmd_ts head = cmdList.first();
    if (!channelVisited(head.infIdx, idx)) {
        dropHead(head, "channel not visited");
        return;
    }
    if (head.infIdx != idx)
        return;
    if (!hasSensor(idx, head.addr)) {
        dropHead(head, "no sensor");
        return;
    }

    if (isBridge())
        busWrite(head.addr, bytes(head.cmd), uint16_t(head.cmd.size()));
    else
        serialSend(head.cmd);
    qDebug().noquote().nospace() << "req " << int(tryCnt) << ":" << hex(head.cmd);
    if (head.rspLen == class_sensorCmd::kRspNone) {
        cmdList.removeFirst();
        return;
    }

    const int n = head.rspLen == class_sensorCmd::kRspVariable ? kVariableReadLen : head.rspLen;
    qDebug("rsp len:%d", n);
    uint16_t m = 0;
    const QByteArray got = collectAnswer(head, n, &m);
    if (interrupted())
        return;  // the link went away; the command stays queued
    if (m) {
        emit si_cmdRsp1(head.infIdx, head.addr, head.cmd, got.left(m));
        tryCnt = kTries;
        qDebug().noquote().nospace() << "rsp:" << hex(got.left(m));
        cmdList.removeFirst();
        pause(kAfterCommandMs);
        return;
    }
    --tryCnt;
    qDebug("try:%d", tryCnt);
    if (tryCnt == 0)
        emit si_cmdRspErr1(head.infIdx, head.addr, head.cmd, got);
    pause(kAfterCommandMs);
    if (tryCnt == 0) {
        qDebug("cmdList:%d", int(cmdList.size()));
        tryCnt = kTries;
        cmdList.removeFirst();
        pause(kAfterCommandMs);
    }
}

QByteArray fingerThread::collectAnswer(const cmd_ts& head, int n, uint16_t* answerLen)
{
    const bool variable = head.rspLen == class_sensorCmd::kRspVariable;
    // The length of an answer in got, 0 when it fails the closing-sum or code test.
    auto judge = [&](QByteArray& got) -> uint16_t {
        uint16_t m = 0;
        if (variable) {
            m = got.size() > kMinFrameLen - 1 ? getPackLen(bytes(got), uint16_t(got.size())) : 0;
        } else if (sumMatches(bytes(got), got.size(), head.rspLen)) {
            m = head.rspLen;
        } else {
            qDebug("chk err");
        }
        return m && codeMatches(head.cmd, got) ? m : 0;
    };

    if (!isBridge()) {
        QByteArray held = serialCollect(n, kPollPasses);
        *answerLen = interrupted() ? 0 : judge(held);
        return held;
    }
    // The set-address command is answered from the address it sets.
    uint8_t from = head.addr;
    if (head.cmd.size() > kCodeByte && uint8_t(head.cmd[kCodeByte]) == kCmdSetAddr)
        from = head.cmd.size() > kNewAddrByte ? uint8_t(head.cmd[kNewAddrByte]) : 0;
    QByteArray got(n, '\0');
    *answerLen = 0;
    for (int r = 0; r < kAnswerReads && !*answerLen; ++r) {
        pause(kReadGapMs);
        got.fill('\0');
        busRead(from, bytes(got), uint16_t(n));
        *answerLen = judge(got);
    }
    return got;
}
