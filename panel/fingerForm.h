#pragma once
// The panel of one connected sensor: its model view, value rows, commands, answers and CSV log.

#include "class_csvLog.h"
#include "class_finger.h"
#include "frameClock.h"
#include "sensor_ts.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>
#include <QWidget>
#include <cstdint>

namespace Ui {
class fingerForm;
}
class dataForm;
class QLineEdit;
class QTimer;

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

    QString saveDir;                 // folder of the CSV logs ("data" beside the program)
    QTimer* countdownTimer = nullptr;
    uint8_t countdown = 0;           // seconds left of the running countdown
    QList<dataForm*> dataFormList;   // value rows; row i shows ff->dataList[i]
    uint8_t sendType = 0;            // output type chosen in cbbSetSendType
    QVector<float> caliNList;        // calibration forces (N), one per calibration point

    // Value rows.
    void addSensorChannelWg(const QString& name, uint8_t kind);
    void clearSensorChannelWg();

    // Queries and modes: each sends its request(s).
    void getVersion();
    void getPrg();
    void getSN();
    void getSensorNum();
    void getCaliCh(uint8_t ch);
    void getCaliState();
    void getDac();
    void getProxClearTouch();
    void setMode(uint8_t mode);
    void getCaliNList();
    void getAutoDacPowerUp();
    void getReleaseThreshold();

    // Parameter and calibration tables, filled from answers.
    void setThreshold(const QVector<uint32_t>& values);
    void setExcF(const QVector<uint8_t>& values);
    void setRange(const QVector<uint8_t>& values);
    void setTimeout(const QVector<uint32_t>& values);
    void setFilter(const QVector<uint8_t>& first, const QVector<uint8_t>& second, const QVector<float>& value);
    void setDac(const QVector<uint8_t>& first, const QVector<uint8_t>& second, const QVector<uint16_t>& value);
    void setCaliCh(uint8_t ch, const QVector<uint32_t>& values);

    // Path of the CSV file being written; empty while logging is off or not yet started.
    QString savePath() const { return csvLog.path(); }

    // Shows the latest decoded frame in the view and the rows at once, whether the panel is shown
    // or not. Otherwise the display clock does so at its own pace while the panel can be seen.
    void flushDisplay();
    static constexpr int kDisplayPeriodMs = 33;  // about 30 pictures a second at most

    // Raw threshold for a force f from the calibration forces F and the raw values r of one
    // channel (interpolated between points; only the points both lists hold are used).
    static uint32_t pressThresholdRaw(double f, const QVector<float>& F, const QVector<uint32_t>& r);
    // True when the firmware version text ("major.minor.patch") takes the 0x42 calibration list.
    static bool firmwareTakesCaliList(const QString& version);
    // The smallest size of a panel whose model view needs viewMinimum, measured on the panel's
    // form alone, never shown: no panel is made.
    static QSize minimumSizeFor(const QSize& viewMinimum);

public slots:
    void sl_connectedFinger(uint8_t infIdx, uint8_t addr, sensor_ts info);
    // readMs: when the worker read the frame (frameClock); a frame without it is stamped on arrival.
    void sl_updateData(uint8_t infIdx, uint8_t addr, QVector<uint8_t> pack, qint64 readMs = frameClock::kNoTime);
    void sl_setHz(uint8_t infIdx, uint8_t addr, uint16_t hz, uint16_t rHz);
    void sl_cmdRsp(uint8_t infIdx, uint8_t addr, QByteArray req, QByteArray rsp);
    void sl_cmdRspErr(uint8_t infIdx, uint8_t addr, QByteArray req, QByteArray rsp);
    void sl_reset(uint8_t infIdx, uint8_t addr);
    void sl_setCurrSensor(uint8_t infIdx, uint8_t addr);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

signals:
    void si_cmdReq1(uint8_t infIdx, uint8_t addr, QByteArray cmd, uint16_t rspLen);
    void si_sendDataStrList(uint8_t infIdx, uint8_t addr, QVector<QString> data);

private:
    bool isMine(uint8_t otherInfIdx, uint8_t otherAddr) const { return otherInfIdx == infIdx && otherAddr == addr; }
    // The catalogue record of the current view; null (with a debug line naming what) when none.
    const finger_param_ts* record(const char* what) const;

    // Requests.
    void request(const QByteArray& frame, uint16_t rspLen);
    void request(uint8_t code, const uint8_t (&params)[5], uint16_t rspLen);
    void request(uint8_t code, uint16_t rspLen);
    void clickGetThreshold();
    void clickGetThresholdLater(int ms);
    void startCountdown(uint8_t seconds);

    // Construction and wiring.
    // Hides what is not offered, opens the information page and sets the tables' headers: all
    // that sizes the form.
    static void shapeForm(Ui::fingerForm& ui);
    // The information lines and the title, empty until a sensor fills them.
    static void clearTexts(Ui::fingerForm& ui);
    void cmdFuncInit();
    void connectControls();
    void buildRows(const finger_param_ts& p);

    // Control handlers.
    void readParameters();
    void countdownStep();
    void setSendTypeFromCombo(int index);
    void tabChanged(int index);
    void confirmFactoryReset();
    void sendProxClearTouch();
    void sendPressThreshold();
    void refreshCalibration();
    void clearCalibration();
    void fillCalibrationMax();
    void exportCalibration();
    void sendChannelReset(uint8_t ch);
    void sendChannelEnable(uint8_t ch, bool en);

    // Data path.
    void refreshRows();
    void showRows();
    void displayTick();
    void startDisplayClock();
    void save(qint64 rowMs);
    void stopLogging();
    void logWriteFailed(const QString& path);

    // Answers.
    void acknowledge(uint8_t code, const QString& name, const QByteArray& rsp);
    void showCaliState(const QByteArray& rsp);
    void showCaliList(const QByteArray& rsp);

    // Table editors.
    void fillParamColumn(const QVector<uint32_t>& values, int column);
    void writeParam(uint8_t code, int row, const QString& text, bool wide);
    void writeFilter(int row, const QLineEdit* first, const QLineEdit* second, const QLineEdit* value);
    void writeCali(uint8_t ch, const QLineEdit* editor);
    QString caliCellText(int row, int col) const;

    class_csvLog csvLog;
    // What the display clock still has to show of the latest decoded frame.
    QTimer* displayClock = nullptr;
    bool viewDue = false;
    bool rowsDue = false;
    bool displayWaits = false;  // what is due cannot be seen: no use ticking for it
    bool closing = false;  // in the destructor: the panel asks nothing more of its sensor
};
