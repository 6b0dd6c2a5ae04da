#include "gui/common/toolicons.h"

#include <QPainter>

#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace ombrix {

namespace {

constexpr int kSize = 32;

void drawSendAll(QPainter& p) {
    p.setBrush(QColor(40, 90, 170));
    p.drawRoundedRect(17, 6, 12, 20, 2, 2); // the generator
    p.setBrush(QColor(120, 220, 120));
    p.drawRect(20, 9, 6, 4);
    p.setBrush(QColor(230, 150, 30));
    QPainterPath arrow;
    arrow.moveTo(2, 13);
    arrow.lineTo(9, 13);
    arrow.lineTo(9, 8);
    arrow.lineTo(16, 16);
    arrow.lineTo(9, 24);
    arrow.lineTo(9, 19);
    arrow.lineTo(2, 19);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawStop(QPainter& p) {
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
        octagon << QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a));
    }
    p.setBrush(QColor(200, 30, 30));
    p.drawPolygon(octagon);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawRect(9, 14, 14, 4);
}

void drawPlug(QPainter& p, bool joined) {
    p.setBrush(QColor(90, 90, 90));
    const int gap = joined ? 0 : 5;
    p.drawRect(3, 12, 10 - gap, 8); // plug body
    p.drawRect(13 - gap, 13, 4, 2); // pins
    p.drawRect(13 - gap, 17, 4, 2);
    p.setBrush(QColor(40, 90, 170));
    p.drawRect(17 + gap, 10, 10, 12); // socket
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.drawLine(0, 16, 3, 16);
    p.drawLine(27 + gap, 16, 32, 16);
    if (!joined) {
        p.setPen(QPen(QColor(200, 30, 30), 2));
        p.drawLine(13, 5, 19, 11);
        p.drawLine(19, 5, 13, 11);
    }
}

void drawControlPanel(QPainter& p) {
    p.setBrush(QColor(210, 210, 200));
    p.drawRect(3, 4, 26, 24);
    p.setPen(QPen(QColor(60, 60, 60), 2));
    for (int x : {9, 16, 23})
        p.drawLine(x, 8, x, 24);
    p.setBrush(QColor(40, 90, 170));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(6, 17, 6, 4);
    p.drawRect(13, 10, 6, 4);
    p.drawRect(20, 20, 6, 4);
}

void drawNew(QPainter& p) {
    QPainterPath page;
    page.moveTo(7, 3);
    page.lineTo(20, 3);
    page.lineTo(26, 9);
    page.lineTo(26, 29);
    page.lineTo(7, 29);
    page.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(20, 3, 20, 9);
    p.drawLine(20, 9, 26, 9);
    p.setPen(QPen(QColor(200, 30, 30), 1.5));
    QPainterPath wave;
    wave.moveTo(9, 19);
    for (int x = 9; x <= 24; ++x)
        wave.lineTo(x, 19 - 5 * std::sin((x - 9) * 3.14159265358979 / 7.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
}

void drawSave(QPainter& p) {
    p.setBrush(QColor(40, 90, 170));
    p.drawRect(4, 4, 24, 24);
    p.setBrush(Qt::white);
    p.drawRect(9, 4, 14, 9);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(8, 18, 16, 10);
    p.setBrush(QColor(40, 90, 170));
    p.drawRect(18, 6, 3, 5);
}

void drawOpen(QPainter& p) {
    p.setBrush(QColor(220, 180, 60));
    p.drawRect(3, 8, 24, 19);
    p.drawRect(3, 5, 10, 4);
    p.setBrush(QColor(245, 210, 100));
    QPolygonF front;
    front << QPointF(7, 14) << QPointF(30, 14) << QPointF(26, 27) << QPointF(3, 27);
    p.drawPolygon(front);
}

void drawSettings(QPainter& p) {
    p.setBrush(QColor(120, 120, 130));
    QPainterPath gear;
    for (int i = 0; i < 8; ++i) {
        const double a = i * 3.14159265358979 / 4.0;
        p.save();
        p.translate(16, 16);
        p.rotate(a * 180.0 / 3.14159265358979);
        p.drawRect(-3, -14, 6, 6);
        p.restore();
    }
    p.drawEllipse(QPointF(16, 16), 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 16), 4, 4);
}

QPixmap drawPicture(ToolIcon which) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    switch (which) {
    case ToolIcon::SendAll:
        drawSendAll(p);
        break;
    case ToolIcon::Stop:
        drawStop(p);
        break;
    case ToolIcon::Connect:
        drawPlug(p, true);
        break;
    case ToolIcon::Disconnect:
        drawPlug(p, false);
        break;
    case ToolIcon::ControlPanel:
        drawControlPanel(p);
        break;
    case ToolIcon::New:
        drawNew(p);
        break;
    case ToolIcon::Save:
        drawSave(p);
        break;
    case ToolIcon::Open:
        drawOpen(p);
        break;
    case ToolIcon::Settings:
        drawSettings(p);
        break;
    }
    return pixmap;
}

// The greyed set: the same picture in light grey tones.
QPixmap greyed(const QPixmap& picture) {
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int g = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(g, g, g, qAlpha(line[x]) * 3 / 4);
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

QIcon toolIcon(ToolIcon which) {
    const QPixmap picture = drawPicture(which);
    QIcon icon;
    icon.addPixmap(picture, QIcon::Normal);
    icon.addPixmap(greyed(picture), QIcon::Disabled);
    return icon;
}

} // namespace ombrix
