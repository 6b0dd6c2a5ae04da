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

QPoint besideWindow(const QRect& main, const QSize& tool, const QRect& screen, int keepClear) {
    const int gap = 8;
    const std::array<QPoint, 4> candidates = {
        QPoint(main.right() + 1 + gap, main.top()),            // right
        QPoint(main.left() - gap - tool.width(), main.top()),  // left
        QPoint(main.left(), main.bottom() + 1 + gap),          // below
        QPoint(main.left(), main.top() - gap - tool.height()), // above
    };
    // The first place that covers nothing of the main window; where the screen has no such
    // place, the one that covers least, the menus and tool bar counting four times.
    const QRect top(main.left(), main.top(), main.width(), std::min(keepClear, main.height()));
    QPoint best;
    long long bestCost = -1;
    for (const QPoint& want : candidates) {
        const QPoint at = clampedInto(want, tool, screen);
        const QRect placed(at, tool);
        const long long cost = area(placed & main) + 3 * area(placed & top);
        if (bestCost < 0 || cost < bestCost) {
            best = at;
            bestCost = cost;
        }
    }
    return best;
}

} // namespace ombrix
