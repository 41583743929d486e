#include "fwUpdateForm.h"

#include "class_sensorCmd.h"
#include "class_settings.h"
#include "class_ymodem.h"
#include "hex2bin.h"
#include "debugFrame.h"
#include "hooks.h"
#include "msleep.h"
#include "ui_fwUpdateForm.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegExpValidator>
#include <QTimer>
#include <algorithm>
#include <cstring>

namespace {

const QStringList kBridgeSpeeds = {"100k", "400k"};
// The boot loader may listen at any of these until it is told otherwise.
const unsigned int kResetRates[] = {115200, 460800, 576000, 921600};

const char* const kPathKey = "UPDATE/FILE_PATH";
const char* const kFileFilter = "*.bin;*.hex";
constexpr uint8_t kResetCode = 0xA1;
constexpr int kResetAddrByte = 2;
constexpr int kResetSumAt = 9;          // the sum of bytes 0..8 in bytes 9 and 10
constexpr int kSerialWaitMs = 100;
constexpr uint32_t kRateSettleMs = 5;
constexpr int kReadBackMs = 100;
constexpr int kSuccessClickMs = 10;
constexpr int kPadWhenRest = 8;         // a size of 8 modulo 16 gets eight 0xFF
constexpr int kPadBlock = 16;

enum resetChoice : int { kResetDefault = 0, kResetCustom = 1, kResetNone = 2 };

}  // namespace

fwUpdateForm::fwUpdateForm(QWidget* parent) : QWidget(parent), class_toolLink(this), ui(new Ui_fwUpdateForm)
{
    ui->setupUi(this);
    qDebug() << "fwUpdateForm new";
    init();
}

fwUpdateForm::~fwUpdateForm()
{
    stop();
    qDebug() << "fwUpdateForm delete";
    delete ui;
}

void fwUpdateForm::init()
{
    qDebug() << "fwUpdateForm init";
    linkOptions_ts o;
    o.radios = {ui->rbtnIIC, ui->rbtnIICCh347, ui->rbtnUart};
    o.startRule = linkStartRule_te::checkAndClick;
    o.devCombo = ui->cbbUpdateDevList;
    o.listRule = linkListRule_te::whileChosen;
    o.disposal = linkDisposal_te::plain;
    o.ch341Steps.speedMode = [this] { return speedMode(); };
    o.ch347Steps.speedMode = [this] { return speedMode(); };
    o.ch347Steps.stretch = true;
    o.ch347Steps.resetPulse = true;
    o.status = [this](const QString& text) { ui->lbRes->setText(text); };
    setupLink(o);

    connect(ui->cbbResetCmd, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { resetChoiceChanged(index); });
    ui->cbbResetCmd->setCurrentIndex(kResetDefault);
    emit ui->cbbResetCmd->currentIndexChanged(kResetDefault);
    groupRadios();
    ui->leResetCmd->setValidator(new QRegExpValidator(QRegExp("^[0-9a-fA-F]+$"), ui->leResetCmd));

    connect(ui->rbtnIIC, &QRadioButton::clicked, this, [this] { chooseBridge(linkKind_te::ch341); });
    connect(ui->rbtnIICCh347, &QRadioButton::clicked, this, [this] { chooseBridge(linkKind_te::ch347); });
    connect(ui->rbtnUart, &QRadioButton::clicked, this, [this] { chooseUart(); });
    connect(ui->cbbIICSpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { speedChanged(index); });

    ui->leUpdateFilePath->setText(class_settings::get(kPathKey, QString()));
    connect(ui->leUpdateFilePath, &QLineEdit::textChanged, this,
            [](const QString& text) { class_settings::set(kPathKey, text); });
    connect(ui->pbtnUpdateFileSelect, &QPushButton::clicked, this, [this] { chooseFile(); });
    connect(ui->pbtnUpdateStart, &QPushButton::clicked, this, [this] { startClicked(); });
    connect(this, &fwUpdateForm::si_updateStart, this, [this] { runTransfer(); });
}

void fwUpdateForm::start()
{
    qDebug() << "fwUpdateForm start";
    started = true;
    startLink();
}

void fwUpdateForm::stop()
{
    qDebug() << "fwUpdateForm stop";
    started = false;
    // A run in progress ends as the stop button ends it, and its sender goes before the adapters.
    if (running)
        stopBranch();
    if (ymodem) {
        disposeSender(false);
        ui->lbRes->setText(QObject::tr("更新取消"));
    }
    if (ui->rbtnIIC->isChecked() || ui->rbtnIICCh347->isChecked())
        pcaIdx = uint8_t(ui->cbbInfIdx->currentIndex());
    stopLink();
}

QString fwUpdateForm::getFile() const
{
    return ui->leUpdateFilePath->text();
}

// ---- link choices -------------------------------------------------------------------------

uint8_t fwUpdateForm::speedMode() const
{
    const int index = ui->cbbIICSpeed->currentIndex();
    return index >= 0 && index <= 2 ? uint8_t(index + 1) : 1;
}

void fwUpdateForm::chooseBridge(linkKind_te kind)
{
    ui->cbbIICSpeed->clear();
    ui->cbbIICSpeed->addItems(kBridgeSpeeds);
    ui->cbbIICSpeed->show();  // serial may have hidden it
    chooseLink(kind);
    ui->cbbInfIdx->clear();
    ui->cbbInfIdx->addItems(pcaItemTexts());
    ui->cbbInfIdx->setEditable(false);
    ui->cbbInfIdx->setCurrentIndex(pcaIdx);
    ui->spbUpdateAddr->show();
}

void fwUpdateForm::chooseUart()
{
    ui->cbbIICSpeed->hide();
    chooseLink(linkKind_te::uart);
    ui->cbbInfIdx->clear();
    ui->cbbInfIdx->addItems(serialRateTexts());
    ui->cbbInfIdx->setEditable(true);
    ui->cbbInfIdx->setCurrentIndex(0);
    ui->spbUpdateAddr->show();
}

void fwUpdateForm::speedChanged(int /*index*/)
{
    // A CH347 link keeps its speed until it is opened again.
    if (ui->rbtnIIC->isChecked() && ch341 && ch341->isOpen())
        ch341->setIICSpeed(ch341_iic_speed_te(speedMode()));
}

void fwUpdateForm::resetChoiceChanged(int index)
{
    ui->leResetCmd->setEnabled(index == kResetCustom);
    ui->spbResetAddr->setEnabled(!running && (index == kResetDefault || index == kResetCustom));
}

void fwUpdateForm::chooseFile()
{
    const QString dir = class_settings::get(kPathKey, QString());
    const QString name = hooks::openFileName(this, QObject::tr("选择app文件"), dir, kFileFilter);
    if (name.isEmpty())
        return;
    ui->leUpdateFilePath->setText(QDir::toNativeSeparators(name));
    class_settings::set(kPathKey, QDir::toNativeSeparators(QDir(name).path()));
}

// ---- start button -------------------------------------------------------------------------

void fwUpdateForm::startClicked()
{
    if (running) {
        stopBranch();
        return;
    }
    if (ui->cbbUpdateDevList->currentText().isEmpty() || ui->cbbInfIdx->currentText().isEmpty()) {
        ui->lbRes->setText(QObject::tr("通信接口未选择"));
        return;
    }
    uint8_t addr = 0;
    if (!shownAddress({ui->spbUpdateAddr}, &addr) ||
        (ui->cbbResetCmd->currentIndex() != kResetNone && !shownAddress({ui->spbResetAddr}, &addr)))
        return;
    if (!openLink()) {
        ui->lbRes->setText(QObject::tr("通信接口打开失败"));
        closeLink();
        return;
    }
    if (chosenLink() != linkKind_te::uart && !selectChannel())
        return;
    setRunning(true);
    ++runNumber;
    ui->pbtnUpdateStart->setText(QObject::tr("停止"));
    emit si_updateStart();  // the run goes on inside this emission
}

void fwUpdateForm::stopBranch()
{
    setRunning(false);
    ui->pbtnUpdateStart->setText(QObject::tr("开始"));
    if (ymodem)
        cancelReceiver();
    closeLink();
    emit si_updateCancel();
}

// While a run holds the link, nothing it reads from the form may change under it.
void fwUpdateForm::setRunning(bool on)
{
    running = on;
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->rbtnIIC, ui->rbtnIICCh347, ui->rbtnUart, ui->cbbUpdateDevList, ui->cbbInfIdx,
             ui->leUpdateFilePath, ui->pbtnUpdateFileSelect, ui->cbbSensorVersion, ui->spbUpdateAddr})
        w->setEnabled(!on);
    resetChoiceChanged(ui->cbbResetCmd->currentIndex());
}

uint8_t fwUpdateForm::transferAddr() const
{
    return uint8_t(ui->spbUpdateAddr->value());
}

// A sender stopped by the user leaves its receiver mid-transfer: the receiver hears the cancel
// packet while the link is still open, before the multiplexer reset and the close.
void fwUpdateForm::cancelReceiver()
{
    const QByteArray cancel = class_ymodem::cancelPacket();
    sensorWrite(transferAddr(), cancel, uint16_t(cancel.size()));
    // A close drops what the port still holds, and a block may be waiting ahead of the cancel.
    if (chosenLink() == linkKind_te::uart && uart)
        while (uart->port->bytesToWrite() > 0 && uart->port->waitForBytesWritten(kSerialWaitMs)) {
        }
}

bool fwUpdateForm::openLink()
{
    const QString device = ui->cbbUpdateDevList->currentText();
    const auto id = uint16_t(device.toUInt());
    switch (chosenLink()) {
    case linkKind_te::ch341: return ch341 && ch341->open(id);  // connection steps run inside
    case linkKind_te::ch347: return ch347 && ch347->open(id);
    case linkKind_te::uart: return uart && uart->open(device, ui->cbbInfIdx->currentText().toUInt());
    default: return false;
    }
}

void fwUpdateForm::closeLink()
{
    switch (chosenLink()) {
    case linkKind_te::ch341:
        pcaReset();
        if (ch341)
            ch341->close();
        break;
    case linkKind_te::ch347:
        pcaReset();
        if (ch347)
            ch347->close();
        break;
    case linkKind_te::uart:
        if (uart)
            uart->close();
        break;
    default: break;
    }
}

// Writes the chosen channel mask to the multiplexer and reads it back; false closes the bridge.
bool fwUpdateForm::selectChannel()
{
    const int index = ui->cbbInfIdx->currentIndex();
    if (index < 1) {
        ui->lbRes->setText(QObject::tr("IIC总线芯片(PCA9548)接口错误"));
        return true;  // no multiplexer: the run goes on without one
    }
    const uint8_t mask = index < kPcaChoices ? pca9548_mask_ts[size_t(index)] : 0;
    sensorWrite(kPcaAddr, QByteArray(1, char(mask)), 1);
    QByteArray back;
    sensorRead(kPcaAddr, &back, 1, kReadBackMs);
    const uint8_t state = back.isEmpty() ? 0 : uint8_t(back[0]);
    if (mask != 0 && state == mask)
        return true;
    qDebug("state:%x", state);
    qDebug("%d", 374);
    ui->lbRes->setText(QObject::tr("IIC总线芯片(PCA9548)设置失败"));
    closeLink();
    return false;
}

// ---- the run ------------------------------------------------------------------------------

QByteArray fwUpdateForm::resetFrame() const
{
    switch (ui->cbbResetCmd->currentIndex()) {
    case kResetDefault: return class_sensorCmd::frame(0x00, kResetCode);
    case kResetCustom: {
        const QByteArray frame = debugFrame::fromHex(ui->leResetCmd->text());
        qDebug().noquote() << "reset cmd:" + QString::fromLatin1(frame.toHex());
        return frame;
    }
    default: return QByteArray();
    }
}

void fwUpdateForm::sendResetFrame()
{
    if (ui->cbbResetCmd->currentIndex() == kResetNone)
        return;
    QByteArray frame = resetFrame();
    const auto addr = uint8_t(ui->spbResetAddr->value());
    if (chosenLink() != linkKind_te::uart) {
        sensorWrite(addr, frame, uint16_t(frame.size()));
        return;
    }
    if (!uart)
        return;
    // On serial the frame names its sensor; a custom frame too short for that goes unchanged.
    if (frame.size() >= class_sensorCmd::kFrameLen) {
        frame[kResetAddrByte] = char(addr);
        const uint16_t sum = class_sensorCmd::sum16(reinterpret_cast<const uint8_t*>(frame.constData()), kResetSumAt);
        frame[kResetSumAt] = char(sum & 0xFF);
        frame[kResetSumAt + 1] = char(sum >> 8);
    }
    const QString device = ui->cbbUpdateDevList->currentText();
    for (unsigned int rate : kResetRates) {
        uart->close();
        if (!uart->open(device, rate)) {
            qDebug("reset cmd err:%u", rate);
            continue;
        }
        uart->port->clear();
        qDebug("set baudrate:%u", rate);
        qDebug("%lld", static_cast<long long>(uart->port->write(frame)));
        uart->port->waitForBytesWritten(kSerialWaitMs);
        uart->port->waitForReadyRead(kSerialWaitMs);
    }
    const unsigned int chosen = ui->cbbInfIdx->currentText().toUInt();
    qDebug("set rate:%u", chosen);
    platform::msleep(kRateSettleMs);
    uart->close();
    if (!uart->open(device, chosen))
        qDebug("open err");
    uart->port->clear();
}

int fwUpdateForm::loadAppFile(QString path, bool merge, QString* name, QByteArray* data)
{
    if (!QFileInfo::exists(path))
        return -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui->lbRes->setText(QObject::tr("文件打开失败"));
        return -2;
    }
    QByteArray image = file.readAll();
    file.close();
    if (QFileInfo(path).suffix().toLower() == "hex")
        image = hex2bin::hexToBin(image);
    if (image.isEmpty()) {
        ui->lbRes->setText(QObject::tr("用户程序文件为空文件"));
        return -3;
    }
    if (image.size() % kPadBlock == kPadWhenRest)
        image.append(QByteArray(kPadWhenRest, char(0xFF)));
    if (merge) {
        qDebug() << "merge";
        for (int at = 0; at + 4 <= image.size(); at += 4) {
            uint32_t word = 0;
            for (int i = 3; i >= 0; --i)
                word = word << 8 | uint8_t(image[at + i]);
            word ^= kMergeKey;
            for (int i = 0; i < 4; ++i)
                image[at + i] = char((word >> (8 * i)) & 0xFF);
        }
    }
    if (name)
        name->append(QFileInfo(path).fileName());
    if (data)
        data->append(image);
    return 0;
}

void fwUpdateForm::runTransfer()
{
    if (ymodem)
        disposeSender(true);  // left over from an earlier run
    // The file first: one that does not load must not send the sensor into its boot loader.
    QString name;
    QByteArray image;
    if (loadAppFile(getFile(), ui->cbbSensorVersion->currentIndex() == 0, &name, &image) != 0) {
        ui->lbRes->setText(QObject::tr("文件加载失败"));
        emit ui->pbtnUpdateStart->clicked(false);
        return;
    }
    sendResetFrame();
    ui->lbRes->setText(QObject::tr("开始更新"));
    st = QDateTime::currentDateTime();

    auto* y = new class_ymodem(name, image);
    ymodem = y;
    // After a stop the link is closed and the receiver has had its cancel packet: what the
    // sender still does until it reports the cancel goes nowhere.
    connect(this, &fwUpdateForm::si_updateReceived, y, &class_ymodem::sl_received1);
    connect(y, &class_ymodem::si_read, this, [this](uint16_t len) {
        QByteArray buf;
        if (running)
            sensorRead(transferAddr(), &buf, len, kReadBackMs);
        emit si_updateReceived(buf);
    });
    connect(this, &fwUpdateForm::si_updateSended, y, &class_ymodem::sl_writeSuccess);
    connect(y, &class_ymodem::si_write, this, [this](QByteArray pack) {
        if (running)
            sensorWrite(transferAddr(), pack, uint16_t(pack.size()));
        emit si_updateSended();
    });
    connect(y, &class_ymodem::si_setProgress, this, [this](uint8_t value) { ui->pbUpdate->setValue(value); });
    connect(y, &class_ymodem::si_updateSuccess, this, [this, y] { runEnded(y, outcome::success); });
    connect(y, &class_ymodem::si_updateTimeout, this, [this, y] { runEnded(y, outcome::timeout); });
    connect(y, &class_ymodem::si_updateCancel, this, [this, y] { runEnded(y, outcome::cancel); });
    connect(this, &fwUpdateForm::si_updateCancel, y, &class_ymodem::update_cancel);
    y->update_start();
}

QString fwUpdateForm::successText(qint64 ms)
{
    ms = std::max<qint64>(ms, 0);  // the wall clock set back during the run
    return QObject::tr("更新成功,用时：") + QString("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QChar('0')) +
           QObject::tr("秒");
}

void fwUpdateForm::disposeSender(bool deferred)
{
    class_ymodem* y = ymodem.data();
    if (!y)
        return;
    ymodem = nullptr;
    disconnect(y, nullptr, this, nullptr);
    disconnect(this, nullptr, y, nullptr);
    if (deferred)
        y->deleteLater();  // we may be inside one of its emissions
    else
        delete y;
}

void fwUpdateForm::runEnded(class_ymodem* sender, outcome result)
{
    if (sender != ymodem)
        return;  // not this run's sender
    disposeSender(true);
    if (result == outcome::success) {
        emit si_updateSuccess();
        ui->lbRes->setText(successText(st.msecsTo(QDateTime::currentDateTime())));
        const int run = runNumber;
        QTimer::singleShot(kSuccessClickMs, this, [this, run] {
            if (running && run == runNumber)
                emit ui->pbtnUpdateStart->clicked(false);
        });
        return;
    }
    emit si_updateFail();
    ui->lbRes->setText(result == outcome::timeout ? QObject::tr("更新超时") : QObject::tr("更新取消"));
    if (running)
        emit ui->pbtnUpdateStart->clicked(false);
}
