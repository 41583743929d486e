#include "quitSignals.h"

#include <QObject>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace quitSignals {

#ifdef Q_OS_UNIX
namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
int wakeFds[2] = {-1, -1};  // the handler writes to [0], the event loop reads [1]

void onUnixSignal(int)
{
    // Only what is safe in a signal handler: one byte into the socket pair.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[0], &byte, 1);
    errno = saved;
}

bool openWakePair()
{
    if (wakeFds[0] >= 0)
        return true;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    wakeFds[0] = fds[0];
    wakeFds[1] = fds[1];
    return true;
}

}  // namespace

bool install(QObject* context, std::function<void()> onSignal)
{
    if (!openWakePair())
        return false;
    auto* notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal = std::move(onSignal)] {
        char bytes[16];
        ssize_t n = 0;
        while ((n = ::read(wakeFds[1], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < n; ++i)
                onSignal();
        }
    });
    struct sigaction action = {};
    action.sa_handler = onUnixSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls; the default comes back after one signal, so that a program that
    // does not end can still be ended by a second one.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int s : kSignals)
        ::sigaction(s, &action, nullptr);
    return true;
}

#else

bool install(QObject*, std::function<void()>)
{
    return false;
}

#endif

}  // namespace quitSignals
