// Frames with random contents and a valid sum, for every catalogued type code that a pressure,
// taxel-array or channel-list view shows, through the decoder into the view the panel would make:
// nothing breaks, and every drawn arrow points within a turn with a length within 0..1.

#include "testMain.h"

#include "arrayViewTable.h"
#include "catalogueFrames.h"
#include "class_finger.h"
#include "fingerParams.h"
#include "viewFactory.h"
#include "viewProbe.h"
#include "ydds.h"

#include <iterator>

namespace {

constexpr int kFrames = 1000;
constexpr uint16_t kNone = 0xFFFF;

// The first drawn arrow that points outside a turn or has a length outside 0..1; empty when none.
template <class Gauge>
QString unsoundArrow(const QWidget& view)
{
    for (const Gauge* g : view.findChildren<Gauge*>()) {
        if (g->dir != kNone && (g->dir >= 360 || !(g->ratio >= 0 && g->ratio <= 1)))
            return QString("%1 dir %2 ratio %3").arg(g->objectName()).arg(g->dir).arg(g->ratio);
    }
    return QString();
}

}  // namespace

class tst_randomFrames : public QObject {
    Q_OBJECT

private slots:
    void randomFrames_data();
    void randomFrames();

private:
    QWidget panel;
};

void tst_randomFrames::randomFrames_data()
{
    QTest::addColumn<int>("typeCode");
    for (const arrayViewTraits& row : arrayViewTable::kRows) {
        for (int code = 0; code < 256; ++code) {
            if (viewFactory::viewClassFor(uint8_t(code)) == row.classNumber && findFingerParam(uint8_t(code)))
                QTest::newRow(qPrintable(QString("type %1, view %2").arg(code).arg(row.classNumber))) << code;
        }
    }
}

void tst_randomFrames::randomFrames()
{
    QFETCH(int, typeCode);
    const uint8_t code = uint8_t(typeCode);
    // A view not built in is tst_viewRegistry's failure; here it has nothing to show.
    if (!viewFactory::isRegistered(viewFactory::viewClassFor(code)))
        QSKIP("view not built in");
    const viewProbe::View made(viewFactory::viewClassFor(code), &panel);
    class_finger* view = made.ff;
    QVERIFY(view);
    view->selectRecord(code);  // as the panel does
    const finger_param_ts& record = *findFingerParam(code);
    QRandomGenerator rng(0x5eed0000u + code);
    for (int i = 0; i < kFrames; ++i) {
        view->setShowData(i % 2 == 0);
        QCOMPARE(view->parseData(catalogueFrames::randomFrame(record.packLen, rng)), int(class_finger::Decoded));
        const QString wrong = unsoundArrow<ydds>(*view->widget) + unsoundArrow<class_ydds>(*view->widget);
        QVERIFY2(wrong.isEmpty(), qPrintable(QString("frame %1: %2").arg(i).arg(wrong)));
    }
}

TACTILE_TEST_MAIN(tst_randomFrames)
#include "tst_randomFrames.moc"
