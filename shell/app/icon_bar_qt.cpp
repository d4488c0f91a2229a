#include "shell/app/icon_bar_qt.h"

#include <QCoreApplication>
#include <QPainter>

#include "base/command_registry_qt.h"

namespace {
// This file's texts for the user, in their own translation context.
struct IconBarText {
    Q_DECLARE_TR_FUNCTIONS(IconBarText)
};
}  // namespace

QToolBar* CreateIconBar(CommandSet* commands, QWidget* parent) {
    auto* bar = new QToolBar(IconBarText::tr("Iconbar"), parent);
    bar->setObjectName("IconBar");
    bar->setAccessibleName(IconBarText::tr("Iconbar"));
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    commands->fillToolBar(bar, CommandSurface::IconBar);
    return bar;
}

// ---------------------------------------------------------------------------

CIconBarToggle::CIconBarToggle(QWidget* parent) : QAbstractButton(parent) {
    setObjectName("IconBarToggle");
    setAccessibleName(IconBarText::tr("Toggle Iconbar"));
    setFocusPolicy(Qt::NoFocus);
    setText(QStringLiteral("IconBarDown"));
}

void CIconBarToggle::setBarShown(bool shown) {
    setText(shown ? QStringLiteral("IconBarDown") : QStringLiteral("IconBarUp"));
}

QPixmap CIconBarToggle::Image(bool down) {
    QPixmap pixmap(32, 20);
    pixmap.fill(QColor(192, 192, 192));
    QPainter p(&pixmap);
    const QRect r(0, 0, 32, 20);
    // Raised when up, sunken when down.
    p.setPen(down ? QColor(128, 128, 128) : Qt::white);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(down ? Qt::white : QColor(64, 64, 64));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    // A row of little buttons, the icon bar in miniature.
    const int shift = down ? 1 : 0;
    p.setPen(QColor(40, 40, 48));
    for (int i = 0; i < 4; ++i) {
        p.setBrush(i % 2 ? QColor(40, 100, 190) : QColor(235, 185, 50));
        p.drawRect(5 + i * 6 + shift, 7 + shift, 4, 5);
    }
    return pixmap;
}

void CIconBarToggle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Copied unscaled into the button's rectangle.
    p.drawPixmap(0, 0, Image(isDown()));
}
