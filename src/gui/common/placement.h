// Where a tool window opens so that it covers none of the main window: to its right, else to
// its left, else below it, each only where the screen has room; with no room anywhere, at the
// screen's right edge below the main window's menus and tool bar.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace ombrix {

// `main` is the main window's frame, `tool` the tool window's frame size, `screen` the
// screen's available area; `keepClear` is how much of the main window's top stays visible
// when the tool window has to overlap it.
QPoint besideWindow(const QRect& main, const QSize& tool, const QRect& screen, int keepClear);

} // namespace ombrix
