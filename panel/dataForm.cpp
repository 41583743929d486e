#include "dataForm.h"

#include "ui_dataForm.h"

dataForm::dataForm(uint8_t idx, QString name, uint8_t kind, QWidget* parent)
    : QWidget(parent), ui(new Ui::dataForm), idx(idx)
{
    ui->setupUi(this);
    ui->lbIdx->setText(name);
    if (kind != kChannelRow) {
        ui->pbtnReset->hide();
        ui->chkpbEnable->hide();
    }
    connect(ui->pbtnReset, &QPushButton::clicked, this, [this] { emit si_reset(this->idx); });
    connect(ui->chkpbEnable, &QCheckBox::stateChanged, this,
            [this](int state) { emit si_en(this->idx, state == Qt::Checked); });
}

dataForm::~dataForm() { delete ui; }

QLabel* dataForm::dataLabel() const { return ui->lbData; }

void dataForm::showValue(const QString& text)
{
    if (ui->lbData->text() != text)
        ui->lbData->setText(text);
}

void dataForm::showTouched(bool touched)
{
    const touch t = touched ? touch::yes : touch::no;
    if (shownTouch == t)
        return;
    shownTouch = t;
    ui->lbData->setStyleSheet(touched ? "color: rgb(255, 0, 0);" : "color: rgb(0, 0, 0);");
}
