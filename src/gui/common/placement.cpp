#include "gui/common/placement.h"

#include <algorithm>
#include <array>

namespace ombrix {

namespace {

QPoint clampedInto(QPoint at, const QSize& size, const QRect& screen) {
    return {std::clamp(at.x(), screen.left(),
                       std::max(screen.left(), screen.right() + 1 - size.width())),
            std::clamp(at.y(), screen.top(),
                       std::max(screen.top(), screen.bottom() + 1 - size.height()))};
}

long long area(const QRect& r) {
    return r.isEmpty() ? 0 : static_cast<long long>(r.width()) * r.height();
}

} // namespace

QPoint besideWindow(const QRect& main, const QSize& tool, const QRect& screen,
                    const std::vector<QRect>& keep) {
    const int gap = 8;
    const std::array<QPoint, 4> candidates = {
        QPoint(main.right() + 1 + gap, main.top()),           // right
        QPoint(main.left() - gap - tool.width(), main.top()), // left
        QPoint(main.left(), main.bottom() + 1 + gap),         // below
        QPoint(main.left(), main.top() - gap - tool.height()) // above
    };
    QPoint best;
    long long bestCost = -1;
    auto consider = [&](const QPoint& want) {
        const QPoint at = clampedInto(want, tool, screen);
        const QRect placed(at, tool);
        long long cost = area(placed & main);
        for (const QRect& part : keep)
            cost += 3 * area(placed & part);
        if (bestCost < 0 || cost < bestCost) {
            best = at;
            bestCost = cost;
        }
    };
    for (const QPoint& want : candidates)
        consider(want);
    // Squeezed against a screen edge, a window beside may still keep clear of what matters
    // by sliding down below the kept parts at the top.
    int below = main.top();
    for (const QRect& part : keep)
        if (part.top() <= main.top() + 1)
            below = std::max(below, part.bottom() + 1 + gap);
    for (const QPoint& want : {candidates[0], candidates[1]})
        consider(QPoint(want.x(), below));
    return best;
}

} // namespace ombrix
