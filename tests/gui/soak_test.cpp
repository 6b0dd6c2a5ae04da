// Soak: bursts of recalculation requests with random configurations on one main window while
// its charts repaint, each request stopping the run before it. Whatever was cancelled on the
// way, the charts end showing exactly what a direct run of the last configuration computes.
//
// OMBRIX_SOAK_REQUESTS sets the number of requests (default 2000), OMBRIX_SOAK_SEED the seed.
#include "app/ombrix.h"
#include "calcrequests.h"
#include "core/compute/calcexpress.h"
#include "core/compute/calculationrun.h"
#include "core/compute/spectrum.h"
#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace ombrix {
namespace {

long environmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return *end == '\0' && v > 0 ? v : fallback;
}

// What a run hands over, kept per output.
class CollectingSink final : public CalcSink {
  public:
    void status(const std::string&) override {}
    void clearSeries(int output) override { points[static_cast<std::size_t>(output)].clear(); }
    void appendPoints(int output, std::vector<double>, std::vector<double> ys) override {
        auto& into = points[static_cast<std::size_t>(output)];
        into.insert(into.end(), ys.begin(), ys.end());
    }
    void samples(int output, std::vector<double> values) override {
        published[static_cast<std::size_t>(output)] = std::move(values);
    }
    void failure(const std::string& text, const std::string&) override { failures.push_back(text); }
    void completed(const std::array<bool, kOutputCount>&) override { complete = true; }

    std::array<std::vector<double>, kOutputCount> points;
    std::array<std::vector<double>, kOutputCount> published;
    std::vector<std::string> failures;
    bool complete = false;
};

// Random edits of one main window's forms and views.
class RandomEditor {
  public:
    RandomEditor(TOmbrix& w, unsigned seed) : w_(w), rng_(seed) {}

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

    QString number(int low, int high, int decimals) {
        const int scale = decimals == 0 ? 1 : 10;
        const int v = pick(low * scale, high * scale);
        QString text = QString::number(v / scale);
        if (decimals > 0 && v % scale != 0)
            text += QChar(w_.decimalSeparator()) + QString::number(std::abs(v % scale));
        if (v < 0 && v / scale == 0)
            text.prepend('-');
        return text;
    }

    // One change of the configuration; some of them (views, sizes, windows) request a
    // recalculation themselves.
    void edit() {
        OutputPage& o = w_.output(pick(0, kOutputCount - 1));
        ChartMenu* menu = w_.chartMenu();
        switch (pick(0, 8)) {
        case 0:
            o.formItems[static_cast<std::size_t>(pick(0, 2))]->setChecked(true);
            break;
        case 1: {
            const int row = pick(0, 4);
            o.amplitude[static_cast<std::size_t>(row)]->setText(number(0, 3, 1));
            o.phase[static_cast<std::size_t>(row)]->setText(number(0, 359, 0));
            o.en[static_cast<std::size_t>(row)]->setChecked(pick(0, 3) != 0);
            break;
        }
        case 2:
            o.pulse[0]->setText(number(0, 2, 1));
            o.pulse[1]->setText(number(-2, 0, 1));
            break;
        case 3: {
            static const char* const equations[] = {"X/100", "sin(X/10)", "X*X/100000-1",
                                                    "cos(X/7)/2", "2-X/50"};
            o.equation->setPlainText(equations[pick(0, 4)]);
            break;
        }
        case 4:
            w_.general().activeBox[static_cast<std::size_t>(pick(1, 5))]->setChecked(pick(0, 1));
            break;
        case 5:
            w_.general().NumOfSam->setText(
                QString::number(pick(2, std::min(w_.document().MaxSamples(), 20000))));
            break;
        case 6: {
            QAction* views[] = {menu->Form1, menu->FFTamplitude1, menu->FFTreal1, menu->FFTimag1,
                                menu->FFTphase1};
            views[pick(0, 4)]->trigger();
            break;
        }
        case 7:
            menu->sizes[static_cast<std::size_t>(pick(0, 8))]->trigger();
            break;
        default:
            menu->windows[static_cast<std::size_t>(pick(0, 4))]->trigger();
            break;
        }
    }

    void request() {
        const int first = pick(0, kOutputCount - 1);
        w_.calculation().CalculateForms(first, pick(first, kOutputCount - 1));
    }

  private:
    TOmbrix& w_;
    std::mt19937 rng_;
};

TEST(Soak, BurstsOfRequestsEndWithTheLastConfigurationOnTheCharts) {
    const long requests = environmentNumber("OMBRIX_SOAK_REQUESTS", 2000);
    const auto seed = static_cast<unsigned>(environmentNumber("OMBRIX_SOAK_SEED", 20261208));
    std::printf("soak: %ld requests, seed %u\n", requests, seed);
    const auto start = std::chrono::steady_clock::now();

    TOmbrix w;
    std::vector<QString> messages;
    w.setMessageHandler([&](const QString& t, const QString&) { messages.push_back(t); });
    w.show();
    w.calculation().finishCalculation();
    RandomEditor editor(w, seed);
    testkit::CalcRequests log(w.calculation());
    auto sent = [&log] { return static_cast<long>(log.list.size()); };
    while (sent() < requests) {
        const int burst = editor.pick(1, 25);
        for (int i = 0; i < burst && sent() < requests; ++i) {
            editor.edit();
            if (sent() < requests)
                editor.request();
        }
        QCoreApplication::processEvents();
    }
    // The last requests: back to the form view, then all six outputs at once.
    w.chartMenu()->Form1->trigger();
    w.calculation().CalculateForms(0, kOutputCount - 1);
    w.calculation().finishCalculation();
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
    ASSERT_EQ(w.chartMenu()->view(), ViewKind::Form);

    // The same configuration computed directly.
    TCalcExpress calc(w.decimalSeparator());
    TSpectrum engine;
    CollectingSink direct;
    std::atomic<bool> stop{false};
    const CalcSnapshot snap{w.document().forms(), w.decimalSeparator(), ViewKind::Form,
                            w.chartMenu()->fftSize(), w.chartMenu()->windowCode()};
    runCalculation(0, kOutputCount - 1, snap, calc, engine, direct, stop);
    ASSERT_TRUE(direct.complete);
    ASSERT_TRUE(direct.failures.empty()) << direct.failures.front();

    for (int k = 0; k < kOutputCount; ++k) {
        SCOPED_TRACE(k + 1);
        const auto& expected = direct.points[static_cast<std::size_t>(k)];
        ChartView* chart = w.output(k).chart;
        ASSERT_EQ(chart->pointCount(0), static_cast<int>(expected.size()));
        int differing = 0;
        int firstDiffering = -1;
        for (int n = 0; n < chart->pointCount(0); ++n)
            if (chart->pointY(0, n) != expected[static_cast<std::size_t>(n)] && differing++ == 0)
                firstDiffering = n;
        EXPECT_EQ(differing, 0) << "first at point " << firstDiffering;
        EXPECT_EQ(w.calculation().samples(k), direct.published[static_cast<std::size_t>(k)]);
        EXPECT_FALSE(expected.empty());
    }
    std::printf("soak: %lld ms, last forms: N=%s\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()),
                w.document().forms().General.NumOfSam.c_str());
}

} // namespace
} // namespace ombrix
