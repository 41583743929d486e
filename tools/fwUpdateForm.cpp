#include "fwUpdateForm.h"

#include "ui_fwUpdateForm.h"

#include <QDebug>

namespace {

const QStringList kBridgeSpeeds = {"100k", "400k"};

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
    setupLink(o);
    groupRadios();

    connect(ui->rbtnIIC, &QRadioButton::clicked, this, [this] { chooseBridge(linkKind_te::ch341); });
    connect(ui->rbtnIICCh347, &QRadioButton::clicked, this, [this] { chooseBridge(linkKind_te::ch347); });
    connect(ui->rbtnUart, &QRadioButton::clicked, this, [this] { chooseUart(); });
    connect(ui->cbbIICSpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { speedChanged(index); });
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
    if (ui->rbtnIIC->isChecked() || ui->rbtnIICCh347->isChecked())
        pcaIdx = uint8_t(ui->cbbInfIdx->currentIndex());
    stopLink();
}

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
