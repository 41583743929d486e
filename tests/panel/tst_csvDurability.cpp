// The CSV log when the program does not end by its window: the project's frame_logger (a panel
// logging simulated frames) is killed at random moments, and asked to end by the signals a
// terminal or the system sends.

#include "class_csvLog.h"
#include "testMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <sys/types.h>

namespace {

constexpr int kKills = 30;
constexpr int kLatestKillMs = 300;       // after the first accepted frame
constexpr qint64 kWrittenWithinMs = 100;  // a row older than this is in the file
constexpr int kStartMs = 20000;
constexpr uint32_t kValueMask = 0xFFFFFF;

qint64 monotonicMs()
{
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
}

struct Accepted {
    uint32_t n;
    qint64 atMs;
};

// One run of the logger in its own program folder.
class Logger {
public:
    Logger()
    {
        process.setProgram(QStringLiteral(FRAME_LOGGER));
        process.setArguments({folder.path()});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    bool start()
    {
        process.start();
        return process.waitForStarted(kStartMs);
    }
    // Until the panel accepted its first frame.
    bool waitFirst()
    {
        QElapsedTimer t;
        t.start();
        while (accepted.isEmpty() && t.elapsed() < kStartMs && process.state() == QProcess::Running) {
            process.waitForReadyRead(20);
            read();
        }
        return !accepted.isEmpty();
    }
    void wait(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            process.waitForReadyRead(std::max<qint64>(1, ms - t.elapsed()));
            read();
        }
    }
    // Sends the signal; the moment it was sent.
    qint64 signal(int sig)
    {
        const qint64 at = monotonicMs();
        ::kill(pid_t(process.processId()), sig);
        return at;
    }
    bool waitEnd()
    {
        const bool ended = process.waitForFinished(kStartMs);
        read();
        return ended;
    }
    // The rows of the one log file: each whole, without its header; false (and why) when the
    // file is not whole or its rows are not frames 0, 1, 2 ... in order.
    bool rows(int* count, QString* why) const
    {
        const QStringList files = QDir(folder.path() + "/data").entryList({"*.csv"}, QDir::Files);
        *count = 0;
        if (files.isEmpty())
            return true;
        if (files.size() > 1) {
            *why = "more than one file";
            return false;
        }
        QFile f(folder.path() + "/data/" + files.first());
        if (!f.open(QIODevice::ReadOnly)) {
            *why = "unreadable";
            return false;
        }
        const QByteArray content = f.readAll();
        if (content.isEmpty())
            return true;
        if (!content.endsWith('\n')) {
            *why = "torn last row: " + QString::fromUtf8(content.right(60));
            return false;
        }
        QList<QByteArray> lines = content.split('\n');
        lines.removeLast();
        const int columns = lines.first().count(',') + 1;
        for (int i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            const uint32_t n = uint32_t(i - 1);
            if (fields.size() != columns || fields[1].toUInt() != (n & 0xFF) || fields[2].toUInt() != n ||
                fields[3].toUInt() != ((n * 7) & kValueMask)) {
                *why = QString("row %1 is not frame %1: %2").arg(n).arg(QString::fromUtf8(lines[i]));
                return false;
            }
        }
        *count = lines.size() - 1;
        return true;
    }

    QVector<Accepted> accepted;
    bool closed = false;
    QProcess process;

private:
    void read()
    {
        buffer += process.readAllStandardOutput();
        int end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = buffer.left(end).split(' ');
            buffer.remove(0, end + 1);
            if (words.size() == 2)
                accepted.append({words[0].toUInt(), words[1].toLongLong()});
            else if (words.first() == "closed")
                closed = true;
        }
    }

    QTemporaryDir folder;
    QByteArray buffer;
};

}  // namespace

class tst_csvDurability : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandomMoments();
    void endedBySignal_data();
    void endedBySignal();
};

void tst_csvDurability::killedAtRandomMoments()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int k = 0; k < kKills; ++k) {
        const QString run = QString("kill %1 of seed %2").arg(k).arg(seed);
        Logger logger;
        QVERIFY2(logger.start(), qPrintable(run));
        QVERIFY2(logger.waitFirst(), qPrintable(run));
        logger.wait(int(random.bounded(kLatestKillMs + 1)));
        const qint64 killedAt = logger.signal(SIGKILL);
        QVERIFY2(logger.waitEnd(), qPrintable(run));
        QCOMPARE(logger.process.exitStatus(), QProcess::CrashExit);

        int rows = 0;
        QString why;
        QVERIFY2(logger.rows(&rows, &why), qPrintable(run + ": " + why));
        // Frames are accepted in order: the last one old enough says how many rows must be there.
        // A row is handed to the system by the first frame the logger takes more than
        // class_csvLog::kFlushMs after it (frames come every few ms): so it is due once the logger
        // has gone on to a frame after that one. A busy machine may stop the logger for a while; a
        // row whose logger did not run again in time cannot be asked of it.
        const QVector<Accepted>& taken = logger.accepted;
        int due = 0;
        for (int i = 0, k = 0; i < taken.size(); ++i) {
            if (taken[i].atMs > killedAt - kWrittenWithinMs)
                break;
            // One ms more: both clocks count whole milliseconds.
            while (k < taken.size() && taken[k].atMs <= taken[i].atMs + class_csvLog::kFlushMs + 1)
                ++k;
            if (k + 1 < taken.size())
                due = int(taken[i].n) + 1;
        }
        QVERIFY2(rows >= due, qPrintable(run + QString(": %1 rows, %2 due").arg(rows).arg(due)));
        // Nothing that was not a frame: at most the one accepted as the kill came.
        QVERIFY2(rows <= logger.accepted.size() + 1, qPrintable(run));
    }
}

void tst_csvDurability::endedBySignal_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void tst_csvDurability::endedBySignal()
{
    QFETCH(int, sig);
    Logger logger;
    QVERIFY(logger.start());
    QVERIFY(logger.waitFirst());
    logger.wait(150);
    logger.signal(sig);
    // How soon it ends is a figure of bench/signal_end_bench; here it ends, and nothing is lost.
    QVERIFY(logger.waitEnd());
    QCOMPARE(logger.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(logger.process.exitCode(), 0);
    QVERIFY(logger.closed);

    // Every accepted frame is in the file, as when the window is closed.
    int rows = 0;
    QString why;
    QVERIFY2(logger.rows(&rows, &why), qPrintable(why));
    QVERIFY(!logger.accepted.isEmpty());
    QCOMPARE(rows, int(logger.accepted.last().n) + 1);
}

TACTILE_TEST_MAIN(tst_csvDurability)
#include "tst_csvDurability.moc"
