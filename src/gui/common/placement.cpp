#include "gui/common/placement.h"

#include <algorithm>

namespace ombrix {

QPoint besideWindow(const QRect& main, const QSize& tool, const QRect& screen, int keepClear) {
    const int gap = 8;
    // The top as near the main window's top as the screen allows.
    const int top = std::clamp(main.top(), screen.top(),
                               std::max(screen.top(), screen.bottom() + 1 - tool.height()));
    const int left = std::clamp(main.left(), screen.left(),
                                std::max(screen.left(), screen.right() + 1 - tool.width()));
    if (main.right() + gap + tool.width() <= screen.right() + 1)
        return {main.right() + 1 + gap, top};
    if (main.left() - gap - tool.width() >= screen.left())
        return {main.left() - gap - tool.width(), top};
    if (main.bottom() + gap + tool.height() <= screen.bottom() + 1)
        return {left, main.bottom() + 1 + gap};
    const int below = std::min(main.top() + keepClear,
                               std::max(screen.top(), screen.bottom() + 1 - tool.height()));
    return {std::max(screen.left(), screen.right() + 1 - tool.width()),
            std::max(screen.top(), below)};
}

} // namespace ombrix
