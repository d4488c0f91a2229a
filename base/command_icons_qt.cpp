#include "base/command_icons_qt.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

#include "resources/command_ids.h"

namespace {

const QColor kInk(40, 40, 48);
const QColor kPaper(250, 250, 245);
const QColor kBlue(40, 100, 190);
const QColor kGreen(30, 140, 70);
const QColor kYellow(235, 185, 50);

// Draws on a 16 x 16 grid scaled to the pixmap, so that every size is sharp.
QPixmap Draw(int size, const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    paint(p);
    return pixmap;
}

void Page(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
}

void Printer(QPainter& p) {
    Page(p, QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(170, 170, 180));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
    Page(p, QRectF(4.5, 10.5, 7, 4));
    p.setPen(QPen(kGreen, 1));
    p.drawPoint(QPointF(12.5, 8.5));
}

void PaintIcon(int id, QPainter& p) {
    switch (id) {
    case ID_OPEN: {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kYellow.darker(115));
        p.drawRect(QRectF(1.5, 3.5, 12, 10));
        p.setBrush(kYellow);
        QPainterPath front;
        front.moveTo(1.5, 13.5);
        front.lineTo(4.5, 7.5);
        front.lineTo(15.5, 7.5);
        front.lineTo(13.5, 13.5);
        front.closeSubpath();
        p.drawPath(front);
        break;
    }
    case ID_SAVE:
        p.setPen(QPen(kInk, 1));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1, 1);
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 205));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case ID_STITCH:
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(120, 170, 230));
        p.drawRect(QRectF(0.5, 3.5, 8, 9));
        p.setBrush(QColor(140, 200, 140));
        p.drawRect(QRectF(7.5, 3.5, 8, 9));
        p.setPen(QPen(Qt::red, 1.2, Qt::DashLine));
        p.drawLine(QPointF(8, 1), QPointF(8, 15));
        break;
    case ID_ACQUIRE:
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(190, 190, 200));
        p.drawRoundedRect(QRectF(0.5, 7.5, 15, 6), 1, 1);
        p.setBrush(QColor(120, 200, 255));
        p.drawRect(QRectF(2.5, 9.5, 11, 1));
        Page(p, QRectF(4.5, 1.5, 7, 6));
        p.setPen(QPen(kGreen, 1));
        p.drawPoint(QPointF(13, 12));
        break;
    case ID_PRINT:
        Printer(p);
        break;
    case ID_QUICK_PRINT: {
        Printer(p);
        p.setPen(QPen(kInk, 0.8));
        p.setBrush(kYellow);
        QPainterPath bolt;
        bolt.moveTo(12.5, 0.5);
        bolt.lineTo(9.5, 5);
        bolt.lineTo(11.5, 5);
        bolt.lineTo(9.5, 9);
        bolt.lineTo(14, 3.8);
        bolt.lineTo(12, 3.8);
        bolt.closeSubpath();
        p.drawPath(bolt);
        break;
    }
    case ID_INFORMATION: {
        p.setPen(QPen(kBlue.darker(130), 1));
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(7, 3.2, 2, 2));
        p.drawRect(QRectF(7, 6.5, 2, 6));
        break;
    }
    case ID_ABOUT: {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kYellow);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        QFont f;
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    default:
        break;
    }
}

bool HasIcon(int id) {
    switch (id) {
    case ID_OPEN: case ID_SAVE: case ID_STITCH: case ID_ACQUIRE: case ID_PRINT: case ID_QUICK_PRINT:
    case ID_INFORMATION: case ID_ABOUT:
        return true;
    default:
        return false;
    }
}

}  // namespace

QIcon CommandIcon(int id) {
    if (!HasIcon(id)) return {};
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(Draw(size, [id](QPainter& p) { PaintIcon(id, p); }));
    return icon;
}

QPixmap ApplicationIconPixmap(int size) {
    return Draw(size, [](QPainter& p) {
        p.setPen(QPen(kInk, 0.6));
        p.setBrush(QColor(120, 170, 230));
        p.drawRoundedRect(QRectF(0.8, 2.8, 8.4, 10.4), 0.8, 0.8);
        p.setBrush(QColor(140, 200, 140));
        p.drawRoundedRect(QRectF(6.8, 2.8, 8.4, 10.4), 0.8, 0.8);
        p.setPen(QPen(QColor(200, 40, 40), 0.9));
        for (double y = 4; y < 13; y += 2.2) p.drawLine(QPointF(6.4, y), QPointF(9.6, y + 1.2));
    });
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(ApplicationIconPixmap(size));
    return icon;
}

