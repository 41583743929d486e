#include "builtInForms.h"

#include "ydds.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QProgressBar>
#include <QWidget>

namespace {

constexpr int kEmptyFormWidth = 400;
constexpr int kEmptyFormHeight = 300;
constexpr int kBarMinimumWidth = 30;
constexpr int kBarPresetMaximum = 300000;

void beginForm(QWidget* form, const char* className, int width, int height)
{
    if (form->objectName().isEmpty())
        form->setObjectName(QString::fromLatin1(className));
    form->resize(width, height);
}

// The text step and the auto-connection, as a Designer form ends.
void endForm(QWidget* form, const char* className, ydds* gauge)
{
    form->setWindowTitle(QCoreApplication::translate(className, "Form"));
    if (gauge)
        gauge->setText(QString());
    QMetaObject::connectSlotsByName(form);
}

ydds* newGauge(QWidget* form)
{
    auto* gauge = new ydds(form);
    gauge->setObjectName(QStringLiteral("label_1"));
    return gauge;
}

}  // namespace

void emptyForm::build(QWidget* form, const char* className)
{
    beginForm(form, className, kEmptyFormWidth, kEmptyFormHeight);
    endForm(form, className, nullptr);
}

void gaugeBarForm::build(QWidget* form, const shape& s)
{
    beginForm(form, s.className, s.width, s.height);
    horizontalLayout = new QHBoxLayout(form);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    label_1 = newGauge(form);
    horizontalLayout->addWidget(label_1);

    pbSProx_1 = new QProgressBar(form);
    pbSProx_1->setObjectName(QStringLiteral("pbSProx_1"));
    QSizePolicy policy(s.barWidthPolicy, QSizePolicy::Expanding);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(pbSProx_1->sizePolicy().hasHeightForWidth());
    pbSProx_1->setSizePolicy(policy);
    pbSProx_1->setMinimumSize(QSize(kBarMinimumWidth, 0));  // maximum size stays unlimited
    pbSProx_1->setMaximum(kBarPresetMaximum);
    pbSProx_1->setValue(0);
    pbSProx_1->setTextVisible(false);
    pbSProx_1->setOrientation(Qt::Vertical);
    horizontalLayout->addWidget(pbSProx_1);

    if (s.gaugeTakesSpareWidth)
        horizontalLayout->setStretch(0, 1);
    endForm(form, s.className, label_1);
}

void Ui_fingerForm_31::setupUi(QWidget* form)
{
    const char* className = "fingerForm_31";
    beginForm(form, className, kEmptyFormWidth, kEmptyFormHeight);
    gridLayout = new QGridLayout(form);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    label_1 = newGauge(form);
    gridLayout->addWidget(label_1, 0, 0, 1, 1);
    endForm(form, className, label_1);
}
