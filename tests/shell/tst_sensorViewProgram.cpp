// The whole program on the demo bus: the main window built as the program builds it, its sensor
// view listing the demo bridges, showing their sensors, and going through tab changes and shutdown.

#include "Widget.h"
#include "fingerForm.h"
#include "fingerThread.h"
#include "orvalisForm.h"
#include "simBus.h"
#include "simulatedBus.h"
#include "testMain.h"
#include "ui_Widget.h"
#include "ui_orvalisForm.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QTreeWidget>

namespace {

constexpr int kListedMs = 5000;
// Every sensor of a bridge found and shown: a registration costs a few hundred ms.
constexpr int kShownMs = 30000;
// A worker for the new link, the link change's 500 ms wait after.
constexpr int kRestartedMs = 10000;
// The demo as its users are told of it: five sensors behind its CH341 bridge, four behind the CH347.
constexpr int kCh341Sensors = 5;
constexpr int kCh347Sensors = 4;

struct Seen {
    QStringList labels;
    QStringList windows;
};

Seen seen(orvalisForm* view)
{
    Seen s;
    for (int ch = 0; ch < view->tree->topLevelItemCount(); ++ch) {
        QTreeWidgetItem* top = view->tree->topLevelItem(ch);
        for (int i = 0; i < top->childCount(); ++i)
            s.labels << top->child(i)->text(0);
    }
    for (QMdiSubWindow* sub : view->mdiArea->subWindowList(QMdiArea::CreationOrder))
        s.windows << sub->objectName();
    return s;
}

}  // namespace

class TestSensorViewProgram : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void demoSensorsShownOnBothLinks();

private:
    // Connects the listed bridge and waits until it shows that many sensors.
    void connectAndShow(orvalisForm* view, int sensors, Seen* shown);
    int demoSensors = 0;
};

void TestSensorViewProgram::initTestCase()
{
    // How many sensors the demo holds, from a world of its own (the resolvers stay registered).
    qunsetenv("TACTILE_SIM_BUS");
    installSimulatedBusFromEnvironment();
    demoSensors = installSimulatedBus("demo");
    QCOMPARE(demoSensors, kCh341Sensors + kCh347Sensors);
    sim::reset();
    // What the program does at its start.
    qputenv("TACTILE_SIM_BUS", "demo");
    installSimulatedBusFromEnvironment();
}

void TestSensorViewProgram::connectAndShow(orvalisForm* view, int sensors, Seen* shown)
{
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, kListedMs);
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->pbtnCh341Connect->text(), QString("断开"), kListedMs);
    QTRY_COMPARE_WITH_TIMEOUT(seen(view).labels.size(), sensors, kShownMs);
    *shown = seen(view);
}

void TestSensorViewProgram::demoSensorsShownOnBothLinks()
{
    auto window = std::make_unique<Widget>();
    window->show();
    orvalisForm* view = window->ui->wgOrvalis;
    // The constructor's tab change already started the sensor view.
    QVERIFY(view->worker);
    QCOMPARE(view->ui->cbbSensorInf->currentText(), QString("ch341"));

    Seen ch341;
    TACTILE_STEP(connectAndShow(view, kCh341Sensors, &ch341));
    const QRegularExpression label("^(\\d)/0x([0-9A-F]{2})/VX-\\d+$");
    for (const QString& text : ch341.labels) {
        const QRegularExpressionMatch m = label.match(text);
        QVERIFY2(m.hasMatch(), qPrintable(text));
        QVERIFY(ch341.windows.contains(m.captured(1) + "-0x" + m.captured(2)));
    }
    QCOMPARE(ch341.windows.size(), ch341.labels.size());
    QCOMPARE(view->findChildren<fingerForm*>().size(), ch341.labels.size());

    // Leaving the tab stops the bus; coming back starts a new worker, which lists again.
    window->ui->tabWidget->setCurrentIndex(1);
    QVERIFY(!view->worker);
    QTRY_VERIFY(seen(view).labels.isEmpty());
    window->ui->tabWidget->setCurrentIndex(0);
    QVERIFY(view->worker);

    // The other bridge of the demo.
    view->ui->cbbSensorInf->setCurrentIndex(2);
    QTRY_VERIFY(seen(view).labels.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(view->worker, kRestartedMs);
    Seen ch347;
    TACTILE_STEP(connectAndShow(view, kCh347Sensors, &ch347));
    QCOMPARE(ch347.windows.size(), ch347.labels.size());
    QCOMPARE(ch341.labels.size() + ch347.labels.size(), demoSensors);

    // Shutdown with sensors shown: the worker is joined before the panels go.
    window.reset();
}

TACTILE_TEST_MAIN(TestSensorViewProgram)
#include "tst_sensorViewProgram.moc"
