// Start-up: time from the process start to the main window shown. Runs the program's own main
// function (qMain) on the demo bus (TACTILE_SIM_BUS=demo unless the environment names another)
// in a temporary HOME, offscreen unless QT_QPA_PLATFORM names a platform.
//
//     startup_bench
//
// The process start is the kernel's (/proc/self/stat, 10 ms steps). A watch installed when the
// application object is made notes the first show of the main window Widget and the first expose
// of its window, then quits the event loop; the program shuts down as after a normal quit.

#include "Widget.h"
#include "benchSupport.h"
#include "qMain.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <cstdio>

namespace {

constexpr double kTargetMs = 1000;

double atMain = -1;
double atShow = -1;
double atExpose = -1;

bool isMainWindow(QWindow* window)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() == window && qobject_cast<Widget*>(top))
            return true;
    }
    return false;
}

class ShownWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && atShow < 0 && qobject_cast<Widget*>(watched))
            atShow = bench::secondsSinceProcessStart();
        if (event->type() == QEvent::Expose && atExpose < 0 && watched->isWindowType()) {
            auto* window = static_cast<QWindow*>(watched);
            if (window->isExposed() && isMainWindow(window)) {
                atExpose = bench::secondsSinceProcessStart();
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
        }
        return false;
    }
};

void watchStartUp()
{
    qApp->installEventFilter(new ShownWatch(qApp));
}

}  // namespace

// Runs inside the application object's constructor, before qMain goes on.
Q_COREAPP_STARTUP_FUNCTION(watchStartUp)

int main(int argc, char** argv)
{
    atMain = bench::secondsSinceProcessStart();
    bench::Sandbox sandbox;
    bench::installQuietLog();
    if (qEnvironmentVariableIsEmpty("TACTILE_SIM_BUS"))
        qputenv("TACTILE_SIM_BUS", "demo");
    const int code = qMain(argc, argv);
    if (code != 0 || atExpose < 0) {
        std::fprintf(stderr, "the main window was not shown (exit code %d)\n", code);
        return 1;
    }
    std::printf("start-up bench: process start to main() %.0f ms, to the main window shown %.0f ms, "
                "to its first expose %.0f ms (target under %.0f ms): %s\n",
                1e3 * atMain, 1e3 * atShow, 1e3 * atExpose, kTargetMs,
                1e3 * atExpose < kTargetMs ? "met" : "NOT met");
    return 1e3 * atExpose < kTargetMs ? 0 : 2;
}
