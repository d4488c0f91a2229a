#include "stitch/stitch_icons_qt.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace {

// An arc with an arrow head at its end. Angles in degrees, counter-clockwise
// from three o'clock as Qt counts them; span negative turns clockwise.
void DrawTurn(QPainter& p, const QRectF& box, double start, double span) {
    QPainterPath path;
    path.arcMoveTo(box, start);
    path.arcTo(box, start, span);
    p.drawPath(path);
    QPointF end = path.currentPosition();
    // The tangent at the end, in the turning direction.
    double a = (start + span) * M_PI / 180.0;
    double dir = span < 0 ? -1.0 : 1.0;
    QPointF tangent(-std::sin(a) * dir, -std::cos(a) * dir);
    QPointF normal(-tangent.y(), tangent.x());
    double s = box.width() * 0.28;
    QPolygonF head;
    head << end + tangent * s << end + normal * (s * 0.7) << end - normal * (s * 0.7);
    p.setBrush(p.pen().color());
    p.drawPolygon(head);
    p.setBrush(Qt::NoBrush);
}

QPixmap TurnPixmap(RotateIcon which, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A page outline behind the arrow.
    p.setPen(QPen(QColor(110, 110, 110), size / 16.0));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(size * 0.30, size * 0.22, size * 0.40, size * 0.56));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(20, 90, 190), size / 9.0, Qt::SolidLine, Qt::RoundCap));
    QRectF box(size * 0.14, size * 0.14, size * 0.72, size * 0.72);
    switch (which) {
    case RotateIcon::Clockwise90: DrawTurn(p, box, 150, -110); break;
    case RotateIcon::Counterclockwise90: DrawTurn(p, box, 30, 110); break;
    case RotateIcon::Clockwise180: DrawTurn(p, box, 160, -200); break;
    }
    return pixmap;
}

QPixmap CursorCanvas() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Black lines with a white rim so the cursor reads on any picture.
void Stroke(QPainter& p, const std::function<void(QPainter&)>& draw) {
    p.setPen(QPen(Qt::white, 3));
    draw(p);
    p.setPen(QPen(Qt::black, 1));
    draw(p);
}

}  // namespace

QIcon RotateMenuIcon(RotateIcon which) {
    QIcon icon;
    icon.addPixmap(TurnPixmap(which, 20));
    icon.addPixmap(TurnPixmap(which, 40));
    return icon;
}

QCursor DeskewNormalCursor() {
    QPixmap pixmap = CursorCanvas();
    QPainter p(&pixmap);
    Stroke(p, [](QPainter& q) {
        q.drawLine(16, 2, 16, 30);
        q.drawLine(2, 16, 30, 16);
        q.drawEllipse(QPoint(16, 16), 5, 5);
    });
    return QCursor(pixmap, 16, 16);
}

QCursor DeskewGrabCursor() {
    QPixmap pixmap = CursorCanvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    Stroke(p, [](QPainter& q) {
        q.drawEllipse(QPoint(16, 16), 8, 8);
        // Four arrow heads: the thumb can go any way.
        q.drawLine(16, 1, 16, 31);
        q.drawLine(1, 16, 31, 16);
        q.drawLine(16, 1, 12, 5);
        q.drawLine(16, 1, 20, 5);
        q.drawLine(16, 31, 12, 27);
        q.drawLine(16, 31, 20, 27);
        q.drawLine(1, 16, 5, 12);
        q.drawLine(1, 16, 5, 20);
        q.drawLine(31, 16, 27, 12);
        q.drawLine(31, 16, 27, 20);
    });
    return QCursor(pixmap, 16, 16);
}

QCursor StitchBlockCursor() {
    QPixmap pixmap = CursorCanvas();
    QPainter p(&pixmap);
    Stroke(p, [](QPainter& q) {
        q.drawLine(16, 4, 16, 28);
        q.drawLine(4, 16, 28, 16);
        q.drawRect(11, 11, 10, 10);
    });
    return QCursor(pixmap, 16, 16);
}
