// How long the window's event loop stalls while the device talks: the main window offscreen
// on the paced "Simulator" (each byte takes its line time) at 9600 and 57600 baud, a 1 ms
// timer on the GUI thread, and the longest gap between two of its firings during Connect,
// Check connection, Show version, Send all, a 20-step track-bar drag at 20 ms a step,
// Reset DSP and Disconnect. For the drag also the time from its last step until the device
// holds that frequency.
//
// Each figure is printed beside the same case's longest gap when the window waited for the
// device itself: this program's cases run on the main branch at commit 67c2c79 (2026-12-11,
// before the device link had a thread of its own), Release, offscreen, on the 2-core build
// machine. There the drag's device followed its last step after 115.5 ms (9600 baud) and
// 103.5 ms (57600 baud), each step blocking the window for its whole exchange. The last lines,
// one a case, read `<case> <baud> gap_ms=<longest gap> follow_ms=<drag end to device>`.
#include "app/devicelink.h"
#include "app/ombrix.h"
#include "core/device/encodings.h"
#include "gui/device/controlpanel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ombrix;

// The longest time between two firings of a 1 ms timer on the GUI thread.
class GapMeter {
  public:
    GapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        clock_.start();
        timer_.start();
    }
    void reset() {
        longest_ = 0;
        last_ = clock_.nsecsElapsed();
    }
    double longestMs() {
        tick(); // a stall still going on counts up to now
        return static_cast<double>(longest_) / 1e6;
    }

  private:
    void tick() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

// Runs the event loop until `done` holds (false after `limitMs`).
bool spinUntil(const std::function<bool()>& done, int limitMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

void spinFor(int ms) {
    QElapsedTimer t;
    t.start();
    spinUntil([&] { return t.elapsed() >= ms; });
}

struct Result {
    std::string name;
    int baud = 0;
    double gapMs = 0;
    double followMs = -1;
};

// What each case blocked the window for on the main branch before the link thread
// (bench_gui_stall's own cases, Release, this machine), by case and baud.
double blockedBefore(const std::string& name, int baud) {
    if (name == "idle")
        return 0;
    struct Before {
        const char* name;
        double at9600;
        double at57600;
    };
    static const Before before[] = {
        {"connect", 756.0, 743.5},       {"check_connection", 432.4, 413.8},
        {"show_version", 231.9, 206.8},  {"send_all", 28.9, 73.1},
        {"drag_20_steps", 155.7, 144.1}, {"reset_dsp", 1302.8, 1258.8},
        {"disconnect", 361.8, 314.4},
    };
    for (const Before& b : before)
        if (name == b.name)
            return baud == 9600 ? b.at9600 : b.at57600;
    return -1;
}

class Session {
  public:
    explicit Session(int baudIndex) {
        window_ = std::make_unique<TOmbrix>(
            LinkSetup{nullptr, nullptr, [] { return std::optional(QStringList{"Simulator"}); }});
        device_ = &window_->link().device();
        device_->setMessageHook([this](const MessageRequest& r) {
            messages_.push_back(r.text.toStdString());
            return true;
        });
        window_->calculation().finishCalculation();
        window_->show();
        TSettingsForm& settings = window_->settingsForm();
        settings.PortSelect_ComboBox->setEditText("Simulator");
        settings.BaudRate_ComboBox->setCurrentIndex(baudIndex);
        settings.ButtonOKClick();
        baud_ = kBaudTable[static_cast<std::size_t>(baudIndex)];
        spinFor(500); // the window's first paints
    }

    bool idle() { return linkIdle(*device_); }

    // Measures `act`, then runs the loop until `done` holds and the link is idle.
    Result measure(
        const char* name, const std::function<void()>& act,
        const std::function<bool()>& done = [] { return true; }) {
        spinFor(50);
        meter_.reset();
        act();
        const bool ok = spinUntil([&] { return done() && idle(); });
        Result r{name, baud_, meter_.longestMs()};
        if (!ok)
            std::printf("# %s %d did not finish\n", name, baud_);
        return r;
    }

    std::vector<Result> run() {
        std::vector<Result> results;
        TOmbrix& w = *window_;
        // The loop's own gap with nothing to do: what the machine gives the window.
        results.push_back(measure("idle", [] { spinFor(500); }));
        results.push_back(measure("connect", [&] { w.actions().connectButton->click(); }));
        results.push_back(
            measure("check_connection", [&] { w.actions().checkConnection->trigger(); }));
        results.push_back(measure("show_version", [&] { w.actions().dspVersion->trigger(); }));
        results.push_back(measure(
            "send_all", [&] { w.actions().sendAllButton->click(); },
            [&] { return !device_->transferRunning(); }));
        results.push_back(drag());
        results.push_back(measure("reset_dsp", [&] { w.actions().resetDsp->trigger(); }));
        results.push_back(measure("disconnect", [&] { w.actions().disconnectButton->click(); }));
        if (!messages_.empty())
            std::printf("# messages: %zu, first \"%s\"\n", messages_.size(),
                        messages_.front().c_str());
        return results;
    }

  private:
    // 20 steps of the control panel's track bar, 20 ms apart, from 200 Hz up by 40 Hz.
    Result drag() {
        TControlPanelForm& panel = window_->controlPanel();
        panel.showWithFrequency("200");
        spinFor(50);
        meter_.reset();
        constexpr int kSteps = 20;
        int step = 0;
        QElapsedTimer sinceLast;
        QTimer stepper;
        stepper.setTimerType(Qt::PreciseTimer);
        stepper.setInterval(20);
        QObject::connect(&stepper, &QTimer::timeout, [&] {
            if (step >= kSteps)
                return;
            ++step;
            if (step == kSteps) {
                stepper.stop();
                sinceLast.start();
            }
            panel.TrackBar1->setValue(200 + 40 * step);
        });
        stepper.start();
        const int last = 200 + 40 * kSteps;
        const TimingWords target =
            timingWords(last, 1000, kDefaultQuartzMHz, kDefaultInstructions).words;
        auto holds = [&] {
            if (step < kSteps)
                return false;
            const SimState s = device_->deviceState();
            return s.timingSet && s.timing.OuterCount == target.OuterCount &&
                   s.timing.InnerCount == target.InnerCount &&
                   s.timing.Remainder == target.Remainder;
        };
        const bool ok = spinUntil(holds);
        const double follow = static_cast<double>(sinceLast.nsecsElapsed()) / 1e6;
        spinUntil([&] { return idle(); });
        Result r{"drag_20_steps", baud_, meter_.longestMs(), ok ? follow : -1};
        return r;
    }

    static bool linkIdle(DeviceController& device) { return device.idle(); }

    std::unique_ptr<TOmbrix> window_;
    DeviceController* device_ = nullptr;
    GapMeter meter_;
    std::vector<std::string> messages_;
    int baud_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<Result> all;
    for (int baudIndex : {4, 7}) {
        Session session(baudIndex);
        const std::vector<Result> results = session.run();
        all.insert(all.end(), results.begin(), results.end());
    }
    std::printf("%-18s %6s %12s %12s %10s\n", "case", "baud", "gap [ms]", "before [ms]",
                "follow [ms]");
    for (const Result& r : all) {
        std::printf("%-18s %6d %12.1f %12.0f", r.name.c_str(), r.baud, r.gapMs,
                    blockedBefore(r.name, r.baud));
        if (r.followMs >= 0)
            std::printf(" %10.1f", r.followMs);
        std::printf("\n");
    }
    bool within = true;
    for (const Result& r : all) {
        std::printf("%s %d gap_ms=%.1f", r.name.c_str(), r.baud, r.gapMs);
        if (r.name == "drag_20_steps")
            std::printf(" follow_ms=%.1f", r.followMs);
        std::printf("\n");
        within = within && r.gapMs <= 16.0;
    }
    std::printf("# longest gap within one 60 Hz frame (16 ms) in every case: %s\n",
                within ? "yes" : "no");
    return 0;
}
