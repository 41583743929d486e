#include "Widget.h"

#include "fwUpdateForm.h"
#include "orvalisForm.h"
#include "sensorDebugForm.h"
#include "setSensorAddrForm.h"
#include "ui_Widget.h"

#include <QScreen>

namespace {
constexpr int kSmallestWidth = 800;
constexpr int kSmallestHeight = 600;
}  // namespace

Widget::Widget(QWidget* parent) : QWidget(parent), ui(new Ui::Widget)
{
    ui->setupUi(this);
    setWindowTitle(QObject::tr("触觉传感器上位机"));
    resize(openingSize(screen()->availableGeometry().size()));
    // Nothing is connected yet, so selecting the first tab starts nothing by itself.
    ui->tabWidget->setCurrentIndex(0);
    objInit();
    // Start the sensor view (and its worker) and stop the tools before the window is shown.
    emit ui->tabWidget->currentChanged(0);
}

Widget::~Widget()
{
    delete ui;
}

QSize Widget::openingSize(const QSize& available) const
{
    // Layouts of a window not yet shown keep the figures of their first query, from before the
    // pages were filled.
    for (QWidget* child : findChildren<QWidget*>())
        child->updateGeometry();
    return sizeHint().expandedTo(QSize(kSmallestWidth, kSmallestHeight)).boundedTo(available);
}

void Widget::objInit()
{
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this](int index) { onTabChanged(index); });
}

void Widget::onTabChanged(int index)
{
    if (index < 0 || index > 3)
        return;
    // Every page in tab order: the chosen one starts, each other one stops, at its own place.
    index == 0 ? ui->wgOrvalis->start() : ui->wgOrvalis->stop();
    index == 1 ? ui->wgUpdate->start() : ui->wgUpdate->stop();
    index == 2 ? ui->wgSetAddr->start() : ui->wgSetAddr->stop();
    index == 3 ? ui->wgDebug->start() : ui->wgDebug->stop();
}
