// The whole road of a taxel-array and a channel-list sensor: simulated sensors on the simulated bus
// are found by the sensor view, get their panel with the view of their type, and their moving values
// reach the grid's cells and the view's rows.

#include "testMain.h"

#include "class_finger.h"
#include "dataForm.h"
#include "fingerForm.h"
#include "forceRules.h"
#include "sensorForm.h"
#include "sensorViewFixture.h"
#include "taxelGrid.h"
#include "ydds.h"

#include <QLabel>

namespace {

constexpr int kFoundMs = SensorViewFixture::kFoundMs;
// The simulated press cycle lasts a few seconds; a value moves well within one.
constexpr int kMovesMs = 8000;

constexpr int kGridChannel = 0;
constexpr uint8_t kGridAddr = 0x61;
constexpr int kListChannel = 1;
constexpr uint8_t kListAddr = 0x62;

struct Cell {
    QRgb colour;
    uint16_t dir;
    float ratio;
    bool operator==(const Cell& o) const { return colour == o.colour && dir == o.dir && ratio == o.ratio; }
};

QVector<Cell> cellsOf(const sensorForm& grid)
{
    QVector<Cell> out;
    for (const class_ydds* c : grid.cells)
        out.append({c->brush.color().rgba(), c->dir, c->ratio});
    return out;
}

// What view 81's cells must show for the loads the panel's decoder read last (raw values of the
// pressure channels, milli-newtons, 1 and below none).
QVector<Cell> expectedCells(const class_finger& ff, const sensorForm& grid)
{
    QVector<float> loads;
    for (int i = 0; i < ff.fingerParam->pressNum; ++i) {
        const int raw = ff.chDataList.value(i).toInt();
        loads.append(raw > 1 ? raw / 1000.0f : 0.0f);
    }
    const QVector<taxelGrid::sensor_ts> taxels = taxelGrid::neighbourLists(grid.rows, grid.cols);
    QVector<Cell> out = cellsOf(grid);  // a cell without a direction keeps its length
    for (int k = 0; k < out.size(); ++k) {
        const taxelGrid::cellState s =
            taxelGrid::stateOf(loads, ff.fingerParam->pressMax, taxels, k, taxelGrid::kSinCosTable);
        out[k].colour = forceRules::pressureColour(s.level).rgba();
        out[k].dir = s.out.direction;
        if (s.out.direction < 360)
            out[k].ratio = std::min(s.out.magnitude / 100.0f, 1.0f);
    }
    return out;
}

QStringList rowTexts(const class_finger& ff)
{
    QStringList out;
    for (const dataForm* row : ff.widget->findChildren<dataForm*>())
        out << row->dataLabel()->text();
    return out;
}

// View 2's rows for the values the decoder read last: raw values unsigned, then the point, then
// the proximity value.
QStringList expectedRows(const class_finger& ff)
{
    QStringList out;
    for (const QString& raw : ff.chDataList)
        out << QString::number(uint32_t(raw.toLongLong()));
    for (const class_finger::ydds_str_ts& p : ff.yddsList)
        out << p.normal << p.tangential << p.direction;
    for (const QString& prox : ff.sProxList)
        out << prox;
    return out;
}

}  // namespace

class tst_taxelRoad : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        WarningRecorder::clear();
        bus.open(QSize(1200, 800));
    }
    void cleanup()
    {
        bus.close();
        QVERIFY(WarningRecorder::warnings().isEmpty());
    }
    void sensorsReachCellsAndRows();

private:
    SensorViewFixture bus;
};

void tst_taxelRoad::sensorsReachCellsAndRows()
{
    QVERIFY(bus.addSensor(kGridChannel, kGridAddr, 82) >= 0);
    QVERIFY(bus.addSensor(kListChannel, kListAddr, 2) >= 0);
    // The panel behind the one in front waits for the screen: the checks show both panels' latest
    // frames first.
    bus.startAndConnect();

    // Type 82 is shown by view 81 and decoded with its own record.
    class_finger* grid = bus.waitForView(kGridChannel, kGridAddr);
    QVERIFY(grid);
    QCOMPARE(QString(grid->widget->metaObject()->className()), QString("fingerForm_81"));
    QCOMPARE(int(grid->fingerParam->prg), 82);
    const auto* cells = grid->widget->findChild<sensorForm*>("wgSensor");
    QVERIFY(cells);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && cells->cells.first()->brush.color() != QColor(Qt::white), kFoundMs);
    // Every cell shows what the rule gives for the loads read last.
    bus.showAllFrames();
    QVERIFY(cellsOf(*cells) == expectedCells(*grid, *cells));
    const QVector<Cell> first = cellsOf(*cells);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && !(cellsOf(*cells) == first), kMovesMs);
    bus.showAllFrames();
    QVERIFY(cellsOf(*cells) == expectedCells(*grid, *cells));

    // Type 2: the view's own rows follow each frame, apart from the panel's.
    class_finger* list = bus.waitForView(kListChannel, kListAddr);
    QVERIFY(list);
    QCOMPARE(QString(list->widget->metaObject()->className()), QString("fingerForm_2"));
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && !list->chDataList.isEmpty(), kFoundMs);
    bus.showAllFrames();
    QCOMPARE(rowTexts(*list), expectedRows(*list));
    const QStringList firstRows = rowTexts(*list);
    QTRY_VERIFY_WITH_TIMEOUT(bus.showCoveredFrames() && rowTexts(*list) != firstRows, kMovesMs);
    bus.showAllFrames();
    QCOMPARE(rowTexts(*list), expectedRows(*list));
    const fingerForm* panel = bus.panel(kListChannel, kListAddr);
    QCOMPARE(panel->dataFormList.size(), 12);
    for (const dataForm* row : panel->dataFormList)
        QVERIFY(!list->widget->isAncestorOf(row));
}

TACTILE_TEST_MAIN(tst_taxelRoad)
#include "tst_taxelRoad.moc"
