// Pictures of the splash window and the About box, drawn at start-up.
#pragma once

#include <QPixmap>

namespace ombrix {

// Six waveforms over a dark screen with the program's name, sized w x h.
QPixmap drawArtwork(int w, int h, bool withTitle);

} // namespace ombrix
