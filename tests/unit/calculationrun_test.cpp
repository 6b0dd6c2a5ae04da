#include "core/compute/calcexpress.h"
#include "core/compute/calculateforms.h"
#include "core/compute/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>

namespace ombrix {
namespace {

// Records what a run hands over, in order.
class RecordingSink : public CalcSink {
  public:
    void status(const std::string& text) override { log("status:" + text); }
    void clearSeries(int output) override {
        log("clear:" + std::to_string(output));
        std::lock_guard lock(m_);
        points[output].clear();
    }
    void appendPoints(int output, std::vector<double> xs, std::vector<double> ys) override {
        std::lock_guard lock(m_);
        for (size_t i = 0; i < xs.size(); ++i)
            points[output].emplace_back(xs[i], ys[i]);
    }
    void samples(int output, std::vector<double> values) override {
        std::lock_guard lock(m_);
        store[output] = std::move(values);
    }
    void failure(const std::string& text, const std::string& caption) override {
        log("failure:" + text + "/" + caption);
    }
    void outputFailed(int output) override { log("failed:" + std::to_string(output)); }
    void completed(const std::array<bool, kOutputCount>& active) override {
        log("completed");
        shown = active;
    }

    std::vector<std::string> events;
    std::map<int, std::vector<std::pair<double, double>>> points;
    std::map<int, std::vector<double>> store;
    std::array<bool, kOutputCount> shown{};

  private:
    void log(const std::string& e) {
        std::lock_guard lock(m_);
        events.push_back(e);
    }
    std::mutex m_;
};

class CalculationRunTest : public ::testing::Test {
  protected:
    RunOutcome run(int first, int last) {
        std::atomic<bool> stop{false};
        return runCalculation(first, last, snap, calc, engine, sink, stop);
    }
    CalcSnapshot snap;
    TCalcExpress calc{'.'};
    TSpectrum engine;
    RecordingSink sink;
};

TEST_F(CalculationRunTest, FormViewPublishesOnePointPerSampleAndCompletes) {
    snap.forms.Outputs[0].Harmonics[0] = {"1", "0", true};
    run(0, 5);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(sink.points[k].size(), 1000u) << k;
    EXPECT_EQ(sink.points[0][250].first, 250.0);
    EXPECT_NEAR(sink.points[0][250].second, 1.0, 1e-12);
    EXPECT_EQ(sink.store[0].size(), 1000u);
    EXPECT_EQ(sink.events.front(), "status:Samples are calculating");
    EXPECT_EQ(sink.events[sink.events.size() - 2], "completed");
    EXPECT_EQ(sink.events.back(), "status:Samples calculated");
}

TEST_F(CalculationRunTest, ASingleOutputRequestTouchesNoOtherSeries) {
    run(2, 2);
    EXPECT_EQ(sink.points.size(), 1u);
    EXPECT_EQ(sink.points.count(2), 1u);
}

TEST_F(CalculationRunTest, PulseAndEquationOutputsAreRotatedButSineIsNot) {
    snap.forms.General.Ph_Disp[1] = "90";
    snap.forms.Outputs[1].Form = FormKind::Pulse;
    snap.forms.Outputs[1].Pulse = {"5", "0", "25", "0", "75", "0"}; // 0 V until sample 250
    snap.forms.General.Ph_Disp[2] = "90";
    snap.forms.Outputs[2].Harmonics[0] = {"1", "0", true};
    snap.forms.General.Ph_Disp[3] = "-90";
    snap.forms.Outputs[3].Form = FormKind::Equation;
    snap.forms.Outputs[3].Equation = "x";
    run(0, 5);
    EXPECT_EQ(sink.points[1][0].second, 5.0);   // period sample 250
    EXPECT_EQ(sink.points[1][750].second, 0.0); // period sample 0
    EXPECT_NEAR(sink.points[2][250].second, 1.0, 1e-12);
    const double w = 2 * 3.14159265358979323846 / 1000;
    EXPECT_NEAR(sink.points[3][0].second, 750 * w, 1e-12); // -90 is treated as 270
}

TEST_F(CalculationRunTest, AFailedEquationHoldsNothingAndTheOthersAreStillComputed) {
    snap.forms.Outputs[1].Form = FormKind::Equation;
    snap.forms.Outputs[1].Equation = "1/(x-x)";
    snap.forms.General.Active = {true, true, true, false, false, false};
    const RunOutcome outcome = run(0, 5);
    EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "failure:Divide by zero/Error"),
              1);
    // The output is reported failed before its message, so the chart is empty while it shows.
    const auto failed = std::find(sink.events.begin(), sink.events.end(), "failed:1");
    ASSERT_NE(failed, sink.events.end());
    EXPECT_EQ(*(failed + 1), "failure:Divide by zero/Error");
    EXPECT_TRUE(sink.points[1].empty());
    EXPECT_EQ(sink.store.count(1), 0u);
    for (int k : {0, 2, 3, 4, 5}) {
        EXPECT_EQ(sink.points[k].size(), 1000u) << k;
        EXPECT_EQ(outcome[k], OutputResult::Done) << k;
    }
    EXPECT_EQ(outcome[1], OutputResult::Failed);
    EXPECT_EQ(sink.shown, (std::array<bool, kOutputCount>{true, false, true, false, false, false}));
    EXPECT_EQ(sink.events.back(), "status:Samples not calculated");

    // Told to leave the failed output alone, a run does not touch it or try it again.
    sink.events.clear();
    snap.leave[1] = true;
    const RunOutcome again = run(0, 2);
    EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "clear:1"), 0);
    EXPECT_EQ(again[1], OutputResult::NotReached);
    EXPECT_EQ(sink.shown[1], false);
    EXPECT_EQ(sink.events.back(), "status:Samples calculated");
}

TEST_F(CalculationRunTest, ParseFailureIsSilentAndLeavesTheSeriesEmpty) {
    snap.forms.Outputs[0].Form = FormKind::Equation;
    snap.forms.Outputs[0].Equation = "2+";
    run(0, 0);
    for (const auto& e : sink.events)
        EXPECT_EQ(e.rfind("failure", 0), std::string::npos);
    EXPECT_TRUE(sink.points[0].empty());
    EXPECT_EQ(sink.events.back(), "status:Samples not calculated");
}

TEST_F(CalculationRunTest, SpectrumLinesStopAboveThirtyFiveKilohertz) {
    snap.view = ViewKind::Magnitude;
    snap.forms.Outputs[0].Harmonics[0] = {"1", "0", true};
    run(0, 0);
    ASSERT_EQ(sink.points[0].size(), 72u); // 1 MHz / 2048 = 488.28 Hz per line: lines 0..71
    EXPECT_NEAR(sink.points[0][71].first, 71 * 1e6 / 2048, 1e-6);
    EXPECT_GT(sink.points[0][2].second, 0.6); // 1 kHz lies at line 2.048: the peak is there
    EXPECT_LT(sink.points[0][40].second, 0.05);

    snap.forms.General.NumOfSam = "100";
    snap.forms.General.Freq = "100";
    run(0, 0);
    EXPECT_EQ(sink.points[0].size(), 1024u); // every line up to 5 kHz minus one spacing
    EXPECT_EQ(sink.store[0].size(), 100u);   // the samples are kept in every view
}

TEST_F(CalculationRunTest, OversizedSampleCountIsLimitedToTheDeviceMemory) {
    snap.forms.General.NumOfSam = "99999";
    snap.forms.Outputs[0].Form = FormKind::Pulse;
    run(0, 0);
    EXPECT_EQ(sink.points[0].size(), 8192u);
}

TEST(CalculateFormsThread, ManyRequestsInARowNeverOverlap) {
    TCalcExpress calc('.');
    TSpectrum engine;
    RecordingSink sink;
    CalcSnapshot snap;
    snap.forms.General.NumOfSam = "8192";
    for (auto& o : snap.forms.Outputs)
        for (auto& h : o.Harmonics)
            h = {"1", "0", true};
    std::unique_ptr<TCalculateFormsThread> thread;
    for (int i = 0; i < 30; ++i) {
        snap.view = i % 2 ? ViewKind::Form : ViewKind::Phase;
        thread.reset(); // stops and waits for the previous run
        thread = std::make_unique<TCalculateFormsThread>(0, 5, snap, calc, engine, sink);
    }
    thread->waitFor();
    EXPECT_TRUE(thread->finished());
    EXPECT_FALSE(thread->stopRequested());
    EXPECT_EQ(sink.events.back(), "status:Samples calculated");
    EXPECT_EQ(sink.store[5].size(), 8192u);
}

} // namespace
} // namespace ombrix
