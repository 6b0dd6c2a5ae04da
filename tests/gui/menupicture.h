// A picture of a window with some of its menus open, or with other windows beside it, for the
// documentation: offscreen, each menu or window is a window of its own, so their grabs are
// painted over the window's at their places, on a picture as large as all of them together.
// Does nothing unless OMBRIX_SCREENSHOT_DIR names a folder.
#pragma once

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

namespace ombrix::testkit {

// Each menu or window is shown at its place on the screen before the call.
inline void saveWindowPicture(QWidget* window, const std::vector<QWidget*>& over,
                              const char* name) {
    const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QCoreApplication::processEvents();
    QRect all(QPoint(0, 0), window->size());
    for (QWidget* widget : over)
        all |= QRect(window->mapFromGlobal(widget->pos()), widget->size());
    QPixmap shot(all.size());
    shot.fill(Qt::transparent);
    QPainter painter(&shot);
    painter.drawPixmap(-all.topLeft(), window->grab());
    for (QWidget* widget : over)
        painter.drawPixmap(window->mapFromGlobal(widget->pos()) - all.topLeft(), widget->grab());
    painter.end();
    shot.save(QString::fromUtf8(dir) + "/" + name + ".png");
}

} // namespace ombrix::testkit
