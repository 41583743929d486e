// The force-vector views: every class against its own constants, the two rules they share, the
// bar ranging and the form texts in both languages.

#include "testMain.h"

#include "class_finger.h"
#include "fingerParams.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QGroupBox>
#include <QPointer>
#include <QProgressBar>
#include <QTabWidget>
#include <QTranslator>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using namespace viewProbe;

constexpr uint16_t kNone = 0xFFFF;
constexpr Qt::Alignment kLeftCentred = Qt::AlignLeft | Qt::AlignVCenter;

}  // namespace

class tst_forceViews : public QObject {
    Q_OBJECT

private slots:
    void members_data();
    void members();
    void forceArrowRule_data();
    void forceArrowRule();
    void proximityBarRule_data();
    void proximityBarRule();
    void rangingStopsAtFirstMissingBar();
    void formTexts_data();
    void formTexts();

private:
    QWidget panel;  // the views' parent, as the sensor panel is
};

void tst_forceViews::members_data()
{
    QTest::addColumn<int>("cls");
    QTest::addColumn<QVector<int>>("typeCodes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("tabbed");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("selfBars");
    QTest::addColumn<int>("mutualBars");
    QTest::addColumn<int>("barStart");  // 0 preset bars, 24 default-range bars
    QTest::addColumn<int>("barMax");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("pale");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("followsSwitch");
    QTest::addColumn<bool>("logsMissingLabel");

    const auto row = [](int cls, QVector<int> codes, QSize size, bool tabbed, int labels, int self,
                        int mutual, int start, int max, int red, int pale, int offset, bool follows,
                        bool logs) {
        QTest::newRow(qPrintable(className(uint8_t(cls))))
            << cls << codes << size << tabbed << labels << self << mutual << start << max << red << pale
            << offset << follows << logs;
    };
    // cls  type codes           size           tab    L  S  M  start  max     R    P   off  text  log
    row(17, {17}, {666, 440}, true, 2, 2, 1, 0, 300000, 139, 140, 90, false, true);
    row(19, {19, 113}, {388, 376}, true, 1, 1, 0, 24, 300000, 139, 140, 0, true, true);
    row(20, {20, 60}, {400, 300}, true, 2, 1, 0, 24, 300000, 139, 140, 0, false, false);
    row(21, {21, 61}, {400, 348}, true, 3, 2, 1, 0, 300000, 139, 140, 0, false, false);
    row(22, {22}, {400, 338}, true, 3, 2, 1, 24, 300000, 139, 140, 0, false, false);
    row(23, {23, 62}, {732, 422}, true, 3, 2, 1, 24, 300000, 139, 140, 0, false, false);
    row(24, {24, 63}, {400, 348}, false, 2, 2, 1, 0, 300000, 139, 140, 0, true, false);
    row(25, {25}, {400, 300}, false, 0, 0, 0, 0, 300000, 139, 140, 0, false, false);
    row(26, {26}, {400, 300}, false, 0, 0, 0, 0, 300000, 139, 140, 0, false, false);
    row(27, {27}, {595, 369}, false, 1, 1, 0, 0, 300000, 139, 140, 0, false, false);
    row(28, {28}, {400, 300}, false, 1, 1, 0, 0, 300000, 139, 140, 0, false, false);
    row(29, {29}, {471, 474}, false, 2, 2, 1, 0, 300000, 139, 140, 0, false, false);
    row(30, {30}, {400, 300}, false, 1, 1, 0, 0, 300000, 139, 140, 0, false, false);
    row(31, {31}, {400, 300}, false, 1, 0, 0, 0, 300000, 139, 140, 0, false, false);
    row(34, {34}, {400, 300}, false, 0, 0, 0, 0, 340000, 139, 140, 0, false, false);
    row(37, {37}, {400, 300}, false, 1, 1, 0, 0, 370000, 139, 140, 0, false, false);
    row(38, {38}, {400, 304}, false, 2, 1, 1, 0, 380000, 139, 140, 0, false, false);
    row(39, {39}, {400, 300}, false, 1, 1, 0, 0, 390000, 139, 140, 0, false, false);
    row(40, {40}, {400, 300}, false, 1, 1, 0, 24, 400000, 140, 140, 0, false, false);
    row(41, {41}, {400, 300}, false, 1, 1, 0, 24, 410000, 141, 141, 0, false, false);
    row(43, {43}, {400, 338}, true, 2, 2, 1, 24, 430000, 143, 143, 0, false, false);
    row(45, {45}, {716, 499}, true, 15, 1, 0, 24, 450000, 145, 145, 0, false, false);
    row(46, {46}, {400, 300}, false, 2, 1, 0, 24, 300000, 139, 140, 0, true, false);
    row(47, {47}, {452, 304}, false, 1, 1, 0, 0, 370000, 139, 140, 0, false, false);
    row(48, {48}, {400, 300}, false, 2, 2, 1, 0, 370000, 139, 140, 0, false, false);
    row(49, {49}, {400, 300}, false, 1, 1, 0, 0, 370000, 139, 140, 0, false, false);
    row(50, {50, 64, 65, 66, 75, 108}, {400, 300}, false, 1, 1, 0, 0, 370000, 139, 140, 0, true, false);
    row(52, {52, 99}, {400, 300}, false, 2, 2, 1, 0, 370000, 139, 140, 0, true, false);
    row(54, {54, 100, 104, 105, 106, 107}, {400, 300}, false, 1, 1, 0, 0, 370000, 139, 140, 0, true, false);
    row(57, {57}, {400, 300}, false, 1, 1, 0, 0, 370000, 139, 140, 0, false, false);
    row(58, {58}, {400, 300}, false, 1, 1, 0, 0, 370000, 139, 140, 0, false, false);
    row(59, {59}, {400, 300}, false, 4, 1, 0, 0, 370000, 139, 140, 0, true, false);
    row(67, {67, 68, 80}, {400, 300}, false, 2, 1, 0, 24, 300000, 139, 140, 0, false, false);
}

void tst_forceViews::members()
{
    QFETCH(int, cls);
    QFETCH(QVector<int>, typeCodes);
    QFETCH(QSize, size);
    QFETCH(bool, tabbed);
    QFETCH(int, labels);
    QFETCH(int, selfBars);
    QFETCH(int, mutualBars);
    QFETCH(int, barStart);
    QFETCH(int, barMax);
    QFETCH(int, red);
    QFETCH(int, pale);
    QFETCH(int, offset);
    QFETCH(bool, followsSwitch);
    QFETCH(bool, logsMissingLabel);

    for (int code : typeCodes)
        QCOMPARE(int(viewFactory::viewClassFor(uint8_t(code))), cls);

    auto capture = std::make_unique<MessageCapture>();
    auto view = std::make_unique<View>(uint8_t(cls), &panel);
    QVERIFY(view->ff);
    QWidget* w = view->widget();
    QVERIFY(w);
    QVERIFY(capture->messages().contains(className(uint8_t(cls)) + " new"));
    capture.reset();

    // Its own class, first base QWidget, and the record of its class number whatever code chose it.
    QCOMPARE(QString(w->metaObject()->className()), className(uint8_t(cls)));
    QCOMPARE(w->metaObject()->superClass(), &QWidget::staticMetaObject);
    QCOMPARE(w->parentWidget(), &panel);
    QCOMPARE(w->objectName(), className(uint8_t(cls)));
    QCOMPARE(w->size(), size);
    QVERIFY(view->ff->fingerParam);
    QCOMPARE(int(view->ff->fingerParam->prg), cls);

    // The widgets it finds by prefix, as they start.
    QCOMPARE(countNumbered<ydds>(*w, forceRules::kPointLabelPrefix), labels);
    QCOMPARE(countNumbered<QProgressBar>(*w, forceRules::kSelfBarPrefix), selfBars);
    QCOMPARE(countNumbered<QProgressBar>(*w, forceRules::kMutualBarPrefix), mutualBars);
    for (int n = 1; n <= labels; ++n) {
        QCOMPARE(view->label(n)->text(), QString());
        QCOMPARE(view->label(n)->dir, kNone);
        QCOMPARE(view->label(n)->brush.color(), QColor(Qt::white));
    }
    const auto bars = [&] {
        QVector<QProgressBar*> all;
        for (int n = 1; n <= selfBars; ++n)
            all << view->bar(forceRules::kSelfBarPrefix, n);
        for (int n = 1; n <= mutualBars; ++n)
            all << view->bar(forceRules::kMutualBarPrefix, n);
        return all;
    }();
    for (QProgressBar* bar : bars) {
        QCOMPARE(bar->orientation(), Qt::Vertical);
        QVERIFY(!bar->isTextVisible());
        QCOMPARE(bar->minimumWidth(), 30);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), barMax);
        QCOMPARE(bar->value(), barStart);
    }
    auto* tabs = w->findChild<QTabWidget*>("tabWidget");
    QCOMPARE(tabs != nullptr, tabbed);
    if (tabs) {
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->widget(0)->objectName(), QString("tab"));
    }

    // Colours: a force in every band, on the first and the last point.
    for (int point : {0, labels - 1}) {
        if (labels == 0)
            break;
        for (const Band& band : bandsFor(red, pale)) {
            view->ff->setYdds(uint8_t(point), band.normal, 0, 0);
            QCOMPARE(view->label(point + 1)->brush.color(), band.colour);
        }
    }

    view->ff->setShowData(true);
    if (labels > 0) {
        ydds* first = view->label(1);
        // Direction offset and arrow length.
        view->ff->setYdds(0, 1, 10, 0);
        QCOMPARE(int(first->dir), offset % 360);
        QCOMPARE(first->ratio, 0.5f);
        view->ff->setYdds(0, 1, 10, 300);
        QCOMPARE(int(first->dir), (300 + offset) % 360);
        view->ff->setYdds(0, 1, 0, 300);
        QCOMPARE(first->dir, kNone);
        // Value text only in the views that follow the panel's switch.
        view->ff->setYdds(0, 3.14159f, 0.5f, 90);
        QCOMPARE(first->text(), followsSwitch ? QString("3.14\n0.50\n90") : QString());
        QCOMPARE(first->alignment(), kLeftCentred);
        view->ff->setShowData(false);
        view->ff->setYdds(0, 3.14159f, 0.5f, 90);
        QCOMPARE(first->text(), QString());
    }

    // A point without a label: nothing changes, and only 17 and 19 say so.
    {
        const QColor lastColour = labels > 0 ? view->label(labels)->brush.color() : QColor();
        MessageCapture missing;
        view->ff->setYdds(uint8_t(labels), 25, 25, 10);
        QCOMPARE(missing.messages().contains("not found lb"), logsMissingLabel);
        if (labels > 0)
            QCOMPARE(view->label(labels)->brush.color(), lastColour);
    }

    // Bars: unclipped below the maximum, full at and above it; channels without a bar are ignored.
    for (int ch = 0; ch < selfBars; ++ch) {
        QProgressBar* bar = view->bar(forceRules::kSelfBarPrefix, ch + 1);
        view->ff->setSProx(uint8_t(ch), uint32_t(barMax - 1));
        QCOMPARE(bar->value(), barMax - 1);
        view->ff->setSProx(uint8_t(ch), 16777215);
        QCOMPARE(bar->value(), barMax);
    }
    for (int ch = 0; ch < mutualBars; ++ch) {
        QProgressBar* bar = view->bar(forceRules::kMutualBarPrefix, ch + 1);
        view->ff->setMProx(uint8_t(ch), 1000);
        QCOMPARE(bar->value(), 1000);
    }
    view->ff->setSProx(uint8_t(selfBars), 1000);
    view->ff->setMProx(uint8_t(mutualBars), 1000);

    MessageCapture gone;
    view.reset();
    QVERIFY(gone.messages().contains(className(uint8_t(cls)) + " delete"));
    QVERIFY(panel.children().isEmpty());
}

void tst_forceViews::forceArrowRule_data()
{
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("pale");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("when");  // forceRules::ArrowWhen
    QTest::addColumn<int>("text");  // forceRules::ValueText
    QTest::addColumn<bool>("show");
    QTest::addColumn<float>("normal");
    QTest::addColumn<float>("tangential");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("storedDir");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<QString>("label");  // "keep": the rule leaves text and alignment alone

    const int tangent = int(forceRules::ArrowWhen::TangentialWithDirection);
    const int byNormal = int(forceRules::ArrowWhen::NormalAnyDirection);
    const int written = int(forceRules::ValueText::Written);
    const int untouched = int(forceRules::ValueText::Untouched);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto row = [](const char* name, int red, int pale, int offset, int when, int text, bool show,
                        float n, float t, int dir, QColor colour, int stored, float ratio, QString label) {
        QTest::newRow(name) << red << pale << offset << when << text << show << n << t << dir << colour
                            << stored << ratio << label;
    };
    // Colour bands at their edges.
    row("N 0", 139, 140, 0, tangent, written, false, 0, 0, 0, {240, 240, 240}, kNone, 0, "");
    row("N 0.9: s 9.72", 139, 140, 0, tangent, written, false, 0.9f, 0, 0, {240, 240, 240}, kNone, 0, "");
    row("N 1: s 10.8", 139, 140, 0, tangent, written, false, 1, 0, 0, {255, 165, 165}, kNone, 0, "");
    row("N 5", 139, 140, 0, tangent, written, false, 5, 0, 0, {255, 140, 140}, kNone, 0, "");
    row("N 10: s 108 exactly", 139, 140, 0, tangent, written, false, 10, 0, 0, {255, 69, 0}, kNone, 0, "");
    row("N 19.99", 139, 140, 0, tangent, written, false, 19.99f, 0, 0, {139, 0, 0}, kNone, 0, "");
    row("N 20: s 216", 139, 140, 0, tangent, written, false, 20, 0, 0, {139, 9, 9}, kNone, 0, "");
    row("N 25", 139, 140, 0, tangent, written, false, 25, 0, 0, {139, 9, 9}, kNone, 0, "");
    row("N -3", 139, 140, 0, tangent, written, false, -3, 0, 0, {240, 240, 240}, kNone, 0, "");
    row("N not a number", 139, 140, 0, tangent, written, false, nan, 0, 0, {139, 9, 9}, kNone, 0, "");
    row("red 145: N 5", 145, 145, 0, tangent, written, false, 5, 0, 0, {255, 145, 145}, kNone, 0, "");
    row("red 145: N 19.99", 145, 145, 0, tangent, written, false, 19.99f, 0, 0, {145, 0, 0}, kNone, 0, "");
    // Direction and length.
    row("T 10 dir 90", 139, 140, 0, tangent, written, false, 1, 10, 90, {255, 165, 165}, 90, 0.5f, "");
    row("T 20: full", 139, 140, 0, tangent, written, false, 1, 20, 0, {255, 165, 165}, 0, 1, "");
    row("T 30: capped", 139, 140, 0, tangent, written, false, 1, 30, 359, {255, 165, 165}, 359, 1, "");
    row("T 5 dir 360: none", 139, 140, 0, tangent, written, false, 1, 5, 360, {255, 165, 165}, kNone, 0.25f, "");
    row("T 5 dir 65535", 139, 140, 0, tangent, written, false, 1, 5, 65535, {255, 165, 165}, kNone, 0.25f, "");
    row("T -2: no arrow", 139, 140, 0, tangent, written, false, 1, -2, 90, {255, 165, 165}, kNone, -0.1f, "");
    row("offset 90: 270 to 0", 139, 140, 90, tangent, written, false, 1, 5, 270, {255, 165, 165}, 0, 0.25f, "");
    row("offset 90: 269 to 359", 139, 140, 90, tangent, written, false, 1, 5, 269, {255, 165, 165}, 359, 0.25f, "");
    row("offset 270: 100 to 10", 139, 140, 270, tangent, written, false, 1, 5, 100, {255, 165, 165}, 10, 0.25f, "");
    // Value text: the direction as received, also when it draws no arrow.
    row("text", 139, 140, 0, tangent, written, true, 3.14159f, 0.5f, 90, {255, 165, 165}, 90, 0.025f,
        "3.14\n0.50\n90");
    row("text dir 400", 139, 140, 0, tangent, written, true, 1, 5, 400, {255, 165, 165}, kNone, 0.25f,
        "1.00\n5.00\n400");
    row("text offset: received dir", 139, 140, 90, tangent, written, true, 0, 1, 0, {240, 240, 240}, 90, 0.05f,
        "0.00\n1.00\n0");
    row("text off", 139, 140, 0, tangent, written, false, 3.14159f, 0.5f, 90, {255, 165, 165}, 90, 0.025f, "");
    // The variants other view families cite.
    row("by normal: T 0", 139, 140, 0, byNormal, written, false, 5, 0, 90, {255, 140, 140}, 90, 0, "");
    row("by normal: dir 359 unturned", 139, 140, 90, byNormal, written, false, 5, 2, 359, {255, 140, 140}, 359, 0.1f, "");
    row("by normal: dir 400 no arrow", 145, 145, 0, byNormal, written, false, 1, 2, 400, {255, 165, 165}, kNone, 0.1f, "");
    row("by normal: N 0", 145, 145, 0, byNormal, written, false, 0, 10, 90, {240, 240, 240}, kNone, 0.5f, "");
    row("by normal: T -2 length 0", 145, 145, 0, byNormal, written, false, 1, -2, 90, {255, 165, 165}, 90, 0, "");
    row("by normal: T not a number", 145, 145, 0, byNormal, written, false, 1, nan, 90, {255, 165, 165}, 90, 0, "");
    row("no text step", 139, 140, 0, tangent, untouched, true, 3.14f, 0.5f, 90, {255, 165, 165}, 90, 0.025f, "keep");
}

void tst_forceViews::forceArrowRule()
{
    QFETCH(int, red);
    QFETCH(int, pale);
    QFETCH(int, offset);
    QFETCH(int, when);
    QFETCH(int, text);
    QFETCH(bool, show);
    QFETCH(float, normal);
    QFETCH(float, tangential);
    QFETCH(int, direction);
    QFETCH(QColor, colour);
    QFETCH(int, storedDir);
    QFETCH(float, ratio);
    QFETCH(QString, label);

    ydds gauge;
    gauge.setText("keep");
    gauge.setAlignment(Qt::AlignCenter);
    forceRules::ArrowParams params;
    params.red = uint8_t(red);
    params.pale = uint8_t(pale);
    params.angleOffset = uint16_t(offset);
    params.arrowWhen = forceRules::ArrowWhen(when);
    params.valueText = forceRules::ValueText(text);
    forceRules::applyForceArrow(gauge, normal, tangential, uint16_t(direction), show, params);

    QCOMPARE(gauge.brush.color(), colour);
    QCOMPARE(gauge.brush.color().alpha(), 255);
    QCOMPARE(int(gauge.dir), storedDir);
    QCOMPARE(gauge.ratio, ratio);
    QCOMPARE(gauge.text(), label);
    QCOMPARE(gauge.alignment(), label == "keep" ? Qt::Alignment(Qt::AlignCenter) : kLeftCentred);
}

void tst_forceViews::proximityBarRule_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("shown");
    QTest::newRow("zero") << qint64(0) << 0;
    QTest::newRow("inside") << qint64(1000) << 1000;
    QTest::newRow("just below") << qint64(299999) << 299999;
    QTest::newRow("at the maximum") << qint64(300000) << 300000;
    QTest::newRow("largest 24-bit") << qint64(16777215) << 300000;
    QTest::newRow("beyond int") << qint64(0xFFFFFFFFu) << 300000;
    QTest::newRow("sign bit") << qint64(0x80000000u) << 300000;
}

void tst_forceViews::proximityBarRule()
{
    QFETCH(qint64, value);
    QFETCH(int, shown);
    QProgressBar bar;
    bar.setRange(0, 300000);
    bar.setValue(12);
    forceRules::applyProximity(bar, uint32_t(value));
    QCOMPARE(bar.value(), shown);
}

void tst_forceViews::rangingStopsAtFirstMissingBar()
{
    QWidget form;
    QPointer<QProgressBar> self1 = new QProgressBar(&form);
    self1->setObjectName("pbSProx_1");
    QPointer<QProgressBar> mutual1 = new QProgressBar(&form);
    mutual1->setObjectName("pbMProx_1");
    finger_param_ts record{};
    record.sProxNum = 2;  // more self channels than the form has bars
    record.mProxNum = 1;

    forceRules::rangeProximityBars(form, &record, 370000);
    QCOMPARE(self1->maximum(), 370000);
    QCOMPARE(mutual1->maximum(), 100);  // not reached

    record.sProxNum = 1;
    forceRules::rangeProximityBars(form, &record, 450000);
    QCOMPARE(self1->maximum(), 450000);
    QCOMPARE(mutual1->maximum(), 450000);

    // A view without a record ranges every bar its form holds.
    QPointer<QProgressBar> self3 = new QProgressBar(&form);
    self3->setObjectName("pbSProx_3");
    forceRules::rangeProximityBars(form, nullptr, 1000);
    QCOMPARE(self1->maximum(), 1000);
    QCOMPARE(self3->maximum(), 100);  // after the gap at pbSProx_2
    QCOMPARE(mutual1->maximum(), 1000);
}

void tst_forceViews::formTexts_data()
{
    QTest::addColumn<int>("cls");
    QTest::addColumn<QString>("forceBox");  // English; empty: the labels stand in no box
    QTest::addColumn<QString>("proximityBox");
    QTest::addColumn<bool>("tabbed");

    const auto row = [](int cls, QString force, QString proximity, bool tabbed) {
        QTest::newRow(qPrintable(className(uint8_t(cls)))) << cls << force << proximity << tabbed;
    };
    for (int cls : {17, 19, 20, 21, 22, 23, 43, 45})
        row(cls, "Force", "Proximity", true);
    for (int cls : {24, 37, 38, 39, 40, 41, 46, 47, 48, 49, 50, 52, 54, 57, 58, 59})
        row(cls, "Force", "Proximity", false);
    row(67, "Data", "Proximity", false);
    row(29, "", "Proximity", false);
    for (int cls : {25, 26, 27, 28, 30, 31, 34})
        row(cls, "", "", false);
}

void tst_forceViews::formTexts()
{
    QFETCH(int, cls);
    QFETCH(QString, forceBox);
    QFETCH(QString, proximityBox);
    QFETCH(bool, tabbed);
    const QString context = className(uint8_t(cls));
    const QByteArray ctx = context.toLatin1();

    QTranslator english;
    QVERIFY(english.load(":/en.qm"));
    const struct {
        const char* source;
        QString english;
        bool present;
    } pairs[] = {{"压力", forceBox, !forceBox.isEmpty()},
                 {"接近", proximityBox, !proximityBox.isEmpty()},
                 {"三维力", "Data", tabbed}};
    for (const auto& pair : pairs)
        QCOMPARE(english.translate(ctx, pair.source), pair.present ? pair.english : QString());
    QCOMPARE(english.translate(ctx, "Form"), QString());

    // The forms show their texts in the language active when the view is made.
    for (bool inEnglish : {false, true}) {
        const std::unique_ptr<View> made = madeIn(inEnglish ? &english : nullptr, uint8_t(cls), &panel);
        const View& view = *made;
        QWidget* w = view.widget();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("Form"));
        const auto expected = [&](const char* source, const QString& en) {
            return inEnglish ? en : QString::fromUtf8(source);
        };
        QGroupBox* force = boxAround(view.label(1));
        QCOMPARE(force ? force->title() : QString(), forceBox.isEmpty() ? QString() : expected("压力", forceBox));
        QGroupBox* proximity = boxAround(view.bar(forceRules::kSelfBarPrefix, 1));
        QCOMPARE(proximity ? proximity->title() : QString(),
                 proximityBox.isEmpty() ? QString() : expected("接近", proximityBox));
        for (QGroupBox* box : w->findChildren<QGroupBox*>())
            QCOMPARE(box->font().pointSize(), 12);
        if (tabbed)
            QCOMPARE(w->findChild<QTabWidget*>("tabWidget")->tabText(0), expected("三维力", "Data"));
    }
}

TACTILE_TEST_MAIN(tst_forceViews)
#include "tst_forceViews.moc"
