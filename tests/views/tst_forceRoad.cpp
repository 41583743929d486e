// The whole road of force-vector sensors: simulated sensors on the simulated bus are found by the
// sensor view, get their panel with the view of their type, and their moving values reach the
// arrows and bars.

#include "testMain.h"

#include "fingerForm.h"
#include "forceRules.h"
#include "sensorViewFixture.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QProgressBar>

namespace {

using viewProbe::GaugeState;
using viewProbe::stateOf;

constexpr int kFoundMs = SensorViewFixture::kFoundMs;
// The simulated press cycle lasts a few seconds; a value moves well within one.
constexpr int kMovesMs = 8000;

struct Road {
    int channel;
    uint8_t addr;
    uint8_t prg;
    const char* viewClass;
    uint8_t red;
    uint8_t pale;
    bool exactTexts;  // forces in hundredths: the decoder's two-decimal texts are the values shown
    QString window() const { return QString::asprintf("%d-0x%02X", channel, addr); }
};

// One sensor of each kind of force-vector view: a float-point type with the proximity inside its
// point record, the standard view, an alias, the fifteen-point view and a view of the second group.
const Road kRoads[] = {
    {0, 0x61, 19, "fingerForm_19", 139, 140, false}, {1, 0x62, 21, "fingerForm_21", 139, 140, true},
    {2, 0x63, 61, "fingerForm_21", 139, 140, true},  {3, 0x64, 45, "fingerForm_45", 145, 145, true},
    {4, 0x65, 67, "fingerForm_67", 139, 140, true},
};

// What the first point's gauge must show for the point the panel's decoder read last.
GaugeState expectedFor(const class_finger& ff, const Road& road)
{
    forceRules::ArrowParams params;
    params.red = road.red;
    params.pale = road.pale;
    return viewProbe::expectedFor(ff.yddsList.first(), params);
}

}  // namespace

class tst_forceRoad : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sensorsReachTheirArrows();

private:
    SensorViewFixture bus;
};

void tst_forceRoad::init()
{
    WarningRecorder::clear();
    bus.open(QSize(1200, 800));
}

void tst_forceRoad::cleanup()
{
    bus.close();
    QVERIFY(WarningRecorder::warnings().isEmpty());
}

void tst_forceRoad::sensorsReachTheirArrows()
{
    for (const Road& road : kRoads)
        QVERIFY(bus.addSensor(road.channel, road.addr, road.prg) >= 0);

    bus.startAndConnect();
    for (const Road& road : kRoads) {
        const QString where = road.window();
        class_finger* ff = bus.waitForView(road.channel, road.addr);
        QVERIFY2(ff, qPrintable(where));
        QCOMPARE(QString(ff->widget->metaObject()->className()), QString(road.viewClass));
        QVERIFY(bus.panel(road.channel, road.addr)->isAncestorOf(ff->widget));
        ydds* gauge = forceRules::findPointLabel(*ff->widget, 1);
        QProgressBar* bar = forceRules::findBar(*ff->widget, forceRules::kSelfBarPrefix, 1);
        QVERIFY(gauge && bar);

        // Frames arrive: the gauge leaves its white start and the bar its start value. The panel in
        // front shows them by its own clock; those behind it wait for the screen, and the seam
        // shows their latest frame.
        QTRY_VERIFY2_WITH_TIMEOUT(bus.showCoveredFrames() && gauge->brush.color() != QColor(Qt::white), qPrintable(where), kFoundMs);
        QTRY_VERIFY2_WITH_TIMEOUT(bus.showCoveredFrames() && bar->value() > 24, qPrintable(where), kFoundMs);
        // The gauge shows exactly the point the decoder read last.
        bus.showAllFrames();
        QVERIFY(!ff->yddsList.isEmpty());
        if (road.exactTexts)
            QVERIFY2(stateOf(*gauge) == expectedFor(*ff, road), qPrintable(where));

        // The values move, and the gauge moves with them.
        const GaugeState first = stateOf(*gauge);
        QTRY_VERIFY2_WITH_TIMEOUT(bus.showCoveredFrames() && !(stateOf(*gauge) == first), qPrintable(where), kMovesMs);
        bus.showAllFrames();
        if (road.exactTexts)
            QVERIFY2(stateOf(*gauge) == expectedFor(*ff, road), qPrintable(where));
    }
}

TACTILE_TEST_MAIN(tst_forceRoad)
#include "tst_forceRoad.moc"
