#pragma once
// The address tab: opens a link of its own (serial port, CH341 or CH347 bridge), polls the one
// sensor on it every 50 ms for its address, shows whether it answers, and gives it a new address
// on request. All of its I2C traffic goes to the general call address 0, apart from the one
// multiplexer byte.

#include "class_toolLink.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class Ui_setSensorAddrForm;

class setSensorAddrForm : public QWidget, public class_toolLink {
    Q_OBJECT
public:
    explicit setSensorAddrForm(QWidget* parent = nullptr);
    ~setSensorAddrForm() override;

    void start();
    void stop();
    bool isStarted() const { return started; }

    void infOpen();
    void infClose();

    Ui_setSensorAddrForm* ui = nullptr;
    // 0: no answer since the link opened or the sensor was declared lost; an answer sets 1 and
    // every watchdog tick adds 1.
    uint8_t answerAge = 0;
    QPointer<QTimer> pollTimer;
    QPointer<QTimer> watchdogTimer;
    uint8_t setRequest = 0;  // 1: the set-address frame goes out with the next poll tick

private:
    void interfaceChanged(int index);
    void connectToggle();
    void writeMask();
    void askForList();
    void pollTick();
    void sendSetAddress();
    void queryBridge();
    void querySerial();
    void answered(bool setDone, int addr);
    void watchdogTick();

    QByteArray rec;  // serial bytes not yet taken as an answer
    bool started = false;
};
