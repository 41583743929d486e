#include "sensorForm.h"

#include "ydds.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGridLayout>

namespace {
constexpr int kFormWidth = 749;
constexpr int kFormHeight = 503;
}  // namespace

sensorForm::sensorForm(QWidget* parent) : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("sensorForm"));
    resize(kFormWidth, kFormHeight);
    gridLayout_2 = new QGridLayout(this);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout_2->addLayout(gridLayout, 0, 0, 1, 1);
    setWindowTitle(QCoreApplication::translate("sensorForm", "Form"));
    QMetaObject::connectSlotsByName(this);
    qDebug() << "sensorForm init";
}

sensorForm::~sensorForm() = default;

void sensorForm::setRowColumnCount(uint8_t rows, uint8_t cols)
{
    const int count = rows * cols;
    this->rows = rows;
    this->cols = cols;
    if (count == cells.size())
        return;
    // Cells of an earlier grid would stay on screen under the new ones: they go.
    qDeleteAll(cells);
    cells.clear();
    cells.reserve(count);
    while (cells.size() < count) {
        const int n = cells.size();
        auto* cell = new class_ydds(this);
        cells.append(cell);
        gridLayout->addWidget(cell, n / cols, n % cols);
    }
}
