#include "app/pulsepicture.h"

#include <QPainter>
#include <QPainterPath>

namespace ombrix {

namespace {

// Corners of the trapezoid on the time axis; the time edits sit under these spans.
constexpr int kStart = 50, kRise = 140, kTop = 205, kFall = 305, kEnd = 375;
constexpr int kZeroY = 160, kA1Y = 125, kA2Y = 40, kTimeY = 195;

void arrowHead(QPainter& p, QPointF tip, QPointF from) {
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    if (len <= 0)
        return;
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head;
    head << tip << tip - 6 * u + 3 * n << tip - 6 * u - 3 * n;
    p.drawPolygon(head);
}

void doubleArrow(QPainter& p, QPointF a, QPointF b) {
    p.drawLine(a, b);
    arrowHead(p, a, b);
    arrowHead(p, b, a);
}

} // namespace

PulsePicture::PulsePicture(QWidget* parent) : QWidget(parent) {
    setFixedSize(388, 210);
}

void PulsePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());

    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawLine(40, kZeroY, width() - 6, kZeroY);
    p.setPen(Qt::black);
    p.drawText(20, kZeroY + 4, "0");

    p.setPen(QPen(Qt::red, 2));
    QPainterPath shape;
    shape.moveTo(kStart, kA1Y);
    shape.lineTo(kRise, kA1Y);
    shape.lineTo(kTop, kA2Y);
    shape.lineTo(kFall, kA2Y);
    shape.lineTo(kEnd, kA1Y);
    p.drawPath(shape);

    p.setPen(QPen(Qt::darkBlue, 1));
    p.setBrush(Qt::darkBlue);
    // Levels: arrows up from the zero line to A1 and to A2.
    p.drawLine(QPointF(60, kZeroY), QPointF(60, kA1Y + 2));
    arrowHead(p, QPointF(60, kA1Y + 1), QPointF(60, kZeroY));
    p.drawLine(QPointF(250, kZeroY), QPointF(250, kA2Y + 2));
    arrowHead(p, QPointF(250, kA2Y + 1), QPointF(250, kZeroY));
    p.drawText(66, kA1Y + 18, "A1");
    p.drawText(256, kA2Y + 18, "A2");

    // Times along the bottom, each between its two corners.
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    for (int x : {kStart, kRise, kTop, kFall, kEnd})
        p.drawLine(x, kA2Y, x, kTimeY + 6);
    p.setPen(QPen(Qt::darkBlue, 1));
    const int spans[][2] = {{kStart, kRise}, {kRise, kTop}, {kTop, kFall}, {kFall, kEnd}};
    for (const auto& s : spans)
        doubleArrow(p, QPointF(s[0] + 1, kTimeY), QPointF(s[1] - 1, kTimeY));
}

} // namespace ombrix
