#include "gui/dialogs/splashscreen.h"

#include "gui/common/artwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

namespace ombrix {

TSplashScreen::TSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setWindowTitle("Ombrix");
    setFixedSize(637, 360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    layout->addWidget(panel);
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(2, 2, 2, 2);
    auto* image = new QLabel(panel);
    image->setPixmap(drawArtwork(633, 356, true));
    inner->addWidget(image);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TSplashScreen::showPainted() {
    show();
    QElapsedTimer waited;
    waited.start();
    // An X server maps the window and sends its expose event after a round trip.
    while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 2000) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    repaint();
    QCoreApplication::processEvents(); // hands the painted picture to the window system
}

} // namespace ombrix
