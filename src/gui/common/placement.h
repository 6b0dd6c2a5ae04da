// Where a tool window opens so that it covers none of the main window: to its right, else to
// its left, below or above it, each kept on the screen; with no room anywhere, where it covers
// least of the main window, and least of all its menus and tool bar.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace ombrix {

// `main` is the main window's frame, `tool` the tool window's frame size, `screen` the
// screen's available area; `keepClear` is the height of the main window's title, menus and
// tool bar.
QPoint besideWindow(const QRect& main, const QSize& tool, const QRect& screen, int keepClear);

} // namespace ombrix
