// What the taxel-array views look like on screen: which cell of view 55's turned grid carries a
// load, and where form 96 sets its boxes' contents.

#include "testMain.h"

#include "class_finger.h"
#include "sensorForm.h"
#include "viewFactory.h"
#include "ydds.h"

#include <QGroupBox>
#include <QImage>
#include <QProgressBar>
#include <QStyle>
#include <QTabWidget>
#include <memory>

namespace {

struct ViewDeleter {
    void operator()(class_finger* ff) const { delete ff->widget; }
};
using ViewPtr = std::unique_ptr<class_finger, ViewDeleter>;

// A view as its own window at its form's size, laid out and painted.
ViewPtr shownView(uint8_t cls)
{
    ViewPtr view(viewFactory::create(cls, nullptr));
    if (!view)
        return view;
    view->widget->show();
    if (!QTest::qWaitForWindowExposed(view->widget))
        return nullptr;
    return view;
}

QRect placeOf(const QWidget* w, const QWidget* view) { return QRect(w->mapTo(view, QPoint(0, 0)), w->size()); }

QImage grabbed(const class_finger& ff)
{
    QCoreApplication::processEvents();
    return ff.widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

const QColor kLoaded(216, 61, 61);  // own load at full scale, no load around
const QColor kUnloaded(240, 240, 240);

// The one cell whose centre shows the loaded colour; null when none or more than one does.
const class_ydds* loadedCell(const class_finger& ff, const sensorForm& grid)
{
    const QImage image = grabbed(ff);
    const class_ydds* found = nullptr;
    for (const class_ydds* c : grid.cells) {
        if (image.pixelColor(placeOf(c, ff.widget).center()) != kLoaded)
            continue;
        if (found)
            return nullptr;
        found = c;
    }
    return found;
}

}  // namespace

class tst_taxelPictures : public QObject {
    Q_OBJECT

private slots:
    void turnedGridOfView55();
    void marginsOfForm96();
};

void tst_taxelPictures::turnedGridOfView55()
{
    ViewPtr view = shownView(55);
    QVERIFY(view);
    const auto* grid = view->widget->findChild<sensorForm*>("wgSensor");
    QVERIFY(grid);
    QRect top = placeOf(grid->cells.first(), view->widget);
    for (const class_ydds* c : grid->cells)
        top = top.united(placeOf(c, view->widget));

    // Value 0 in the top right cell.
    QVector<float> values(25, 0.0f);
    values[0] = 3;
    view->setPressNList(values, 3);
    const class_ydds* cell = loadedCell(*view, *grid);
    QVERIFY(cell);
    QRect at = placeOf(cell, view->widget);
    QCOMPARE(at.top(), top.top());
    QCOMPARE(at.right(), top.right());

    // Value 20 alone in the top left cell; the top right one unloaded again.
    values[0] = 0;
    values[20] = 3;
    view->setPressNList(values, 3);
    const class_ydds* other = loadedCell(*view, *grid);
    QVERIFY(other);
    at = placeOf(other, view->widget);
    QCOMPARE(at.top(), top.top());
    QCOMPARE(at.left(), top.left());
    const QImage image = grabbed(*view);
    QCOMPARE(image.pixelColor(placeOf(cell, view->widget).center()), kUnloaded);

    // The cells share the grid evenly, five by five.
    const QSize first = grid->cells.first()->size();
    for (const class_ydds* c : grid->cells)
        QVERIFY(std::abs(c->width() - first.width()) <= 1 && std::abs(c->height() - first.height()) <= 1);
    QVERIFY(top.width() >= 5 * first.width());
    QVERIFY(top.height() >= 5 * first.height());
}

void tst_taxelPictures::marginsOfForm96()
{
    // Space above a box's contents: form 96 sets 17 and 20, form 55 keeps the style's.
    const auto spaceAbove = [](const class_finger& ff, const char* box, QWidget* inside) {
        const auto* b = ff.widget->findChild<QGroupBox*>(box);
        return inside->geometry().top() - b->contentsRect().top();
    };
    ViewPtr view = shownView(96);
    QVERIFY(view);
    QWidget* tabs = view->widget->findChild<QTabWidget*>("tabWidget");
    QWidget* bar = view->widget->findChild<QProgressBar*>("pbSProx_1");
    QCOMPARE(spaceAbove(*view, "groupBox_2", tabs), 17);
    QCOMPARE(spaceAbove(*view, "groupBox", bar), 20);

    ViewPtr plain = shownView(55);
    QVERIFY(plain);
    const int styleMargin = plain->widget->style()->pixelMetric(QStyle::PM_LayoutTopMargin);
    QCOMPARE(spaceAbove(*plain, "groupBox_2", plain->widget->findChild<QTabWidget*>("tabWidget")), styleMargin);
    QCOMPARE(spaceAbove(*plain, "groupBox", plain->widget->findChild<QProgressBar*>("pbSProx_1")), styleMargin);
}

TACTILE_TEST_MAIN(tst_taxelPictures)
#include "tst_taxelPictures.moc"
