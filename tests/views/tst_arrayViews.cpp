// The pressure-taxel, taxel-array and channel-list views and the force views without value text:
// every class against its own constants, and the pressure-colour rule they add to the force-vector
// rules.

#include "testMain.h"

#include "catalogueFrames.h"
#include "class_finger.h"
#include "fingerForm.h"
#include "fingerParams.h"
#include "forceRules.h"
#include "forceViewTable.h"
#include "viewFactory.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QGroupBox>
#include <QProgressBar>
#include <QSet>
#include <QTabWidget>
#include <QTranslator>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using namespace viewProbe;

constexpr uint16_t kNone = 0xFFFF;
constexpr Qt::Alignment kLeftCentred = Qt::AlignLeft | Qt::AlignVCenter;

// When a force point gets an arrow.
enum class Arrow { Standard, ByNormal };  // T > 0 and dir < 360; N > 0 and dir < 360, any T
// What setYdds does to the label's text once the panel's switch is on.
enum class PointText { Values, Empty, Untouched };
// What setPress shows of a channel: its colour only, also "err" where the form has no taxel, or
// also the load as text.
enum class Press { Colour, ColourOrErr, ColourAndText };

// One view class as its users see it. A column added later comes last with a default, so that the
// rows above keep their form.
struct Member {
    int cls;
    QVector<int> typeCodes;
    QSize size;
    int labels;      // label_1 .. label_<labels>; the next number is absent
    int taxels;      // lbPress_1 ..
    int selfBars;    // pbSProx_1 ..
    int mutualBars;  // pbMProx_1 ..
    int barStart;    // 0 preset bars, 24 default-range bars, until the first value
    int barMax;
    int red;
    int pale;
    Arrow arrow;
    PointText text;
    Press press;
    int offset = 0;   // degrees the point's arrow is turned by
    QString created = {};  // its construction's log line when it is not "<class> new"
};

// The rows; a view class that the factory builds and that is no force-vector view needs one.
const QVector<Member>& memberRows()
{
    using A = Arrow;
    using T = PointText;
    using P = Press;
    static const QVector<Member> rows = {
        // cls type codes          size         L   lbP  S  M start  max     R    P    arrow        text         setPress     offset
        {42, {42},               {617, 403}, 3, 31, 1, 0, 24, 450000, 145, 145, A::Standard, T::Empty, P::ColourOrErr},
        {44, {44},               {469, 401}, 1, 13, 1, 0, 24, 450000, 145, 145, A::Standard, T::Values, P::ColourAndText},
        {69, {69},               {667, 474}, 1,  0, 1, 0, 24, 410000, 141, 141, A::Standard, T::Empty, P::Colour},
        {76, {76, 97},           {705, 403}, 3, 12, 1, 0, 24, 450000, 145, 145, A::Standard, T::Empty, P::Colour},
        {83, {83, 84},           {754, 485}, 1,  5, 1, 0,  0, 450000, 145, 145, A::ByNormal, T::Empty, P::Colour},
        {85, {85, 88},           {834, 627}, 1, 10, 1, 0,  0, 450000, 145, 145, A::ByNormal, T::Empty, P::Colour},
        {86, {86, 87},           {721, 619}, 1, 10, 1, 0, 24, 450000, 145, 145, A::ByNormal, T::Empty, P::Colour},
        {110, {110},             {918, 556}, 1, 12, 1, 0, 24, 370000, 139, 140, A::Standard, T::Values, P::ColourOrErr},
        {111, {111},             {842, 635}, 1, 12, 1, 0, 24, 370000, 139, 140, A::Standard, T::Values, P::ColourOrErr},
        {64, {91, 92, 93, 94},   {657, 455}, 1,  0, 1, 0, 24, 370000, 139, 140, A::Standard, T::Untouched, P::Colour},
        {70, {70},               {400, 300}, 2,  0, 1, 0, 24, 300000, 139, 140, A::Standard, T::Untouched, P::Colour},
        {95, {95},               {539, 328}, 1,  0, 1, 0, 24, 370000, 139, 140, A::Standard, T::Untouched, P::Colour},
        {98, {98},               {400, 300}, 1,  0, 1, 0, 24, 450000, 145, 145, A::ByNormal, T::Untouched, P::Colour},
        {2, {2},                 {400, 300}, 1,  0, 1, 0, 24, 300000, 139, 140, A::Standard, T::Untouched, P::Colour, 0,
         "fingerForm_2 new:8"},
        {18, {18},               {620, 461}, 2,  0, 1, 0,  0, 300000, 139, 140, A::Standard, T::Empty, P::Colour},
        {55, {55},               {575, 467}, 1,  0, 1, 0,  0, 370000, 139, 140, A::Standard, T::Values, P::Colour, 270},
        {56, {56},               {590, 497}, 1,  0, 1, 0,  0, 370000, 139, 140, A::Standard, T::Values, P::Colour, 270},
        {81, {81, 82},           {809, 474}, 1,  0, 1, 0,  0, 370000, 139, 140, A::Standard, T::Untouched, P::Colour},
        {96, {96},               {400, 300}, 1,  0, 1, 0,  0, 370000, 139, 140, A::Standard, T::Values, P::Colour},
        {102, {102, 103},        {400, 300}, 1,  0, 1, 0,  0, 370000, 139, 140, A::Standard, T::Values, P::Colour, 270},
    };
    return rows;
}

}  // namespace

Q_DECLARE_METATYPE(Member)

class tst_arrayViews : public QObject {
    Q_OBJECT

private slots:
    void init() { WarningRecorder::clear(); }

    void everyViewHasARow();
    void members_data();
    void members();
    void pressureColourRule_data();
    void pressureColourRule();
    void directions_data();
    void directions();
    void viewWithoutRecord();
    void formTexts_data();
    void formTexts();

private:
    QWidget panel;  // the views' parent, as the sensor panel is
};

void tst_arrayViews::everyViewHasARow()
{
    QSet<int> rows;
    for (const Member& m : memberRows())
        rows.insert(m.cls);
    for (int cls = 1; cls < 256; ++cls) {
        if (viewFactory::isRegistered(uint8_t(cls)) && !forceViewTable::contains(uint8_t(cls)))
            QVERIFY2(rows.contains(cls), qPrintable(className(cls) + " has no row"));
    }
}

void tst_arrayViews::members_data()
{
    QTest::addColumn<Member>("m");
    for (const Member& m : memberRows())
        QTest::newRow(qPrintable(className(m.cls))) << m;
}

void tst_arrayViews::members()
{
    QFETCH(Member, m);
    for (int code : m.typeCodes)
        QCOMPARE(int(viewFactory::viewClassFor(uint8_t(code))), m.cls);

    // Built with the record of its class number; without one, with the one warning that says so.
    const finger_param_ts* record = findFingerParam(uint8_t(m.cls));
    auto capture = std::make_unique<MessageCapture>();
    auto view = std::make_unique<View>(uint8_t(m.cls), &panel);
    QVERIFY(view->ff);
    QWidget* w = view->widget();
    QVERIFY(capture->messages().contains(m.created.isEmpty() ? className(m.cls) + " new" : m.created));
    capture.reset();
    QCOMPARE(WarningRecorder::warnings().size(), record ? 0 : 1);
    QCOMPARE(view->ff->fingerParam, record);

    QCOMPARE(QString(w->metaObject()->className()), className(m.cls));
    QCOMPARE(w->metaObject()->superClass(), &QWidget::staticMetaObject);
    QCOMPARE(w->parentWidget(), &panel);
    QCOMPARE(w->objectName(), className(m.cls));
    QCOMPARE(w->size(), m.size);
    QCOMPARE(w->windowTitle(), QString("Form"));

    // The widgets it finds by prefix, as they start.
    QCOMPARE(countNumbered<ydds>(*w, forceRules::kPointLabelPrefix), m.labels);
    QCOMPARE(countNumbered<ydds>(*w, forceRules::kTaxelPrefix), m.taxels);
    QCOMPARE(countNumbered<QProgressBar>(*w, forceRules::kSelfBarPrefix), m.selfBars);
    QCOMPARE(countNumbered<QProgressBar>(*w, forceRules::kMutualBarPrefix), m.mutualBars);
    for (int n = 1; n <= m.labels; ++n)
        QCOMPARE(view->label(n)->text(), QString());
    for (int n = 1; n <= m.taxels; ++n) {
        QCOMPARE(view->taxel(n)->text(), QString());
        QCOMPARE(view->taxel(n)->brush.color(), QColor(Qt::white));
    }
    for (int n = 1; n <= m.selfBars; ++n) {
        QProgressBar* bar = view->bar(forceRules::kSelfBarPrefix, n);
        QCOMPARE(bar->orientation(), Qt::Vertical);
        QVERIFY(!bar->isTextVisible());
        QCOMPARE(bar->minimumWidth(), 30);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), m.barMax);
        QCOMPARE(bar->value(), m.barStart);
    }

    // Red and pale constants: a force in every band.
    QVERIFY(m.labels > 0);
    for (const Band& band : bandsFor(m.red, m.pale)) {
        view->ff->setYdds(0, band.normal, 0, 0);
        QCOMPARE(view->label(1)->brush.color(), band.colour);
    }

    // The arrow: T decides, or N.
    ydds* point = view->label(1);
    view->ff->setYdds(0, 5, 0, 90);
    QCOMPARE(point->dir, m.arrow == Arrow::ByNormal ? uint16_t(90) : kNone);
    QCOMPARE(point->ratio, 0.0f);
    view->ff->setYdds(0, 0, 10, 90);
    QCOMPARE(point->dir, m.arrow == Arrow::ByNormal ? kNone : uint16_t((90 + m.offset) % 360));
    QCOMPARE(point->ratio, 0.5f);

    // Value texts once the panel's switch is on.
    const Qt::Alignment formAlignment = point->alignment();
    view->ff->setShowData(true);
    view->ff->setYdds(0, 3.14159f, 0.5f, 90);
    const QString values = QStringLiteral("3.14\n0.50\n90");
    QCOMPARE(point->text(), m.text == PointText::Values ? values : QString());
    QCOMPARE(point->alignment(), m.text == PointText::Untouched ? formAlignment : kLeftCentred);
    view->ff->setShowData(false);
    view->ff->setYdds(0, 3.14159f, 0.5f, 90);
    QCOMPARE(point->text(), QString());
    view->ff->setShowData(true);  // for the load texts below

    // Pressure channels: the first taxel takes half of full scale; a channel without a taxel.
    if (m.taxels > 0) {
        view->ff->setPress(0, 15, 30);
        ydds* taxel = view->taxel(1);
        QCOMPARE(taxel->brush.color(), QColor(216, 61, 61));
        QCOMPARE(taxel->alignment(), kLeftCentred);
        QCOMPARE(taxel->text(), m.press == Press::ColourAndText ? QString("15.00") : QString());
    }
    {
        MessageCapture missing;
        view->ff->setPress(uint8_t(m.taxels), 15, 30);
        QCOMPARE(missing.messages().contains("err"), m.press == Press::ColourOrErr);
    }

    // A point without a label changes nothing.
    const QColor lastColour = view->label(m.labels)->brush.color();
    view->ff->setYdds(uint8_t(m.labels), 25, 25, 10);
    QCOMPARE(view->label(m.labels)->brush.color(), lastColour);

    // Bars: unclipped below the maximum, full at the largest 24-bit reading.
    for (int ch = 0; ch < m.selfBars; ++ch) {
        QProgressBar* bar = view->bar(forceRules::kSelfBarPrefix, ch + 1);
        view->ff->setSProx(uint8_t(ch), uint32_t(m.barMax - 1));
        QCOMPARE(bar->value(), m.barMax - 1);
        view->ff->setSProx(uint8_t(ch), 16777215);
        QCOMPARE(bar->value(), m.barMax);
    }
    view->ff->setSProx(uint8_t(m.selfBars), 1000);
    view->ff->setMProx(uint8_t(m.mutualBars), 1000);

    MessageCapture gone;
    view.reset();
    QVERIFY(gone.messages().contains(className(m.cls) + " delete"));
    QVERIFY(panel.children().isEmpty());
}

void tst_arrayViews::pressureColourRule_data()
{
    QTest::addColumn<float>("load");
    QTest::addColumn<float>("fullScale");
    QTest::addColumn<QColor>("colour");
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto row = [](const char* name, float load, float fullScale, QColor colour) {
        QTest::newRow(name) << load << fullScale << colour;
    };
    row("no load", 0, 30, {240, 240, 240});
    row("a tiny load leaves the grey", 1e-6f, 30, {239, 239, 239});
    row("1 %: 202.68 truncated, not rounded", 1, 100, {235, 202, 202});
    row("0.3 of 30", 0.3f, 30, {235, 202, 202});
    row("3 of 30", 3, 30, {227, 146, 146});
    row("7.5 of 30", 7.5f, 30, {221, 104, 104});
    row("15 of 30", 15, 30, {216, 61, 61});
    row("22.5 of 30", 22.5f, 30, {211, 30, 30});
    row("full scale", 30, 30, {208, 4, 4});
    row("just above full scale", 100.0001f, 100, {208, 4, 4});
    row("45 of 30", 45, 30, {208, 4, 4});
    row("negative load", -1, 30, {240, 240, 240});
    row("half of 6.25", 3.125f, 6.25f, {216, 61, 61});
    row("half of 3.8", 1.9f, 3.8f, {216, 61, 61});
    row("load not a number", nan, 30, {240, 240, 240});
    row("infinite load", inf, 30, {208, 4, 4});
    // Full scale 0: the percentage is infinite, not a number, or minus infinite.
    row("full scale 0, positive load", 1, 0, {208, 4, 4});
    row("full scale 0, no load", 0, 0, {240, 240, 240});
    row("full scale 0, negative load", -1, 0, {240, 240, 240});
}

void tst_arrayViews::pressureColourRule()
{
    QFETCH(float, load);
    QFETCH(float, fullScale);
    QFETCH(QColor, colour);
    const QColor got = forceRules::pressureColour(forceRules::loadPercent(load, fullScale));
    QCOMPARE(got, colour);
    QCOMPARE(got.alpha(), 255);
}

void tst_arrayViews::directions_data()
{
    QTest::addColumn<int>("cls");
    QTest::addColumn<int>("direction");
    QTest::addColumn<float>("tangential");
    QTest::addColumn<int>("stored");
    QTest::addColumn<float>("ratio");
    // N is 5 throughout. A standard view (76) needs T; 83 and 98 draw whenever N is above 0, but
    // never for a direction of 360 or more.
    const struct {
        int cls;
        int dir359T0, dir359T5, dir360T0, dir360T5, dir400T0, dir400T5, noneT0, noneT5;
    } views[] = {
        {76, kNone, 359, kNone, kNone, kNone, kNone, kNone, kNone},
        {83, 359, 359, kNone, kNone, kNone, kNone, kNone, kNone},
        {98, 359, 359, kNone, kNone, kNone, kNone, kNone, kNone},
    };
    for (const auto& v : views) {
        const struct {
            int dir;
            float t;
            int stored;
        } cases[] = {{359, 0, v.dir359T0}, {359, 5, v.dir359T5}, {360, 0, v.dir360T0}, {360, 5, v.dir360T5},
                     {400, 0, v.dir400T0}, {400, 5, v.dir400T5}, {kNone, 0, v.noneT0}, {kNone, 5, v.noneT5}};
        for (const auto& c : cases)
            QTest::addRow("%d: dir %d, T %g", v.cls, c.dir, double(c.t))
                << v.cls << c.dir << c.t << c.stored << c.t / 20;
    }
}

void tst_arrayViews::directions()
{
    QFETCH(int, cls);
    QFETCH(int, direction);
    QFETCH(float, tangential);
    QFETCH(int, stored);
    QFETCH(float, ratio);
    View view(uint8_t(cls), &panel);
    QVERIFY(view.ff);
    view.ff->setYdds(0, 5, tangential, uint16_t(direction));
    QCOMPARE(int(view.label(1)->dir), stored);
    QCOMPARE(view.label(1)->ratio, ratio);
}

// Type 111 has no record: the panel makes its view with one warning, gives it no value rows, and
// the decoder decodes nothing for it.
void tst_arrayViews::viewWithoutRecord()
{
    fingerForm panelOf111(0, 0x61);
    sensor_ts sensor;
    sensor.infIdx = 0;
    sensor.addr = 0x61;
    sensor.prg = 111;
    panelOf111.sl_connectedFinger(0, 0x61, sensor);
    class_finger* ff = panelOf111.ff;
    QVERIFY(ff);
    QCOMPARE(QString(ff->widget->metaObject()->className()), QString("fingerForm_111"));
    QVERIFY(panelOf111.isAncestorOf(ff->widget));
    QCOMPARE(WarningRecorder::warnings().size(), 1);
    QCOMPARE(WarningRecorder::warnings().first().first, QString("传感器类型错误"));
    QCOMPARE(WarningRecorder::warnings().first().second, QString("未识别传感器类型111"));
    QVERIFY(!ff->fingerParam);
    QVERIFY(panelOf111.dataFormList.isEmpty());

    // A frame of its sibling 110 is not decoded: nothing reaches the view.
    const QByteArray frame = catalogueFrames::sampleFrame(110);
    QCOMPARE(ff->parseData(frame), int(class_finger::NoRecord));
    panelOf111.sl_updateData(0, 0x61, catalogueFrames::toPack(frame));
    panelOf111.flushDisplay();
    QCOMPARE(forceRules::findTaxelLabel(*ff->widget, 1)->brush.color(), QColor(Qt::white));
    QCOMPARE(forceRules::findBar(*ff->widget, forceRules::kSelfBarPrefix, 1)->value(), 24);
    QVERIFY(ff->dataList.isEmpty());
    QCOMPARE(WarningRecorder::warnings().size(), 1);
}

void tst_arrayViews::formTexts_data()
{
    QTest::addColumn<int>("cls");
    QTest::addColumn<QString>("pressureBox");  // English; empty where the title stays Chinese
    QTest::addColumn<QString>("proximityBox");
    QTest::addColumn<QString>("page");  // the tab page "三维力"; empty where the form has none
    QTest::newRow("42") << 42 << "Force" << "Proximity" << "";
    QTest::newRow("44") << 44 << "Data" << "Proximity" << "Force";
    QTest::newRow("69") << 69 << "Data" << "Proximity" << "Force";
    QTest::newRow("76") << 76 << "Data" << "Proximity" << "";
    for (int cls : {83, 85, 86, 110, 111})
        QTest::addRow("%d", cls) << cls << "" << "" << "";
    for (int cls : {64, 70, 95})
        QTest::addRow("%d", cls) << cls << "Data" << "Proximity" << "";
    QTest::newRow("98") << 98 << "" << "Proximity" << "";
}

void tst_arrayViews::formTexts()
{
    QFETCH(int, cls);
    QFETCH(QString, pressureBox);
    QFETCH(QString, proximityBox);
    QFETCH(QString, page);
    QTranslator english;
    QVERIFY(english.load(":/en.qm"));

    // Each form shows its texts in the language active when the view is made.
    for (bool inEnglish : {false, true}) {
        const std::unique_ptr<View> made = madeIn(inEnglish ? &english : nullptr, uint8_t(cls), &panel);
        const View& view = *made;
        QWidget* w = view.widget();
        QVERIFY(w);
        const auto shown = [&](const char* source, const QString& en) {
            return inEnglish && !en.isEmpty() ? en : QString::fromUtf8(source);
        };
        QCOMPARE(w->windowTitle(), QString("Form"));
        QGroupBox* pressure = boxAround(view.label(1));
        QVERIFY(pressure);
        QCOMPARE(pressure->title(), shown("压力", pressureBox));
        QGroupBox* proximity = boxAround(view.bar(forceRules::kSelfBarPrefix, 1));
        QVERIFY(proximity);
        QCOMPARE(proximity->title(), shown("接近", proximityBox));
        for (QGroupBox* box : w->findChildren<QGroupBox*>())
            QCOMPARE(box->font().pointSize(), 12);
        auto* tabs = w->findChild<QTabWidget*>("tabWidget");
        QCOMPARE(tabs != nullptr, !page.isEmpty());
        if (tabs) {
            QCOMPARE(tabs->count(), 1);
            QCOMPARE(tabs->currentIndex(), 0);
            QCOMPARE(tabs->tabText(0), shown("三维力", page));
        }
    }
}

TACTILE_TEST_MAIN(tst_arrayViews)
#include "tst_arrayViews.moc"
