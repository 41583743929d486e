#pragma once
// The firmware update tab: picks a link (CH341 or CH347 bridge behind an optional PCA9548, or a
// serial port), sends the boot-loader reset command and flashes a raw or Intel HEX image with
// YMODEM, showing the progress and the outcome.

#include "class_toolLink.h"

#include <QWidget>

class Ui_fwUpdateForm;

class fwUpdateForm : public QWidget, public class_toolLink {
    Q_OBJECT
public:
    explicit fwUpdateForm(QWidget* parent = nullptr);
    ~fwUpdateForm() override;

    void init();
    void start();
    void stop();
    bool isStarted() const { return started; }

    Ui_fwUpdateForm* ui = nullptr;
    uint8_t pcaIdx = 0;  // multiplexer choice kept while the tab is left with a bridge chosen

private:
    void chooseBridge(linkKind_te kind);
    void chooseUart();
    void speedChanged(int index);
    uint8_t speedMode() const;

    bool started = false;
};
