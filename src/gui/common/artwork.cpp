#include "gui/common/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace ombrix {

QPixmap drawArtwork(int w, int h, bool withTitle) {
    QPixmap pixmap(w, h);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, h);
    background.setColorAt(0, QColor(10, 25, 45));
    background.setColorAt(1, QColor(20, 60, 90));
    p.fillRect(0, 0, w, h, background);

    p.setPen(QPen(QColor(60, 100, 130), 1));
    for (int x = 0; x < w; x += w / 12)
        p.drawLine(x, 0, x, h);
    for (int y = 0; y < h; y += h / 8)
        p.drawLine(0, y, w, y);

    const QColor colours[] = {Qt::red,
                              Qt::green,
                              QColor(128, 0, 255),
                              QColor(128, 128, 64),
                              QColor(255, 255, 0),
                              QColor(255, 128, 192)};
    const double pi = 3.14159265358979;
    for (int k = 0; k < 6; ++k) {
        QPainterPath path;
        for (int x = 0; x <= w; x += 2) {
            const double t = 2.0 * pi * x / w * (1 + k % 3);
            double v = 0;
            switch (k % 3) {
            case 0:
                v = std::sin(t) + std::sin(3 * t) / 3;
                break; // harmonics
            case 1:
                v = std::fmod(t, 2 * pi) < pi ? 0.8 : -0.8;
                break; // pulse
            default:
                v = std::sin(t) * std::exp(-std::fmod(t, 2 * pi) / 4); // equation
            }
            const double y = h * (0.15 + 0.13 * k) - v * h * 0.06;
            x == 0 ? path.moveTo(x, y) : path.lineTo(x, y);
        }
        p.setPen(QPen(colours[k], 2));
        p.drawPath(path);
    }
    if (withTitle) {
        QFont f("DejaVu Sans", h / 7, QFont::Bold);
        p.setFont(f);
        p.setPen(QColor(240, 240, 255));
        p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, "Ombrix");
        f.setPointSize(h / 28);
        f.setBold(false);
        p.setFont(f);
        p.drawText(QRect(0, h / 2 + h / 10, w, h / 5), Qt::AlignHCenter | Qt::AlignTop,
                   "six-output arbitrary waveform generator");
    }
    return pixmap;
}

} // namespace ombrix
