// The splash window: a borderless picture shown while the program starts.
#pragma once

#include <QWidget>

namespace ombrix {

class TSplashScreen : public QWidget {
  public:
    explicit TSplashScreen(QWidget* parent = nullptr);
};

} // namespace ombrix
