// ombrix-icon: writes the program's icon for the desktop: DIR/ombrix.svg, DIR/ombrix-48.png
// and DIR/ombrix-256.png, from the same drawing as the window icon. Run at build time.
#include "gui/common/appicon.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

bool writeSvg(const QString& name) {
    constexpr int kSize = 256;
    QSvgGenerator svg;
    svg.setFileName(name);
    svg.setSize(QSize(kSize, kSize));
    svg.setViewBox(QRect(0, 0, kSize, kSize));
    svg.setTitle("Ombrix");
    svg.setDescription("Icon of Ombrix, the front end of a six-output waveform generator");
    QPainter p;
    if (!p.begin(&svg))
        return false;
    ombrix::paintAppIcon(p, kSize);
    return p.end();
}

bool writePng(const QString& name, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    ombrix::paintAppIcon(p, size);
    p.end();
    return image.save(name, "PNG");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // a build machine may have no display
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: ombrix-icon DIR\n", stderr);
        return 1;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool ok = writeSvg(dir + "/ombrix.svg") && writePng(dir + "/ombrix-48.png", 48) &&
                    writePng(dir + "/ombrix-256.png", 256);
    if (!ok)
        std::fprintf(stderr, "ombrix-icon: cannot write the icons into %s\n", argv[1]);
    return ok ? 0 : 1;
}
