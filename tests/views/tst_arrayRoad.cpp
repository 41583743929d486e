// The whole road of a pressure-taxel sensor and of a force sensor without value text: simulated
// sensors on the simulated bus are found by the sensor view, get their panel with the view of
// their type, and their moving values reach taxels, arrows and bar.

#include "testMain.h"

#include "class_finger.h"
#include "fingerForm.h"
#include "forceRules.h"
#include "sensorViewFixture.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QProgressBar>

namespace {

using viewProbe::GaugeState;
using viewProbe::expectedFor;
using viewProbe::stateOf;

constexpr int kFoundMs = SensorViewFixture::kFoundMs;
// The simulated press cycle lasts a few seconds; a value moves well within one.
constexpr int kMovesMs = 8000;

// The colour a taxel must show for the raw value the decoder read last on its channel.
QColor taxelColourFor(const class_finger& ff, int ch)
{
    const int raw = ff.chDataList.at(ch).toInt();
    const float load = raw > 1 ? raw / 1000.0f : 0.0f;
    return forceRules::pressureColour(forceRules::loadPercent(load, ff.fingerParam->pressMax));
}

}  // namespace

class tst_arrayRoad : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void taxelsArrowsAndBarsFollowTheSensors();

private:
    SensorViewFixture bus;
};

void tst_arrayRoad::init()
{
    WarningRecorder::clear();
    bus.open(QSize(1200, 800));
}

void tst_arrayRoad::cleanup()
{
    bus.close();
    QVERIFY(WarningRecorder::warnings().isEmpty());
}

void tst_arrayRoad::taxelsArrowsAndBarsFollowTheSensors()
{
    QVERIFY(bus.addSensor(0, 0x61, 97) >= 0);
    QVERIFY(bus.addSensor(1, 0x62, 93) >= 0);
    bus.startAndConnect();

    // Type 97 is shown by view 76, decoded with its own record (full scale 30 N).
    class_finger* taxels = bus.waitForView(0, 0x61);
    QVERIFY(taxels);
    QCOMPARE(QString(taxels->widget->metaObject()->className()), QString("fingerForm_76"));
    QVERIFY(bus.panel(0, 0x61)->isAncestorOf(taxels->widget));
    QCOMPARE(int(taxels->fingerParam->prg), 97);
    // Type 93 is shown by view 64.
    class_finger* points = bus.waitForView(1, 0x62);
    QVERIFY(points);
    QCOMPARE(QString(points->widget->metaObject()->className()), QString("fingerForm_64"));

    ydds* first = forceRules::findTaxelLabel(*taxels->widget, 1);
    ydds* last = forceRules::findTaxelLabel(*taxels->widget, 12);
    ydds* arrow = forceRules::findPointLabel(*points->widget, 1);
    QProgressBar* bar = forceRules::findBar(*points->widget, forceRules::kSelfBarPrefix, 1);
    QVERIFY(first && last && arrow && bar);

    // Frames arrive: the discs leave their white start, the bar its start value. The panel in front
    // shows them by its own clock; the one behind it waits for the screen, and the seam shows it.
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && first->brush.color() != QColor(Qt::white), kFoundMs);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && last->brush.color() != QColor(Qt::white), kFoundMs);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && arrow->brush.color() != QColor(Qt::white), kFoundMs);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && bar->value() > 24, kFoundMs);

    // Every taxel shows what the rule gives for the loads the decoder read last.
    bus.showAllFrames();
    const auto taxelsMatch = [&] {
        for (int ch = 0; ch < 12; ++ch) {
            if (forceRules::findTaxelLabel(*taxels->widget, ch + 1)->brush.color() != taxelColourFor(*taxels, ch))
                return false;
        }
        return true;
    };
    QVERIFY(taxelsMatch());
    const forceRules::ArrowParams standard;
    QVERIFY(stateOf(*arrow) == expectedFor(points->yddsList.first(), standard));
    QCOMPARE(arrow->text(), QString());

    // The values move, and taxels, arrow and bar move with them.
    const QColor firstColour = first->brush.color();
    const GaugeState arrowState = stateOf(*arrow);
    const int barValue = bar->value();
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && first->brush.color() != firstColour, kMovesMs);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && !(stateOf(*arrow) == arrowState), kMovesMs);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && bar->value() != barValue, kMovesMs);
    bus.showAllFrames();
    QVERIFY(taxelsMatch());
    QVERIFY(stateOf(*arrow) == expectedFor(points->yddsList.first(), standard));
}

TACTILE_TEST_MAIN(tst_arrayRoad)
#include "tst_arrayRoad.moc"
