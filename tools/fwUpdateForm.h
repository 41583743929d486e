#pragma once
// The firmware update tab: picks a link (CH341 or CH347 bridge behind an optional PCA9548, or a
// serial port), sends the boot-loader reset command and flashes a raw or Intel HEX image with
// YMODEM, showing the progress and the outcome.

#include "class_toolLink.h"
#include "class_ymodem.h"

#include <QDateTime>
#include <QPointer>
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
    QString getFile() const;

    // Reads the firmware file (Intel HEX when its suffix is "hex" in any case), pads it and, with
    // merge, XORs every whole 32-bit word with the key. 0, or -1 missing, -2 not readable,
    // -3 empty; name and data get the bare file name and the image appended.
    int loadAppFile(QString path, bool merge, QString* name, QByteArray* data);

    // The reset frame cbbResetCmd chooses: the stored default, the custom hex text, or none.
    QByteArray resetFrame() const;

    // The result line of a transfer that took ms milliseconds: seconds, a point, three digits of
    // milliseconds ("更新成功,用时：3.045秒").
    static QString successText(qint64 ms);

    static constexpr uint32_t kMergeKey = 0x3C91D2B7;

    Ui_fwUpdateForm* ui = nullptr;
    uint8_t pcaIdx = 0;  // multiplexer choice kept while the tab is left with a bridge chosen
    QPointer<class_ymodem> ymodem;  // the sender of the run in progress, if any

signals:
    void si_updateStart();
    void si_updateCancel();
    void si_updateReceived(QByteArray buf);
    void si_updateSended();
    void si_updateSuccess();
    void si_updateFail();

private:
    enum class outcome { success, timeout, cancel };

    void chooseBridge(linkKind_te kind);
    void chooseUart();
    void speedChanged(int index);
    uint8_t speedMode() const;
    void resetChoiceChanged(int index);
    void chooseFile();
    void startClicked();
    void stopBranch();
    bool openLink();
    void closeLink();
    bool selectChannel();
    void setRunning(bool on);
    uint8_t transferAddr() const;
    void cancelReceiver();
    void sendResetFrame();
    void runTransfer();
    void runEnded(class_ymodem* sender, outcome result);
    void disposeSender(bool deferred);

    bool started = false;
    bool running = false;  // a run holds the link; the start button reads "停止"
    int runNumber = 0;
    QDateTime st;          // start of the transfer in progress
};
