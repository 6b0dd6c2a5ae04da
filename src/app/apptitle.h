// The application's title, set once at start-up.
#pragma once

namespace ombrix {

// Names the application "Ombrix". No display name is set: the window system would append it
// to every caption ("About — Ombrix"), and the captions are shown exactly as each window sets
// them.
void setApplicationTitle();

} // namespace ombrix
