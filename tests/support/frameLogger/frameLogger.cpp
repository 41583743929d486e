// A sensor panel logging simulated frames of a type-20 sensor to CSV, as the program's panels do,
// until the process is killed or asked to end by SIGINT, SIGTERM or SIGHUP (which end it as the
// program ends: the panel goes and its log is closed).
//
//     frame_logger <program folder> [frame period in ms, default 2]
//
// Frame n carries n in its first channel and n * 7 (24 bits) in its second; its sequence byte is
// n mod 256. Standard output gets "<n> <ms>" once frame n was accepted by the panel (ms: the
// monotonic clock's milliseconds, as QElapsedTimer::msecsSinceReference reads them), and "closed" after the end.

#include "catalogueFrames.h"
#include "fingerForm.h"
#include "hooks.h"
#include "quitSignals.h"
#include "sensor_ts.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr uint8_t kType = 20;
constexpr uint8_t kBus = 0;
constexpr uint8_t kAddr = 0x61;
constexpr int kDefaultPeriodMs = 2;
constexpr uint32_t kValueMask = 0xFFFFFF;  // channel values are 24-bit

void say(const char* text, int length)
{
    // Unbuffered: what was said before a kill is in the pipe.
    while (length > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, text, size_t(length));
        if (n <= 0)
            return;
        text += n;
        length -= int(n);
    }
}

// The monotonic clock in milliseconds: the same for every process of the machine.
qint64 monotonicMs()
{
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
}

QVector<uint8_t> frame(uint32_t n)
{
    sim::FrameValues v = catalogueFrames::sampleValues(*findFingerParam(kType));
    v.channels[0] = n & kValueMask;
    v.channels[1] = (n * 7) & kValueMask;
    return catalogueFrames::toPack(catalogueFrames::frameFor(kType, v, uint8_t(n)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: frame_logger <program folder> [period ms]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quitSignals::install(&app, [] { QCoreApplication::quit(); });
    hooks::setProgramDir(QString::fromLocal8Bit(argv[1]));
    hooks::setWarning([](const QString& title, const QString& text) {
        std::fprintf(stderr, "warning: %s: %s\n", qPrintable(title), qPrintable(text));
    });
    const int period = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultPeriodMs;
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });

    int code = 0;
    {
        fingerForm panel(kBus, kAddr);
        sensor_ts s;
        s.infIdx = kBus;
        s.addr = kAddr;
        s.prg = kType;
        s.devId = 1;
        panel.sl_connectedFinger(kBus, kAddr, s);
        panel.findChild<QCheckBox*>("chkbtnSave")->setChecked(true);

        uint32_t n = 0;
        QTimer feeder;
        feeder.setTimerType(Qt::PreciseTimer);
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            panel.sl_updateData(kBus, kAddr, frame(n));
            char line[48];
            const int length = std::snprintf(line, sizeof line, "%u %lld\n", n,
                                             static_cast<long long>(monotonicMs()));
            say(line, length);
            ++n;
        });
        feeder.start(period);
        code = app.exec();
    }
    say("closed\n", 7);
    return code;
}
