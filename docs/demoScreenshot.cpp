// The picture of the demo in the README: runs the program's own main function (qMain) on the demo
// bus in a temporary HOME, presses the connect button as a user would, waits until every sensor of
// the chosen bridge has its panel and the values have moved, then saves the main window as a PNG
// image and quits. scripts/screenshot runs it under Xvfb.
//
//     demo_screenshot [--out FILE] [--link ch341|ch347] [--lang zh_cn|en] [--show WINDOW]
//                     [--settle MS]
//
// --show names the sensor's window to bring to the front ("4-0x65"); the first one otherwise.
//
// The window keeps the size it opened at, so the image shows what a user sees first.

#include "Widget.h"
#include "benchSupport.h"
#include "class_settings.h"
#include "orvalisForm.h"
#include "qMain.h"
#include "ui_orvalisForm.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kPollMs = 50;
constexpr int kGiveUpMs = 20000;
constexpr int kDefaultSettleMs = 1500;

struct Options {
    QString out = "docs/demo.png";
    QString link = "ch341";
    QString language = "zh_cn";
    QString show;
    int settleMs = kDefaultSettleMs;
};

Options options;
int exitCode = 1;

QString textOption(int argc, char** argv, const char* name, const QString& fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    return fallback;
}

orvalisForm* sensorView()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (qobject_cast<Widget*>(top) && top->isVisible())
            return top->findChild<orvalisForm*>();
    return nullptr;
}

void fail(const char* why)
{
    std::fprintf(stderr, "demo screenshot: %s\n", why);
    exitCode = 1;
    QCoreApplication::quit();
}

void save(orvalisForm* view)
{
    QWidget* window = view->window();
    // Eight bits per pixel keep the picture small; a user interface has few colours.
    const QImage image = window->grab().toImage().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    if (!image.save(options.out, "PNG", 9))
        return fail("the image could not be written");
    std::printf("demo screenshot: %s, window %dx%d, %lld bytes\n", qPrintable(options.out), window->width(),
                window->height(), QFileInfo(options.out).size());
    exitCode = 0;
    QCoreApplication::quit();
}

// Steps through the demo like a user: choose the bridge, connect, wait for the panels.
class Driver : public QObject {
public:
    explicit Driver(QObject* parent) : QObject(parent)
    {
        clock.start();
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { step(); });
        timer->start(kPollMs);
    }

private:
    void step()
    {
        if (clock.elapsed() > kGiveUpMs)
            return fail("the demo sensors did not show up in time");
        orvalisForm* view = sensorView();
        if (!view)
            return;
        const int link = view->ui->cbbSensorInf->findText(options.link);
        if (link < 0)
            return fail("no such link");
        if (view->ui->cbbSensorInf->currentIndex() != link) {
            view->ui->cbbSensorInf->setCurrentIndex(link);  // the view restarts its worker
            return;
        }
        if (!connected) {
            if (view->ui->cbbCh341List->count() == 0)
                return;
            view->ui->pbtnCh341Connect->click();
            connected = true;
            return;
        }
        const int panels = view->mdiArea->subWindowList().size();
        if (panels == 0 || panels != lastPanels) {
            lastPanels = panels;
            stableSince = clock.elapsed();
            return;
        }
        // No new panel for a while: every sensor of the bridge is shown, and values have moved.
        if (clock.elapsed() - stableSince < options.settleMs)
            return;
        QMdiSubWindow* shown = view->mdiArea->subWindowList(QMdiArea::CreationOrder).value(0);
        for (QMdiSubWindow* sub : view->mdiArea->subWindowList())
            if (sub->objectName() == options.show)
                shown = sub;
        view->mdiArea->setActiveSubWindow(shown);
        QTimer::singleShot(kPollMs, view, [view] { save(view); });
        deleteLater();
    }

    QElapsedTimer clock;
    bool connected = false;
    int lastPanels = -1;
    qint64 stableSince = 0;
};

void startDriver()
{
    // Before qMain reads the language.
    class_settings::set("language", options.language, "config");
    new Driver(qApp);
}

}  // namespace

// Runs inside the application object's constructor, before qMain goes on.
Q_COREAPP_STARTUP_FUNCTION(startDriver)

int main(int argc, char** argv)
{
    options.out = textOption(argc, argv, "--out", options.out);
    options.link = textOption(argc, argv, "--link", options.link);
    options.language = textOption(argc, argv, "--lang", options.language);
    options.show = textOption(argc, argv, "--show", options.show);
    options.settleMs = bench::intOption(argc, argv, "--settle", options.settleMs);
    bench::Sandbox sandbox;
    bench::installQuietLog();
    if (qEnvironmentVariableIsEmpty("TACTILE_SIM_BUS"))
        qputenv("TACTILE_SIM_BUS", "demo");
    const int code = qMain(argc, argv);
    return code != 0 ? code : exitCode;
}
