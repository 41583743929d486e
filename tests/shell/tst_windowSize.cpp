// The size the main window opens at: the whole tool row without a scroll bar, combo texts whole,
// each panel's model view at least at its minimum size, within the screen; and the size staying
// as it was when the multi-window display is switched either way.

#include "Widget.h"
#include "fingerForm.h"
#include "orvalisForm.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_Widget.h"
#include "ui_orvalisForm.h"
#include "warningRecorder.h"
#include "workerHarness.h"

#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QScrollBar>
#include <QTranslator>

namespace {

// Every sensor found and given its panel; only a hang runs out of this.
constexpr int kShownMs = 30000;
const QSize kLargeScreen(2560, 1440);
// Views with the tallest and the widest forms among the force views.
constexpr uint8_t kTypes[] = {17, 21, 45, 59};

QString describe(const QWidget* w)
{
    return QString("%1 %2x%3").arg(w->objectName()).arg(w->width()).arg(w->height());
}

}  // namespace

class TestWindowSize : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void opensWithinTheScreen_data();
    void opensWithinTheScreen();
    void opensToFitItsContents_data();
    void opensToFitItsContents();
    void multiWindowKeepsTheWindowSize_data();
    void multiWindowKeepsTheWindowSize();

private:
    // The window with a panel for each of kTypes, shown at the given size (empty: as it opens).
    void openWithPanels(const QSize& size);
    void verifyToolRowWhole();
    void verifyViewsUnsqueezed();

    std::unique_ptr<Widget> window;
    orvalisForm* view = nullptr;
    QTranslator english;
};

void TestWindowSize::init()
{
    WarningRecorder::clear();
    const int bridge = workerWorld::freshBridge();
    for (int i = 0; i < int(std::size(kTypes)); ++i)
        QVERIFY(workerWorld::addSensor(bridge, i, 0x61, kTypes[i]) >= 0);
}

void TestWindowSize::cleanup()
{
    window.reset();
    QCoreApplication::removeTranslator(&english);
    sim::reset();
}

void TestWindowSize::openWithPanels(const QSize& size)
{
    window = std::make_unique<Widget>();
    view = window->ui->wgOrvalis;
    if (size.isValid())
        window->resize(size);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // Sizing the window builds every view once, those without a catalogue record too: silently.
    QCOMPARE(WarningRecorder::warnings(), (QVector<QPair<QString, QString>>{}));
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, 5000);
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->mdiArea->subWindowList().size(), int(std::size(kTypes)), kShownMs);
    for (QMdiSubWindow* sub : view->mdiArea->subWindowList())
        QTRY_VERIFY(qobject_cast<fingerForm*>(sub->widget())->ff);
}

void TestWindowSize::verifyToolRowWhole()
{
    QScrollArea* row = view->ui->scrollArea;
    QVERIFY(!row->horizontalScrollBar()->isVisible());
    const QRect shown = row->viewport()->rect();
    for (QWidget* control : view->ui->scrollAreaWidgetContents->findChildren<QWidget*>()) {
        if (!control->isVisible())
            continue;
        const QRect at(control->mapTo(row->viewport(), QPoint(0, 0)), control->size());
        QVERIFY2(shown.contains(at), qPrintable(describe(control)));
    }
    for (QComboBox* box : view->ui->scrollAreaWidgetContents->findChildren<QComboBox*>())
        QVERIFY2(box->width() >= box->sizeHint().width(), qPrintable(describe(box)));
}

void TestWindowSize::verifyViewsUnsqueezed()
{
    for (QMdiSubWindow* sub : view->mdiArea->subWindowList()) {
        view->mdiArea->setActiveSubWindow(sub);
        QWidget* picture = qobject_cast<fingerForm*>(sub->widget())->ff->widget;
        const QSize least = picture->minimumSizeHint();
        QTRY_VERIFY2(picture->isVisible() && picture->width() >= least.width() && picture->height() >= least.height(),
                     qPrintable(QString("%1 view %2x%3, needs %4x%5")
                                    .arg(sub->objectName())
                                    .arg(picture->width())
                                    .arg(picture->height())
                                    .arg(least.width())
                                    .arg(least.height())));
    }
}

void TestWindowSize::opensWithinTheScreen_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("least");
    QTest::newRow("large screen") << kLargeScreen << QSize(800, 600);
    QTest::newRow("small screen") << QSize(1024, 600) << QSize(800, 600);
    QTest::newRow("smaller than 800 x 600") << QSize(640, 480) << QSize(640, 480);
}

void TestWindowSize::opensWithinTheScreen()
{
    QFETCH(QSize, available);
    QFETCH(QSize, least);
    Widget w;
    // As constructed, on the screen it opens on.
    const QSize screen = w.screen()->availableGeometry().size();
    QCOMPARE(w.size(), w.openingSize(screen));
    const QSize size = w.openingSize(available);
    QVERIFY2(size.width() <= available.width() && size.height() <= available.height(), qPrintable(describe(&w)));
    QVERIFY(size.width() >= least.width() && size.height() >= least.height());
}

void TestWindowSize::opensToFitItsContents_data()
{
    QTest::addColumn<bool>("inEnglish");
    QTest::newRow("Chinese") << false;
    QTest::newRow("English") << true;
}

void TestWindowSize::opensToFitItsContents()
{
    QFETCH(bool, inEnglish);
    if (inEnglish) {
        QVERIFY(english.load(":/en.qm"));
        QCoreApplication::installTranslator(&english);
    }
    // The offscreen screen is 800 x 600: open as on a large one.
    TACTILE_STEP(openWithPanels(Widget().openingSize(kLargeScreen)));
    QVERIFY(window->width() >= 800 && window->height() >= 600);
    // Connected, so the buttons name the other state now.
    QCOMPARE(view->ui->pbtnCh341Connect->text(), inEnglish ? QString("Disconnect") : QString("断开"));
    verifyToolRowWhole();
    verifyViewsUnsqueezed();
}

void TestWindowSize::multiWindowKeepsTheWindowSize_data()
{
    QTest::addColumn<bool>("large");
    QTest::newRow("as opened on this screen") << false;
    QTest::newRow("as opened on a large screen") << true;
}

void TestWindowSize::multiWindowKeepsTheWindowSize()
{
    QFETCH(bool, large);
    TACTILE_STEP(openWithPanels(large ? Widget().openingSize(kLargeScreen) : QSize()));
    const QSize opened = window->size();
    for (bool multi : {true, false, true, false}) {
        QTest::mouseClick(view->ui->chkbtnMdiMode, Qt::LeftButton);
        QCOMPARE(view->mdiArea->viewMode(), multi ? QMdiArea::SubWindowView : QMdiArea::TabbedView);
        QTest::qWait(50);  // layout requests are posted
        QCOMPARE(window->size(), opened);
    }
}

TACTILE_TEST_MAIN(TestWindowSize)
#include "tst_windowSize.moc"
