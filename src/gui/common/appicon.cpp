#include "gui/common/appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace ombrix {

namespace {

// One period of a waveform over the screen's width, v in -1..1 for x in 0..1.
template <typename Wave>
QPainterPath wavePath(const QRectF& screen, double centre, double height, Wave wave) {
    QPainterPath path;
    const int steps = 64;
    for (int i = 0; i <= steps; ++i) {
        const double x = static_cast<double>(i) / steps;
        const QPointF point(screen.left() + x * screen.width(), centre - wave(x) * height);
        i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    return path;
}

} // namespace

void paintAppIcon(QPainter& p, int size) {
    const double s = size;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Plain colours only: every SVG renderer of the desktops draws them alike.
    // The generator's front: a rounded tile.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(55, 63, 76));
    p.drawRoundedRect(QRectF(0.03 * s, 0.03 * s, 0.94 * s, 0.94 * s), 0.16 * s, 0.16 * s);

    // Its screen, in the splash window's colours.
    const QRectF screen(0.12 * s, 0.12 * s, 0.76 * s, 0.76 * s);
    p.setBrush(QColor(15, 40, 65));
    p.drawRoundedRect(screen, 0.05 * s, 0.05 * s);

    p.setPen(QPen(QColor(60, 100, 130), std::max(1.0, s / 128)));
    for (int k = 1; k < 4; ++k) {
        const double x = screen.left() + k * screen.width() / 4;
        const double y = screen.top() + k * screen.height() / 4;
        p.drawLine(QPointF(x, screen.top()), QPointF(x, screen.bottom()));
        p.drawLine(QPointF(screen.left(), y), QPointF(screen.right(), y));
    }

    // The three kinds of form, one above the other: sine with a harmonic, trapezoid pulse,
    // equation. Thick enough to read at 48 pixels.
    const double pi = 3.14159265358979;
    const double h = screen.height();
    const double line = std::max(1.5, s / 24);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 60, 60), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wavePath(screen, screen.top() + 0.22 * h, 0.12 * h, [pi](double x) {
        return 0.8 * std::sin(2 * pi * x) + 0.27 * std::sin(6 * pi * x);
    }));
    p.setPen(QPen(QColor(80, 230, 80), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wavePath(screen, screen.top() + 0.5 * h, 0.1 * h, [](double x) {
        // level A1, rise, level A2, fall
        if (x < 0.2)
            return -1.0;
        if (x < 0.3)
            return -1.0 + 20 * (x - 0.2);
        if (x < 0.7)
            return 1.0;
        if (x < 0.8)
            return 1.0 - 20 * (x - 0.7);
        return -1.0;
    }));
    p.setPen(QPen(QColor(255, 230, 0), line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wavePath(screen, screen.top() + 0.78 * h, 0.13 * h,
                        [pi](double x) { return std::sin(4 * pi * x) * std::exp(-2.5 * x); }));
    p.restore();
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paintAppIcon(p, size);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace ombrix
