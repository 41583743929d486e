#pragma once
// The command console tab: writes a frame typed as hexadecimal text (with its 16-bit sum) to one
// address on the chosen link, reads bytes back and tests their sum, switches the multiplexer's
// channels by hand, and keeps a time-stamped log of every transfer and refusal.

#include "class_toolLink.h"

#include <QWidget>

class QCheckBox;
class Ui_sensorDebugForm;

class sensorDebugForm : public QWidget, public class_toolLink {
    Q_OBJECT
public:
    explicit sensorDebugForm(QWidget* parent = nullptr);
    ~sensorDebugForm() override;

    void init();
    void start();
    void stop();
    bool isStarted() const { return started; }

    Ui_sensorDebugForm* ui = nullptr;

signals:
    void si_appendDebugLog(QString str);

private:
    void chooseInterface(linkKind_te kind);
    void connectToggle();
    // False, with "转接板未连接" in the log, when a bridge is chosen and not open (with serialToo,
    // also a closed serial port).
    bool linkReady(bool serialToo);
    void write();
    void read();
    void writeThenRead();
    void setMask();
    void getMask();
    void mirror(QCheckBox* other, int state);
    void appendLog(const QString& str);
    // The address the box shows; false, with the refusal in the log, for a text that is none.
    bool address(uint8_t* addr);
    QCheckBox* channelBox(int channel) const;
    QCheckBox* connectorBox(int connector) const;

    bool started = false;
};
