#pragma once
// The panel of one connected sensor: its model view, value rows, commands, answers and CSV log.

#include "class_finger.h"
#include "sensor_ts.h"

#include <QByteArray>
#include <QVector>
#include <QWidget>
#include <cstdint>

namespace Ui {
class fingerForm;
}

class fingerForm : public QWidget {
    Q_OBJECT
public:
    fingerForm(uint8_t infIdx, uint8_t addr, QWidget* parent = nullptr);
    ~fingerForm() override;

    class_finger* ff = nullptr;  // the current model view's decoder; null while there is none
    Ui::fingerForm* ui = nullptr;
    uint8_t infIdx;
    uint8_t addr;
    uint8_t devId = 0;

public slots:
    void sl_connectedFinger(uint8_t infIdx, uint8_t addr, sensor_ts info);
    void sl_updateData(uint8_t infIdx, uint8_t addr, QVector<uint8_t> pack);
    void sl_setHz(uint8_t infIdx, uint8_t addr, uint16_t hz, uint16_t rHz);
    void sl_cmdRsp(uint8_t infIdx, uint8_t addr, QByteArray req, QByteArray rsp);
    void sl_cmdRspErr(uint8_t infIdx, uint8_t addr, QByteArray req, QByteArray rsp);
    void sl_reset(uint8_t infIdx, uint8_t addr);

signals:
    void si_cmdReq1(uint8_t infIdx, uint8_t addr, QByteArray cmd, uint16_t rspLen);
    void si_sendDataStrList(uint8_t infIdx, uint8_t addr, QVector<QString> data);

    // The implementation adds its further members and operations here.
};
