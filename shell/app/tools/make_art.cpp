// Draws the program's pictures at build time: the logo picture of the splash
// and About window, and the application icon at the sizes desktops ask for.
//     stitchara-make-art OUTDIR
// writes OUTDIR/TESLOGO.BMP and OUTDIR/icons/NxN/org.stitchara.Stitchara.png.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

#include "shell/app/icon_bar_qt.h"

namespace {

// Two overlapping sheets of a map joined along a stitched seam, on a sky of
// soft blue, with room above for the title and below for the notice.
QImage DrawLogo() {
    const int w = 420, h = 240;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(70, 110, 170));
    sky.setColorAt(1, QColor(150, 185, 225));
    p.fillRect(image.rect(), sky);

    auto sheet = [&](QRectF r, QColor land, QColor water, double tilt) {
        p.save();
        p.translate(r.center());
        p.rotate(tilt);
        p.translate(-r.center());
        p.setPen(QPen(QColor(40, 40, 48), 1.5));
        p.setBrush(land);
        p.drawRect(r);
        p.setPen(QPen(water, 5, Qt::SolidLine, Qt::RoundCap));
        QPainterPath river;
        river.moveTo(r.left() + 10, r.top() + r.height() * 0.7);
        river.cubicTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.3, r.left() + r.width() * 0.6,
                      r.bottom() - 10, r.right() - 10, r.top() + r.height() * 0.45);
        p.setBrush(Qt::NoBrush);
        p.drawPath(river);
        p.setPen(QPen(land.darker(130), 1));
        for (int i = 1; i < 4; ++i)
            p.drawEllipse(QPointF(r.left() + r.width() * 0.3, r.top() + r.height() * 0.35), 8.0 * i, 5.0 * i);
        p.restore();
    };
    sheet(QRectF(60, 86, 170, 86), QColor(232, 214, 160), QColor(50, 110, 200), -2.5);
    sheet(QRectF(190, 86, 170, 86), QColor(200, 228, 170), QColor(50, 110, 200), 2.0);
    // The seam, stitched. Everything stays clear of the title above and of
    // the notice line the logo window writes near the bottom.
    p.setPen(QPen(QColor(200, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int y = 82; y < 176; y += 12) p.drawLine(QPointF(203, y), QPointF(217, y + 6));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stitchara-make-art OUTDIR\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    if (!DrawLogo().convertToFormat(QImage::Format_RGB888).save(out + "/TESLOGO.BMP", "BMP")) return 1;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QString("%1/icons/%2x%2").arg(out).arg(size);
        QDir().mkpath(dir);
        if (!ApplicationIconPixmap(size).save(dir + "/org.stitchara.Stitchara.png", "PNG")) return 1;
    }
    return 0;
}
