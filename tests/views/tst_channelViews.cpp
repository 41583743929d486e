// The channel-list views: view 2's rows, touch colours, arrow and bar, the relays of its channel
// rows' controls; view 18's arrows and bar without rows.

#include "testMain.h"

#include "catalogueFrames.h"
#include "class_finger.h"
#include "dataForm.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "viewProbe.h"
#include "ydds.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <functional>
#include <limits>

namespace {

constexpr int kNone = 0xFFFF;

using viewProbe::View;

QList<dataForm*> rowsOf(const class_finger& ff) { return ff.widget->findChildren<dataForm*>(); }

QStringList rowTexts(const class_finger& ff)
{
    QStringList out;
    for (const dataForm* row : rowsOf(ff))
        out << row->dataLabel()->text();
    return out;
}

// The twelve row texts of view 2 with some rows changed.
QStringList rowsWith(std::initializer_list<std::pair<int, const char*>> changed)
{
    QStringList rows;
    for (int i = 0; i < 12; ++i)
        rows << "0";
    for (const auto& c : changed)
        rows[c.first] = c.second;
    return rows;
}

using Call = std::function<void(class_finger&)>;

}  // namespace

Q_DECLARE_METATYPE(Call)

class tst_channelViews : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<uint8_t>("uint8_t"); }
    void listView();
    void listCalls_data();
    void listCalls();
    void relays();
    void framesFillTheRows();
    void viewWithoutRows();

private:
    QWidget panel;
};

void tst_channelViews::listView()
{
    View made(2, &panel);
    class_finger* view = made.ff;
    QVERIFY(view);
    QWidget* w = view->widget;
    QCOMPARE(QString(w->metaObject()->className()), QString("fingerForm_2"));
    QCOMPARE(int(view->fingerParam->prg), 2);

    // Twelve rows in the data page, only the channel rows with their controls.
    QStringList names;
    const QList<dataForm*> rows = rowsOf(*view);
    for (int i = 0; i < rows.size(); ++i) {
        names << rows[i]->findChild<QLabel*>("lbIdx")->text();
        QCOMPARE(int(rows[i]->idx), i);
        QCOMPARE(rows[i]->parentWidget()->objectName(), QString("sawgDataList"));
        const bool channel = i < 8;
        QCOMPARE(rows[i]->findChild<QPushButton*>("pbtnReset")->isHidden(), !channel);
        QCOMPARE(rows[i]->findChild<QCheckBox*>("chkpbEnable")->isHidden(), !channel);
    }
    QCOMPARE(names, QStringList({"通道0", "通道1", "通道2", "通道3", "通道4", "通道5", "通道6", "通道7", "法向力0",
                                 "切向力0", "方向0", "自电容接近0"}));

    // No picture in the resources: the picture page goes and the arrow page shows.
    auto* tabs = w->findChild<QTabWidget*>("tabWidget");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QString("三维力"));
    QCOMPARE(tabs->tabText(1), QString("数据"));
    QCOMPARE(tabs->currentIndex(), 0);
    QProgressBar* bar = forceRules::findBar(*w, forceRules::kSelfBarPrefix, 1);
    QCOMPARE(bar->maximum(), 300000);
    QCOMPARE(bar->value(), 24);
}

void tst_channelViews::listCalls_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("firstRowStyle");
    QTest::addColumn<QColor>("colour");  // label_1
    QTest::addColumn<int>("dir");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("log");

    const QColor white(Qt::white);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("channel value") << Call([](class_finger& f) { f.setData(3, 1234); }) << rowsWith({{3, "1234"}})
                                   << "" << white << kNone << 0.0f << 24 << "";
    QTest::newRow("value unsigned") << Call([](class_finger& f) { f.setData(7, 0xFFFFFFFFu); })
                                    << rowsWith({{7, "4294967295"}}) << "" << white << kNone << 0.0f << 24 << "";
    QTest::newRow("channel without a row") << Call([](class_finger& f) { f.setData(12, 5); }) << rowsWith({}) << ""
                                           << white << kNone << 0.0f << 24 << "list len:12";
    QTest::newRow("touched") << Call([](class_finger& f) { f.setTouchState(0, true); }) << rowsWith({})
                             << "color: rgb(255, 0, 0);" << white << kNone << 0.0f << 24 << "";
    QTest::newRow("touched, then released") << Call([](class_finger& f) {
        f.setTouchState(0, true);
        f.setTouchState(0, false);
    }) << rowsWith({}) << "color: rgb(0, 0, 0);"
                                            << white << kNone << 0.0f << 24 << "";
    QTest::newRow("touch without a row") << Call([](class_finger& f) { f.setTouchState(12, true); }) << rowsWith({})
                                         << "" << white << kNone << 0.0f << 24 << "";
    QTest::newRow("point") << Call([](class_finger& f) { f.setYdds(0, 3.14159f, 0.5f, 90); })
                           << rowsWith({{8, "3.14"}, {9, "0.50"}, {10, "90"}}) << "" << QColor(255, 165, 165) << 90
                           << 0.025f << 24 << "";
    QTest::newRow("direction 400: shown, no arrow")
        << Call([](class_finger& f) { f.setYdds(0, 3.14159f, 0.5f, 400); })
        << rowsWith({{8, "3.14"}, {9, "0.50"}, {10, "400"}}) << "" << QColor(255, 165, 165) << kNone << 0.025f << 24
        << "";
    QTest::newRow("no tangential force: shown, no arrow") << Call([](class_finger& f) { f.setYdds(0, 5, 0, 90); })
                                                          << rowsWith({{8, "5.00"}, {9, "0.00"}, {10, "90"}}) << ""
                                                          << QColor(255, 140, 140) << kNone << 0.0f << 24 << "";
    QTest::newRow("forces as sent: not a number, infinite")
        << Call([nan, inf](class_finger& f) { f.setYdds(0, nan, inf, 45); })
        << rowsWith({{8, "nan"}, {9, "inf"}, {10, "45"}}) << "" << QColor(139, 9, 9) << 45 << 1.0f << 24 << "";
    QTest::newRow("second point has no rows") << Call([](class_finger& f) { f.setYdds(1, 5, 5, 90); })
                                              << rowsWith({}) << "" << white << kNone << 0.0f << 24 << "";
    QTest::newRow("largest reading") << Call([](class_finger& f) { f.setSProx(0, 16777215); })
                                     << rowsWith({{11, "16777215"}}) << "" << white << kNone << 0.0f << 300000 << "";
    QTest::newRow("proximity") << Call([](class_finger& f) { f.setSProx(0, 1000); }) << rowsWith({{11, "1000"}})
                               << "" << white << kNone << 0.0f << 1000 << "";
    QTest::newRow("second proximity has no row") << Call([](class_finger& f) { f.setSProx(1, 7); })
                                                 << rowsWith({}) << "" << white << kNone << 0.0f << 24 << "";
    QTest::newRow("show-data changes nothing") << Call([](class_finger& f) {
        f.setShowData(true);
        f.setYdds(0, 1, 2, 3);
    }) << rowsWith({{8, "1.00"}, {9, "2.00"}, {10, "3"}})
                                               << "" << QColor(255, 165, 165) << 3 << 0.1f << 24 << "";
}

void tst_channelViews::listCalls()
{
    QFETCH(Call, call);
    QFETCH(QStringList, rows);
    QFETCH(QString, firstRowStyle);
    QFETCH(QColor, colour);
    QFETCH(int, dir);
    QFETCH(float, ratio);
    QFETCH(int, bar);
    QFETCH(QString, log);

    View made(2, &panel);
    class_finger* view = made.ff;
    if (!log.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable(log));
    call(*view);
    QCOMPARE(rowTexts(*view), rows);
    QCOMPARE(rowsOf(*view).first()->dataLabel()->styleSheet(), firstRowStyle);
    const ydds* gauge = forceRules::findPointLabel(*view->widget, 1);
    QCOMPARE(gauge->brush.color(), colour);
    QCOMPARE(int(gauge->dir), dir);
    QCOMPARE(gauge->ratio, ratio);
    QCOMPARE(gauge->text(), QString());  // the rows show the values
    QCOMPARE(gauge->alignment(), Qt::AlignCenter);
    QCOMPARE(forceRules::findBar(*view->widget, forceRules::kSelfBarPrefix, 1)->value(), bar);
}

void tst_channelViews::relays()
{
    View made(2, &panel);
    class_finger* view = made.ff;
    QSignalSpy resets(&view->fingerSignals, &class_fingerSignals::si_channelReset);
    QSignalSpy enables(&view->fingerSignals, &class_fingerSignals::si_channelEn);
    const QList<dataForm*> rows = rowsOf(*view);

    auto* reset = rows[5]->findChild<QPushButton*>("pbtnReset");
    reset->click();
    reset->click();
    QCOMPARE(resets.size(), 2);
    for (const QList<QVariant>& r : resets)
        QCOMPARE(r.at(0).value<uint8_t>(), uint8_t(5));

    auto* enable = rows[5]->findChild<QCheckBox*>("chkpbEnable");
    QVERIFY(enable->isChecked());  // rows start enabled: cleared, ticked, cleared
    enable->click();
    enable->click();
    enable->click();
    QCOMPARE(enables.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(enables.at(i).at(0).value<uint8_t>(), uint8_t(5));
        QCOMPARE(enables.at(i).at(1).toBool(), i == 1);
    }

    // The value rows' controls are hidden and relay nothing even when pressed.
    for (int i = 8; i < rows.size(); ++i) {
        rows[i]->findChild<QPushButton*>("pbtnReset")->click();
        rows[i]->findChild<QCheckBox*>("chkpbEnable")->click();
    }
    QCOMPARE(resets.size(), 2);
    QCOMPARE(enables.size(), 3);
    QCOMPARE(rowTexts(*view), rowsWith({}));  // and change nothing in the view
}

void tst_channelViews::framesFillTheRows()
{
    View made(2, &panel);
    class_finger* view = made.ff;
    sim::FrameValues v = catalogueFrames::sampleValues(*view->fingerParam);
    v.channels = {5, 6, 7, 8, 9, 10, 11, 0x80000001u};
    v.points = {{2.5f, 10.0f, 180}};
    v.sProx = {123456};
    QCOMPARE(view->parseData(catalogueFrames::frameFor(2, v)), int(class_finger::Decoded));
    // Raw values unsigned, as received; odd values touched.
    QCOMPARE(rowTexts(*view), QStringList({"5", "6", "7", "8", "9", "10", "11", "2147483649", "2.50", "10.00", "180",
                                           "123456"}));
    const QList<dataForm*> rows = rowsOf(*view);
    QCOMPARE(rows[0]->dataLabel()->styleSheet(), QString("color: rgb(255, 0, 0);"));
    QCOMPARE(rows[1]->dataLabel()->styleSheet(), QString("color: rgb(0, 0, 0);"));
    const ydds* gauge = forceRules::findPointLabel(*view->widget, 1);
    QCOMPARE(gauge->brush.color(), QColor(255, 165, 165));
    QCOMPARE(int(gauge->dir), 180);
    QCOMPARE(gauge->ratio, 0.5f);
    QCOMPARE(forceRules::findBar(*view->widget, forceRules::kSelfBarPrefix, 1)->value(), 123456);
}

void tst_channelViews::viewWithoutRows()
{
    View made(18, &panel);
    class_finger* view = made.ff;
    QVERIFY(view);
    QWidget* w = view->widget;
    QCOMPARE(QString(w->metaObject()->className()), QString("fingerForm_18"));
    QVERIFY(rowsOf(*view).isEmpty());
    auto* tabs = w->findChild<QTabWidget*>("tabWidget");
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->currentIndex(), 0);
    ydds* first = forceRules::findPointLabel(*w, 1);
    ydds* second = forceRules::findPointLabel(*w, 2);
    QProgressBar* bar = forceRules::findBar(*w, forceRules::kSelfBarPrefix, 1);
    QVERIFY(first && second && bar);
    QCOMPARE(bar->maximum(), 300000);
    view->setShowData(true);  // no switch reaches its texts

    sim::FrameValues v = catalogueFrames::sampleValues(*view->fingerParam);
    v.points = {{5, 10, 90}, {25, 30, 45}};
    v.sProx = {400000};
    QCOMPARE(view->parseData(catalogueFrames::frameFor(18, v)), int(class_finger::Decoded));
    QCOMPARE(first->brush.color(), QColor(255, 140, 140));
    QCOMPARE(int(first->dir), 90);
    QCOMPARE(first->ratio, 0.5f);
    QCOMPARE(first->text(), QString());
    QCOMPARE(first->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(second->brush.color(), QColor(139, 9, 9));
    QCOMPARE(int(second->dir), 45);
    QCOMPARE(second->ratio, 1.0f);
    QCOMPARE(bar->value(), 300000);

    // The next frame moves them.
    v.points = {{0.5f, 0, 0}, {10, 5, 400}};
    v.sProx = {1000};
    QCOMPARE(view->parseData(catalogueFrames::frameFor(18, v, 2)), int(class_finger::Decoded));
    QCOMPARE(first->brush.color(), QColor(240, 240, 240));
    QCOMPARE(int(first->dir), kNone);
    QCOMPARE(second->brush.color(), QColor(255, 69, 0));
    QCOMPARE(int(second->dir), kNone);
    QCOMPARE(second->ratio, 0.25f);
    QCOMPARE(bar->value(), 1000);
    QVERIFY(rowsOf(*view).isEmpty());

    // Its channel setters change nothing; a point without a label is logged.
    view->setData(0, 77);
    view->setTouchState(0, true);
    QTest::ignoreMessage(QtDebugMsg, "not found lb:3");
    view->setYdds(2, 5, 5, 5);
    view->setMProx(0, 5);
    QCOMPARE(bar->value(), 1000);
}

TACTILE_TEST_MAIN(tst_channelViews)
#include "tst_channelViews.moc"
