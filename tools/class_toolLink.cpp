#include "class_toolLink.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDebug>
#include <QRadioButton>
#include <QSerialPort>
#include <QSpinBox>
#include <algorithm>

namespace {

constexpr int kRescanMs = 500;
constexpr ch347_gpio_te kResetPin = ch347_gpio_te(0);
constexpr ch347_gpio_en_te kEnable = ch347_gpio_en_te(1);
constexpr ch347_gpio_dir_te kOutput = ch347_gpio_dir_te(1);

QStringList idTexts(const QVector<uint16_t>& ids)
{
    QStringList texts;
    for (uint16_t id : ids)
        texts << QString::number(id);
    return texts;
}

QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

void pulseResetPin(class_ch347& bridge)
{
    bridge.setGPIO(kResetPin, kEnable, kOutput, 0);
    bridge.setGPIO(kResetPin, kEnable, kOutput, 1);
}

}  // namespace

const std::array<uint8_t, class_toolLink::kPcaChoices> class_toolLink::pca9548_mask_ts = {
    0xFF, 0x10, 0x20, 0x40, 0x08, 0x04, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

QStringList class_toolLink::serialRateTexts()
{
    return {"115200", "460800", "921600"};
}

QStringList class_toolLink::pcaItemTexts()
{
    QStringList items = {QObject::tr("无PCA9548"),          QObject::tr("转接板-1(PCA9548-4)"),
                         QObject::tr("转接板-2(PCA9548-5)"), QObject::tr("转接板-3(PCA9548-6)"),
                         QObject::tr("转接板-4(PCA9548-3)"), QObject::tr("转接板-5(PCA9548-2)")};
    for (int channel = 0; channel < 8; ++channel)
        items << QString("PCA9548-%1").arg(channel);
    return items;
}

class_toolLink::class_toolLink(QWidget* owner) : linkOwner(owner)
{
    rescanTimer.setSingleShot(true);
    rescanTimer.setInterval(kRescanMs);
    QObject::connect(&rescanTimer, &QTimer::timeout, linkOwner, [this] {
        if (uart && !uart->port->isOpen())
            uart->scan(false);
    });
}

class_toolLink::~class_toolLink()
{
    // Adapters still waiting for their deferred deletion go with the owner's children, after this
    // part of the tool is gone: nothing of theirs may reach it any more.
    for (QObject* adapter : {static_cast<QObject*>(ch341.data()), static_cast<QObject*>(ch347.data()),
                             static_cast<QObject*>(uart.data())})
        if (adapter)
            QObject::disconnect(adapter, nullptr, linkOwner, nullptr);
}

void class_toolLink::setupLink(const linkOptions_ts& options)
{
    opts = options;
}

void class_toolLink::groupRadios()
{
    if (!opts.radios.ch341)
        return;
    auto* group = new QButtonGroup(linkOwner);
    group->addButton(opts.radios.ch341);
    group->addButton(opts.radios.uart);
    group->addButton(opts.radios.ch347);
}

QRadioButton* class_toolLink::radioOf(linkKind_te kind) const
{
    switch (kind) {
    case linkKind_te::ch341: return opts.radios.ch341;
    case linkKind_te::ch347: return opts.radios.ch347;
    case linkKind_te::uart: return opts.radios.uart;
    default: return nullptr;
    }
}

linkKind_te class_toolLink::chosenLink() const
{
    if (opts.cbbInf) {
        switch (opts.cbbInf->currentIndex()) {
        case 0: return linkKind_te::uart;
        case 1: return linkKind_te::ch341;
        case 2: return linkKind_te::ch347;
        default: return linkKind_te::none;
        }
    }
    for (linkKind_te kind : {linkKind_te::ch341, linkKind_te::ch347, linkKind_te::uart}) {
        const QRadioButton* radio = radioOf(kind);
        if (radio && radio->isChecked())
            return kind;
    }
    return linkKind_te::none;
}

bool class_toolLink::linkOpen(linkKind_te kind) const
{
    switch (kind) {
    case linkKind_te::ch341: return ch341 && ch341->isOpen();
    case linkKind_te::ch347: return ch347 && ch347->isOpen();
    case linkKind_te::uart: return uart && uart->port->isOpen();
    default: return false;
    }
}

void class_toolLink::startLink()
{
    if (opts.cbbInf) {
        emit opts.cbbInf->currentIndexChanged(opts.cbbInf->currentIndex());
        return;
    }
    linkKind_te kind = chosenLink();
    if (opts.startRule == linkStartRule_te::checkAndClick) {
        if (kind == linkKind_te::none)
            kind = linkKind_te::ch341;
        if (QRadioButton* radio = radioOf(kind))
            radio->setChecked(true);
    }
    if (QRadioButton* radio = radioOf(kind))
        emit radio->clicked(false);
}

void class_toolLink::stopLink()
{
    uartDeinit();
    ch341Deinit();
    ch347Deinit();
}

void class_toolLink::chooseLink(linkKind_te kind)
{
    if (opts.clearListOnChoice) {
        if (opts.devCombo)
            opts.devCombo->clear();
        devList.clear();
    }
    const auto init = [this, kind] {
        switch (kind) {
        case linkKind_te::ch341: ch341Init(); break;
        case linkKind_te::ch347: ch347Init(); break;
        case linkKind_te::uart: uartInit(); break;
        default: break;
        }
    };
    if (opts.initFirst)
        init();
    if (kind != linkKind_te::uart)
        uartDeinit();
    if (kind != linkKind_te::ch341)
        ch341Deinit();
    if (kind != linkKind_te::ch347)
        ch347Deinit();
    if (!opts.initFirst)
        init();
    if (kind == linkKind_te::uart && uart)
        uart->scan(false);
}

template <typename Adapter>
void class_toolLink::bridgeInit(QPointer<Adapter>& adapter, linkKind_te kind)
{
    adapter = new Adapter(linkOwner);
    QObject::connect(adapter, &Adapter::si_connected, linkOwner, [this, kind] { bridgeConnected(kind); });
    QObject::connect(adapter, &Adapter::si_disconnected, linkOwner, [this, kind] {
        if (opts.closed)
            opts.closed(kind);
    });
    QObject::connect(adapter, &Adapter::si_updateList, linkOwner,
                     [this, kind](QVector<uint16_t> ids) { takeList(kind, idTexts(ids)); });
}

void class_toolLink::ch341Init()
{
    ch341Deinit();
    bridgeInit(ch341, linkKind_te::ch341);
}

void class_toolLink::ch347Init()
{
    ch347Deinit();
    bridgeInit(ch347, linkKind_te::ch347);
}

void class_toolLink::uartInit()
{
    uartDeinit();
    uart = new class_uart(linkOwner);  // logs "uart init"
    QObject::connect(uart, &class_uart::si_scanEnd, linkOwner,
                     [this](QStringList names) { takeList(linkKind_te::uart, names); });
    if (opts.opened)
        QObject::connect(uart, &class_uart::si_openSuccess, linkOwner, [this] { opts.opened(linkKind_te::uart); });
    if (opts.closed)
        QObject::connect(uart, &class_uart::si_close, linkOwner, [this] { opts.closed(linkKind_te::uart); });
    if (opts.scanInUartInit)
        uart->scan(false);
}

template <typename Adapter>
void class_toolLink::dispose(QPointer<Adapter>& adapter)
{
    Adapter* a = adapter.data();
    adapter = nullptr;
    // Closed already: from here on the adapter tells this tool nothing more.
    QObject::disconnect(a, nullptr, linkOwner, nullptr);
    if (opts.disposal == linkDisposal_te::deferred)
        a->deleteLater();
    else
        delete a;
}

void class_toolLink::ch341Deinit()
{
    if (!ch341)
        return;
    ch341->close();
    dispose(ch341);
}

void class_toolLink::ch347Deinit()
{
    if (!ch347)
        return;
    ch347->close();
    dispose(ch347);
}

void class_toolLink::uartDeinit()
{
    if (!uart)
        return;
    uart->close();  // closes an open port and emits si_close in every case
    dispose(uart);
}

void class_toolLink::bridgeConnected(linkKind_te kind)
{
    if (opts.opened)
        opts.opened(kind);
    const linkBridgeSteps_ts& steps = kind == linkKind_te::ch341 ? opts.ch341Steps : opts.ch347Steps;
    if (kind == linkKind_te::ch341 && ch341) {
        if (steps.speedMode)
            ch341->setIICSpeed(ch341_iic_speed_te(steps.speedMode()));
    } else if (kind == linkKind_te::ch347 && ch347) {
        if (steps.speedMode)
            ch347->setIICSpeed(ch347_iic_speed_te(steps.speedMode()));
        if (steps.driverMode)
            ch347->setIICDriverMode(1);
        if (steps.stretch)
            ch347->setIICStretch(1);
        if (steps.resetPulse)
            pulseResetPin(*ch347);
    }
    pcaReset();
}

void class_toolLink::pcaReset()
{
    const linkKind_te kind = chosenLink();
    if (kind == linkKind_te::ch341 && ch341) {
        ch341->setInt(0);
        ch341->setInt(1);
    } else if (kind == linkKind_te::ch347 && ch347) {
        pulseResetPin(*ch347);
    } else {
        return;
    }
    sensorWrite(kPcaAddr, QByteArray(1, '\0'), 1);
}

bool class_toolLink::listWanted(linkKind_te kind) const
{
    switch (opts.listRule) {
    case linkListRule_te::whileChosen: return chosenLink() == kind;
    case linkListRule_te::unlessChosenOpen: return !(chosenLink() == kind && linkOpen(kind));
    default: return true;
    }
}

void class_toolLink::takeList(linkKind_te kind, const QStringList& texts)
{
    if (!listWanted(kind))
        return;  // for serial this also ends the rescanning
    if (kind == linkKind_te::uart)
        rescanTimer.start();
    if (!opts.devCombo)
        return;
    const QStringList current = opts.compareWithCopy ? devList : itemTexts(opts.devCombo);
    if (texts == current)
        return;  // an unchanged list leaves the selection alone
    devList = texts;
    opts.devCombo->clear();
    opts.devCombo->addItems(texts);
}

bool class_toolLink::shownAddress(std::initializer_list<QSpinBox*> boxes, uint8_t* addr) const
{
    if (boxes.size() == 0)
        return false;
    for (QSpinBox* box : boxes) {
        if (!box->hasAcceptableInput()) {
            if (opts.status)
                opts.status(QObject::tr("地址无效"));
            return false;
        }
        box->interpretText();  // the value follows the text now, not at the next focus change
    }
    *addr = uint8_t((*boxes.begin())->value());
    return true;
}

void class_toolLink::sensorWrite(uint8_t addr, QByteArray data, uint16_t len)
{
    const auto n = uint16_t(std::min<int>(len, data.size()));
    const auto bridgeWrite = [&](auto* bridge) {
        if (bridge)
            bridge->write(addr, reinterpret_cast<uint8_t*>(data.data()), n);
    };
    switch (chosenLink()) {
    case linkKind_te::ch341: bridgeWrite(ch341.data()); break;
    case linkKind_te::ch347: bridgeWrite(ch347.data()); break;
    case linkKind_te::uart:
        if (uart)
            uart->port->write(data);
        break;
    default: break;
    }
    qDebug().noquote() << QString("write:%1--%2").arg(data.size()).arg(QString::fromLatin1(data.toHex()));
}

int class_toolLink::sensorRead(uint8_t addr, QByteArray* out, uint16_t len, uint16_t /*timeout*/)
{
    if (!out)
        return -1;
    // A buffer of len bytes 0x00, filled as far as the bridge reads it.
    const auto bridgeRead = [&](auto* bridge) {
        if (!bridge)
            return -1;
        QByteArray buf(len, '\0');
        const int got = bridge->read(addr, reinterpret_cast<uint8_t*>(buf.data()), len);
        out->append(buf);
        return got;
    };
    int got = -1;
    switch (chosenLink()) {
    case linkKind_te::ch341: got = bridgeRead(ch341.data()); break;
    case linkKind_te::ch347: got = bridgeRead(ch347.data()); break;
    case linkKind_te::uart:
        if (uart) {
            const QByteArray arrived = uart->port->readAll();
            out->append(arrived);
            got = arrived.size();
        }
        break;
    default: break;
    }
    qDebug().noquote() << QString("read:%1--%2").arg(out->size()).arg(QString::fromLatin1(out->toHex()));
    return got;
}
