#pragma once
// The bus worker: owns the link in its own thread, finds sensors, polls their frames and runs the
// panels' command queue.

#include "frameClock.h"
#include "sensor_ts.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <chrono>
#include <cstdint>

class class_ch341;
class class_ch347;
class class_uart;
class QTimer;

class fingerThread : public QObject {
    Q_OBJECT
public:
    enum LinkType : uint8_t { LinkSerial = 0, LinkCh341 = 1, LinkCh347 = 2 };

    struct cmd_ts {
        uint8_t infIdx = 0;
        uint8_t addr = 0;
        QByteArray cmd;
        uint16_t rspLen = 0;
    };
    struct info_ts {
        uint8_t mask = 0;
        uint8_t lastAddr = 0;
        QVector<sensor_ts> sensors;
    };

    fingerThread(uint8_t linkType, QObject* parent = nullptr);
    ~fingerThread() override;

public slots:
    void started();
    void stop();
    void sl_connectCh341(QString id);
    void sl_disconnectCh341();
    void sl_cmdReq1(uint8_t infIdx, uint8_t addr, QByteArray cmd, uint16_t rspLen);

signals:
    void si_exit();
    void si_ch341Connected();
    void si_ch341Disconnected();
    void si_ch341ListUpdate(QVector<QString> ch341List);
    void si_setHz1(uint8_t infIdx, uint8_t addr, uint16_t hz, uint16_t rHz);
    // readMs: when the frame was read off the bus (frameClock), so that its log row tells when it
    // was measured however long it waits for the GUI.
    void si_updateData1(uint8_t infIdx, uint8_t addr, QVector<uint8_t> pack, qint64 readMs = frameClock::kNoTime);
    void si_cmdRsp1(uint8_t infIdx, uint8_t addr, QByteArray req, QByteArray rsp);
    void si_cmdRspErr1(uint8_t infIdx, uint8_t addr, QByteArray req, QByteArray rsp);
    void si_stop();
    void si_connectedSensor(sensor_ts sensor);
    void si_disconnectedSensor(sensor_ts sensor);

public:
    // The implementation adds its private members and operations below this line.
    uint8_t linkType;
    class_ch341* ch341 = nullptr;
    class_ch347* ch347 = nullptr;
    class_uart* uart = nullptr;
    QList<cmd_ts> cmdList;
    QList<cmd_ts> appendCmdList;
    QVector<info_ts> infoList;
    QVector<QString> ch341List;
    QTimer* tickTimer = nullptr;
    QTimer* hzTimer = nullptr;
    QTimer* ageTimer = nullptr;
    uint8_t pcaFound = 1;
    uint16_t sensorNum = 0;

private:
    // Transport set-up and the adapters' reports.
    void uartInit();
    void ch341Init();
    void ch347Init();
    void onBridgeList(const QVector<uint16_t>& ids, bool logAlways);
    void onSerialList(const QStringList& names);
    void onSerialOpened();
    void onCh341Opened();
    void onCh347Opened();
    void detectPca();
    void onLinkClosed();
    void reportAllGone();

    void timerStart(uint16_t site);
    void timerStop(uint16_t site);

    // The tick and its steps.
    void tick();
    void waitForTickSlot();
    void reportRates();
    void advanceAges();
    uint8_t setPcaState(uint8_t state);
    uint8_t getPcaState();
    void getCap(uint8_t addr, uint8_t* buf, uint16_t len);
    void scanSensor(uint8_t ch);
    void probeAddress(uint8_t ch, uint8_t addr);
    void walkAddress(uint8_t ch);
    bool setSensorSendType(uint8_t addr, uint8_t type);
    uint8_t setOffset(uint8_t addr, uint8_t offset);
    QString getSN(uint8_t addr);
    uint8_t getSensorPrg(uint8_t addr);
    void readSensor(uint8_t idx);
    uint16_t getSensorData(uint8_t addr, sensor_ts* s);
    uint16_t getSensorPackLen(uint8_t* buf, uint16_t len);
    uint16_t getPackLen(uint8_t* buf, uint16_t len);
    void wrCmdSensor(uint8_t idx);

    // Bus primitives shared by discovery, polling and the queue.
    bool isBridge() const;
    bool linkOpen() const;
    void busWrite(uint8_t addr, const uint8_t* data, uint16_t len);
    void busRead(uint8_t addr, uint8_t* buf, uint16_t len);
    void serialSend(const QByteArray& bytes);
    QByteArray serialCollect(int want, int passes);
    void pause(int ms);
    struct Exchange {
        QByteArray request;
        QByteArray answer;     // the answer buffer the test was made on
        QByteArray collected;  // serial: what came from the first 0x55 on
        bool passed = false;
    };
    Exchange discoveryRequest(uint8_t addr, uint8_t code, uint8_t param, int answerLen);
    QByteArray collectAnswer(const cmd_ts& head, int n, uint16_t* answerLen);
    void dropHead(const cmd_ts& head, const char* why);
    bool channelVisited(uint8_t infIdx, uint8_t idx) const;
    bool hasSensor(uint8_t ch, uint8_t addr) const;
    static uint16_t sensorKey(const sensor_ts& s) { return uint16_t(s.infIdx << 8 | s.addr); }
    bool interrupted() const { return linkEpoch != tickEpoch; }

    QTimer* rescanTimer = nullptr;
    uint8_t tryCnt = 3;        // attempts left for the head command; every worker starts afresh
    bool ticking = false;      // serial waits deliver timer events; the tick must not nest
    uint32_t linkEpoch = 0;    // advanced by every close: a step that waited re-checks it
    uint32_t tickEpoch = 0;
    std::chrono::steady_clock::time_point nextTick;  // slot of the next tick; unset until the first
    // When each registered sensor's last new frame was read (its registration before the first),
    // by frameClock. The age counts timer passes, and Qt makes up a pass that fell due while a
    // tick held the worker right after it, so the age alone can run ahead of the time passed.
    QHash<uint16_t, qint64> newFrameAt;
};
