#pragma once
// The bus worker: owns the link in its own thread, finds sensors, polls their frames and runs the
// panels' command queue.

#include "sensor_ts.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QVector>
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
    void si_updateData1(uint8_t infIdx, uint8_t addr, QVector<uint8_t> pack);
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
};
