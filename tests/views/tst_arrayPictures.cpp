// What the pressure-taxel views look like on screen: the staggered rows of view 42, the clockwise
// groups of view 76, view 111 as the mirror of view 110, and a taxel disc in its load's colour.

#include "testMain.h"

#include "class_finger.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QGroupBox>
#include <QImage>
#include <cstdlib>
#include <memory>

namespace {

using namespace viewProbe;

// A view as its own window at a fixed size, laid out and painted.
std::unique_ptr<View> shownView(uint8_t cls, QSize size)
{
    auto view = std::make_unique<View>(cls, nullptr);
    if (!view->ff)
        return nullptr;
    view->widget()->resize(size);
    view->widget()->show();
    if (!QTest::qWaitForWindowExposed(view->widget()))
        return nullptr;
    return view;
}

// Where a widget stands in the view.
QRect placeOf(const QWidget* w, const QWidget* view) { return QRect(w->mapTo(view, QPoint(0, 0)), w->size()); }

// Where the widgets numbered 1 .. count stand in the view, at their numbers (index 0 unused).
QVector<QRect> places(const View& view, ydds* (View::*find)(int) const, int count)
{
    QVector<QRect> at(count + 1);
    for (int n = 1; n <= count; ++n) {
        if (const ydds* w = (view.*find)(n))
            at[n] = placeOf(w, view.widget());
    }
    return at;
}

bool near(int a, int b, int tolerance) { return std::abs(a - b) <= tolerance; }

}  // namespace

class tst_arrayPictures : public QObject {
    Q_OBJECT

private slots:
    void staggeredRowsOfView42();
    void clockwiseGroupsOfView76();
    void view111MirrorsView110();
    void taxelDiscInItsLoadsColour();
};

void tst_arrayPictures::staggeredRowsOfView42()
{
    auto view = shownView(42, QSize(617, 403));
    QVERIFY(view);
    QCOMPARE(countNumbered<ydds>(*view->widget(), forceRules::kTaxelPrefix), 31);
    const QVector<QRect> at = places(*view, &View::taxel, 31);

    // Rows top to bottom, each numbered left to right, with 5, 6 and 7 in the centre of rows 2, 4, 6.
    const QVector<QVector<int>> rows = {{1, 2, 3, 4},     {8, 9, 5, 10, 11},   {12, 13, 14, 15}, {16, 17, 6, 18, 19},
                                        {20, 21, 22, 23}, {24, 25, 7, 26, 27}, {28, 29, 30, 31}};
    int previousBottom = -1;
    for (const QVector<int>& row : rows) {
        QVERIFY(at[row[0]].top() > previousBottom);
        for (int i = 1; i < row.size(); ++i) {
            QCOMPARE(at[row[i]].top(), at[row[0]].top());
            QVERIFY(at[row[i - 1]].right() < at[row[i]].left());
        }
        previousBottom = at[row[0]].bottom();
    }
    QCOMPARE(at[6].center().x(), at[5].center().x());
    QCOMPARE(at[7].center().x(), at[5].center().x());
    QVERIFY(at[5].top() < at[6].top() && at[6].top() < at[7].top());

    // Nine equal cells a row: a taxel of an odd row sits midway between two of the next row.
    const int cell = at[9].center().x() - at[8].center().x();
    QVERIFY(cell > 0);
    QVERIFY(near(at[1].center().x(), (at[8].center().x() + at[9].center().x()) / 2, 2));
    QVERIFY(near(at[4].center().x(), (at[10].center().x() + at[11].center().x()) / 2, 2));
    QVERIFY(near(at[5].center().x() - at[9].center().x(), cell, 2));
    QVERIFY(near(at[31].center().x() - at[28].center().x(), 3 * cell, 3));

    // The force points under the taxels, label_3 leftmost.
    const QVector<QRect> point = places(*view, &View::label, 3);
    QVERIFY(point[3].right() < point[2].left() && point[2].right() < point[1].left());
    QVERIFY(point[1].top() > at[31].bottom());
}

void tst_arrayPictures::clockwiseGroupsOfView76()
{
    auto view = shownView(76, QSize(705, 403));
    QVERIFY(view);
    QCOMPARE(countNumbered<ydds>(*view->widget(), forceRules::kTaxelPrefix), 12);
    const QVector<QRect> at = places(*view, &View::taxel, 12);

    // Each group of four starts top right and runs clockwise; the groups run left to right.
    for (int k = 0; k < 3; ++k) {
        const int n = 4 * k + 1;
        const QRect topRight = at[n], bottomRight = at[n + 1], bottomLeft = at[n + 2], topLeft = at[n + 3];
        QCOMPARE(topRight.top(), topLeft.top());
        QCOMPARE(bottomRight.top(), bottomLeft.top());
        QVERIFY(topRight.bottom() < bottomRight.top());
        QCOMPARE(topRight.left(), bottomRight.left());
        QCOMPARE(topLeft.left(), bottomLeft.left());
        QVERIFY(topLeft.right() < topRight.left());
        if (k > 0)
            QVERIFY(at[n - 4].right() < topLeft.left());
    }
    const QVector<QRect> point = places(*view, &View::label, 3);
    QVERIFY(point[1].right() < point[2].left() && point[2].right() < point[3].left());
    QVERIFY(point[1].top() > at[2].bottom());
}

void tst_arrayPictures::view111MirrorsView110()
{
    // The same size for both, so that the columns compare.
    const QSize size(900, 600);
    auto plain = shownView(110, size);
    auto mirrored = shownView(111, size);
    QVERIFY(plain && mirrored);
    const int columns[][4] = {{1, 2}, {3, 4, 5}, {6, 7, 8, 9}, {10, 11, 12}};
    const int heights[] = {2, 3, 4, 3};
    // The left edge of a column read top to bottom; -1 when the taxels stand otherwise.
    const auto columnX = [](const View& v, const int (&members)[4], int count) {
        const int x = placeOf(v.taxel(members[0]), v.widget()).left();
        for (int i = 1; i < count; ++i) {
            const QRect above = placeOf(v.taxel(members[i - 1]), v.widget());
            const QRect here = placeOf(v.taxel(members[i]), v.widget());
            if (here.left() != x || here.top() <= above.bottom())
                return -1;
        }
        return x;
    };
    int plainX[4], mirroredX[4];
    for (int c = 0; c < 4; ++c) {
        plainX[c] = columnX(*plain, columns[c], heights[c]);
        mirroredX[c] = columnX(*mirrored, columns[c], heights[c]);
        QVERIFY(plainX[c] >= 0 && mirroredX[c] >= 0);
    }
    QVERIFY(plainX[0] < plainX[1] && plainX[1] < plainX[2] && plainX[2] < plainX[3]);
    QVERIFY(mirroredX[3] < mirroredX[2] && mirroredX[2] < mirroredX[1] && mirroredX[1] < mirroredX[0]);
}

// The disc keeps its own borderless style though view 76 asks every widget for a black border.
void tst_arrayPictures::taxelDiscInItsLoadsColour()
{
    auto view = shownView(76, QSize(705, 403));
    QVERIFY(view);
    view->ff->setPress(4, 15, 30);  // lbPress_5, half of full scale
    QCoreApplication::processEvents();
    const QImage image = view->widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect at = placeOf(view->taxel(5), view->widget());
    QCOMPARE(image.pixelColor(at.center()), QColor(216, 61, 61));
    QVERIFY(image.pixelColor(QPoint(at.left(), at.center().y())) != QColor(Qt::black));
    QVERIFY(image.pixelColor(QPoint(at.center().x(), at.top())) != QColor(Qt::black));
    const QRect box = placeOf(boxAround(view->taxel(5)), view->widget());
    QCOMPARE(image.pixelColor(QPoint(box.left(), box.center().y())), QColor(Qt::black));
}

TACTILE_TEST_MAIN(tst_arrayPictures)
#include "tst_arrayPictures.moc"
