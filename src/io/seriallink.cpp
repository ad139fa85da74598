#include "seriallink.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>

#include "iolimits.h"

namespace io {

static_assert(kBaudRate == 115200, "the termios speed below must follow kBaudRate");

SerialLink::~SerialLink() {
    close();
}

bool SerialLink::fail(const char* what, int error) {
    error_ =
        QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(error)));
    return false;
}

bool SerialLink::open(const QString& path) {
    close();
    path_ = path;
    error_.clear();
    if (path.isEmpty()) return fail("open", ENOENT);

    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail("open", errno);

    termios tty{};
    if (tcgetattr(fd, &tty) != 0) {
        const int error = errno;
        ::close(fd);
        return fail("not a serial device", error);
    }
    cfmakeraw(&tty);
    cfsetispeed(&tty, B115200);
    cfsetospeed(&tty, B115200);
    tty.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tty.c_cflag |= CS8 | CLOCAL | CREAD;
    tty.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    tty.c_cc[VMIN] = 0;
    tty.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tty) != 0) {
        const int error = errno;
        ::close(fd);
        return fail("configure", error);
    }
    // Whatever the line held before we owned it belongs to nobody.
    tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    return true;
}

void SerialLink::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int SerialLink::readAvailable(quint8* buffer, int max) {
    if (fd_ < 0) return -1;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, size_t(max));
        if (got >= 0) return int(got);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        fail("read", errno);
        return -1;
    }
}

bool SerialLink::write(const quint8* data, int n) {
    if (fd_ < 0) return false;
    int done = 0;
    while (done < n) {
        const ssize_t put = ::write(fd_, data + done, size_t(n - done));
        if (put > 0) {
            done += int(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Half a frame on the wire would garble the next one too: wait for room.
            pollfd p{fd_, POLLOUT, 0};
            const int ready = ::poll(&p, 1, kWriteDrainMs);
            if (ready > 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL))) continue;
            if (ready < 0 && errno == EINTR) continue;
            return fail("write", ready == 0 ? ETIMEDOUT : (ready < 0 ? errno : EIO));
        }
        return fail("write", put < 0 ? errno : EIO);
    }
    return true;
}

}  // namespace io
