#include "gui/common/guicalcsink.h"

namespace ombrix {

GuiCalcSink::GuiCalcSink(Handlers handlers) : h_(std::move(handlers)) {}

void GuiCalcSink::status(const std::string& text) {
    post([this, text] { h_.status(text); });
}

void GuiCalcSink::clearSeries(int output) {
    post([this, output] { h_.clearSeries(output); });
}

void GuiCalcSink::appendPoints(int output, std::vector<double> xs, std::vector<double> ys) {
    post([this, output, xs = std::move(xs), ys = std::move(ys)] { h_.append(output, xs, ys); });
}

void GuiCalcSink::samples(int output, std::vector<double> values) {
    post([this, output, values = std::move(values)]() mutable {
        h_.samples(output, std::move(values));
    });
}

void GuiCalcSink::failure(const std::string& text, const std::string& caption) {
    post([this, text, caption] { h_.failure(text, caption); });
}

void GuiCalcSink::outputFailed(int output) {
    post([this, output] {
        if (h_.outputFailed)
            h_.outputFailed(output);
    });
}

void GuiCalcSink::completed(const std::array<bool, kOutputCount>& active) {
    const int run = generation_;
    post([this, run, active] {
        if (run == generation_)
            h_.completed(active);
    });
}

} // namespace ombrix
