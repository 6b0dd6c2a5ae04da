// How the page control follows the main window's size: it never shrinks below its design
// size; the window shows less of it instead.
#pragma once

namespace ombrix {

enum class PageDock { Fill, Left, Top, None };

// W and H are the outer width and height of the main window in pixels.
constexpr PageDock pageDockFor(int w, int h) {
    const bool wide = w >= 730, tall = h >= 571;
    if (wide && tall)
        return PageDock::Fill;
    if (!wide && tall)
        return PageDock::Left;
    if (wide)
        return PageDock::Top;
    return PageDock::None;
}

} // namespace ombrix
