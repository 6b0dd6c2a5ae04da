// The splash window: a borderless picture shown while the program starts.
#pragma once

#include <QWidget>

namespace ombrix {

class TSplashScreen : public QWidget {
  public:
    explicit TSplashScreen(QWidget* parent = nullptr);

    // Shows the window and paints it at once, so that the picture stands during a pause that
    // handles no events. Waits (at most 2 s) for the window system to expose the window
    // first: a paint before that is dropped.
    void showPainted();
};

} // namespace ombrix
