// How soon a logging panel's program ends after SIGTERM, SIGINT or SIGHUP: the project's frame
// logger (a sensor panel logging simulated frames to CSV, tests/support/frameLogger) is started,
// logs for a moment, gets the signal, and the time to its exit is taken. Checked each time: it
// exits normally and its file holds a row for every frame it accepted.
//
//     signal_end_bench [--runs N]      (default 10 per signal)

#include "benchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

constexpr int kDefaultRuns = 10;
constexpr int kLogMs = 150;       // logging before the signal
constexpr int kWaitMs = 30000;    // a logger that takes longer has hung

struct Signal {
    int number;
    const char* name;
};
constexpr Signal kSignals[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};

// The last frame number the logger said it accepted ("<n> <ms>" lines), -1 before the first.
long lastAccepted(const QByteArray& out)
{
    long last = -1;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2)
            last = words[0].toLong();
    }
    return last;
}

long rowsOf(const QString& programDir)
{
    const QStringList files = QDir(programDir + "/data").entryList({"*.csv"}, QDir::Files);
    if (files.size() != 1)
        return -1;
    QFile f(programDir + "/data/" + files.first());
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return long(f.readAll().count('\n')) - 1;  // without the header
}

// One run: milliseconds from the signal to the exit, or -1 (with the reason on stderr).
double endAfter(int sig, bool* whole)
{
    QTemporaryDir folder;
    QProcess logger;
    logger.setProgram(QStringLiteral(FRAME_LOGGER));
    logger.setArguments({folder.path()});
    logger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    logger.start();
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (lastAccepted(out) < 0 && t.elapsed() < kWaitMs && logger.waitForReadyRead(kWaitMs))
        out += logger.readAllStandardOutput();
    if (lastAccepted(out) < 0) {
        std::fprintf(stderr, "the logger took no frame\n");
        return -1;
    }
    t.restart();
    while (t.elapsed() < kLogMs) {
        logger.waitForReadyRead(int(std::max<qint64>(1, kLogMs - t.elapsed())));
        out += logger.readAllStandardOutput();
    }
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ::kill(pid_t(logger.processId()), sig);
    if (!logger.waitForFinished(kWaitMs)) {
        std::fprintf(stderr, "the logger did not end\n");
        logger.kill();
        logger.waitForFinished();
        return -1;
    }
    const double ms = double(sinceSignal.nsecsElapsed()) / 1e6;
    out += logger.readAllStandardOutput();
    *whole = logger.exitStatus() == QProcess::NormalExit && logger.exitCode() == 0 && out.contains("closed") &&
             rowsOf(folder.path()) == lastAccepted(out) + 1;
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::Sandbox sandbox;
    QCoreApplication app(argc, argv);
    const int runs = std::max(1, bench::intOption(argc, argv, "--runs", kDefaultRuns));
    std::printf("signal end bench: the frame logger ended by a signal, %d runs each, ms from the signal to "
                "its exit\n",
                runs);
    bool allWhole = true;
    for (const Signal& s : kSignals) {
        QVector<double> ms;
        for (int i = 0; i < runs; ++i) {
            bool whole = false;
            const double m = endAfter(s.number, &whole);
            if (m < 0)
                return 1;
            ms.append(m);
            allWhole = allWhole && whole;
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  %-7s  lowest %.1f  median %.1f  highest %.1f\n", s.name, ms.first(), ms[ms.size() / 2],
                    ms.last());
    }
    std::printf("every run ended normally with a row for every accepted frame: %s\n", allWhole ? "yes" : "NO");
    return allWhole ? 0 : 2;
}
