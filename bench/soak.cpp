// Whole-program soak: the main window as the program builds it, on a simulated bus of twelve
// sensors (a CH341 and a CH347 bridge, each behind a PCA9548 with one sensor on each of the six
// channels, sensor types of several families), every panel open and logging to CSV, the waveform
// stream sending to a loopback server this program runs itself.
//
//     soak_bench [--seconds S] [--period MS] [--commands N]
//         (default 60 s in all, a frame every 10 ms, 10 commands per bridge)
//
// The sensor view holds one link at a time, so the run is two halves: first the CH341 bridge,
// then a change of link to the CH347 bridge, as a user makes it. Each panel's save box is ticked
// as soon as the panel exists. A half has three parts: the sensors being found (their discovery
// holds the bus by its own schedule); S/2 seconds in which the window works as a user's does (once
// a second another sub-window comes to the front and the window repaints); then N switches of the
// active panel's page, one a second, each of which sends the sensor a command (设置发送类型), whose
// answer wait holds the bus by the same schedule, so its cost is counted apart.
//
// Printed per sensor: the frames the simulated sensor produced (the steps of its sequence byte)
// against those the worker reported and the rows of its CSV files (compared by sequence byte and
// by time: each row carries the time its frame was read); per half and part, "captured: R of P
// frames produced (X %)"; the lines the stream server received against the samples the view
// sent; the resident memory at a few points and its peak; the CPU share of the GUI and the worker
// thread in the working part.

#include "Widget.h"
#include "benchSupport.h"
#include "class_tcp.h"
#include "fingerForm.h"
#include "fingerThread.h"
#include "frameCapture.h"
#include "frameClock.h"
#include "orvalisForm.h"
#include "qMain.h"
#include "simulatedBus.h"
#include "ui_Widget.h"
#include "ui_fingerForm.h"
#include "ui_orvalisForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLabel>
#include <QMap>
#include <QMutex>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QtTest>
#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kDefaultSeconds = 60;
constexpr int kDefaultPeriodMs = 10;
constexpr int kDefaultCommands = 10;
constexpr int kGuiWorkEveryMs = 1000;
constexpr int kCommandEveryMs = 1000;
constexpr int kQueueQuietMs = 1500;  // longer than any command's attempts take
constexpr int kMemorySamplesPerPhase = 5;
constexpr int kWaitMs = 20000;
constexpr int kSensorsPerBridge = 6;
constexpr double kMemoryLimitMb = 200;
constexpr double kGrowthLimitMb = 5;  // what allocator noise may add within one half at a steady load
constexpr double kGuiCpuLimit = 0.05;  // of one core

struct Bridge {
    const char* name;
    uint8_t link;      // index of the sensor view's link choice
    const char* kind;  // word of the bus description
    uint16_t id;
    uint8_t types[kSensorsPerBridge];
};
// Worker channels 0..5 are the multiplexer ports 4, 5, 6, 3, 2, 0.
constexpr int kPortOfChannel[kSensorsPerBridge] = {4, 5, 6, 3, 2, 0};
constexpr Bridge kBridges[] = {
    {"CH341", fingerThread::LinkCh341, "ch341", 6002, {43, 20, 21, 17, 59, 45}},
    {"CH347", fingerThread::LinkCh347, "ch347", 7, {19, 29, 37, 46, 50, 67}},
};
constexpr uint8_t kFirstAddr = 0x61;
constexpr int kSeqByte = 4;  // of a data frame

QString busDescription(int periodMs)
{
    QString d;
    for (const Bridge& b : kBridges) {
        d += QString("%1 id=%2 pca;").arg(b.kind).arg(b.id);
        for (int ch = 0; ch < kSensorsPerBridge; ++ch)
            d += QString(" sensor type=%1 addr=%2 port=%3 sn=VX-SOAK%4%5 period=%6;")
                     .arg(b.types[ch])
                     .arg(kFirstAddr + ch)
                     .arg(kPortOfChannel[ch])
                     .arg(b.id)
                     .arg(ch)
                     .arg(periodMs);
    }
    return d;
}

// Runs the event loop for ms milliseconds, as the program's own loop runs.
void runFor(qint64 ms)
{
    QEventLoop loop;
    QTimer::singleShot(int(std::max<qint64>(0, ms)), &loop, &QEventLoop::quit);
    loop.exec();
}

using Key = QPair<int, int>;  // bus channel, address

QString keyText(const Key& k)
{
    return QString::asprintf("%d/0x%02X", k.first, k.second);
}

// The parts of a half, by the time a frame was read.
enum Part { Finding, Working, Commanding, kParts };
const char* const kPartNames[kParts] = {"while the sensors were found", "while the window worked",
                                        "while commands were answered"};

// One sensor's frames: what the worker reported (sequence byte and read time of each frame, in the
// worker's thread) and what its CSV files hold.
struct SensorFigures {
    uint8_t type = 0;
    QByteArray reported;
    QVector<qint64> readMs;
    QByteArray logged;  // the rows of its CSV files, in time order
    QVector<qint64> loggedMs;
    CaptureTally capture[kParts];

    // Every report is a row, in order, the first one included.
    qint64 lost() const { return reported == logged ? 0 : std::max<qint64>(1, reported.size() - logged.size()); }
    bool rowTimesAreReadTimes() const { return loggedMs == readMs; }
};

struct PhaseFigures {
    QMap<Key, SensorFigures> sensors;
    double seconds = 0;
    double findSeconds = 0;
    double guiCpu = 0;
    double workerCpu = 0;
    qint64 samplesDue = 0;  // frames the stream's source panel decoded
    int commands = 0;       // answered (or given up) in the command part
    int commandsAtWork = 0; // the same while the window worked: none is sent then
    QVector<bench::Memory> memory;
    CaptureTally capture(Part part) const
    {
        CaptureTally all;
        for (const SensorFigures& s : sensors)
            all.add(s.capture[part]);
        return all;
    }
};

// One half of the run: the sensor view on one bridge, from connecting it to its worker's end.
class Phase {
public:
    Phase(Widget* window, const Bridge& bridge, int periodMs)
        : window(window), view(window->ui->wgOrvalis), bridge(bridge), periodMs(periodMs)
    {
    }

    bool start()
    {
        QElapsedTimer finding;
        finding.start();
        QComboBox* link = view->ui->cbbSensorInf;
        if (link->currentIndex() != bridge.link)
            link->setCurrentIndex(bridge.link);  // stops the running worker, starts one 500 ms later
        if (!QTest::qWaitFor([this] { return view->worker && view->workerThread->isRunning(); }, kWaitMs))
            return fail("no worker started");
        hookWorker(view->worker);
        if (!QTest::qWaitFor([this] { return view->ui->cbbCh341List->findText(QString::number(bridge.id)) >= 0; }, kWaitMs))
            return fail("the bridge was not listed");
        view->ui->cbbCh341List->setCurrentIndex(view->ui->cbbCh341List->findText(QString::number(bridge.id)));
        view->ui->pbtnCh341Connect->click();
        if (!QTest::qWaitFor([this] { return view->ui->pbtnCh341Connect->text() == QObject::tr("断开"); }, kWaitMs))
            return fail("the bridge did not connect");
        if (!QTest::qWaitFor([this] { return view->sensorList.size() == kSensorsPerBridge; }, kWaitMs))
            return fail(qPrintable(QString("%1 of %2 sensors found").arg(view->sensorList.size()).arg(kSensorsPerBridge)));
        // Each new panel reads the sensor's information and parameters: the working part begins
        // once the worker has answered them all (no answer for a while: its queue is empty).
        if (!QTest::qWaitFor([this] { return panelsAnswered(); }, kWaitMs))
            return fail("the panels' first requests were not answered");
        for (int seen = -1; seen != answers.load();) {
            seen = answers.load();
            runFor(kQueueQuietMs);
        }
        partEnds[Finding] = frameClock::nowMs();
        answersAtWork = answers.load();
        figures.findSeconds = finding.elapsed() / 1000.0;
        return true;
    }

    // The working part: for ms the window works as a user's does; memory and the threads' CPU
    // time are sampled.
    void work(qint64 ms)
    {
        QTimer gui;
        QObject::connect(&gui, &QTimer::timeout, [this] {
            view->mdiArea->activateNextSubWindow();
            window->repaint();
        });
        gui.start(kGuiWorkEveryMs);
        const double gui0 = bench::threadCpuSeconds(getpid());
        const double worker0 = bench::threadCpuSeconds(workerTid);
        QElapsedTimer wall;
        wall.start();
        for (int i = 1; i <= kMemorySamplesPerPhase; ++i) {
            runFor(ms * i / kMemorySamplesPerPhase - wall.elapsed());
            figures.memory.append(bench::memory());
        }
        figures.seconds = double(wall.nsecsElapsed()) / 1e9;
        figures.guiCpu = (bench::threadCpuSeconds(getpid()) - gui0) / figures.seconds;
        figures.workerCpu = (bench::threadCpuSeconds(workerTid) - worker0) / figures.seconds;
        partEnds[Working] = frameClock::nowMs();
        figures.commandsAtWork = answers.load() - answersAtWork;
    }

    // The command part: n switches of the active panel's page, each sending one command; it ends
    // when the last one was answered.
    bool command(int n)
    {
        const int before = answers.load();
        for (int i = 0; i < n; ++i) {
            runFor(kCommandEveryMs);
            QMdiSubWindow* active = view->mdiArea->activeSubWindow();
            auto* panel = active ? qobject_cast<fingerForm*>(active->widget()) : nullptr;
            if (!panel)
                return fail("no active panel");
            QTabWidget* pages = panel->ui->tabWidget;
            pages->setCurrentIndex(pages->currentIndex() == 0 ? 1 : 0);
        }
        if (!QTest::qWaitFor([&] { return answers.load() - before >= n; }, kWaitMs))
            return fail("the commands were not answered");
        figures.commands = answers.load() - before;
        runFor(kCommandEveryMs);
        partEnds[Commanding] = frameClock::nowMs();
        return true;
    }

    // After the worker ended: waits until its gone reports removed every panel (closing the
    // logs), then counts the rows of the files this phase wrote.
    bool finish(QSet<QString>* countedFiles)
    {
        if (!QTest::qWaitFor([this] { return view->mdiArea->subWindowList().isEmpty(); }, kWaitMs))
            return fail("panels stayed after the worker ended");
        {
            QMutexLocker lock(&reportsLock);
            for (auto it = reports.cbegin(); it != reports.cend(); ++it) {
                SensorFigures& s = figures.sensors[it.key()];
                s.reported = it.value().seqs;
                s.readMs = it.value().readMs;
                count(&s);
            }
        }
        const QRegularExpression name("__(\\d+)__0x([0-9A-F]{2})\\.csv$");
        const QDir folder(orvalisForm::dataFolder());
        for (const QFileInfo& info : folder.entryInfoList({"*.csv"}, QDir::Files, QDir::Name)) {
            if (countedFiles->contains(info.fileName()))
                continue;
            countedFiles->insert(info.fileName());
            const QRegularExpressionMatch m = name.match(info.fileName());
            if (!m.hasMatch())
                continue;
            const Key key(m.captured(1).toInt() - 1, m.captured(2).toInt(nullptr, 16));
            QFile f(info.filePath());
            if (!f.open(QIODevice::ReadOnly))
                continue;
            f.readLine();  // the header
            SensorFigures& s = figures.sensors[key];
            while (!f.atEnd()) {
                const QList<QByteArray> columns = f.readLine().split(',');  // time, sequence byte, ...
                if (columns.size() > 1) {
                    s.loggedMs.append(columns[0].toLongLong());
                    s.logged.append(char(columns[1].toInt()));
                }
            }
        }
        return true;
    }

    PhaseFigures figures;

private:
    struct Reports {
        QByteArray seqs;
        QVector<qint64> readMs;
    };

    bool fail(const char* what)
    {
        std::fprintf(stderr, "%s: %s\n", bridge.name, what);
        return false;
    }

    bool panelsAnswered() const
    {
        for (fingerForm* panel : view->findChildren<fingerForm*>())
            if (panel->findChild<QLabel*>("lbVersion")->text().isEmpty())
                return false;
        return true;
    }

    // Each report's frames produced go to the part in which the frame was read.
    void count(SensorFigures* s) const
    {
        FrameCapture capture(periodMs);
        for (int i = 0; i < s->reported.size(); ++i) {
            const qint64 at = s->readMs[i];
            int part = Finding;
            while (part < Commanding && at >= partEnds[part])
                ++part;
            s->capture[part].add(capture.add(uint8_t(s->reported[i]), at));
        }
    }

    void hookWorker(fingerThread* worker)
    {
        // Connected after the sensor view's own, so the found sensor's panel exists when this runs;
        // its save box is ticked before any frame reaches the panel.
        QObject::connect(worker, &fingerThread::si_connectedSensor, &receiver, [this](const sensor_ts& s) {
            const Key key(s.infIdx, s.addr);
            auto* panel = view->findChild<fingerForm*>(orvalisForm::windowName(s.infIdx, s.addr));
            QCheckBox* save = panel ? panel->findChild<QCheckBox*>("chkbtnSave") : nullptr;
            if (!save) {
                std::fprintf(stderr, "%s: no panel for %s\n", bridge.name, qPrintable(keyText(key)));
                return;
            }
            if (!save->isChecked())
                save->click();
            figures.sensors[key].type = s.prg;
            // The stream sends a sample for each frame of its source: the active panel with a
            // view, or the last one while none is.
            QObject::connect(panel, &fingerForm::si_sendDataStrList, &receiver, [this, panel] {
                QMdiSubWindow* active = view->mdiArea->activeSubWindow();
                auto* shown = active ? qobject_cast<fingerForm*>(active->widget()) : nullptr;
                if (shown && shown->ff)
                    streamSource = shown;
                if (panel == streamSource && view->tcp->isConnected)
                    ++figures.samplesDue;
            });
        });
        // In the worker's thread, as each report leaves it: the GUI thread is the one measured.
        QObject::connect(
            worker, &fingerThread::si_connectedSensor, worker,
            [this](const sensor_ts& s) {
                QMutexLocker lock(&reportsLock);
                reports[Key(s.infIdx, s.addr)];
            },
            Qt::DirectConnection);
        QObject::connect(
            worker, &fingerThread::si_updateData1, worker,
            [this](uint8_t bus, uint8_t addr, const QVector<uint8_t>& pack, qint64 readMs) {
                QMutexLocker lock(&reportsLock);
                const auto it = reports.find(Key(bus, addr));
                if (it != reports.end() && pack.size() > kSeqByte) {
                    it->seqs.append(char(pack[kSeqByte]));
                    it->readMs.append(readMs);
                }
            },
            Qt::DirectConnection);
        for (auto answered : {&fingerThread::si_cmdRsp1, &fingerThread::si_cmdRspErr1})
            QObject::connect(worker, answered, worker, [this] { ++answers; }, Qt::DirectConnection);
        QMetaObject::invokeMethod(
            worker, [this] { workerTid = bench::currentTid(); }, Qt::BlockingQueuedConnection);
    }

    Widget* window;
    orvalisForm* view;
    const Bridge& bridge;
    const int periodMs;
    QObject receiver;
    QMutex reportsLock;
    QMap<Key, Reports> reports;  // filled in the worker's thread
    std::atomic<int> answers{0};
    int answersAtWork = 0;
    qint64 partEnds[kParts] = {};
    QPointer<fingerForm> streamSource;
    pid_t workerTid = 0;
};

double mb(qint64 kb)
{
    return double(kb) / 1024.0;
}

struct Totals {
    bool lossless = true;
    bool rowTimes = true;
    bool captured = true;  // every frame produced while the window worked
    bool streamWhole = true;
    double worstGuiCpu = 0;
    qint64 peakKb = 0;
    qint64 worstGrowthKb = 0;
};

void report(const Bridge& b, const PhaseFigures& f, qint64 streamLines, Totals* totals)
{
    std::printf("\n%s bridge %d: sensors found and their panels' first requests answered in %.1f s, "
                "%.1f s of work (%d commands then), %d commands\n",
                b.name, b.id, f.findSeconds, f.seconds, f.commandsAtWork, f.commands);
    std::printf("  sensor     type  produced  reported  frames/s  logged  lost to CSV  row time    lost: finding  working  commands\n");
    qint64 received = 0;
    qint64 logged = 0;
    for (auto it = f.sensors.cbegin(); it != f.sensors.cend(); ++it) {
        const SensorFigures& s = it.value();
        qint64 produced = 0;
        for (const CaptureTally& c : s.capture)
            produced += c.produced;
        received += s.reported.size();
        logged += s.logged.size();
        totals->lossless = totals->lossless && s.lost() == 0;
        totals->rowTimes = totals->rowTimes && s.rowTimesAreReadTimes();
        std::printf("  %-9s  %4d  %8lld  %8d  %8.0f  %6d  %11lld  %-9s  %14lld  %7lld  %8lld\n",
                    qPrintable(keyText(it.key())), s.type, static_cast<long long>(produced), int(s.reported.size()),
                    s.capture[Working].captured / f.seconds, int(s.logged.size()), static_cast<long long>(s.lost()),
                    s.rowTimesAreReadTimes() ? "read" : "NOT read", static_cast<long long>(s.capture[Finding].lost()),
                    static_cast<long long>(s.capture[Working].lost()), static_cast<long long>(s.capture[Commanding].lost()));
    }
    for (int part = 0; part < kParts; ++part)
        std::printf("  %s %s\n", qPrintable(f.capture(Part(part)).line()), kPartNames[part]);
    totals->captured = totals->captured && f.capture(Working).lost() == 0;
    const qint64 commandLoss = f.capture(Commanding).lost();
    std::printf("  frames lost per command: %.1f (%.1f per sensor), %lld in all for %d commands\n",
                f.commands ? double(commandLoss) / f.commands : 0.0,
                f.commands ? double(commandLoss) / f.commands / kSensorsPerBridge : 0.0,
                static_cast<long long>(commandLoss), f.commands);
    std::printf("  all: %lld frames received, %lld logged\n", static_cast<long long>(received),
                static_cast<long long>(logged));
    std::printf("  stream: %lld lines received by the server for %lld frames of the source panel\n",
                static_cast<long long>(streamLines), static_cast<long long>(f.samplesDue));
    totals->streamWhole = totals->streamWhole && streamLines == f.samplesDue;
    totals->worstGuiCpu = std::max(totals->worstGuiCpu, f.guiCpu);
    std::printf("  CPU while the window worked: GUI thread %.1f %%, worker thread %.1f %% of one core\n",
                100 * f.guiCpu, 100 * f.workerCpu);
    std::printf("  resident memory (MB) at each fifth:");
    for (const bench::Memory& m : f.memory) {
        std::printf(" %.1f", mb(m.rssKb));
        totals->peakKb = std::max(totals->peakKb, m.hwmKb);
    }
    std::printf("\n");
    if (!f.memory.isEmpty())
        totals->worstGrowthKb = std::max(totals->worstGrowthKb, f.memory.last().rssKb - f.memory.first().rssKb);
}

}  // namespace

int main(int argc, char** argv)
{
    bench::Sandbox sandbox;
    const int seconds = std::max(2, bench::intOption(argc, argv, "--seconds", kDefaultSeconds));
    const int periodMs = std::max(1, bench::intOption(argc, argv, "--period", kDefaultPeriodMs));
    const int commands = std::max(0, bench::intOption(argc, argv, "--commands", kDefaultCommands));

    // The program's start (qMain) up to its window, with this soak's bus instead of the environment's.
    QApplication app(argc, argv);
    bench::installQuietLog();
    Q_INIT_RESOURCE(translations);
    QTranslator translator;
    installLanguage(translator);
    qunsetenv("TACTILE_SIM_BUS");
    installSimulatedBusFromEnvironment();
    if (installSimulatedBus(busDescription(periodMs)) != kSensorsPerBridge * 2) {
        std::fprintf(stderr, "the soak's bus did not install\n");
        return 1;
    }
    const bench::Memory atStart = bench::memory();

    Widget window;
    window.show();
    orvalisForm* view = window.ui->wgOrvalis;

    bench::LineServer stream;
    if (!stream.listen()) {
        std::fprintf(stderr, "no loopback server\n");
        return 1;
    }
    view->ui->leServiceAddr->setText("127.0.0.1");
    view->ui->spbServicePort->setValue(stream.port());
    view->ui->cbbTcpDataFormat->setCurrentIndex(0);  // FireWater: one line per sample
    view->ui->pbtnServiceConnect->click();
    if (!QTest::qWaitFor([view] { return view->tcp->isConnected; }, kWaitMs)) {
        std::fprintf(stderr, "the stream did not connect\n");
        return 1;
    }

    std::printf("soak bench: %d sensors on two bridges, frame period %d ms, %d s of work in two halves, "
                "%d commands in each\n",
                kSensorsPerBridge * 2, periodMs, seconds, commands);
    QSet<QString> countedFiles;
    Totals totals;
    for (const Bridge& b : kBridges) {
        Phase phase(&window, b, periodMs);
        const qint64 linesBefore = stream.lines();
        if (!phase.start())
            return 1;
        phase.work(1000LL * seconds / 2);
        if (!phase.command(commands))
            return 1;
        // End of the half: the next link, or leaving the tab after the last, stops the worker.
        if (&b == &kBridges[1])
            window.ui->tabWidget->setCurrentIndex(1);
        else
            view->ui->cbbSensorInf->setCurrentIndex(kBridges[1].link);
        if (!phase.finish(&countedFiles))
            return 1;
        stream.settle();
        report(b, phase.figures, stream.lines() - linesBefore, &totals);
    }
    const bench::Memory atEnd = bench::memory();
    totals.peakKb = std::max(totals.peakKb, atEnd.hwmKb);

    std::printf("\nresident memory: %.1f MB before the window, %.1f MB after the run, peak (VmHWM) %.1f MB\n",
                mb(atStart.rssKb), mb(atEnd.rssKb), mb(totals.peakKb));
    std::printf("growth within a half (first to last sample): at most %.1f MB\n", mb(totals.worstGrowthKb));
    const bool memoryOk = mb(totals.peakKb) < kMemoryLimitMb && mb(totals.worstGrowthKb) < kGrowthLimitMb;
    const bool guiOk = totals.worstGuiCpu <= kGuiCpuLimit;
    std::printf("targets: every frame produced while the window worked captured: %s; no frame lost between "
                "report and CSV: %s; each row's time its frame's read: %s; every sample streamed: %s; "
                "GUI thread at most %.0f %% of one core: %s; peak under %.0f MB and no growth: %s\n",
                totals.captured ? "met" : "NOT met", totals.lossless ? "met" : "NOT met",
                totals.rowTimes ? "met" : "NOT met", totals.streamWhole ? "met" : "NOT met", 100 * kGuiCpuLimit,
                guiOk ? "met" : "NOT met", kMemoryLimitMb, memoryOk ? "met" : "NOT met");
    if (sandbox.warnings())
        std::printf("%d warning boxes would have been shown\n", sandbox.warnings());
    return totals.captured && totals.lossless && totals.rowTimes && totals.streamWhole && guiOk && memoryOk ? 0 : 2;
}
