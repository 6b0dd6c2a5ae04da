#include "app/quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace ombrix {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe's writing end for the handler; -1 while no QuitSignals exists.
volatile std::sig_atomic_t gWriteEnd = -1;

extern "C" void onQuitSignal(int number) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(number);
    if (gWriteEnd >= 0) {
        const ssize_t written = ::write(gWriteEnd, &byte, 1); // async-signal-safe
        (void)written;                                        // a full pipe already holds a request
    }
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QWidget& mainWindow) : mainWindow_(mainWindow) {
    if (gWriteEnd >= 0)
        throw std::logic_error("only one QuitSignals at a time");
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("no pipe for the quit signals");
    gWriteEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::received);
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t k = 0; k < kSignals.size(); ++k) {
        ::sigaction(kSignals[k], nullptr, &previous_[k]);
        if (previous_[k].sa_handler != SIG_IGN)
            ::sigaction(kSignals[k], &action, nullptr);
    }
}

QuitSignals::~QuitSignals() {
    for (std::size_t k = 0; k < kSignals.size(); ++k)
        ::sigaction(kSignals[k], &previous_[k], nullptr);
    gWriteEnd = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void QuitSignals::received() {
    unsigned char bytes[16];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    mainWindow_.close();
    QCoreApplication::exit(0);
}

} // namespace ombrix
