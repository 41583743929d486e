// The pressure-taxel, taxel-array and channel-list views and the force views without value text:
// every class against its own constants, and the pressure-colour rule they add to the force-vector
// rules.

#include "testMain.h"

#include "class_finger.h"
#include "fingerParams.h"
#include "forceRules.h"
#include "forceViewTable.h"
#include "viewFactory.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QProgressBar>
#include <QSet>
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
        // cls  type codes  size       L  Lp S  M  start  max     R    P    arrow        text          press      offset
        {2, {2}, {400, 300}, 1, 0, 1, 0, 24, 300000, 139, 140, A::Standard, T::Untouched, P::Colour, 0,
         "fingerForm_2 new:8"},
        {18, {18}, {620, 461}, 2, 0, 1, 0, 0, 300000, 139, 140, A::Standard, T::Empty, P::Colour},
        {55, {55}, {575, 467}, 1, 0, 1, 0, 0, 370000, 139, 140, A::Standard, T::Values, P::Colour, 270},
        {56, {56}, {590, 497}, 1, 0, 1, 0, 0, 370000, 139, 140, A::Standard, T::Values, P::Colour, 270},
        {81, {81, 82}, {809, 474}, 1, 0, 1, 0, 0, 370000, 139, 140, A::Standard, T::Untouched, P::Colour},
        {96, {96}, {400, 300}, 1, 0, 1, 0, 0, 370000, 139, 140, A::Standard, T::Values, P::Colour},
        {102, {102, 103}, {400, 300}, 1, 0, 1, 0, 0, 370000, 139, 140, A::Standard, T::Values, P::Colour, 270},
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
    if (memberRows().isEmpty())
        QSKIP("no view class built yet");
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

TACTILE_TEST_MAIN(tst_arrayViews)
#include "tst_arrayViews.moc"
