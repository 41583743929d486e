// The taxel-grid design without a view: bearings, neighbour lists, the sine/cosine table, the
// resultant on each of its branches, and how a frame's values reach one cell.

#include "testMain.h"

#include "sensorForm.h"
#include "taxelGrid.h"
#include "ydds.h"

#include <cmath>
#include <limits>

namespace {

using namespace taxelGrid;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// "index@bearing" per neighbour, in list order.
QString describe(const QVector<member_ts>& members)
{
    QStringList parts;
    for (const member_ts& m : members)
        parts << QString("%1@%2").arg(m.index).arg(m.direction);
    return parts.join(' ');
}

double exactSine(int degrees) { return std::sin(degrees * 3.14159265358979323846 / 180.0); }

}  // namespace

class tst_taxelGrid : public QObject {
    Q_OBJECT

private slots:
    void bearings_data();
    void bearings();
    void neighbours_data();
    void neighbours();
    void sineCosineTable();
    void resultantBranches_data();
    void resultantBranches();
    void shortValueList();
    void cellPositions_data();
    void cellPositions();
    void writingACell();
};

void tst_taxelGrid::bearings_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::addColumn<int>("expected");
    QTest::newRow("above left") << -1 << 1 << 314;
    QTest::newRow("above") << 0 << 1 << 0;
    QTest::newRow("above right") << 1 << 1 << 45;
    QTest::newRow("left") << -1 << 0 << 270;
    QTest::newRow("right") << 1 << 0 << 90;
    QTest::newRow("below left") << -1 << -1 << 225;
    QTest::newRow("below") << 0 << -1 << 180;
    QTest::newRow("below right") << 1 << -1 << 135;
}

void tst_taxelGrid::bearings()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(int, expected);
    QCOMPARE(int(bearing(dx, dy)), expected);
}

void tst_taxelGrid::neighbours_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("taxel");
    QTest::addColumn<QString>("members");
    QTest::newRow("5x5 top left corner") << 5 << 5 << 0 << "1@90 5@180 6@135";
    QTest::newRow("5x5 top edge") << 5 << 5 << 1 << "0@270 2@90 5@225 6@180 7@135";
    QTest::newRow("5x5 centre, all eight in order")
        << 5 << 5 << 12 << "6@314 7@0 8@45 11@270 13@90 16@225 17@180 18@135";
    QTest::newRow("5x5 bottom right corner") << 5 << 5 << 24 << "18@314 19@0 23@270";
    QTest::newRow("3x3 middle") << 3 << 3 << 4 << "0@314 1@0 2@45 3@270 5@90 6@225 7@180 8@135";
    QTest::newRow("3x4 second row, second column")
        << 3 << 4 << 5 << "0@314 1@0 2@45 4@270 6@90 8@225 9@180 10@135";
    QTest::newRow("3x4 right edge") << 3 << 4 << 7 << "2@314 3@0 6@270 10@225 11@180";
    QTest::newRow("1x3 left end") << 1 << 3 << 0 << "1@90";
    QTest::newRow("1x3 middle: left and right only") << 1 << 3 << 1 << "0@270 2@90";
}

void tst_taxelGrid::neighbours()
{
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(int, taxel);
    QFETCH(QString, members);
    const QVector<sensor_ts> lists = neighbourLists(rows, cols);
    QCOMPARE(lists.size(), rows * cols);
    QCOMPARE(describe(lists[taxel].memberList), members);
    for (const sensor_ts& t : lists)
        QVERIFY(!t.memberList.isEmpty() && t.memberList.size() <= kMaxNeighbours);
}

void tst_taxelGrid::sineCosineTable()
{
    const SinCosTable& t = kSinCosTable;
    // The rows as they stand, to the digit.
    const struct {
        int degrees;
        float sine;
        float cosine;
    } rows[] = {{1, 0.017452f, 0.999848f},   {30, 0.500006f, 0.866020f},   {45, 0.707107f, 0.707107f},
                {60, 0.866020f, 0.500006f},  {135, 0.707107f, -0.707107f}, {314, -0.719339f, 0.694659f},
                {315, -0.707107f, 0.707107f}, {359, -0.017452f, 0.999848f}};
    for (const auto& r : rows) {
        QCOMPARE(t[r.degrees].sine, r.sine);
        QCOMPARE(t[r.degrees].cosine, r.cosine);
    }
    // The axes exact, zeros without a sign.
    const float axes[][3] = {{0, 0, 1}, {90, 1, 0}, {180, 0, -1}, {270, -1, 0}};
    for (const auto& a : axes) {
        const sinCos_ts& e = t[int(a[0])];
        QVERIFY(e.sine == a[1] && e.cosine == a[2]);
        QVERIFY(!std::signbit(e.sine == 0 ? e.sine : e.cosine));
    }
    // Every entry close to the exact values, six decimals.
    for (int d = 0; d < 360; ++d) {
        QVERIFY2(std::fabs(t[d].sine - exactSine(d)) < 0.0000065, qPrintable(QString::number(d)));
        QVERIFY2(std::fabs(t[d].cosine - exactSine(d + 90)) < 0.0000065, qPrintable(QString::number(d)));
        QCOMPARE(float(std::round(double(t[d].sine) * 1e6) / 1e6), t[d].sine);
        QCOMPARE(float(std::round(double(t[d].cosine) * 1e6) / 1e6), t[d].cosine);
    }
}

void tst_taxelGrid::resultantBranches_data()
{
    QTest::addColumn<QVector<float>>("forces");
    QTest::addColumn<QVector<int>>("bearings");
    QTest::addColumn<float>("magnitude");
    QTest::addColumn<float>("mean");
    QTest::addColumn<int>("direction");
    const int none = kNoDirection;
    QTest::newRow("no inputs") << QVector<float>{} << QVector<int>{} << 0.0f << 0.0f << none;
    QTest::newRow("all zero") << QVector<float>{0, 0, 0} << QVector<int>{270, 90, 180} << 0.0f << 0.0f << none;
    QTest::newRow("left and right equal") << QVector<float>{10, 10} << QVector<int>{270, 90} << 0.0f << 10.0f
                                          << none;
    QTest::newRow("above and below equal") << QVector<float>{5, 0, 5} << QVector<int>{0, 90, 180} << 0.0f
                                           << 10.0f / 3 << none;
    QTest::newRow("only up") << QVector<float>{20, 0} << QVector<int>{0, 90} << 20.0f << 10.0f << 0;
    QTest::newRow("only down") << QVector<float>{8} << QVector<int>{180} << 8.0f << 8.0f << 180;
    QTest::newRow("only right") << QVector<float>{4, 0} << QVector<int>{90, 270} << 4.0f << 2.0f << 90;
    QTest::newRow("only left") << QVector<float>{0, 6} << QVector<int>{90, 270} << 6.0f << 3.0f << 270;
    QTest::newRow("up and right: 63") << QVector<float>{10, 20} << QVector<int>{0, 90} << std::sqrt(500.0f)
                                      << 15.0f << 63;
    QTest::newRow("left and down: 207") << QVector<float>{10, 20} << QVector<int>{270, 180}
                                        << std::sqrt(500.0f) << 15.0f << 207;
    QTest::newRow("upper left alone reads 315") << QVector<float>{100} << QVector<int>{314} << 100.0f << 100.0f
                                                << 315;
    QTest::newRow("upper right alone") << QVector<float>{100} << QVector<int>{45} << 100.0f << 100.0f << 45;
    QTest::newRow("lower right alone") << QVector<float>{100} << QVector<int>{135} << 100.0f << 100.0f << 135;
    QTest::newRow("bearing past a turn wraps") << QVector<float>{3} << QVector<int>{450} << 3.0f << 3.0f << 90;
}

void tst_taxelGrid::resultantBranches()
{
    QFETCH(QVector<float>, forces);
    QFETCH(QVector<int>, bearings);
    QFETCH(float, magnitude);
    QFETCH(float, mean);
    QFETCH(int, direction);
    QVector<force_in_ts> in;
    for (int j = 0; j < forces.size(); ++j)
        in.append({forces[j], uint16_t(bearings[j])});
    ydds_out_ts out;
    out.magnitude = -1;
    out.mean = -1;
    out.direction = 7;
    YDDS_Process(in.data(), uint8_t(in.size()), kSinCosTable, &out);
    QVERIFY2(std::fabs(out.magnitude - magnitude) < 1e-4f, qPrintable(QString::number(out.magnitude)));
    QVERIFY2(std::fabs(out.mean - mean) < 1e-5f, qPrintable(QString::number(out.mean)));
    QCOMPARE(int(out.direction), direction);
}

void tst_taxelGrid::shortValueList()
{
    const QVector<sensor_ts> lists = neighbourLists(5, 5);
    // Value 0 alone on a 25-taxel grid: the missing 24 count as 0 and nothing past the list is read.
    const QVector<float> values{3};
    const cellState own = stateOf(values, 3, lists, 0, kSinCosTable);
    QCOMPARE(own.level, 50.0f);
    QCOMPARE(int(own.out.direction), int(kNoDirection));
    const cellState next = stateOf(values, 3, lists, 1, kSinCosTable);
    QCOMPARE(next.level, 10.0f);
    QCOMPARE(int(next.out.direction), 270);
    const cellState far = stateOf(values, 3, lists, 24, kSinCosTable);
    QCOMPARE(far.level, 0.0f);
    QCOMPARE(int(far.out.direction), int(kNoDirection));
    const cellState empty = stateOf({}, 3, lists, 12, kSinCosTable);
    QCOMPARE(empty.level, 0.0f);
    // A taxel the lists do not have gives nothing.
    QCOMPARE(int(stateOf(values, 3, lists, 25, kSinCosTable).out.direction), int(kNoDirection));

    // Full scale 0: loads are infinite or undefined, and no bearing comes of them.
    for (float fullScale : {0.0f, kNaN}) {
        for (int k : {0, 1, 5, 6}) {
            const cellState s = stateOf(values, fullScale, lists, k, kSinCosTable);
            QCOMPARE(int(s.out.direction), int(kNoDirection));
        }
    }
    force_in_ts in[] = {{kInf, 90}, {0, 0}};
    ydds_out_ts out;
    YDDS_Process(in, 2, kSinCosTable, &out);
    QCOMPARE(int(out.direction), int(kNoDirection));
    QCOMPARE(out.mean, kInf);
}

void tst_taxelGrid::cellPositions_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("cell");  // -1: none
    QTest::newRow("first") << 5 << 5 << 0 << 0;
    QTest::newRow("top right") << 5 << 5 << 4 << 4;
    QTest::newRow("second row") << 5 << 5 << 9 << 9;
    QTest::newRow("last") << 5 << 5 << 24 << 24;
    QTest::newRow("past the last") << 5 << 5 << 25 << -1;
    QTest::newRow("negative") << 5 << 5 << -1 << -1;
    QTest::newRow("3x4 row 2 column 1") << 3 << 4 << 9 << 9;
    QTest::newRow("1x3 past the row") << 1 << 3 << 3 << -1;
}

void tst_taxelGrid::cellPositions()
{
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(int, position);
    QFETCH(int, cell);
    sensorForm grid;
    grid.setRowColumnCount(uint8_t(rows), uint8_t(cols));
    class_ydds* found = cellAt(grid, position, cols);
    QCOMPARE(found, cell < 0 ? nullptr : grid.cells[cell]);
}

void tst_taxelGrid::writingACell()
{
    class_ydds cell;
    ydds_out_ts out;
    out.magnitude = 150;
    out.direction = 315;
    writeCell(cell, QColor(216, 61, 61), "3.00", out, 90);
    QCOMPARE(cell.brush.color(), QColor(216, 61, 61));
    QCOMPARE(cell.text(), QString("3.00"));
    QCOMPARE(int(cell.dir), 45);  // turned and brought back into a turn
    QCOMPARE(cell.ratio, 1.0f);   // capped

    out.magnitude = 25;
    out.direction = 10;
    writeCell(cell, QColor(240, 240, 240), QString(), out, 0);
    QCOMPARE(int(cell.dir), 10);
    QCOMPARE(cell.ratio, 0.25f);
    QCOMPARE(cell.text(), QString());

    // No direction: the arrow goes, the length factor stays.
    out.magnitude = 80;
    out.direction = kNoDirection;
    writeCell(cell, QColor(227, 146, 146), "1.00", out, 90);
    QCOMPARE(int(cell.dir), int(kNoDirection));
    QCOMPARE(cell.ratio, 0.25f);
    QCOMPARE(cell.brush.color(), QColor(227, 146, 146));
}

TACTILE_TEST_MAIN(tst_taxelGrid)
#include "tst_taxelGrid.moc"
