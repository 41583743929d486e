// Data frames of pressure-taxel sensors through the decoder into their views: taxel colours, load
// texts, arrows and bars.

#include "testMain.h"

#include "catalogueFrames.h"
#include "class_finger.h"
#include "fingerParams.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QProgressBar>

namespace {

using namespace viewProbe;

constexpr uint16_t kNone = 0xFFFF;

// The view the panel makes for a type code, decoding with that code's record as the panel does.
struct SensorView : View {
    SensorView(uint8_t typeCode, QWidget* parent) : View(viewFactory::viewClassFor(typeCode), parent)
    {
        if (ff)
            ff->selectRecord(typeCode);
    }
};

// Sample values of a type with the given raw channels (milli-newtons for the pressure channels).
sim::FrameValues withChannels(uint8_t typeCode, QVector<uint32_t> channels)
{
    sim::FrameValues values = catalogueFrames::sampleValues(*findFingerParam(typeCode));
    values.channels = channels;
    return values;
}

}  // namespace

class tst_arrayFrames : public QObject {
    Q_OBJECT

private slots:
    void type97ColoursTheTaxelsOfView76();
    void view44WritesLoads();
    void view42ColoursElevenOfItsTaxels();

private:
    QWidget panel;
};

void tst_arrayFrames::type97ColoursTheTaxelsOfView76()
{
    SensorView view(97, &panel);
    QVERIFY(view.ff);
    QCOMPARE(QString(view.widget()->metaObject()->className()), QString("fingerForm_76"));
    view.ff->setShowData(true);  // view 76 writes no texts whatever the switch says

    // Full scale 30 N. A raw value of 1 or less is no load.
    const struct {
        uint32_t raw;
        QColor colour;
    } taxels[] = {
        {0, {240, 240, 240}},     {1, {240, 240, 240}},     {2, {239, 234, 234}},   {300, {235, 202, 202}},
        {3000, {227, 146, 146}},  {7500, {221, 104, 104}},  {15000, {216, 61, 61}}, {22500, {211, 30, 30}},
        {30000, {208, 4, 4}},     {45000, {208, 4, 4}},     {1234, {231, 174, 174}}, {12000, {218, 76, 76}},
    };
    QVector<uint32_t> raw;
    for (const auto& t : taxels)
        raw << t.raw;
    raw << 250000;  // the proximity channel
    sim::FrameValues values = withChannels(97, raw);
    values.points = {{5, 10, 90}, {25, 0, 180}, {1, 30, 359}};
    values.sProx = {123456};
    QCOMPARE(view.ff->parseData(catalogueFrames::frameFor(97, values)), int(class_finger::Decoded));

    for (int n = 1; n <= 12; ++n) {
        ydds* taxel = view.taxel(n);
        QVERIFY(taxel);
        QCOMPARE(taxel->brush.color(), taxels[n - 1].colour);
        QCOMPARE(taxel->text(), QString());
        QCOMPARE(taxel->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    }
    QCOMPARE(view.label(1)->brush.color(), QColor(255, 145, 145));
    QCOMPARE(view.label(1)->dir, uint16_t(90));
    QCOMPARE(view.label(2)->brush.color(), QColor(145, 9, 9));
    QCOMPARE(view.label(2)->dir, kNone);
    QCOMPARE(view.label(3)->dir, uint16_t(359));
    QCOMPARE(view.label(3)->ratio, 1.0f);
    QCOMPARE(view.label(1)->text(), QString());
    QCOMPARE(view.bar(forceRules::kSelfBarPrefix, 1)->value(), 123456);
}

void tst_arrayFrames::view44WritesLoads()
{
    SensorView view(44, &panel);
    QVERIFY(view.ff);
    view.ff->setShowData(true);
    // Full scale 3.8 N: 1.9 N is half of it.
    const QVector<uint32_t> raw = {1234, 1900, 0, 1, 3800, 5000, 10, 20, 30, 40, 50, 60, 70, 300000};
    const QStringList loads = {"1.23", "1.90", "0.00", "0.00", "3.80", "5.00", "0.01",
                               "0.02", "0.03", "0.04", "0.05", "0.06", "0.07"};
    sim::FrameValues values = withChannels(44, raw);
    values.points = {{3.14f, 0.5f, 90}};
    QCOMPARE(view.ff->parseData(catalogueFrames::frameFor(44, values)), int(class_finger::Decoded));
    for (int n = 1; n <= 13; ++n)
        QCOMPARE(view.taxel(n)->text(), loads[n - 1]);
    QCOMPARE(view.taxel(2)->brush.color(), QColor(216, 61, 61));
    QCOMPARE(view.taxel(5)->brush.color(), QColor(208, 4, 4));
    QCOMPARE(view.taxel(1)->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(view.label(1)->text(), QString("3.14\n0.50\n90"));

    // Switched off: the next frame empties the texts and keeps the colours.
    view.ff->setShowData(false);
    QCOMPARE(view.ff->parseData(catalogueFrames::frameFor(44, values, 2)), int(class_finger::Decoded));
    for (int n = 1; n <= 13; ++n)
        QCOMPARE(view.taxel(n)->text(), QString());
    QCOMPARE(view.taxel(2)->brush.color(), QColor(216, 61, 61));
    QCOMPARE(view.label(1)->text(), QString());
}

// The record has 11 pressure channels, the form 31 taxels: the other twenty keep their start.
void tst_arrayFrames::view42ColoursElevenOfItsTaxels()
{
    SensorView view(42, &panel);
    QVERIFY(view.ff);
    view.ff->setShowData(true);
    // Full scale 6.25 N.
    const QVector<uint32_t> raw = {3125, 6250, 100, 625, 3125, 3125, 3125, 3125, 3125, 3125, 3125, 200000};
    QCOMPARE(view.ff->parseData(catalogueFrames::frameFor(42, withChannels(42, raw))), int(class_finger::Decoded));
    QCOMPARE(view.taxel(1)->brush.color(), QColor(216, 61, 61));
    QCOMPARE(view.taxel(2)->brush.color(), QColor(208, 4, 4));
    QCOMPARE(view.taxel(3)->brush.color(), QColor(233, 194, 194));
    QCOMPARE(view.taxel(4)->brush.color(), QColor(227, 146, 146));
    QCOMPARE(view.taxel(11)->brush.color(), QColor(216, 61, 61));
    for (int n = 1; n <= 31; ++n) {
        QCOMPARE(view.taxel(n)->text(), QString());
        if (n > 11) {
            QCOMPARE(view.taxel(n)->brush.color(), QColor(Qt::white));
            QCOMPARE(view.taxel(n)->alignment(), Qt::Alignment(Qt::AlignCenter));
        }
    }
}

TACTILE_TEST_MAIN(tst_arrayFrames)
#include "tst_arrayFrames.moc"
