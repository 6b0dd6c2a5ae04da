// Remote control's round trip over loopback: a client writes "FREQ <Hz>" and "FREQ?" and
// reads the answer, 1000 times, against the main window offscreen (the field typed into, its
// exit rule, the real-frequency readout and, in the spectrum view, the recalculation of all six
// outputs that a frequency change starts). Beside it the bare socket round trip: the same
// lines to a thread that answers each query at once.
//
// Each benchmark iteration is 1000 round trips; the counters give their median and 90th
// percentile in milliseconds. The last lines print the medians side by side.
#include "app/ombrix.h"
#include "app/remote/remotecontrol.h"
#include "app/remote/remoteserver.h"
#include "gui/charts/chartmenu.h"
#include "programconditions.h"

#include <QAction>
#include <QEventLoop>
#include <QMetaObject>
#include <QTabWidget>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace ombrix;
using Clock = std::chrono::steady_clock;

constexpr int kRoundTrips = 1000;
constexpr double kGoalMs = 2.0; // the window's median round trip, recalculation included

// A blocking loopback client that reads whole lines.
class LineSocket {
  public:
    explicit LineSocket(int fd) : fd_(fd) {
        const int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    static LineSocket connectTo(quint16 port) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            return LineSocket(-1);
        }
        return LineSocket(fd);
    }
    LineSocket(LineSocket&& o) noexcept : fd_(o.fd_), buffer_(std::move(o.buffer_)) { o.fd_ = -1; }
    LineSocket(const LineSocket&) = delete;
    ~LineSocket() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    bool write(const std::string& s) {
        return send(fd_, s.data(), s.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.size());
    }
    bool readLine(std::string& line) {
        for (;;) {
            const auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return true;
            }
            char chunk[4096];
            const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

  private:
    int fd_;
    std::string buffer_;
};

// 1000 round trips on `client`; the milliseconds of each, or nothing when the link broke.
std::vector<double> roundTrips(LineSocket& client) {
    std::vector<double> ms;
    ms.reserve(kRoundTrips);
    std::string answer;
    for (int i = 0; i < kRoundTrips; ++i) {
        const auto start = Clock::now();
        if (!client.write("FREQ " + std::to_string(1000 + i % 2) + "\nFREQ?\n") ||
            !client.readLine(answer))
            return {};
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return ms;
}

void report(benchmark::State& state, const char* name, std::vector<double> ms,
            std::map<std::string, double>& medians) {
    if (ms.empty()) {
        state.SkipWithError("the connection broke");
        return;
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    state.counters["median_ms"] = median;
    state.counters["p90_ms"] = ms[ms.size() * 9 / 10];
    medians[name] = median;
}

std::map<std::string, double> gMedians;

// A thread that answers each "FREQ?" line with a fixed line and ignores the others.
void bareSocket(benchmark::State& state) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listener, 1);
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    std::thread server([listener] {
        LineSocket peer(accept(listener, nullptr, nullptr));
        std::string line;
        while (peer.readLine(line))
            if (!line.empty() && line.back() == '?')
                peer.write("1000\n");
    });
    std::vector<double> ms;
    {
        LineSocket client = LineSocket::connectTo(ntohs(a.sin_port));
        for (auto _ : state)
            ms = roundTrips(client);
    }
    server.join();
    close(listener);
    report(state, "bare socket", std::move(ms), gMedians);
}

// The same against the window; the client runs on a thread while the event loop runs here.
void window(benchmark::State& state, ViewKind view, const char* name) {
    TOmbrix w;
    w.show();
    if (view != ViewKind::Form) {
        w.chartMenu()->FFTamplitude1->trigger();
        w.pages()->setCurrentIndex(1); // the spectrum of output 1 is drawn
    }
    w.calculation().finishCalculation();
    RemoteChoice choice;
    choice.enabled = true;
    choice.port = 0; // any free port
    if (!w.remote().apply(choice).isEmpty()) {
        state.SkipWithError("the server did not listen");
        return;
    }
    const quint16 port = w.remote().server().port();
    std::vector<double> ms;
    for (auto _ : state) {
        QEventLoop loop;
        std::thread client([&] {
            LineSocket c = LineSocket::connectTo(port);
            ms = roundTrips(c);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        client.join();
    }
    report(state, name, std::move(ms), gMedians);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const auto app = benchprog::enterProgramConditions(argc, argv);
    benchmark::RegisterBenchmark("bare_socket", bareSocket)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "remote_form_view",
        [](benchmark::State& s) { window(s, ViewKind::Form, "window, form view"); })
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("remote_spectrum_view",
                                 [](benchmark::State& s) {
                                     window(s, ViewKind::Magnitude,
                                            "window, spectrum view (recalculated)");
                                 })
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n%d FREQ/FREQ? round trips over loopback, median:\n", kRoundTrips);
    bool withinGoal = true;
    for (const auto& [name, median] : gMedians) {
        std::printf("  %-36s %8.3f ms\n", name.c_str(), median);
        withinGoal = withinGoal && (name == "bare socket" || median <= kGoalMs);
    }
    std::printf("window's median round trip within %.0f ms in every view: %s\n", kGoalMs,
                withinGoal && gMedians.size() == 3 ? "yes" : "no");
    benchmark::Shutdown();
    return 0;
}
