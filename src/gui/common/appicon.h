// The program's own icon: a small generator screen with a sine, a pulse and a decaying
// equation curve, drawn in the colours of the splash artwork. The same drawing gives the
// window icon and the icons installed for the desktop (tools/icon).
#pragma once

#include <QIcon>

class QPainter;

namespace ombrix {

// Paints the icon into the square (0, 0, size, size) of `p`.
void paintAppIcon(QPainter& p, int size);

// The icon as 16 to 256 pixel pictures, for window titles and task bars.
QIcon appIcon();

} // namespace ombrix
