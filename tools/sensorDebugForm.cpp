#include "sensorDebugForm.h"

#include "debugFrame.h"
#include "pca9548.h"
#include "ui_sensorDebugForm.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDebug>
#include <QEventLoop>
#include <QPointer>
#include <QRegExpValidator>
#include <QSerialPort>
#include <QTextCursor>

namespace {

struct speedChoice_ts {
    QStringList items;
    int current;  // -1: as the refill leaves it
};

// CH341 modes 0..2 are 20, 100 and 400 kHz, taken as the index; CH347 modes 1..3 are 100, 400 and
// 750 kHz, index + 1.
speedChoice_ts speedsOf(linkKind_te kind)
{
    switch (kind) {
    case linkKind_te::ch341: return {{"20K", "100K", "400K"}, 1};
    case linkKind_te::ch347: return {{"100K", "400K", "750K"}, -1};
    default: return {class_toolLink::serialRateTexts(), 1};
    }
}

}  // namespace

sensorDebugForm::sensorDebugForm(QWidget* parent)
    : QWidget(parent), class_toolLink(this), ui(new Ui_sensorDebugForm)
{
    ui->setupUi(this);
    qDebug() << "sensorDebugForm new";
    init();
}

sensorDebugForm::~sensorDebugForm()
{
    delete ui;
    ui = nullptr;
}

void sensorDebugForm::init()
{
    qDebug() << "sensorDebugForm init";
    linkOptions_ts o;
    o.radios = {ui->rbtnIIC, ui->rbtnIICCh347, ui->rbtnUart};
    o.startRule = linkStartRule_te::clickChecked;
    o.devCombo = ui->cbbDevInf;
    o.listRule = linkListRule_te::always;
    o.disposal = linkDisposal_te::deferred;
    o.ch341Steps.speedMode = [this] { return uint8_t(ui->cbbDevSpeed->currentIndex()); };
    o.ch347Steps.speedMode = [this] { return uint8_t(ui->cbbDevSpeed->currentIndex() + 1); };
    o.ch347Steps.stretch = true;
    o.opened = [](linkKind_te kind) {
        if (kind == linkKind_te::ch347)
            qDebug() << "ch347 connect";
    };
    o.closed = [](linkKind_te kind) {
        if (kind == linkKind_te::ch347)
            qDebug() << "ch347 disconnect";
    };
    o.status = [this](const QString& text) { emit si_appendDebugLog(text); };
    setupLink(o);
    groupRadios();

    connect(ui->rbtnIIC, &QRadioButton::clicked, this, [this] { chooseInterface(linkKind_te::ch341); });
    connect(ui->rbtnIICCh347, &QRadioButton::clicked, this, [this] { chooseInterface(linkKind_te::ch347); });
    connect(ui->rbtnUart, &QRadioButton::clicked, this, [this] { chooseInterface(linkKind_te::uart); });
    connect(ui->pbtnInfConnect, &QPushButton::clicked, this, [this] { connectToggle(); });
    connect(ui->pbtnSetPCA9548, &QPushButton::clicked, this, [this] { setMask(); });
    connect(ui->pbtnGetPCA9548, &QPushButton::clicked, this, [this] { getMask(); });
    // A channel box and the connector box wired to it follow each other. Setting a box to the
    // state it has emits nothing, so the mirroring ends after one step.
    for (int b = 0; b < pca9548::kChannelCount; ++b)
        if (QCheckBox* box = channelBox(b))
            connect(box, &QCheckBox::stateChanged, this,
                    [this, b](int state) { mirror(connectorBox(debugFrame::connectorOf(b)), state); });
    for (int n = 1; n <= pca9548::kBoardCount; ++n)
        if (QCheckBox* box = connectorBox(n))
            connect(box, &QCheckBox::stateChanged, this,
                    [this, n](int state) { mirror(channelBox(debugFrame::channelOf(n)), state); });
    // Hexadecimal digits only, without spaces or separators.
    ui->leCh341Write->setValidator(new QRegExpValidator(QRegExp("^[0-9a-fA-F]+$"), this));
    connect(ui->leCh341Write, &QLineEdit::textChanged, this,
            [this](const QString& text) { ui->lbChk->setText(debugFrame::sumLabel(debugFrame::fromHex(text))); });
    connect(ui->pbtnCh341Write, &QPushButton::clicked, this, [this] { write(); });
    connect(ui->pbtnCh341Read, &QPushButton::clicked, this, [this] { read(); });
    connect(ui->pbtnCh341WR, &QPushButton::clicked, this, [this] { writeThenRead(); });
    connect(this, &sensorDebugForm::si_appendDebugLog, this, &sensorDebugForm::appendLog);
    connect(ui->pbtnDebugLogClear, &QPushButton::clicked, ui->txtDebugLog, &QTextEdit::clear);
}

void sensorDebugForm::start()
{
    qDebug() << "sensorDebugForm start";
    started = true;
    ui->pbtnInfConnect->setText(QObject::tr("连接"));
    startLink();
}

void sensorDebugForm::stop()
{
    qDebug() << "sensorDebugForm stop";
    started = false;
    stopLink();
}

void sensorDebugForm::chooseInterface(linkKind_te kind)
{
    const speedChoice_ts speeds = speedsOf(kind);
    ui->cbbDevSpeed->clear();
    ui->cbbDevSpeed->addItems(speeds.items);
    if (speeds.current >= 0)
        ui->cbbDevSpeed->setCurrentIndex(speeds.current);
    chooseLink(kind);
    ui->groupBox_6->setEnabled(kind != linkKind_te::uart);
}

void sensorDebugForm::connectToggle()
{
    const linkKind_te kind = chosenLink();
    const QString device = ui->cbbDevInf->currentText();
    if (ui->pbtnInfConnect->text() == QObject::tr("连接")) {
        if (device.isEmpty())
            return;
        bool opened = false;
        if (kind == linkKind_te::ch341 && ch341)
            opened = ch341->open(uint16_t(device.toUInt()));
        else if (kind == linkKind_te::ch347 && ch347)
            opened = ch347->open(uint16_t(device.toUInt()));
        else if (kind == linkKind_te::uart && uart)
            opened = uart->open(device, ui->cbbDevSpeed->currentText().toUInt());
        if (opened)
            ui->pbtnInfConnect->setText(QObject::tr("断开"));
        return;
    }
    if (kind == linkKind_te::ch341 && ch341)
        ch341->close();
    else if (kind == linkKind_te::ch347 && ch347)
        ch347->close();
    else if (kind == linkKind_te::uart && uart)
        uart->close();  // closes an open port, emits si_close in every case
    ui->pbtnInfConnect->setText(QObject::tr("连接"));
}

bool sensorDebugForm::address(uint8_t* addr)
{
    return shownAddress({ui->spbCh341Addr}, addr);
}

bool sensorDebugForm::linkReady(bool serialToo)
{
    const linkKind_te kind = chosenLink();
    const bool bridge = kind == linkKind_te::ch341 || kind == linkKind_te::ch347;
    // A missing adapter (a tab change inside the write-then-read wait removes it) is a closed link.
    if ((bridge || (serialToo && kind == linkKind_te::uart)) && !linkOpen(kind)) {
        emit si_appendDebugLog(QObject::tr("转接板未连接"));
        return false;
    }
    return true;
}

void sensorDebugForm::write()
{
    if (!linkReady(false))
        return;
    const QString text = ui->leCh341Write->text();
    if (text.isEmpty())
        return;
    uint8_t addr = 0;
    if (!address(&addr))
        return;
    QByteArray frame = debugFrame::fromHex(text);
    const bool withSum = ui->chkbtnChk->isChecked();
    if (withSum)
        frame += debugFrame::sumBytes(ui->lbChk->text());
    if (chosenLink() == linkKind_te::uart) {
        // The address belongs in byte 2; a shorter frame goes out as typed.
        if (frame.size() > 2)
            frame[2] = char(addr);
        if (withSum)
            debugFrame::resum(frame);
        if (uart)
            uart->port->clear();
    }
    sensorWrite(addr, frame, uint16_t(frame.size()));
    emit si_appendDebugLog(debugFrame::writeEntry(addr, frame));
}

void sensorDebugForm::read()
{
    uint8_t addr = 0;
    if (!linkReady(false) || !address(&addr))
        return;
    QByteArray bytes;
    // A failed bridge read leaves nothing to test: its bytes are not the sensor's.
    if (sensorRead(addr, &bytes, uint16_t(ui->spbCh341Read->value()), 0) <= 0)
        bytes.clear();
    emit si_appendDebugLog(debugFrame::readEntry(addr, bytes));
}

void sensorDebugForm::writeThenRead()
{
    uint8_t addr = 0;
    if (!linkReady(true) || !address(&addr))
        return;
    emit ui->pbtnCh341Write->clicked(false);
    // Events keep running while the sensor prepares its answer: the window stays responsive, and
    // anything may happen meanwhile, up to this tab being left or the form going away.
    QPointer<sensorDebugForm> self(this);
    QEventLoop wait;
    QTimer delay;
    delay.setSingleShot(true);
    delay.setTimerType(Qt::PreciseTimer);
    connect(&delay, &QTimer::timeout, &wait, &QEventLoop::quit);
    delay.start(ui->spbDelay->value());
    wait.exec();
    if (!self)
        return;
    emit ui->pbtnCh341Read->clicked(false);
}

QCheckBox* sensorDebugForm::channelBox(int channel) const
{
    return findChild<QCheckBox*>(QString("chkbCh%1").arg(channel));
}

QCheckBox* sensorDebugForm::connectorBox(int connector) const
{
    return findChild<QCheckBox*>(QString("chkbInf%1").arg(connector));
}

void sensorDebugForm::mirror(QCheckBox* other, int state)
{
    if (other)
        other->setCheckState(Qt::CheckState(state));
}

void sensorDebugForm::setMask()
{
    uint8_t mask = 0;
    for (int b = 0; b < pca9548::kChannelCount; ++b) {
        const QCheckBox* box = channelBox(b);
        if (box && box->checkState() == Qt::Checked)
            mask = uint8_t(mask | (1u << b));
    }
    qDebug("set pca:%d", mask);
    const linkKind_te kind = chosenLink();
    if ((kind == linkKind_te::ch341 || kind == linkKind_te::ch347) && linkOpen(kind))
        sensorWrite(pca9548::kAddress, QByteArray(1, char(mask)), 1);
}

void sensorDebugForm::getMask()
{
    const linkKind_te kind = chosenLink();
    if ((kind != linkKind_te::ch341 && kind != linkKind_te::ch347) || !linkOpen(kind))
        return;
    if (kind == linkKind_te::ch347)
        qDebug() << "ch347 read";
    // A failed read: 0x00 from the CH341, 0xFF from the CH347.
    QByteArray value;
    sensorRead(pca9548::kAddress, &value, 1, 0);
    const auto mask = uint8_t(value.isEmpty() ? 0 : value[0]);
    qDebug("get pca:%d", mask);
    for (int b = 0; b < pca9548::kChannelCount; ++b)
        if (QCheckBox* box = channelBox(b))
            box->setChecked((mask >> b) & 1);
}

void sensorDebugForm::appendLog(const QString& str)
{
    QTextCursor cursor = ui->txtDebugLog->textCursor();
    cursor.movePosition(QTextCursor::End);
    ui->txtDebugLog->setTextCursor(cursor);
    ui->txtDebugLog->insertPlainText(debugFrame::stamped(QDateTime::currentDateTime(), str));
    cursor.movePosition(QTextCursor::End);
    ui->txtDebugLog->setTextCursor(cursor);
}
