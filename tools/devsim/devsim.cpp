// ombrix-devsim: the simulated generator on a pseudo terminal, for end-to-end tests of the
// real serial port code and for trying the program without hardware. See --help.
#include "devsimoptions.h"
#include "ombrixversion.h"
#include "ptyserver.h"

#include "core/device/serialport.h"
#include "core/device/simgenerator.h"
#include "core/device/simstatejson.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace ombrix;
using Clock = std::chrono::steady_clock;

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    // Nothing to do on failure: the pipe is only a wake-up.
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &c, 1);
}

bool installSignals() {
    if (pipe(g_signalPipe) != 0)
        return false;
    for (int fd : g_signalPipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// A piece of reply bytes due at a time.
struct Pending {
    Clock::time_point due;
    std::vector<std::uint8_t> bytes;
};

class Server {
  public:
    Server(const devsim::Options& options, devsim::PtyServer& pty, std::FILE* log)
        : options_(options), pty_(pty), log_(log), generator_(options.settings),
          start_(Clock::now()) {
        generator_.faults() = options.faults;
        generator_.setFrameListener([this](const SimFrameEvent& e) {
            ++frames_;
            std::fprintf(log_, "[%8lld ms] frame %llu: %s\n", elapsedMs(),
                         static_cast<unsigned long long>(frames_), e.text.c_str());
            std::fflush(log_);
            stateDirty_ = true;
        });
    }

    // Runs until a signal arrives. Returns the exit code.
    int run() {
        writeState();
        std::vector<std::uint8_t> buffer(4096);
        for (;;) {
            pollfd fds[2] = {{pty_.master(), POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
            const int r = poll(fds, 2, pollTimeout());
            if (r < 0 && errno != EINTR) {
                std::fprintf(log_, "poll failed: %s\n", std::strerror(errno));
                return 1;
            }
            if (r > 0 && (fds[1].revents & POLLIN))
                return 0;
            if (r > 0 && (fds[0].revents & POLLIN)) {
                const ssize_t n = read(pty_.master(), buffer.data(), readLimit(buffer.size()));
                if (n > 0)
                    received({buffer.data(), static_cast<std::size_t>(n)});
            }
            const auto now = Clock::now();
            if (generator_.midFrame() &&
                now - lastReceived_ >= std::chrono::milliseconds(options_.blockIdleMs)) {
                generator_.lineIdle();
                schedule();
            }
            // The state is on disk before the reply that confirms it goes out.
            if (stateDirty_)
                writeState();
            sendDue();
        }
    }

  private:
    long long elapsedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
    }

    int pollTimeout() const {
        auto next = Clock::time_point::max();
        if (!pending_.empty())
            next = pending_.front().due;
        if (generator_.midFrame())
            next = std::min(next, lastReceived_ + std::chrono::milliseconds(options_.blockIdleMs));
        if (next == Clock::time_point::max())
            return -1;
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() + 1;
        return static_cast<int>(std::clamp<long long>(ms, 0, 60000));
    }

    // The speed the line runs at for pacing, 0 when it takes no time.
    int lineBaud() const {
        if (options_.baud > 0)
            return options_.baud;
        return options_.pace ? pty_.peerBaud() : 0;
    }

    // Ten bits per byte (start, 8 data, stop).
    static Clock::duration lineTime(std::size_t bytes, int baud) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(static_cast<long long>(bytes) * 10'000'000'000LL / baud));
    }

    // On a paced line, about 10 ms of bytes at a time, so the loop stays responsive.
    std::size_t readLimit(std::size_t size) const {
        const int baud = lineBaud();
        if (baud <= 0)
            return size;
        return std::clamp<std::size_t>(static_cast<std::size_t>(baud) / 1000, 1, size);
    }

    void received(std::span<const std::uint8_t> bytes) {
        const int peer = pty_.peerBaud();
        if (const int baud = lineBaud(); baud > 0) {
            // The bytes are the device's once they have crossed the line. While the other side
            // keeps bytes queued the line never rests, so a read this process was late for
            // catches up instead of stretching the line.
            const auto from = lineBusy_ ? lineInFree_ : std::max(lineInFree_, Clock::now());
            lineInFree_ = from + lineTime(bytes.size(), baud);
            std::this_thread::sleep_until(lineInFree_);
            lineBusy_ = pty_.waiting() > 0;
        }
        lastReceived_ = Clock::now();
        if (options_.strictSpeed && peer != 0 && peer != generator_.baud()) {
            std::fprintf(log_, "[%8lld ms] %zu bytes at %d baud lost (device at %d baud)\n",
                         elapsedMs(), bytes.size(), peer, generator_.baud());
            std::fflush(log_);
            return;
        }
        generator_.receive(bytes);
        schedule();
    }

    // Queues the generator's new replies with the late and split faults applied; on a paced
    // line each piece is due once it has crossed the line.
    void schedule() {
        const int baud = lineBaud();
        for (const std::vector<std::uint8_t>& reply : generator_.takeReplies()) {
            if (reply.size() > kReplySize) {
                std::fprintf(log_, "[%8lld ms] noise byte 0x%02X before the reply\n", elapsedMs(),
                             reply.front());
                std::fflush(log_);
            }
            const auto start = Clock::now() + std::chrono::milliseconds(options_.lateMs);
            auto queue = [&](Clock::time_point from, std::vector<std::uint8_t> piece) {
                auto due = from;
                if (baud > 0) {
                    due = std::max(lineOutFree_, from) + lineTime(piece.size(), baud);
                    lineOutFree_ = due;
                }
                pending_.push_back({due, std::move(piece)});
            };
            if (options_.split) {
                const auto middle = reply.begin() + static_cast<std::ptrdiff_t>(reply.size() / 2);
                queue(start, {reply.begin(), middle});
                queue(start + std::chrono::milliseconds(options_.splitGapMs),
                      {middle, reply.end()});
            } else {
                queue(start, reply);
            }
        }
    }

    void sendDue() {
        const auto now = Clock::now();
        while (!pending_.empty() && pending_.front().due <= now) {
            const auto& bytes = pending_.front().bytes;
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = write(pty_.master(), bytes.data() + done, bytes.size() - done);
                if (n > 0)
                    done += static_cast<std::size_t>(n);
                else if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                else
                    break;
            }
            pending_.pop_front();
        }
    }

    void writeState() {
        stateDirty_ = false;
        if (options_.stateFile.empty())
            return;
        // Readers never see a half-written file: write a temporary file, then rename it.
        const std::string temp = options_.stateFile + ".tmp";
        std::FILE* f = std::fopen(temp.c_str(), "w");
        if (f == nullptr)
            return;
        const std::string json = simStateJson(generator_);
        const bool ok = std::fwrite(json.data(), 1, json.size(), f) == json.size();
        if (std::fclose(f) == 0 && ok)
            std::rename(temp.c_str(), options_.stateFile.c_str());
    }

    const devsim::Options& options_;
    devsim::PtyServer& pty_;
    std::FILE* log_;
    SimGenerator generator_;
    Clock::time_point start_;
    Clock::time_point lastReceived_ = Clock::now();
    std::deque<Pending> pending_;
    unsigned long long frames_ = 0;
    Clock::time_point lineInFree_{};  // the last byte received has crossed the line
    Clock::time_point lineOutFree_{}; // the last byte sent will have crossed the line
    bool lineBusy_ = false;           // bytes were queued behind the last ones read
    bool stateDirty_ = false;
};

} // namespace

int main(int argc, char** argv) {
    devsim::Options options;
    std::string error;
    if (!devsim::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "ombrix-devsim: %s\n%s", error.c_str(), devsim::usageText());
        return 2;
    }
    if (options.help) {
        std::fputs(devsim::usageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("ombrix-devsim %s\n", ombrix::kVersion);
        return 0;
    }
    if (!installSignals()) {
        std::fprintf(stderr, "ombrix-devsim: cannot set up signal handling\n");
        return 1;
    }
    std::FILE* log = stderr;
    if (!options.logFile.empty()) {
        log = std::fopen(options.logFile.c_str(), "a");
        if (log == nullptr) {
            std::fprintf(stderr, "ombrix-devsim: cannot open log %s\n", options.logFile.c_str());
            return 1;
        }
    }
    devsim::PtyServer pty;
    if (!pty.open(error)) {
        std::fprintf(stderr, "ombrix-devsim: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty()) {
        struct stat st {};
        if (lstat(options.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(options.link.c_str());
        if (symlink(pty.slavePath().c_str(), options.link.c_str()) != 0) {
            std::fprintf(stderr, "ombrix-devsim: cannot link %s: %s\n", options.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::printf("%s\n", pty.slavePath().c_str());
    std::fflush(stdout);

    Server server(options, pty, log);
    const int code = server.run();
    std::fprintf(log, "ombrix-devsim: stopped\n");
    if (!options.link.empty())
        unlink(options.link.c_str());
    if (log != stderr)
        std::fclose(log);
    return code;
}
