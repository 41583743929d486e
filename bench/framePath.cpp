// Frame path of the GUI thread for one sensor, the way the program takes its frames: the sensor
// view (shown at 1280x800, offscreen unless QT_QPA_PLATFORM names a platform) with its worker;
// frames come as the worker's queued frame reports, emitted by a feeder thread in the bus's place;
// the sensor's panel is the active one, logs to CSV, and the FireWater stream goes to a loopback
// viewer that runs in a thread of its own. Types 43 (the largest frame, 63 values) and 20.
//
//     frame_path_bench [--seconds S]      (S per run, default 3)
//
// Per type six runs: frames as fast as the GUI thread takes them, at ten times and at once the
// most a CH341 bridge delivers (440 frames/s), first with the panel's picture page up, then with
// its value rows. (As fast as taken, the queue of frames never empties and Qt's repaints, which
// wait for an empty queue, come late: that rate is far beyond any bus.) The figures come from the GUI thread's own CPU time, which other load on the machine
// changes little: frames per second of that time (the wall-clock rate beside it), and the
// display's share (the panel's display clock, layout and painting) per second of run. Checked:
// every frame is one CSV row and one stream line, and after the runs the picture and the rows
// show the last frame, exactly as a view given only that frame shows it.

#include "benchSupport.h"
#include "class_csvLog.h"
#include "class_finger.h"
#include "class_tcp.h"
#include "dataForm.h"
#include "fingerForm.h"
#include "fingerParams.h"
#include "fingerThread.h"
#include "orvalisForm.h"
#include "ui_orvalisForm.h"
#include "viewFactory.h"
#include "waveformStream.h"
#include "ydds.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

namespace {

constexpr uint8_t kBus = 0;
constexpr uint8_t kAddr = 0x61;
constexpr int kDefaultSeconds = 3;
constexpr int kStageMs = 1000;
constexpr int kFrameSet = 256;    // distinct frames, fed round and round
constexpr int kInFlight = 512;    // frames posted to the GUI thread and not yet taken
constexpr int kBatch = 64;
constexpr int kWarmUpFrames = 2000;
constexpr double kBusFramesPerSecond = 440;  // type 43 on one CH341 bridge at 750 kHz
constexpr int kExposeWaitMs = 5000;
constexpr int kShownWaitMs = 2000;
constexpr int kViewWidth = 1280;
constexpr int kViewHeight = 800;
constexpr int kPicturePage = 0;
constexpr int kRowsPage = 1;

struct Case {
    uint8_t type;
    double targetFramesPerSecond;  // with logging and the stream on
};
constexpr Case kCases[] = {{43, 50000}, {20, 150000}};

// Times the display's events of the GUI thread: the panel's display clock, and the layout and
// painting they cause (events inside them belong to them).
class TimedApp : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (inDisplay || !isDisplayWork(receiver, event))
            return QApplication::notify(receiver, event);
        inDisplay = true;
        if (event->type() == QEvent::UpdateRequest)
            ++repaints;
        const double start = bench::threadCpuNow();
        const bool done = QApplication::notify(receiver, event);
        displayCpu += bench::threadCpuNow() - start;
        inDisplay = false;
        return done;
    }
    QObject* displayClock = nullptr;
    double displayCpu = 0;
    qint64 repaints = 0;  // of the window

private:
    bool isDisplayWork(QObject* receiver, QEvent* event) const
    {
        switch (event->type()) {
        case QEvent::UpdateRequest:
        case QEvent::UpdateLater:
        case QEvent::Paint:
        case QEvent::LayoutRequest:
            return true;
        case QEvent::Timer:
            return receiver == displayClock;
        default:
            return false;
        }
    }
    bool inDisplay = false;
};

TimedApp* timedApp()
{
    return static_cast<TimedApp*>(QCoreApplication::instance());
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray bytesOf(const bench::Pack& pack)
{
    return QByteArray(reinterpret_cast<const char*>(pack.constData()), pack.size());
}

// CPU microseconds per call of fn(n), n counting from 0, run for at least ms of CPU time.
template <typename Fn>
double usPerCall(int ms, Fn fn)
{
    const double start = bench::threadCpuNow();
    qint64 n = 0;
    do {
        for (int i = 0; i < kBatch; ++i)
            fn(n++);
    } while (bench::threadCpuNow() - start < ms / 1e3);
    return (bench::threadCpuNow() - start) * 1e6 / double(n);
}

qint64 csvRows(const QString& folder)
{
    qint64 rows = 0;
    for (const QFileInfo& info : QDir(folder).entryInfoList({"*.csv"}, QDir::Files)) {
        QFile f(info.filePath());
        if (f.open(QIODevice::ReadOnly))
            rows += std::max(0, f.readAll().count('\n') - 1);  // the first line is the header
    }
    return rows;
}

// The bus's part: the worker's frame reports, emitted from a thread of their own.
class Feeder {
public:
    Feeder(fingerThread* worker, const QVector<bench::Pack>& frames) : worker(worker), frames(frames) {}
    ~Feeder() { stop(); }

    // rate 0: as fast as the GUI thread takes them, at most kInFlight ahead of it.
    void start(double rate)
    {
        stopping = false;
        thread.reset(QThread::create([this, rate] { rate > 0 ? paced(rate) : flood(); }));
        thread->start();
    }
    void stop()
    {
        stopping = true;
        if (thread)
            thread->wait();
        thread.reset();
    }
    void feedNow(int count)
    {
        for (int i = 0; i < count; ++i)
            emitOne();
    }

    std::atomic<qint64> posted{0};
    std::atomic<qint64> taken{0};  // counted in the GUI thread by the panel's decoded frames

private:
    void emitOne()
    {
        emit worker->si_updateData1(kBus, kAddr, frames[int(next++ % frames.size())]);
        ++posted;
    }
    void flood()
    {
        while (!stopping) {
            if (posted - taken < kInFlight) {
                for (int i = 0; i < kBatch; ++i)
                    emitOne();
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            }
        }
    }
    void paced(double rate)
    {
        const auto start = std::chrono::steady_clock::now();
        for (qint64 n = 0; !stopping; ++n) {
            std::this_thread::sleep_until(start + std::chrono::duration<double>(double(n) / rate));
            emitOne();
        }
    }

    fingerThread* worker;
    const QVector<bench::Pack>& frames;
    std::unique_ptr<QThread> thread;
    std::atomic<bool> stopping{false};
    qint64 next = 0;
};

struct Run {
    const char* page;
    double rate;  // 0: as fast as taken
    qint64 frames = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double displayCpu = 0;
    qint64 repaints = 0;
    double framesPerCpuSecond() const { return frames / cpuSeconds; }
    double framesPerWallSecond() const { return frames / wallSeconds; }
    double displayShare() const { return displayCpu / wallSeconds; }  // CPU seconds per second
};

// Until every posted frame was taken.
bool drain(Feeder& feeder)
{
    return QTest::qWaitFor([&] { return feeder.taken >= feeder.posted; }, kShownWaitMs);
}

void measure(Feeder& feeder, int ms, Run* run)
{
    const qint64 frames0 = feeder.taken;
    const double display0 = timedApp()->displayCpu;
    const qint64 repaints0 = timedApp()->repaints;
    const double cpu0 = bench::threadCpuNow();
    QElapsedTimer wall;
    wall.start();
    feeder.start(run->rate);
    runFor(ms);
    run->frames = feeder.taken - frames0;
    run->wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    run->cpuSeconds = bench::threadCpuNow() - cpu0;
    run->displayCpu = timedApp()->displayCpu - display0;
    run->repaints = timedApp()->repaints - repaints0;
    feeder.stop();
}

// A view of the same class given only the last frame: what the panel's picture must show.
struct Reference {
    Reference(uint8_t type, const bench::Pack& last) : view(viewFactory::create(viewFactory::viewClassFor(type), &host))
    {
        if (!view)
            return;
        view->selectRecord(type);
        view->setShowData(true);  // as the panel's show-data box starts
        view->parseData(bytesOf(last));
    }
    QWidget host;
    class_finger* view;
};

QString gaugeState(const ydds& g)
{
    return QString("%1 %2 %3 %4").arg(g.brush.color().name(QColor::HexArgb)).arg(g.dir).arg(g.ratio).arg(g.text());
}

// Every gauge and bar of the panel's view as in the reference, which holds only the last frame.
bool pictureShowsLast(const fingerForm& panel, const Reference& ref)
{
    if (!ref.view || !panel.ff)
        return false;
    for (const ydds* g : ref.view->widget->findChildren<ydds*>()) {
        const auto* shown = panel.ff->widget->findChild<ydds*>(g->objectName());
        if (!shown || gaugeState(*shown) != gaugeState(*g))
            return false;
    }
    for (const QProgressBar* b : ref.view->widget->findChildren<QProgressBar*>()) {
        const auto* shown = panel.ff->widget->findChild<QProgressBar*>(b->objectName());
        if (!shown || shown->value() != b->value())
            return false;
    }
    return true;
}

// Every row's text is the last frame's value, and the channel rows' colour its touch bit.
bool rowsShowLast(const fingerForm& panel, const Reference& ref)
{
    if (!ref.view || panel.dataFormList.size() != ref.view->dataList.size())
        return false;
    const int channels = ref.view->fingerParam->chNum;
    for (int i = 0; i < panel.dataFormList.size(); ++i) {
        const QLabel* label = panel.dataFormList[i]->dataLabel();
        const QString& text = ref.view->dataList[i];
        if (label->text() != text)
            return false;
        const bool touched = text.toLongLong() % 2 == 1;
        if (i < channels && label->styleSheet() != (touched ? "color: rgb(255, 0, 0);" : "color: rgb(0, 0, 0);"))
            return false;
    }
    return true;
}

struct Stages {
    double decode = 0;
    double csv = 0;
    double sample = 0;
};

Stages timeStages(uint8_t type, const QVector<bench::Pack>& frames, const QString& scratch)
{
    Stages st;
    class_finger decoder(type, nullptr);
    st.decode = usPerCall(kStageMs, [&](qint64 n) { decoder.decodeFrame(bytesOf(frames[int(n % frames.size())])); });
    st.sample = usPerCall(kStageMs, [&](qint64) { waveformStream::sample(decoder, waveformStream::FireWater); });
    class_csvLog log;
    const QString path = QDir(scratch).filePath("stage.csv");
    if (log.open(path)) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        st.csv = usPerCall(kStageMs, [&](qint64 n) { log.writeFrame(decoder, now + n); });
        log.close();
    }
    QFile::remove(path);
    return st;
}

sensor_ts sensorOf(uint8_t type, const bench::Pack& first)
{
    sensor_ts s;
    s.infIdx = kBus;
    s.addr = kAddr;
    s.prg = type;
    s.devId = 1;
    s.sn = "VX-BENCH";
    s.pack = first;
    return s;
}

void showPage(fingerForm& panel, int page)
{
    constexpr int kSettleMs = 100;
    panel.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(page);
    runFor(kSettleMs);
}

}  // namespace

int main(int argc, char** argv)
{
    bench::Sandbox sandbox;
    TimedApp app(argc, argv);
    bench::installQuietLog();
    const int seconds = std::max(1, bench::intOption(argc, argv, "--seconds", kDefaultSeconds));

    orvalisForm view;
    view.resize(kViewWidth, kViewHeight);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view, kExposeWaitMs)) {
        std::fprintf(stderr, "the sensor view was not shown\n");
        return 1;
    }
    view.start();  // a worker without a bridge: it only owns the connections the frames take
    if (!QTest::qWaitFor([&] { return view.worker && view.workerThread->isRunning(); }, kExposeWaitMs)) {
        std::fprintf(stderr, "no worker started\n");
        return 1;
    }
    bench::LineServer stream;
    if (!stream.listen()) {
        std::fprintf(stderr, "no loopback server\n");
        return 1;
    }
    view.ui->leServiceAddr->setText("127.0.0.1");
    view.ui->spbServicePort->setValue(stream.port());
    view.ui->cbbTcpDataFormat->setCurrentIndex(waveformStream::FireWater);
    view.ui->pbtnServiceConnect->click();
    if (!QTest::qWaitFor([&] { return view.tcp->isConnected; }, kExposeWaitMs)) {
        std::fprintf(stderr, "the stream did not connect\n");
        return 1;
    }

    std::printf("frame path bench: sensor view %dx%d on the %s platform, logging and FireWater stream on, "
                "%d s per run; CPU figures are the GUI thread's\n",
                kViewWidth, kViewHeight, qPrintable(QGuiApplication::platformName()), seconds);
    bool allMet = true;
    for (const Case& c : kCases) {
        const finger_param_ts* record = findFingerParam(c.type);
        const QVector<bench::Pack> frames = bench::framesOf(c.type, kFrameSet);
        if (!record || frames.isEmpty()) {
            std::fprintf(stderr, "type %d: no catalogue record\n", c.type);
            return 1;
        }
        const QString dataFolder = orvalisForm::dataFolder();
        QDir(dataFolder).removeRecursively();
        const qint64 linesBefore = stream.lines();

        // The worker found the sensor: its panel comes, logging, in front.
        const sensor_ts sensor = sensorOf(c.type, frames.first());
        emit view.worker->si_connectedSensor(sensor);
        auto* panel = view.findChild<fingerForm*>(orvalisForm::windowName(kBus, kAddr));
        if (!panel || !panel->ff) {
            std::fprintf(stderr, "type %d: no panel with a view\n", c.type);
            return 1;
        }
        panel->findChild<QCheckBox*>("chkbtnSave")->setChecked(true);
        view.mdiArea->setActiveSubWindow(view.mdiArea->subWindowList().last());
        for (QTimer* t : panel->findChildren<QTimer*>()) {
            if (t->interval() == fingerForm::kDisplayPeriodMs)
                app.displayClock = t;
        }
        Feeder feeder(view.worker, frames);
        QObject::connect(panel, &fingerForm::si_sendDataStrList, panel, [&feeder] { ++feeder.taken; });
        std::printf("\ntype %d (%d-byte frame, %d values), view class %d\n", c.type, record->packLen,
                    panel->dataFormList.size(), viewFactory::viewClassFor(c.type));

        feeder.feedNow(kWarmUpFrames);
        drain(feeder);
        Run runs[] = {{"picture", 0}, {"picture", kBusFramesPerSecond * 10}, {"picture", kBusFramesPerSecond},
                      {"rows", 0},    {"rows", kBusFramesPerSecond * 10},    {"rows", kBusFramesPerSecond}};
        bool pictureShown = false;
        bool rowsShown = false;
        for (Run& r : runs) {
            const bool rows = std::strcmp(r.page, "rows") == 0;
            showPage(*panel, rows ? kRowsPage : kPicturePage);
            measure(feeder, 1000 * seconds, &r);
            if (!drain(feeder)) {
                std::fprintf(stderr, "type %d: frames were not taken\n", c.type);
                return 1;
            }
            // The last frame fed shows by itself, without being asked.
            const Reference last(c.type, frames[int((feeder.posted - 1) % frames.size())]);
            const bool shown = QTest::qWaitFor(
                [&] { return rows ? rowsShowLast(*panel, last) : pictureShowsLast(*panel, last); }, kShownWaitMs);
            (rows ? rowsShown : pictureShown) = shown;
            const double picturesPerSecond = r.repaints / r.wallSeconds;
            if (r.rate > 0)
                std::printf("  %-7s page, %4.0f frames/s:    %7.0f frames/s taken; display %5.1f ms of CPU per "
                            "second, %2.0f pictures/s\n",
                            r.page, r.rate, r.framesPerWallSecond(), 1e3 * r.displayShare(), picturesPerSecond);
            else
                std::printf("  %-7s page, as fast as taken: %7.0f frames/s of CPU time (%7.0f of wall time), %5.2f "
                            "us/frame; display %5.1f ms of CPU per second, %2.0f pictures/s\n",
                            r.page, r.framesPerCpuSecond(), r.framesPerWallSecond(), 1e6 / r.framesPerCpuSecond(),
                            1e3 * r.displayShare(), picturesPerSecond);
        }

        // The sensor goes: its panel, and with it the log file.
        const qint64 taken = feeder.taken;
        emit view.worker->si_disconnectedSensor(sensor);
        const qint64 rows = csvRows(dataFolder);
        stream.settle();
        const qint64 lines = stream.lines() - linesBefore;

        const Stages st = timeStages(c.type, frames, sandbox.path());
        const Run& fast = runs[0];
        const double usFast = 1e6 / fast.framesPerCpuSecond();
        const double displayPerFrame = 1e6 * fast.displayCpu / fast.frames;
        std::printf("  per frame (us of CPU, as fast as taken, picture page): decode %.2f, CSV row %.2f, stream "
                    "sample %.2f, display %.2f; queue, dispatch, socket and the rest %.2f\n",
                    st.decode, st.csv, st.sample, displayPerFrame, usFast - st.decode - st.csv - st.sample - displayPerFrame);
        std::printf("  frames taken %lld: CSV rows %lld, stream lines %lld; the last frame shown: picture %s, rows %s\n",
                    static_cast<long long>(taken), static_cast<long long>(rows), static_cast<long long>(lines),
                    pictureShown ? "yes" : "NO", rowsShown ? "yes" : "NO");
        const double bestRate = std::min(fast.framesPerCpuSecond(), runs[3].framesPerCpuSecond());
        const bool met = bestRate >= c.targetFramesPerSecond && rows == taken && lines == taken && pictureShown &&
                         rowsShown;
        allMet = allMet && met;
        std::printf("  target: >= %.0f frames/s with every frame logged and streamed and the last one shown: %s "
                    "(%.0f frames/s, %.0f times the %.0f frames/s of type 43 one CH341 bridge delivers)\n",
                    c.targetFramesPerSecond, met ? "met" : "NOT met", bestRate, bestRate / kBusFramesPerSecond,
                    kBusFramesPerSecond);
    }
    view.stop();
    if (sandbox.warnings())
        std::printf("\n%d warning boxes would have been shown\n", sandbox.warnings());
    return allMet ? 0 : 2;
}
