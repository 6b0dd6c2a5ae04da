// Benchmarks in the program's own conditions beside the bare ones.
//
// In the program a QApplication exists and has painted, and the long loops run on a worker
// thread started from the GUI thread (a calculation run, a transfer). Code that runs fast in a
// bare process can run much slower there (see core/compute/vectorstate.h), so each benchmark
// runs its bare cases first, in a process where no Qt code has run yet, then enters these
// conditions and runs the same work on a worker thread: once as the program does it (the
// upper vector state cleared at the start of the thread) and once without that clearing, to
// show what it is worth on the machine at hand.
#pragma once

#include "core/compute/vectorstate.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <thread>

namespace benchprog {

// Constructs the application and paints as a chart does (antialiased lines into an image);
// the GUI thread is left as the program's is before it starts a worker. The caller keeps the
// application until its end (main's `argc` must outlive it).
[[nodiscard]] inline std::unique_ptr<QApplication> enterProgramConditions(int& argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QApplication>(argc, argv);
    QImage image(800, 600, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 2000; ++i)
        painter.drawLine(QPointF(i % 800, 0.5 * i), QPointF(800 - i % 800, 600 - 0.3 * i));
    return app;
}

// Runs `body` on a worker thread started from this one, as the program starts its runs.
inline void onWorker(benchmark::State& state, bool clearFirst,
                     const std::function<void(benchmark::State&)>& body) {
    std::thread worker([&] {
        if (clearFirst)
            ombrix::clearUpperVectorState();
        body(state);
    });
    worker.join();
}

// Registers `name` + "/in program" (cleared, as the program runs) and "/in program, not
// cleared" for a body that is also registered bare as `name`.
template <class Body> void registerInProgram(const std::string& name, Body body) {
    for (const bool clear : {true, false})
        benchmark::RegisterBenchmark(
            (name + (clear ? "/in_program" : "/in_program_not_cleared")).c_str(),
            [body, clear](benchmark::State& state) { onWorker(state, clear, body); })
            ->UseRealTime();
}

} // namespace benchprog
