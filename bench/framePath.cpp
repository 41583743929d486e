// Frame path of one panel in the GUI thread: fingerForm::sl_updateData fed as fast as it takes the
// frames, for the largest frame (type 43, 63 values) and a small one (type 20), the panel and its
// view shown (offscreen unless QT_QPA_PLATFORM names a platform), CSV logging off and on.
//
//     frame_path_bench [--seconds S]      (S per measured run, default 3)
//
// Between frames the event loop runs at least once a millisecond, so the view and the rows
// repaint as in the program, whose event loop runs between the worker's queued frames. Then the
// stages are timed one by one on their own: the decoder alone (parseData on a bare decoder, with
// the frame's copy into a QByteArray as sl_updateData makes it), the view's setters (parseData on
// the view minus the bare decoder), the row refresh, the CSV logger alone, and the painting (the
// event passes of the fed run, per frame). "rest" is what the fed run cost beyond those; it is
// negative when a stage costs more alone than within the flow.

#include "benchSupport.h"
#include "class_csvLog.h"
#include "class_finger.h"
#include "fingerForm.h"
#include "fingerParams.h"
#include "hooks.h"
#include "viewFactory.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr uint8_t kBus = 0;
constexpr uint8_t kAddr = 0x61;
constexpr int kDefaultSeconds = 3;
constexpr int kStageMs = 1000;
constexpr int kFrameSet = 256;           // distinct frames, fed round and round
constexpr int kDecodedSet = 16;          // decoded frames the row and CSV stages cycle through
constexpr qint64 kEventPassNs = 1000000; // the event loop runs at least this often while fed
constexpr int kWarmUpFrames = 500;
constexpr int kExposeWaitMs = 5000;
constexpr int kPanelWidth = 1280;
constexpr int kPanelHeight = 800;

struct Case {
    uint8_t type;
    double targetFramesPerSecond;  // with logging on
};
constexpr Case kCases[] = {{43, 5000}, {20, 15000}};

// Microseconds per call of fn(n), n counting from 0, run for at least ms milliseconds.
template <typename Fn>
double usPerCall(int ms, Fn fn)
{
    constexpr int kBatch = 32;
    QElapsedTimer t;
    t.start();
    qint64 n = 0;
    do {
        for (int i = 0; i < kBatch; ++i)
            fn(n++);
    } while (t.elapsed() < ms);
    return double(t.nsecsElapsed()) / 1e3 / double(n);
}

QByteArray bytesOf(const bench::Pack& pack)
{
    return QByteArray(reinterpret_cast<const char*>(pack.constData()), pack.size());
}

bool showAndWait(QWidget& w)
{
    w.resize(kPanelWidth, kPanelHeight);
    w.show();
    return QTest::qWaitForWindowExposed(&w, kExposeWaitMs);
}

// Gives the panel its sensor as the sensor view does when the worker found it; false when the
// panel got no view.
bool connectSensor(fingerForm& panel, uint8_t type, const bench::Pack& firstFrame)
{
    sensor_ts s;
    s.infIdx = kBus;
    s.addr = kAddr;
    s.prg = type;
    s.devId = 1;
    s.pack = firstFrame;
    panel.sl_connectedFinger(kBus, kAddr, s);
    return panel.ff != nullptr;
}

qint64 csvRows(const QString& folder)
{
    qint64 rows = 0;
    for (const QFileInfo& info : QDir(folder).entryInfoList({"*.csv"}, QDir::Files)) {
        QFile f(info.filePath());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        qint64 lines = 0;
        while (!f.atEnd())
            lines += f.readLine().endsWith('\n') ? 1 : 0;
        rows += lines > 0 ? lines - 1 : 0;  // the first line is the header
    }
    return rows;
}

struct Fed {
    qint64 frames = 0;
    double seconds = 0;
    double paintSeconds = 0;
    qint64 passes = 0;
    qint64 csvRows = 0;
    double framesPerSecond() const { return frames / seconds; }
    double usPerFrame() const { return 1e6 * seconds / frames; }
};

// One panel, shown, fed for ms milliseconds after a warm-up; the CSV rows are counted after the
// panel (and with it the log file) is gone.
bool feed(uint8_t type, const QVector<bench::Pack>& frames, bool logging, int ms, Fed* out)
{
    const QString dataFolder = QDir(hooks::programDir()).filePath("data");
    QDir(dataFolder).removeRecursively();
    {
        fingerForm panel(kBus, kAddr);
        if (!showAndWait(panel) || !connectSensor(panel, type, frames.first()))
            return false;
        panel.findChild<QCheckBox*>("chkbtnSave")->setChecked(logging);
        QCoreApplication::processEvents();

        qint64 n = 0;
        for (; n < kWarmUpFrames; ++n)
            panel.sl_updateData(kBus, kAddr, frames[n % frames.size()]);
        QCoreApplication::processEvents();

        QElapsedTimer wall;
        QElapsedTimer sincePass;
        QElapsedTimer pass;
        qint64 paintNs = 0;
        wall.start();
        sincePass.start();
        const qint64 first = n;
        while (wall.elapsed() < ms) {
            panel.sl_updateData(kBus, kAddr, frames[n++ % frames.size()]);
            if (sincePass.nsecsElapsed() >= kEventPassNs) {
                pass.start();
                QCoreApplication::processEvents();
                paintNs += pass.nsecsElapsed();
                ++out->passes;
                sincePass.start();
            }
        }
        out->seconds = double(wall.nsecsElapsed()) / 1e9;
        out->frames = n - first;
        out->paintSeconds = double(paintNs) / 1e9;
    }
    // The warm-up frames were logged too.
    out->csvRows = logging ? csvRows(dataFolder) - kWarmUpFrames : 0;
    QDir(dataFolder).removeRecursively();
    return true;
}

struct Stages {
    double decode = 0;
    double setters = 0;
    double rows = 0;
    double csv = 0;
};

Stages timeStages(uint8_t type, const QVector<bench::Pack>& frames, const QString& scratch)
{
    Stages st;
    class_finger bare(type, nullptr);
    st.decode = usPerCall(kStageMs, [&](qint64 n) { bare.parseData(bytesOf(frames[n % frames.size()])); });

    // Decoders each holding one decoded frame: what the rows and the logger read.
    std::vector<std::unique_ptr<class_finger>> decoded;
    for (int i = 0; i < kDecodedSet; ++i) {
        decoded.push_back(std::make_unique<class_finger>(type, nullptr));
        decoded.back()->parseData(bytesOf(frames[i]));
    }

    {
        QWidget host;
        class_finger* view = viewFactory::create(viewFactory::viewClassFor(type), &host);
        if (view && showAndWait(host)) {
            view->setShowData(true);  // as the panel starts it: the show-data box is ticked
            const double withView =
                usPerCall(kStageMs, [&](qint64 n) { view->parseData(bytesOf(frames[n % frames.size()])); });
            st.setters = withView - st.decode;
        }
    }

    {
        fingerForm panel(kBus, kAddr);
        if (connectSensor(panel, type, frames.first()) && showAndWait(panel)) {
            st.rows = usPerCall(kStageMs, [&](qint64 n) {
                panel.ff->dataList = decoded[size_t(n % kDecodedSet)]->dataList;
                emit panel.ff->fingerSignals.si_dataUpdate();
            });
        }
    }

    class_csvLog log;
    if (log.open(QDir(scratch).filePath("stage.csv"))) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QElapsedTimer t;
        t.start();
        qint64 rows = 0;
        while (t.elapsed() < kStageMs) {
            for (int i = 0; i < kDecodedSet; ++i)
                log.writeFrame(*decoded[size_t(i)], now + rows++);
        }
        log.close();  // the flush belongs to the cost
        st.csv = double(t.nsecsElapsed()) / 1e3 / double(rows);
    }
    QFile::remove(QDir(scratch).filePath("stage.csv"));
    return st;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::Sandbox sandbox;
    QApplication app(argc, argv);
    bench::installQuietLog();
    const int seconds = std::max(1, bench::intOption(argc, argv, "--seconds", kDefaultSeconds));
    bool allMet = true;

    std::printf("frame path bench: panel %dx%d on the %s platform, event pass at least every %.1f ms, %d s per run\n",
                kPanelWidth, kPanelHeight, qPrintable(QGuiApplication::platformName()), kEventPassNs / 1e6, seconds);
    for (const Case& c : kCases) {
        const finger_param_ts* record = findFingerParam(c.type);
        const QVector<bench::Pack> frames = bench::framesOf(c.type, kFrameSet);
        if (!record || frames.isEmpty()) {
            std::fprintf(stderr, "type %d: no catalogue record\n", c.type);
            return 1;
        }
        class_finger probe(c.type, nullptr);
        probe.parseData(bytesOf(frames.first()));
        std::printf("\ntype %d (%d-byte frame, %d values), view class %d\n", c.type, record->packLen,
                    probe.dataList.size(), viewFactory::viewClassFor(c.type));

        Fed runs[2];
        for (int logging = 0; logging < 2; ++logging) {
            Fed& r = runs[logging];
            if (!feed(c.type, frames, logging, 1000 * seconds, &r)) {
                std::fprintf(stderr, "type %d: the panel was not shown or has no view\n", c.type);
                return 1;
            }
            std::printf("  logging %-3s: %7.0f frames/s, %6.1f us/frame (painting %4.1f us/frame, %lld event passes)",
                        logging ? "on" : "off", r.framesPerSecond(), r.usPerFrame(),
                        1e6 * r.paintSeconds / r.frames, static_cast<long long>(r.passes));
            if (logging)
                std::printf(", CSV rows %lld of %lld frames", static_cast<long long>(r.csvRows),
                            static_cast<long long>(r.frames));
            std::printf("\n");
        }

        const Stages st = timeStages(c.type, frames, sandbox.path());
        const Fed& on = runs[1];
        const double paint = 1e6 * on.paintSeconds / on.frames;
        const double rest = on.usPerFrame() - st.decode - st.setters - st.rows - st.csv - paint;
        std::printf("  stages per frame (us): decode %.2f, view setters %.2f, rows %.2f, CSV %.2f, painting %.2f, "
                    "rest (fed run minus stages) %.2f\n",
                    st.decode, st.setters, st.rows, st.csv, paint, rest);
        const bool met = on.framesPerSecond() >= c.targetFramesPerSecond && on.csvRows == on.frames;
        allMet = allMet && met;
        std::printf("  target with logging on: >= %.0f frames/s, every frame logged: %s\n", c.targetFramesPerSecond,
                    met ? "met" : "NOT met");
    }
    if (sandbox.warnings())
        std::printf("\n%d warning boxes would have been shown\n", sandbox.warnings());
    return allMet ? 0 : 2;
}
