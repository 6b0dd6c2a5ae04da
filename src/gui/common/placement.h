// Where a tool window opens so that it covers none of the main window: to its right, else to
// its left, below or above it, each kept on the screen; with no room anywhere, where it covers
// least of the main window, and least of all the parts the user works in.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace ombrix {

// `main` is the main window's frame, `tool` the tool window's frame size, `screen` the
// screen's available area; covering a part of `keep` (menus, tool bar, fields) counts four
// times as much as covering the rest of the main window.
QPoint besideWindow(const QRect& main, const QSize& tool, const QRect& screen,
                    const std::vector<QRect>& keep);

} // namespace ombrix
