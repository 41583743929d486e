// The small widgets the views and the panel build on: the taxel grid sensorForm and the value row
// dataForm.

#include "dataForm.h"
#include "sensorForm.h"
#include "testMain.h"
#include "ydds.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>

namespace {

struct Placement {
    int cell;
    int row;
    int column;
};

QPoint positionOf(const sensorForm& form, QWidget* cell)
{
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
    const int index = form.gridLayout->indexOf(cell);
    if (index >= 0)
        form.gridLayout->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return QPoint(column, row);
}

template <class T>
T* child(QWidget& w, const char* name)
{
    return w.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

Q_DECLARE_METATYPE(QVector<Placement>)

class TestSensorForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<uint8_t>("uint8_t"); }  // the signals' argument type name
    void gridForm();
    void cellPlacement_data();
    void cellPlacement();
    void sameCellCountKeepsCells();
    void otherCellCountReplacesCells();

    void rowForm();
    void rowKinds_data();
    void rowKinds();
    void rowSignals();
    void rowInEnglish();
};

void TestSensorForm::gridForm()
{
    sensorForm form;
    QCOMPARE(form.objectName(), QString("sensorForm"));
    QCOMPARE(form.size(), QSize(749, 503));
    QCOMPARE(form.windowTitle(), QString("Form"));
    QVERIFY(form.gridLayout_2);
    QCOMPARE(form.layout(), form.gridLayout_2);
    QCOMPARE(form.gridLayout_2->objectName(), QString("gridLayout_2"));
    QCOMPARE(form.gridLayout->objectName(), QString("gridLayout"));
    QCOMPARE(form.gridLayout_2->itemAtPosition(0, 0)->layout(), form.gridLayout);
    QCOMPARE(int(form.rows), 0);
    QCOMPARE(int(form.cols), 0);
    QVERIFY(form.cells.isEmpty());

    sensorForm named;
    named.setObjectName("wgSensor");  // as a form names it; the constructor keeps a name it was given
    QCOMPARE(named.objectName(), QString("wgSensor"));
}

void TestSensorForm::cellPlacement_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<QVector<Placement>>("placements");
    QTest::newRow("5 x 5") << 5 << 5 << QVector<Placement>{{0, 0, 0}, {4, 0, 4}, {5, 1, 0}, {6, 1, 1}, {24, 4, 4}};
    QTest::newRow("3 x 4") << 3 << 4 << QVector<Placement>{{3, 0, 3}, {4, 1, 0}, {5, 1, 1}, {11, 2, 3}};
    QTest::newRow("1 x 3: one row") << 1 << 3 << QVector<Placement>{{0, 0, 0}, {1, 0, 1}, {2, 0, 2}};
    QTest::newRow("3 x 3") << 3 << 3 << QVector<Placement>{{2, 0, 2}, {3, 1, 0}, {8, 2, 2}};
    QTest::newRow("0 columns: no cell") << 3 << 0 << QVector<Placement>();
}

void TestSensorForm::cellPlacement()
{
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(QVector<Placement>, placements);
    sensorForm form;
    form.setRowColumnCount(uint8_t(rows), uint8_t(cols));
    QCOMPARE(int(form.rows), rows);
    QCOMPARE(int(form.cols), cols);
    QCOMPARE(form.cells.size(), rows * cols);
    QCOMPARE(form.gridLayout->count(), rows * cols);
    for (class_ydds* cell : form.cells) {
        QCOMPARE(cell->parentWidget(), &form);
        QCOMPARE(cell->dir, uint16_t(0xFFFF));
    }
    for (const Placement& p : placements)
        QCOMPARE(positionOf(form, form.cells[p.cell]), QPoint(p.column, p.row));
}

void TestSensorForm::sameCellCountKeepsCells()
{
    sensorForm form;
    form.setRowColumnCount(3, 4);
    const QList<class_ydds*> before = form.cells;
    form.setRowColumnCount(4, 3);
    QCOMPARE(int(form.rows), 4);
    QCOMPARE(int(form.cols), 3);
    QCOMPARE(form.cells, before);
    QCOMPARE(positionOf(form, form.cells[5]), QPoint(1, 1));  // placed by the first call
}

void TestSensorForm::otherCellCountReplacesCells()
{
    sensorForm form;
    form.setRowColumnCount(5, 5);
    const QPointer<class_ydds> old = form.cells[6];
    form.setRowColumnCount(1, 3);
    QCOMPARE(form.cells.size(), 3);
    QVERIFY(!old);  // no cell of the old grid stays on screen under the new one
    QCOMPARE(form.gridLayout->count(), 3);
    QCOMPARE(positionOf(form, form.cells[2]), QPoint(2, 0));
    QCOMPARE(form.findChildren<class_ydds*>().size(), 3);
}

void TestSensorForm::rowForm()
{
    dataForm row(3, "通道3", dataForm::kChannelRow);
    QCOMPARE(row.objectName(), QString("dataForm"));
    QCOMPARE(row.size(), QSize(248, 24));
    QCOMPARE(row.font().pointSize(), 12);
    QCOMPARE(row.styleSheet(), QString("QWidget#dataForm{\n\tborder:1px solid black;\n}"));
    QCOMPARE(row.windowTitle(), QString("Form"));
    QCOMPARE(int(row.idx), 3);

    auto* layout = qobject_cast<QHBoxLayout*>(row.layout());
    QVERIFY(layout);
    QCOMPARE(layout->objectName(), QString("horizontalLayout"));
    QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    auto* lbIdx = child<QLabel>(row, "lbIdx");
    auto* lbData = child<QLabel>(row, "lbData");
    auto* reset = child<QPushButton>(row, "pbtnReset");
    auto* enable = child<QCheckBox>(row, "chkpbEnable");
    QVERIFY(lbIdx && lbData && reset && enable);
    const QList<QWidget*> order{lbIdx, lbData, reset, enable};
    for (int i = 0; i < order.size(); ++i) {
        QCOMPARE(layout->itemAt(i)->widget(), order[i]);
        QCOMPARE(layout->stretch(i), i == 1 ? 1 : 0);
    }
    QCOMPARE(lbIdx->text(), QString("通道3"));
    QCOMPARE(lbIdx->minimumSize(), QSize(50, 0));
    QCOMPARE(lbIdx->alignment(), Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(lbData->text(), QString("0"));
    QCOMPARE(lbData->minimumSize(), QSize(50, 0));
    QCOMPARE(lbData->alignment(), Qt::Alignment(Qt::AlignCenter));
    QVERIFY(lbData->styleSheet().isEmpty());
    QCOMPARE(row.dataLabel(), lbData);
    QCOMPARE(reset->text(), QString("复位"));
    QCOMPARE(enable->text(), QString("使能"));
    QVERIFY(enable->isChecked());
}

void TestSensorForm::rowKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("buttons");
    QTest::newRow("0: channel row") << 0 << true;
    QTest::newRow("1: value row") << 1 << false;
    QTest::newRow("any other kind: value row") << 7 << false;
}

void TestSensorForm::rowKinds()
{
    QFETCH(int, kind);
    QFETCH(bool, buttons);
    QWidget holder;
    auto* row = new dataForm(0, "x", uint8_t(kind), &holder);
    holder.show();
    QCOMPARE(child<QPushButton>(*row, "pbtnReset")->isVisible(), buttons);
    QCOMPARE(child<QCheckBox>(*row, "chkpbEnable")->isVisible(), buttons);
    QVERIFY(child<QLabel>(*row, "lbData")->isVisible());
}

void TestSensorForm::rowSignals()
{
    dataForm row(5, "通道5", dataForm::kChannelRow);
    QSignalSpy resets(&row, &dataForm::si_reset);
    QSignalSpy enables(&row, &dataForm::si_en);
    auto* enable = child<QCheckBox>(row, "chkpbEnable");

    child<QPushButton>(row, "pbtnReset")->click();
    enable->click();  // off
    enable->click();  // on again
    enable->setChecked(false);  // a change from code counts as well

    QCOMPARE(resets.count(), 1);
    QCOMPARE(resets.at(0).at(0).value<uint8_t>(), uint8_t(5));
    QCOMPARE(enables.count(), 3);
    const QVector<bool> states{false, true, false};
    for (int i = 0; i < enables.count(); ++i) {
        QCOMPARE(enables.at(i).at(0).value<uint8_t>(), uint8_t(5));
        QCOMPARE(enables.at(i).at(1).toBool(), states[i]);
    }
}

void TestSensorForm::rowInEnglish()
{
    QTranslator english;
    QVERIFY(english.load(":/en.qm"));
    QCoreApplication::installTranslator(&english);
    dataForm row(0, "Ch0", dataForm::kChannelRow);
    QCOMPARE(child<QPushButton>(row, "pbtnReset")->text(), QString("Reset"));
    QCOMPARE(child<QCheckBox>(row, "chkpbEnable")->text(), QString("Enable"));
    QCOMPARE(QCoreApplication::translate("dataForm", "通道"), QString("Ch"));
    QCoreApplication::removeTranslator(&english);
}

TACTILE_TEST_MAIN(TestSensorForm)
#include "tst_sensorForm.moc"
