#include "core/device/termiosport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace ombrix {

namespace {

speed_t speedConstant(int baud) {
    switch (baud) {
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    default:
        return B9600;
    }
}

bool isComName(const std::string& name, int& number) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
        return false;
    if (!std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    if (name.size() > 8)
        return false;
    number = std::stoi(name.substr(3));
    return number >= 1;
}

void applyLineSettings(int fd, int baudIndex) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedConstant(baudForIndex(baudIndex));
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    // As on the original line, a failure to apply the settings does not fail the open.
    (void)tcsetattr(fd, TCSANOW, &tio);
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);
}

} // namespace

TermiosPort::~TermiosPort() {
    ClosePort();
}

std::string TermiosPort::devicePath(const std::string& name) {
    int number = 0;
    if (isComName(name, number))
        return "/dev/ttyS" + std::to_string(number - 1);
    if (name.find('/') != std::string::npos)
        return name;
    return "/dev/" + name;
}

bool TermiosPort::OpenPort(const std::string& name, int baudIndex) {
    rememberName(name);
    if (fd_ >= 0) {
        lastError_ = "port already open";
        return false;
    }
    if (name.empty()) {
        lastError_ = "empty port name";
        return false;
    }
    const std::string path = devicePath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = path + ": " + std::strerror(errno);
        return false;
    }
    termios probe{};
    if (tcgetattr(fd, &probe) != 0) {
        lastError_ = path + ": not a terminal";
        ::close(fd);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        lastError_ = path + ": port busy";
        ::close(fd);
        return false;
    }
    applyLineSettings(fd, baudIndex);
    // A freshly opened port holds no stale received bytes. (Output is left alone: on a
    // pseudo terminal it may still hold the last frame of the previous user.)
    tcflush(fd, TCIFLUSH);
    fd_ = fd;
    baud_ = baudForIndex(baudIndex);
    lastError_.clear();
    return true;
}

bool TermiosPort::WritePort(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The port is non-blocking for reads; a full transmit queue is waited out here.
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
                return false;
            continue;
        }
        return false;
    }
    return tcdrain(fd_) == 0;
}

std::size_t TermiosPort::waitingCount() const {
    if (fd_ < 0)
        return 0;
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0)
        return 0;
    return static_cast<std::size_t>(waiting);
}

std::size_t TermiosPort::ReadInto(std::uint8_t* into, std::size_t maxCount) {
    const std::size_t want = std::min({waitingCount(), maxCount, kReceiveBufferSize});
    if (want == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, into, want);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return 0;
    }
}

bool TermiosPort::WaitReadable(int timeoutMs) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(std::max(timeoutMs, 0));
    if (fd_ < 0) {
        std::this_thread::sleep_until(deadline);
        return false;
    }
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (r > 0 && (p.revents & POLLIN))
            return true;
        if (r < 0 && errno == EINTR)
            continue;
        if (r > 0) {
            // Hang-up or error with nothing to read: poll would return at once, so wait the
            // time out instead of spinning.
            std::this_thread::sleep_until(deadline);
            return false;
        }
        if (r == 0 && steady_clock::now() >= deadline)
            return false;
        if (r < 0)
            return false;
    }
}

void TermiosPort::FlushPort() {
    if (fd_ >= 0)
        tcdrain(fd_);
}

void TermiosPort::PurgeTransmit() {
    if (fd_ >= 0)
        tcflush(fd_, TCOFLUSH);
}

bool TermiosPort::ClosePort() {
    if (fd_ < 0)
        return false;
    // The exclusive flag belongs to the terminal, not to this descriptor: a pseudo terminal
    // kept open by its other side would stay locked against the next open.
    (void)ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    return true;
}

} // namespace ombrix
