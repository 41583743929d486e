// Data frames of force-vector sensors through the decoder into their views: gauges, texts and bars.

#include "testMain.h"

#include "catalogueFrames.h"
#include "class_finger.h"
#include "fingerParams.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "ydds.h"

#include <QProgressBar>
#include <memory>

namespace {

constexpr uint16_t kNone = 0xFFFF;

struct ViewDeleter {
    void operator()(class_finger* ff) const { delete ff->widget; }
};
using ViewPtr = std::unique_ptr<class_finger, ViewDeleter>;

// The view the panel would make for a type code.
ViewPtr viewFor(uint8_t typeCode, QWidget* parent)
{
    return ViewPtr(viewFactory::create(viewFactory::viewClassFor(typeCode), parent));
}

// The sample values of a record with chosen points and proximity values.
sim::FrameValues valuesWith(uint8_t typeCode, QVector<sim::ForcePoint> points, QVector<uint32_t> self,
                            QVector<uint32_t> mutual)
{
    const finger_param_ts* record = findFingerParam(typeCode);
    sim::FrameValues values = record ? catalogueFrames::sampleValues(*record) : sim::FrameValues();
    values.points = points;
    values.sProx = self;
    values.mProx = mutual;
    return values;
}

ydds* label(const class_finger& ff, int n) { return forceRules::findPointLabel(*ff.widget, n); }
QProgressBar* bar(const class_finger& ff, const char* prefix, int n)
{
    return forceRules::findBar(*ff.widget, prefix, n);
}

}  // namespace

class tst_forceFrames : public QObject {
    Q_OBJECT

private slots:
    void formatTwoFrames();
    void formatFourFrames();
    void aliasDecodesWithItsViewsRecord();
    void rejectedFrameLeavesTheView();

private:
    QWidget panel;
};

// Type 19: 4-byte channels, float forces, the self proximity inside the first point record.
void tst_forceFrames::formatTwoFrames()
{
    ViewPtr view = viewFor(113, &panel);  // 113 is shown by view 19
    QVERIFY(view);
    QCOMPARE(int(view->fingerParam->yddsFormat), 2);
    view->setShowData(true);

    QByteArray frame = catalogueFrames::frameFor(19, valuesWith(19, {{5.0f, 10.0f, 90}}, {123456}, {}));
    QCOMPARE(view->parseData(frame), int(class_finger::Decoded));
    ydds* gauge = label(*view, 1);
    QCOMPARE(gauge->brush.color(), QColor(255, 140, 140));
    QCOMPARE(gauge->dir, uint16_t(90));
    QCOMPARE(gauge->ratio, 0.5f);
    QCOMPARE(gauge->text(), QString("5.00\n10.00\n90"));
    QCOMPARE(bar(*view, forceRules::kSelfBarPrefix, 1)->value(), 123456);

    // A 32-bit reading beyond every range is a full bar; a direction of 360 or more draws no arrow
    // but its text shows as received.
    frame = catalogueFrames::frameFor(19, valuesWith(19, {{25.0f, 30.0f, 400}}, {0xFFFFFFFFu}, {}), 2);
    QCOMPARE(view->parseData(frame), int(class_finger::Decoded));
    QCOMPARE(gauge->brush.color(), QColor(139, 9, 9));
    QCOMPARE(gauge->dir, kNone);
    QCOMPARE(gauge->ratio, 1.0f);
    QCOMPARE(gauge->text(), QString("25.00\n30.00\n400"));
    QCOMPARE(bar(*view, forceRules::kSelfBarPrefix, 1)->value(), 300000);

    // The panel's switch turned off: the next frame clears the text.
    view->setShowData(false);
    QCOMPARE(gauge->text(), QString("25.00\n30.00\n400"));
    QCOMPARE(view->parseData(catalogueFrames::frameFor(19, valuesWith(19, {{1, 0, 0}}, {0}, {}), 3)),
             int(class_finger::Decoded));
    QCOMPARE(gauge->text(), QString());
    QCOMPARE(gauge->dir, kNone);
    QCOMPARE(bar(*view, forceRules::kSelfBarPrefix, 1)->value(), 0);
}

// Type 17: hundredths of a newton, two points turned a quarter, two self bars and a mutual one.
void tst_forceFrames::formatFourFrames()
{
    ViewPtr view = viewFor(17, &panel);
    QVERIFY(view);
    QCOMPARE(int(view->fingerParam->yddsFormat), 4);
    view->setShowData(true);  // view 17 keeps its texts empty whatever the switch says

    const QByteArray frame = catalogueFrames::frameFor(
        17, valuesWith(17, {{12.34f, 25.0f, 270}, {0.5f, 5.0f, 45}}, {400000, 1000}, {77}));
    QCOMPARE(view->parseData(frame), int(class_finger::Decoded));

    ydds* first = label(*view, 1);
    QCOMPARE(first->brush.color(), QColor(255, 69, 0));
    QCOMPARE(first->dir, uint16_t(0));
    QCOMPARE(first->ratio, 1.0f);
    QCOMPARE(first->text(), QString());
    QCOMPARE(first->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    ydds* second = label(*view, 2);
    QCOMPARE(second->brush.color(), QColor(240, 240, 240));
    QCOMPARE(second->dir, uint16_t(135));
    QCOMPARE(second->ratio, 0.25f);

    QCOMPARE(bar(*view, forceRules::kSelfBarPrefix, 1)->value(), 300000);
    QCOMPARE(bar(*view, forceRules::kSelfBarPrefix, 2)->value(), 1000);
    QCOMPARE(bar(*view, forceRules::kMutualBarPrefix, 1)->value(), 77);
    // The decoder's texts for the panel's rows are the frame's own values.
    QVERIFY(view->dataList.contains("12.34"));
    QVERIFY(view->dataList.contains("270"));
}

// Type 61 is shown by view 21 and decoded with record 21 (same layout): all three points arrive.
void tst_forceFrames::aliasDecodesWithItsViewsRecord()
{
    ViewPtr view = viewFor(61, &panel);
    QVERIFY(view);
    QCOMPARE(QString(view->widget->metaObject()->className()), QString("fingerForm_21"));
    QCOMPARE(int(view->fingerParam->prg), 21);
    const QByteArray frame = catalogueFrames::frameFor(
        61, valuesWith(61, {{1, 1, 10}, {5, 2, 20}, {19, 3, 30}}, {10, 20}, {30}));
    QCOMPARE(view->parseData(frame), int(class_finger::Decoded));
    QCOMPARE(label(*view, 1)->brush.color(), QColor(255, 165, 165));
    QCOMPARE(label(*view, 2)->brush.color(), QColor(255, 140, 140));
    QCOMPARE(label(*view, 3)->brush.color(), QColor(139, 0, 0));
    QCOMPARE(label(*view, 3)->dir, uint16_t(30));
    QCOMPARE(bar(*view, forceRules::kSelfBarPrefix, 2)->value(), 20);
    QCOMPARE(bar(*view, forceRules::kMutualBarPrefix, 1)->value(), 30);
}

void tst_forceFrames::rejectedFrameLeavesTheView()
{
    ViewPtr view = viewFor(37, &panel);
    QVERIFY(view);
    QCOMPARE(view->parseData(catalogueFrames::frameFor(37, valuesWith(37, {{5, 10, 90}}, {1000}, {}))),
             int(class_finger::Decoded));

    QByteArray broken = catalogueFrames::frameFor(37, valuesWith(37, {{25, 0, 0}}, {2000}, {}), 2);
    broken[broken.size() - 1] = char(broken.at(broken.size() - 1) + 1);
    QCOMPARE(view->parseData(broken), int(class_finger::HeaderOrSumError));
    QCOMPARE(view->parseData(broken.left(broken.size() - 1)), int(class_finger::LengthMismatch));

    QCOMPARE(label(*view, 1)->brush.color(), QColor(255, 140, 140));
    QCOMPARE(label(*view, 1)->dir, uint16_t(90));
    QCOMPARE(bar(*view, forceRules::kSelfBarPrefix, 1)->value(), 1000);
}

TACTILE_TEST_MAIN(tst_forceFrames)
#include "tst_forceFrames.moc"
