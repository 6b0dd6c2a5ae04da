// A picture of a window with some of its menus open, for the documentation: offscreen, each
// menu is a window of its own, so their grabs are painted over the window's at their places.
// Does nothing unless OMBRIX_SCREENSHOT_DIR names a folder.
#pragma once

#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <vector>

namespace ombrix::testkit {

// Each menu is popped up at its place on the screen before the call.
inline void saveMenuPicture(QWidget* window, const std::vector<QMenu*>& menus, const char* name) {
    const QByteArray dir = qgetenv("OMBRIX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QCoreApplication::processEvents();
    QPixmap shot = window->grab();
    QPainter painter(&shot);
    for (QMenu* menu : menus)
        painter.drawPixmap(window->mapFromGlobal(menu->pos()), menu->grab());
    painter.end();
    shot.save(QString::fromUtf8(dir) + "/" + name + ".png");
}

} // namespace ombrix::testkit
