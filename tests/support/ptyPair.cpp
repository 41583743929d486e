#include "ptyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Poll slice: between slices pending events run, so a QSerialPort in this thread can send what it
// buffered while the test waits for it.
constexpr int kSliceMs = 5;
// A write gives up when the far side reads nothing for this long.
constexpr int kWriteTimeoutMs = 5000;

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

PtyPair::PtyPair()
{
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    // Non-blocking, so a full line buffer never blocks the thread the reading port lives in.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeFd(master);
    closeFd(slave);
}

void PtyPair::write(const QByteArray& data)
{
    const char* p = data.constData();
    qint64 left = data.size();
    QElapsedTimer clock;
    clock.start();
    while (master >= 0 && left > 0 && clock.elapsed() < kWriteTimeoutMs) {
        const ssize_t n = ::write(master, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return;
            // The slave has not read yet: let its reader run, then wait for room.
            QCoreApplication::processEvents();
            pollfd pfd{master, POLLOUT, 0};
            ::poll(&pfd, 1, kSliceMs);
            continue;
        }
        p += n;
        left -= n;
    }
}

QByteArray PtyPair::read(int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (master >= 0) {
        QCoreApplication::processEvents();
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0)
            break;
        pollfd pfd{master, POLLIN, 0};
        const int r = ::poll(&pfd, 1, qMin(left, kSliceMs));
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0)
            continue;
        if (r < 0 || !(pfd.revents & POLLIN))
            break;
        char buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            break;
        out.append(buf, int(n));
    }
    return out;
}

void PtyPair::hangUp()
{
    closeFd(master);
}

QByteArray PtyPair::marker()
{
    // No poll (a byte and its complement), no frame head, no YMODEM control byte.
    return QByteArray::fromHex("7a3c7a3c7a3c7a3c");
}

void PtyPair::writeBehind(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (slave >= 0 && left > 0) {
        const ssize_t n = ::write(slave, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

QByteArray PtyPair::readAllWritten(int deadlineMs)
{
    QCoreApplication::processEvents();
    writeBehind(marker());
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.endsWith(marker()) && clock.elapsed() < deadlineMs)
        out += read(kSliceMs);
    if (!out.endsWith(marker())) {
        qWarning("pty: the marker did not come back within %d ms", deadlineMs);
        return out;
    }
    out.chop(marker().size());
    return out;
}

int PtyPair::readSome(QByteArray* out, int sliceMs)
{
    pollfd pfd{master, POLLIN, 0};
    if (master < 0 || ::poll(&pfd, 1, sliceMs) <= 0)
        return 0;
    if (!(pfd.revents & POLLIN)) {
        ::usleep(useconds_t(sliceMs) * 1000);  // the slave side is closed; wait for it to come back
        return 0;
    }
    char chunk[4096];
    const ssize_t n = ::read(master, chunk, sizeof chunk);
    if (n <= 0)
        return 0;
    out->append(chunk, int(n));
    return int(n);
}

void PtyPair::writeAll(const QByteArray& bytes, const std::function<bool()>& keepGoing, int giveUpMs)
{
    const char* p = bytes.constData();
    int left = bytes.size();
    QElapsedTimer waited;
    waited.start();
    while (left > 0 && master >= 0 && keepGoing() && waited.elapsed() < giveUpMs) {
        const ssize_t n = ::write(master, p, size_t(left));
        if (n > 0) {
            p += n;
            left -= int(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd pfd{master, POLLOUT, 0};
            ::poll(&pfd, 1, kSliceMs);
        }
    }
}
