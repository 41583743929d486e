// What two force-vector views look like on screen: the stacked rows of view 45 and the cross of
// view 59, shown at a fixed size and grabbed.

#include "testMain.h"

#include "class_finger.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "ydds.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <memory>

namespace {

struct ViewDeleter {
    void operator()(class_finger* ff) const { delete ff->widget; }
};
using ViewPtr = std::unique_ptr<class_finger, ViewDeleter>;

// A view as its own window at a fixed size, laid out and painted.
ViewPtr shownView(uint8_t cls, QSize size)
{
    ViewPtr view(viewFactory::create(cls, nullptr));
    if (!view)
        return view;
    view->widget->resize(size);
    view->widget->show();
    if (!QTest::qWaitForWindowExposed(view->widget))
        return nullptr;
    return view;
}

ydds* label(const class_finger& ff, int n) { return forceRules::findPointLabel(*ff.widget, n); }

// Where a widget stands in the view.
QRect placeOf(const QWidget* w, const QWidget* view) { return QRect(w->mapTo(view, QPoint(0, 0)), w->size()); }

QImage grabbed(const class_finger& ff) { return ff.widget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QColor pixel(const QImage& image, QPoint p) { return image.pixelColor(p); }

// Disc radius of a gauge of this size, as the gauge paints it.
int discRadius(QSize size)
{
    const int r = std::min(size.width() / 2, size.height() / 2);
    return r < 40 ? r - 2 : r - r / 20;
}

bool near(int a, int b, int tolerance) { return std::abs(a - b) <= tolerance; }

// label_1 and label_4 centred above and below the gap between label_2 and label_3, every cell of a
// row (the gap is the middle cell) a third of it.
void checkCross(const QRect (&at)[5], int spacing)
{
    QVERIFY(at[2].right() < at[3].left());
    const int gapCentre = (at[2].right() + at[3].left()) / 2;
    QVERIFY(near(at[1].center().x(), gapCentre, 1));
    QCOMPARE(at[4].center().x(), at[1].center().x());
    // The layout shares by stretch and size hint, so the thirds are equal to a few pixels.
    const int slack = std::max(6, at[2].width() / 10);
    QCOMPARE(at[3].width(), at[2].width());
    QVERIFY(near(at[1].width(), at[2].width(), slack));
    const int gap = at[3].left() - at[2].right() - 1;
    QVERIFY(near(gap, at[2].width() + 2 * spacing, slack));
}

// Forces in five colour bands and their colours (pale constant 140; view 45 has 145).
const float kBandForces[] = {1, 5, 7, 10, 14};
QVector<QColor> bandColours(int pale)
{
    return {{255, 165, 165}, {255, pale, pale}, {255, 105, 97}, {255, 69, 0}, {220, 20, 60}};
}

}  // namespace

class tst_forcePictures : public QObject {
    Q_OBJECT

private slots:
    void stackedRowsOfView45();
    void crossOfView59();
};

void tst_forcePictures::stackedRowsOfView45()
{
    ViewPtr view = shownView(45, QSize(716, 499));
    QVERIFY(view);
    const QWidget* w = view->widget;
    QRect at[16];
    for (int n = 1; n <= 15; ++n) {
        QVERIFY(label(*view, n));
        at[n] = placeOf(label(*view, n), w);
    }

    // Six rows: label_1 alone at full width, four rows of three numbered right to left, two last.
    const int rows[][3] = {{4, 3, 2}, {7, 6, 5}, {10, 9, 8}, {13, 12, 11}};
    int previousBottom = at[1].bottom();
    for (const auto& row : rows) {
        QVERIFY(at[row[0]].top() > previousBottom);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(at[row[i]].top(), at[row[0]].top());
            QVERIFY(near(at[row[i]].width(), at[row[0]].width(), 2));
            if (i > 0)
                QVERIFY(at[row[i - 1]].right() < at[row[i]].left());
        }
        previousBottom = at[row[0]].bottom();
    }
    QVERIFY(at[15].top() > previousBottom);
    QCOMPARE(at[15].top(), at[14].top());
    QVERIFY(at[15].right() < at[14].left());
    QVERIFY(near(at[15].width(), at[14].width(), 2));
    // Half, third and full width of the box; the six rows share its height.
    const int spacing = w->findChild<QHBoxLayout*>("horizontalLayout_3")->spacing();
    QVERIFY(near(at[15].width() * 2 + spacing, at[1].width(), 2));
    QVERIFY(near(at[2].width() * 3 + 2 * spacing, at[1].width(), 3));
    QVERIFY(near(at[1].height(), at[2].height(), 2));
    QVERIFY(near(at[1].height(), at[14].height(), 2));

    // Each disc in its own colour, no border on the gauges though the view asks every widget for one.
    for (int n = 1; n <= 15; ++n)
        view->setYdds(uint8_t(n - 1), kBandForces[n % 5], 0, 0);
    QCoreApplication::processEvents();
    const QImage image = grabbed(*view);
    const QVector<QColor> bands = bandColours(145);
    for (int n = 1; n <= 15; ++n) {
        QCOMPARE(pixel(image, at[n].center()), bands[n % 5]);
        for (QPoint edge : {QPoint(at[n].left(), at[n].center().y()), QPoint(at[n].center().x(), at[n].top())})
            QVERIFY2(pixel(image, edge) != QColor(Qt::black), qPrintable(QString("label_%1").arg(n)));
    }
    const auto* box = label(*view, 1)->parentWidget();
    QVERIFY(qobject_cast<const QGroupBox*>(box));
    const QRect boxAt = placeOf(box, w);
    QCOMPARE(pixel(image, QPoint(boxAt.left(), boxAt.center().y())), QColor(Qt::black));
}

void tst_forcePictures::crossOfView59()
{
    ViewPtr view = shownView(59, QSize(400, 300));
    QVERIFY(view);
    const QWidget* w = view->widget;
    const auto placeAll = [&](QRect (&at)[5]) {
        for (int n = 1; n <= 4; ++n)
            at[n] = placeOf(label(*view, n), w);
    };
    QRect at[5];
    placeAll(at);

    // label_1 top centre, label_2 and label_3 left and right in the middle row, label_4 bottom centre.
    QVERIFY(at[1].bottom() < at[2].top());
    QCOMPARE(at[2].top(), at[3].top());
    QVERIFY(at[3].bottom() < at[4].top());
    const int spacing = w->findChild<QHBoxLayout*>("horizontalLayout_3")->spacing();
    checkCross(at, spacing);
    if (QTest::currentTestFailed())
        return;

    const QVector<QColor> bands = bandColours(140);
    const QColor kArrowFree[] = {{}, bands[0], bands[1], bands[2], bands[3]};
    for (int n = 1; n <= 4; ++n)
        view->setYdds(uint8_t(n - 1), kBandForces[n - 1], 0, 0);
    // An arrow to the right on label_1 (full length), none on the others.
    view->setYdds(0, kBandForces[0], 20, 90);
    QCoreApplication::processEvents();
    QImage image = grabbed(*view);
    for (int n = 2; n <= 4; ++n)
        QCOMPARE(pixel(image, at[n].center()), kArrowFree[n]);
    const int radius = discRadius(at[1].size());
    const QPoint centre1 = at[1].center();
    QCOMPARE(pixel(image, centre1 - QPoint(radius / 2, 0)), kArrowFree[1]);
    QVERIFY(pixel(image, centre1 + QPoint(radius / 2, 0)).red() < 100);
    // The middle of the middle row and the corners stay empty.
    const QColor background = pixel(image, QPoint((at[2].right() + at[3].left()) / 2, at[2].center().y()));
    for (const QColor& c : bands)
        QVERIFY(background != c);
    QCOMPARE(pixel(image, QPoint(at[2].center().x(), at[1].center().y())), background);

    // Widened, the cells widen equally and the cross stays centred.
    const int narrowWidth = at[2].width();
    view->widget->resize(700, 300);
    QCoreApplication::processEvents();
    placeAll(at);
    QVERIFY(at[2].width() > narrowWidth);
    checkCross(at, spacing);
}

TACTILE_TEST_MAIN(tst_forcePictures)
#include "tst_forcePictures.moc"
