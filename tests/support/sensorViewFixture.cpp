#include "sensorViewFixture.h"

#include "fingerForm.h"
#include "orvalisForm.h"
#include "simBus.h"
#include "ui_orvalisForm.h"
#include "workerHarness.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

namespace {
constexpr int kListedMs = 5000;
constexpr int kConnectedMs = 5000;
}  // namespace

SensorViewFixture::SensorViewFixture() = default;
SensorViewFixture::~SensorViewFixture() = default;

void SensorViewFixture::open(QSize size)
{
    bridge = workerWorld::freshBridge();
    view = std::make_unique<orvalisForm>();
    view->resize(size);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
}

void SensorViewFixture::close()
{
    view.reset();
    sim::reset();
    bridge = -1;
}

int SensorViewFixture::addSensor(int channel, uint8_t addr, uint8_t prg, const QString& serial,
                                 uint32_t framePeriodMs)
{
    return workerWorld::addSensor(bridge, channel, addr, prg, 0x03, framePeriodMs, serial);
}

void SensorViewFixture::startAndConnect()
{
    view->start();
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, kListedMs);
    QCOMPARE(view->ui->cbbCh341List->currentText(), QString::number(workerWorld::kBridgeId));
    QCOMPARE(view->ui->pbtnCh341Connect->text(), QString("连接"));
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->pbtnCh341Connect->text(), QString("断开"), kConnectedMs);
}

QMdiSubWindow* SensorViewFixture::window(int channel, uint8_t addr) const
{
    const QString name = orvalisForm::windowName(uint8_t(channel), addr);
    for (QMdiSubWindow* sub : view->mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->objectName() == name)
            return sub;
    }
    return nullptr;
}

fingerForm* SensorViewFixture::panel(int channel, uint8_t addr) const
{
    QMdiSubWindow* sub = window(channel, addr);
    return sub ? qobject_cast<fingerForm*>(sub->widget()) : nullptr;
}

bool SensorViewFixture::showCoveredFrames() const
{
    // The panel in front shows its frames by its own display clock; only those behind it are made to.
    for (fingerForm* p : view->findChildren<fingerForm*>())
        if (!p->isVisible() || p->visibleRegion().isEmpty())
            p->flushDisplay();
    return true;
}

void SensorViewFixture::showAllFrames() const
{
    for (fingerForm* p : view->findChildren<fingerForm*>())
        p->flushDisplay();
}

class_finger* SensorViewFixture::waitForView(int channel, uint8_t addr, int timeoutMs) const
{
    const auto shown = [&] {
        const fingerForm* p = panel(channel, addr);
        return p ? p->ff : nullptr;
    };
    return QTest::qWaitFor([&] { return shown() != nullptr; }, timeoutMs) ? shown() : nullptr;
}
