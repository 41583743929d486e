#include "setSensorAddrForm.h"

#include "addrAnswer.h"
#include "class_sensorCmd.h"
#include "msleep.h"
#include "ui_setSensorAddrForm.h"

#include <QDebug>
#include <QSerialPort>

namespace {

constexpr int kPollMs = 50;
constexpr int kWatchdogMs = 100;
constexpr uint8_t kLostAge = 5;
constexpr int kSuccessShownMs = 3000;
constexpr uint8_t kGeneralCall = 0x00;
constexpr int kFrameLen = class_sensorCmd::kFrameLen;
constexpr uint32_t kAnswerWaitMs = 10;  // between the query and its read, and for serial bytes
constexpr int kSetAnswerWaitMs = 100;   // serial: for the answer of a set-address frame
constexpr int kBridgeSpeedMode = 1;     // the tool always runs its bridges at 100 kHz
// Serial poll: address 0 and its complement, "every sensor".
const QByteArray kSerialPoll = QByteArray::fromHex("00ff");
constexpr int kDefaultArg = 1;  // 460800 baud, or "转接板-1(PCA9548-4)"

QByteArray queryFrame()
{
    QByteArray frame(kFrameLen, '\0');
    class_sensorCmd::SC_GetAddr(kGeneralCall, reinterpret_cast<uint8_t*>(frame.data()));
    return frame;
}

}  // namespace

setSensorAddrForm::setSensorAddrForm(QWidget* parent)
    : QWidget(parent), class_toolLink(this), ui(new Ui_setSensorAddrForm)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    qDebug() << "setSensorAddrForm new";

    pollTimer = new QTimer(this);
    connect(pollTimer, &QTimer::timeout, this, [this] { pollTick(); });
    watchdogTimer = new QTimer(this);
    connect(watchdogTimer, &QTimer::timeout, this, [this] { watchdogTick(); });

    linkOptions_ts o;
    o.cbbInf = ui->cbbInf;
    o.devCombo = ui->cbbInfList;
    o.listRule = linkListRule_te::unlessChosenOpen;
    o.compareWithCopy = true;
    o.clearListOnChoice = false;  // only a closing link empties the list: the chosen device stays
    o.initFirst = true;
    o.scanInUartInit = false;
    o.disposal = linkDisposal_te::deferred;
    o.ch341Steps.speedMode = [] { return uint8_t(kBridgeSpeedMode); };
    o.ch347Steps.speedMode = [] { return uint8_t(kBridgeSpeedMode); };
    o.ch347Steps.driverMode = true;
    o.ch347Steps.stretch = true;
    o.opened = [this](linkKind_te kind) {
        qDebug() << (kind == linkKind_te::uart    ? "uart connected"
                     : kind == linkKind_te::ch341 ? "ch341 connected"
                                                  : "ch347 connected");
        infOpen();
    };
    o.closed = [this](linkKind_te kind) {
        qDebug() << (kind == linkKind_te::uart    ? "uart disconnect"
                     : kind == linkKind_te::ch341 ? "ch341 disconnect"
                                                  : "ch347 disconnect");
        infClose();
    };
    o.status = [this](const QString& text) { ui->lbCmdState->setText(text); };
    setupLink(o);

    connect(ui->cbbInf, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { interfaceChanged(index); });
    // Each pair shows one address in hexadecimal and in decimal.
    connect(ui->spbCurrAddrHex, QOverload<int>::of(&QSpinBox::valueChanged), ui->spbCurrAddrDec,
            &QSpinBox::setValue);
    connect(ui->spbCurrAddrDec, QOverload<int>::of(&QSpinBox::valueChanged), ui->spbCurrAddrHex,
            &QSpinBox::setValue);
    connect(ui->spbTarAddrDec, QOverload<int>::of(&QSpinBox::valueChanged), ui->spbTarAddrHex,
            &QSpinBox::setValue);
    connect(ui->spbTarAddrHex, QOverload<int>::of(&QSpinBox::valueChanged), ui->spbTarAddrDec,
            &QSpinBox::setValue);
    connect(ui->pbtnSet, &QPushButton::clicked, this, [this] {
        if (pollTimer && pollTimer->isActive())
            setRequest = 1;
    });
    connect(ui->pbtnInfConnect, &QPushButton::clicked, this, [this] { connectToggle(); });
}

setSensorAddrForm::~setSensorAddrForm()
{
    stop();
    qDebug() << "setSensorAddrForm delete";
    delete ui;
    ui = nullptr;
}

void setSensorAddrForm::start()
{
    qDebug() << "setSensorAddrForm start";
    started = true;
    startLink();  // the interface change for the index the combo shows
}

void setSensorAddrForm::stop()
{
    qDebug() << "setSensorAddrForm stop";
    started = false;
    if (pollTimer)
        pollTimer->stop();
    if (watchdogTimer)
        watchdogTimer->stop();
    stopLink();
}

void setSensorAddrForm::interfaceChanged(int index)
{
    ui->cbbInfArg->clear();
    QStringList items;
    if (index == 0) {
        ui->lbInfArg->setText(QObject::tr("波特率"));
        items = serialRateTexts();
    } else if (index == 1 || index == 2) {
        ui->lbInfArg->setText(QObject::tr("转接板"));
        items = pcaItemTexts();
    }
    // The bridges list their devices 100 ms after they are made; serial lists its ports at once.
    if (index >= 0 && index <= 2)
        chooseLink(index == 0 ? linkKind_te::uart : index == 1 ? linkKind_te::ch341 : linkKind_te::ch347);
    ui->cbbInfArg->addItems(items);
    ui->cbbInfArg->setEditable(true);
    ui->cbbInfArg->setCurrentIndex(kDefaultArg);
}

void setSensorAddrForm::connectToggle()
{
    const linkKind_te kind = chosenLink();
    if (kind == linkKind_te::none)
        return;
    if (linkOpen(kind)) {
        if (kind == linkKind_te::uart)
            uart->close();  // si_close runs infClose()
        else if (kind == linkKind_te::ch341)
            ch341->close();
        else
            ch347->close();
        return;
    }
    const QString device = ui->cbbInfList->currentText();
    const QString arg = ui->cbbInfArg->currentText();
    if (device.isEmpty() || arg.isEmpty())
        return;
    if (kind == linkKind_te::uart) {
        if (uart)
            uart->open(device, arg.toUInt());  // si_openSuccess runs infOpen()
        return;
    }
    // Inside open(), si_connected runs infOpen() and the multiplexer reset.
    const auto id = uint16_t(device.toUInt());
    if (kind == linkKind_te::ch341 && ch341) {
        ch341->open(id);
        ch341->setIICSpeed(ch341_iic_speed_te(kBridgeSpeedMode));
    } else if (kind == linkKind_te::ch347 && ch347) {
        ch347->open(id);
        ch347->setIICSpeed(ch347_iic_speed_te(kBridgeSpeedMode));
    } else {
        return;
    }
    writeMask();
}

void setSensorAddrForm::writeMask()
{
    const int index = ui->cbbInfArg->currentIndex();
    // A typed entry lands behind the table's fourteen: there is no mask to write for it.
    if (index < 0 || index >= kPcaChoices) {
        qDebug("pca mask not written: no table entry for item %d", index);
        return;
    }
    sensorWrite(kPcaAddr, QByteArray(1, char(pca9548_mask_ts[size_t(index)])), 1);
}

void setSensorAddrForm::infOpen()
{
    ui->pbtnInfConnect->setText(QObject::tr("断开"));
    ui->lbFingerState->setText(QObject::tr("扫描中。。。"));
    answerAge = 0;
    rec.clear();
    if (pollTimer)
        pollTimer->start(kPollMs);
    ui->cbbInf->setEnabled(false);
    ui->cbbInfList->setEnabled(false);
    ui->cbbInfArg->setEnabled(false);
}

void setSensorAddrForm::infClose()
{
    if (!ui)
        return;
    ui->pbtnInfConnect->setText(QObject::tr("连接"));
    ui->lbFingerState->setText(QObject::tr("接口未打开"));
    ui->cbbInfList->clear();
    devList.clear();
    if (pollTimer)
        pollTimer->stop();
    ui->cbbInf->setEnabled(true);
    ui->cbbInfList->setEnabled(true);
    ui->cbbInfArg->setEnabled(true);
    // The watchdog stops itself at its next tick.
    askForList();
}

void setSensorAddrForm::askForList()
{
    switch (chosenLink()) {
    case linkKind_te::uart:
        if (uart)
            uart->scan(false);
        break;
    case linkKind_te::ch341:
        if (ch341)
            ch341->getScanSignal();
        break;
    case linkKind_te::ch347:
        if (ch347)
            ch347->getScanSignal();
        break;
    default: break;
    }
}

void setSensorAddrForm::pollTick()
{
    if (setRequest == 1)
        sendSetAddress();
    if (chosenLink() == linkKind_te::uart)
        querySerial();
    else if (chosenLink() != linkKind_te::none)
        queryBridge();
}

void setSensorAddrForm::sendSetAddress()
{
    setRequest = 0;
    uint8_t target = 0;
    if (!shownAddress({ui->spbTarAddrHex, ui->spbTarAddrDec}, &target))
        return;
    qDebug("set addr:0x%02x", target);
    QByteArray frame(kFrameLen, '\0');
    class_sensorCmd::SC_SetAddr(kGeneralCall, target, reinterpret_cast<uint8_t*>(frame.data()));
    qDebug().noquote() << QString::fromLatin1(frame.toHex(' '));
    sensorWrite(kGeneralCall, frame, kFrameLen);
    if (chosenLink() == linkKind_te::uart && uart)
        uart->port->waitForReadyRead(kSetAnswerWaitMs);
}

void setSensorAddrForm::queryBridge()
{
    sensorWrite(kGeneralCall, queryFrame(), kFrameLen);
    platform::msleep(kAnswerWaitMs);
    QByteArray answer;
    sensorRead(kGeneralCall, &answer, kFrameLen, 0);
    const addrAnswer::Answer a = addrAnswer::fromBridge(answer);
    if (a.seen)
        answered(a.setDone, a.addr);
}

void setSensorAddrForm::querySerial()
{
    sensorWrite(kGeneralCall, kSerialPoll, uint16_t(kSerialPoll.size()));
    if (uart)
        uart->port->waitForReadyRead(int(kAnswerWaitMs));
    sensorRead(kGeneralCall, &rec, 0, 0);
    const addrAnswer::Answer a = addrAnswer::takeSerial(rec);
    if (a.seen)
        answered(a.setDone, a.addr);
}

void setSensorAddrForm::answered(bool setDone, int addr)
{
    if (answerAge == 0) {
        ui->lbFingerState->setText(QObject::tr("已连接"));
        if (watchdogTimer)
            watchdogTimer->start(kWatchdogMs);
    }
    if (setDone) {
        ui->lbCmdState->setText(QObject::tr("成功"));
        QTimer::singleShot(kSuccessShownMs, this, [this] { ui->lbCmdState->clear(); });
    }
    answerAge = 1;
    if (addr >= 0)
        ui->spbCurrAddrDec->setValue(addr);  // the box keeps it within 1..111
}

void setSensorAddrForm::watchdogTick()
{
    if (!linkOpen(chosenLink())) {
        watchdogTimer->stop();
        return;
    }
    const auto age = uint8_t(answerAge + 1);
    if (age < kLostAge) {
        answerAge = age;
        return;
    }
    answerAge = 0;
    ui->lbFingerState->setText(QObject::tr("断开", "sensor lost"));
    watchdogTimer->stop();
}
