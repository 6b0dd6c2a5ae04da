#include "app/guicalcsink.h"

#include <QMetaObject>

namespace ombrix {

GuiCalcSink::GuiCalcSink(QObject* context, Handlers handlers)
    : context_(context), h_(std::move(handlers)) {}

void GuiCalcSink::post(std::function<void()> call) {
    const std::lock_guard lock(mutex_);
    queue_.push_back(std::move(call));
    // One wake-up per batch; it is posted under the lock, which the GUI thread takes first,
    // so everything the worker did before is seen there.
    if (queue_.size() == 1)
        QMetaObject::invokeMethod(
            context_, [this] { drain(); }, Qt::QueuedConnection);
}

void GuiCalcSink::drain() {
    // One call at a time from the shared queue: a call that opens a modal box runs a nested
    // event loop, and the calls handled there must still come after it, in order.
    for (;;) {
        std::function<void()> call;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            call = std::move(queue_.front());
            queue_.pop_front();
        }
        call();
    }
}

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

void GuiCalcSink::completed(const std::array<bool, kOutputCount>& active) {
    const int run = generation_;
    post([this, run, active] {
        if (run == generation_)
            h_.completed(active);
    });
}

} // namespace ombrix
