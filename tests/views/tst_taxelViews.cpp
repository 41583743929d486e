// The taxel-array views on hand-computed fixtures: values set straight into setPressNList, cells
// read by display row and column; the view without a record; values the decoder never sends.

#include "testMain.h"

#include "catalogueFrames.h"
#include "class_finger.h"
#include "sensorForm.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QProgressBar>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using viewProbe::View;

constexpr int kNone = 0xFFFF;
constexpr int kAny = -1;

// What one cell must show; kAny (or an invalid colour) leaves a part unchecked.
struct CellCheck {
    int row;
    int col;
    QColor colour;
    int dir = kAny;
    float ratio = -1;
    float ratioTolerance = 1e-6f;
};

sensorForm* gridOf(const View& v) { return v.widget()->findChild<sensorForm*>("wgSensor"); }

class_ydds* cellAt(const View& v, int row, int col)
{
    sensorForm* grid = gridOf(v);
    return grid->cells.value(row * grid->cols + col);
}

// A list of n values, zero but for the ones given.
QVector<float> valuesOf(int n, std::initializer_list<std::pair<int, float>> set)
{
    QVector<float> v(n, 0.0f);
    for (const auto& s : set)
        v[s.first] = s.second;
    return v;
}

struct CellState {
    QRgb colour;
    uint16_t dir;
    float ratio;
    QString text;
    bool operator==(const CellState& o) const
    {
        return colour == o.colour && dir == o.dir && ratio == o.ratio && text == o.text;
    }
};

QVector<CellState> statesOf(const View& v)
{
    QVector<CellState> out;
    for (const class_ydds* c : gridOf(v)->cells)
        out.append({c->brush.color().rgba(), c->dir, c->ratio, c->text()});
    return out;
}

// Every drawn arrow of the grid within a turn and its length within 0..1.
bool arrowsSound(const View& v)
{
    for (const class_ydds* c : gridOf(v)->cells) {
        if (c->dir != kNone && (c->dir >= 360 || !(c->ratio >= 0 && c->ratio <= 1)))
            return false;
    }
    return true;
}

}  // namespace

Q_DECLARE_METATYPE(QVector<CellCheck>)

class tst_taxelViews : public QObject {
    Q_OBJECT

private slots:
    void init() { WarningRecorder::clear(); }
    void grids();
    void fixtures_data();
    void fixtures();
    void nothingPressed_data();
    void nothingPressed();
    void oppositeNeighboursCancel();
    void cellTexts();
    void tenthValueHasNoCell();
    void viewWithoutRecord();
    void valuesTheDecoderNeverSends();

private:
    QWidget panel;
};

void tst_taxelViews::grids()
{
    const struct {
        int cls;
        int rows;
        int cols;
    } shapes[] = {{55, 5, 5}, {56, 5, 5}, {81, 3, 3}, {96, 3, 4}, {102, 1, 3}};
    for (const auto& s : shapes) {
        View v(uint8_t(s.cls), &panel);
        QVERIFY(v.ff);
        sensorForm* grid = gridOf(v);
        QVERIFY(grid);
        QCOMPARE(int(grid->rows), s.rows);
        QCOMPARE(int(grid->cols), s.cols);
        QCOMPARE(grid->cells.size(), s.rows * s.cols);
        for (const class_ydds* c : grid->cells) {
            QCOMPARE(int(c->dir), kNone);
            QCOMPARE(c->brush.color(), QColor(Qt::white));
        }
    }
}

void tst_taxelViews::fixtures_data()
{
    QTest::addColumn<int>("cls");
    QTest::addColumn<float>("fullScale");
    QTest::addColumn<QVector<float>>("values");
    QTest::addColumn<QVector<CellCheck>>("cells");

    const QColor pressed(216, 61, 61);  // own load at full scale: level 50
    const QColor besideOfEight(229, 162, 162);
    QTest::newRow("55: the centre at full scale")
        << 55 << 3.0f << valuesOf(25, {{12, 3}})
        << QVector<CellCheck>{{2, 2, pressed, kNone},
                              {2, 3, besideOfEight, 270, 1},
                              {1, 2, besideOfEight, 180, 1},
                              {1, 3, besideOfEight, 225, 1},
                              {3, 1, besideOfEight, 45, 1},  // pressed from its upper left: 315 + 90
                              {0, 0, QColor(240, 240, 240), kNone}};
    QTest::newRow("55: value 0 shows top right")
        << 55 << 3.0f << valuesOf(25, {{0, 3}})
        << QVector<CellCheck>{{0, 4, pressed, kNone}, {1, 4, QColor(227, 146, 146), 0, 1}, {0, 0, QColor(240, 240, 240)}};
    QTest::newRow("56 turns as 55")
        << 56 << 3.0f << valuesOf(25, {{20, 3}})
        << QVector<CellCheck>{{0, 0, pressed, kNone}, {1, 0, QColor(227, 146, 146), 0, 1}};
    QTest::newRow("96: two neighbours")
        << 96 << 30.0f << valuesOf(12, {{1, 3}, {6, 6}})
        << QVector<CellCheck>{{1, 1, QColor(233, 192, 192), 63, 0.2236f, 1e-4f},
                              {0, 2, QColor(), 207},
                              {2, 2, QColor(), 0, 0.2f}};
    QTest::newRow("81: rows as sent, no turn")
        << 81 << 25.0f << valuesOf(10, {{2, 25}})
        << QVector<CellCheck>{{0, 2, pressed, kNone}, {0, 1, QColor(), 90, 1}, {1, 1, QColor(), 45, 1}};
    QTest::newRow("102: one row, no turn of the cells")
        << 102 << 3.0f << valuesOf(3, {{0, 3}})
        << QVector<CellCheck>{{0, 0, pressed, kNone}, {0, 1, QColor(), 270, 1}, {0, 2, QColor(240, 240, 240), kNone}};
}

void tst_taxelViews::fixtures()
{
    QFETCH(int, cls);
    QFETCH(float, fullScale);
    QFETCH(QVector<float>, values);
    QFETCH(QVector<CellCheck>, cells);
    View v(uint8_t(cls), &panel);
    v.ff->setPressNList(values, fullScale);
    for (const CellCheck& c : cells) {
        const QString at = QString("(%1,%2)").arg(c.row).arg(c.col);
        const class_ydds* cell = cellAt(v, c.row, c.col);
        QVERIFY2(cell, qPrintable(at));
        if (c.colour.isValid())
            QVERIFY2(cell->brush.color() == c.colour,
                     qPrintable(at + " " + cell->brush.color().name() + " not " + c.colour.name()));
        if (c.dir != kAny)
            QVERIFY2(cell->dir == c.dir, qPrintable(at + " dir " + QString::number(cell->dir)));
        if (c.ratio >= 0)
            QVERIFY2(std::fabs(cell->ratio - c.ratio) <= c.ratioTolerance,
                     qPrintable(at + " ratio " + QString::number(cell->ratio)));
    }
}

void tst_taxelViews::nothingPressed_data()
{
    QTest::addColumn<int>("cls");
    for (int cls : {55, 56, 81, 96, 102})
        QTest::newRow(qPrintable(viewProbe::className(cls))) << cls;
}

void tst_taxelViews::nothingPressed()
{
    QFETCH(int, cls);
    View v(uint8_t(cls), &panel);
    sensorForm* grid = gridOf(v);
    // Arrows left over from a pressed frame go with the next one.
    v.ff->setPressNList(valuesOf(grid->cells.size(), {{0, 1}}), 3);
    v.ff->setPressNList(valuesOf(grid->cells.size(), {}), 3);
    for (const class_ydds* c : grid->cells) {
        QCOMPARE(c->brush.color(), QColor(240, 240, 240));
        QCOMPARE(int(c->dir), kNone);
    }
}

void tst_taxelViews::oppositeNeighboursCancel()
{
    View v(55, &panel);
    // Data (2,1) and (2,3), left and right of the centre, equally pressed.
    v.ff->setPressNList(valuesOf(25, {{11, 1.5f}, {13, 1.5f}}), 3);
    const class_ydds* centre = cellAt(v, 2, 2);
    QCOMPARE(int(centre->dir), kNone);
    QCOMPARE(centre->brush.color(), forceRules::pressureColour(0.5f * (0 + 100.0f / 8)));
    // Above and below on view 96.
    View w(96, &panel);
    w.ff->setPressNList(valuesOf(12, {{1, 6}, {9, 6}}), 30);
    QCOMPARE(int(cellAt(w, 1, 1)->dir), kNone);
}

void tst_taxelViews::cellTexts()
{
    View v(96, &panel);
    const QVector<float> values = valuesOf(12, {{0, 1.2345f}, {11, 30}});
    v.ff->setPressNList(values, 30);
    for (const class_ydds* c : gridOf(v)->cells)
        QCOMPARE(c->text(), QString());
    // The switch shows from the next frame on, each taxel's own load.
    v.ff->setShowData(true);
    QCOMPARE(cellAt(v, 0, 0)->text(), QString());
    v.ff->setPressNList(values, 30);
    QCOMPARE(cellAt(v, 0, 0)->text(), QString("1.23"));
    QCOMPARE(cellAt(v, 2, 3)->text(), QString("30.00"));
    QCOMPARE(cellAt(v, 1, 1)->text(), QString("0.00"));
    v.ff->setShowData(false);
    v.ff->setPressNList(values, 30);
    QCOMPARE(cellAt(v, 0, 0)->text(), QString());

    // View 81 has no switch: its cells and label stay without text.
    View w(81, &panel);
    w.ff->setShowData(true);
    w.ff->setPressNList(valuesOf(10, {{0, 2}}), 25);
    w.ff->setYdds(0, 1, 1, 90);
    for (const class_ydds* c : gridOf(w)->cells)
        QCOMPARE(c->text(), QString());
    QCOMPARE(w.label(1)->text(), QString());
}

void tst_taxelViews::tenthValueHasNoCell()
{
    View with(81, &panel);
    View without(81, &panel);
    with.ff->setPressNList(valuesOf(10, {{4, 25}, {9, 25}}), 25);
    without.ff->setPressNList(valuesOf(10, {{4, 25}}), 25);
    QVERIFY(statesOf(with) == statesOf(without));
    QCOMPARE(cellAt(with, 1, 1)->brush.color(), QColor(216, 61, 61));
}

void tst_taxelViews::viewWithoutRecord()
{
    for (uint8_t code : {uint8_t(102), uint8_t(103)}) {
        WarningRecorder::clear();
        View v(102, &panel);
        v.ff->selectRecord(code);  // as the panel does; 103 has no record either
        QCOMPARE(WarningRecorder::warnings().size(), 1);
        QCOMPARE(WarningRecorder::warnings().first().first, QString("传感器类型错误"));
        QCOMPARE(WarningRecorder::warnings().first().second, QString("未识别传感器类型102"));
        QVERIFY(!v.ff->fingerParam);
        QCOMPARE(v.bar(forceRules::kSelfBarPrefix, 1)->maximum(), 370000);
        // Any frame: nothing decoded, the grid as construction left it.
        QCOMPARE(v.ff->parseData(catalogueFrames::sampleFrame(55)), int(class_finger::NoRecord));
        QCOMPARE(v.ff->parseData(QByteArray()), int(class_finger::NoRecord));
        for (const class_ydds* c : gridOf(v)->cells)
            QCOMPARE(c->brush.color(), QColor(Qt::white));
    }

    // Set straight, its three cells follow the rule: the middle one sees both ends.
    View v(102, &panel);
    v.ff->setShowData(true);
    v.ff->setPressNList({1.5f, 0, 3}, 3);
    QCOMPARE(cellAt(v, 0, 0)->brush.color(), forceRules::pressureColour(25 + 0));
    QCOMPARE(int(cellAt(v, 0, 0)->dir), kNone);
    QCOMPARE(cellAt(v, 0, 1)->brush.color(), forceRules::pressureColour(0.5f * (0 + 75)));
    QCOMPARE(int(cellAt(v, 0, 1)->dir), 90);  // the right end is pressed harder
    QCOMPARE(cellAt(v, 0, 1)->ratio, 0.5f);
    QCOMPARE(cellAt(v, 0, 2)->text(), QString("3.00"));
}

void tst_taxelViews::valuesTheDecoderNeverSends()
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int cls : {55, 81, 96, 102}) {
        View v(uint8_t(cls), &panel);
        v.ff->setShowData(true);
        const int cells = gridOf(v)->cells.size();
        // Short lists: the missing values count as 0, nothing past the list is read.
        for (int n : {0, 1, cells - 1}) {
            v.ff->setPressNList(valuesOf(cells, {{0, 3}}).mid(0, n), 3);
            QVERIFY(arrowsSound(v));
        }
        // Full scale 0 or not a number: a load is full, nothing is none, and no arrow comes of it.
        for (float fullScale : {0.0f, nan, -0.0f}) {
            v.ff->setPressNList(valuesOf(cells, {{0, 3}, {1, -2}}), fullScale);
            QVERIFY(arrowsSound(v));
            for (const class_ydds* c : gridOf(v)->cells)
                QCOMPARE(int(c->dir), kNone);
        }
        // Loads that are not numbers or infinite, and a longer list.
        v.ff->setPressNList(QVector<float>(cells + 5, nan), 3);
        QVERIFY(arrowsSound(v));
        v.ff->setPressNList(valuesOf(cells, {{0, inf}, {1, -inf}, {2, 3e38f}}), 3);
        QVERIFY(arrowsSound(v));
    }
}

TACTILE_TEST_MAIN(tst_taxelViews)
#include "tst_taxelViews.moc"
