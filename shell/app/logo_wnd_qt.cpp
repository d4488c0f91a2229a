#include "shell/app/logo_wnd_qt.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMainWindow>
#include <QMdiArea>
#include <QPainter>
#include <QTimer>
#include <memory>

#include "base/progress.h"
#include "document/import_export.h"
#include "picture/image_store.h"
#include "picture/picture.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/doc_template_qt.h"

namespace {

// Takes every input event while the logo is shown; a key press or a mouse
// button press ends the wait.
class LogoInput : public QObject {
public:
    explicit LogoInput(QEventLoop* loop) : loop_(loop) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
            loop_->quit();
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
        }
    }

private:
    QEventLoop* loop_;
};

void Raised(QPainter& p, const QRect& r) {
    p.setPen(Qt::white);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(128, 128, 128));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void Sunken(QPainter& p, const QRect& r) {
    p.setPen(QColor(128, 128, 128));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(Qt::white);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace

QString LogoPath() {
    const QString name = QString::fromUtf8(LoadStringById(IDS_LOGO_FILE));
    const QString app = QString::fromStdString(AppDirectory('/'));
    for (const QString& dir : {app, app + "../share/stitchara/"}) {
        const QString path = dir + name;
        if (QFileInfo::exists(path)) return path;
    }
    return {};
}

CLogoWindow::CLogoWindow(const QImage& logo, const QString& title, const QString& version, const QString& notice,
                         QWidget* parent)
    : QWidget(parent), logo_(logo), title_(title), version_(version), notice_(notice) {
    setObjectName("LogoWindow");
    setAccessibleName(title + " " + version);
    resize(logo_.width() + 2 * kFrame, logo_.height() + 2 * kFrame);
}

void CLogoWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    Raised(p, r);
    r.adjust(1, 1, -1, -1);
    Raised(p, r);
    r.adjust(1, 1, -1, -1);
    p.fillRect(r, QColor(192, 192, 192));
    r.adjust(2, 2, -2, -2);
    Sunken(p, r);
    r.adjust(1, 1, -1, -1);
    Raised(p, r);
    r.adjust(2, 2, -2, -2);
    p.drawImage(r.topLeft(), logo_);

    // The title and version embossed: black, then white one pixel up and left.
    QFont font = p.font();
    font.setPixelSize(20);
    font.setBold(true);
    p.setFont(font);
    const int h = p.fontMetrics().height();
    auto line = [&](const QString& text, int top, int shift) {
        p.drawText(QRect(r.left() - shift, top - shift, r.width(), h), Qt::AlignHCenter | Qt::AlignTop, text);
    };
    p.setPen(Qt::black);
    line(title_, r.top() + h + 8, 0);
    line(version_, r.top() + 2 * h + 8, 0);
    p.setPen(Qt::white);
    line(title_, r.top() + h + 8, 1);
    line(version_, r.top() + 2 * h + 8, 1);
    // The notice in a lighter hand, so that a long one fits the picture.
    font.setPixelSize(13);
    font.setBold(false);
    p.setFont(font);
    line(notice_, r.bottom() + 1 - 2 * h - 3, 0);
}

bool ShowLogoWindow(QMainWindow* mainWindow, int count) {
    if (!mainWindow) return false;
    const QString path = LogoPath();
    if (path.isEmpty()) return false;
    SetProgressCaption(IDS_LOADING_IMAGE);
    std::unique_ptr<CPicture> picture(ReadImageFile(path.toStdString(), false));
    if (!picture) return false;
    const QImage logo = PictureThumbnail(picture.get(), kMaxPictureSide).convertToFormat(QImage::Format_RGB32);
    picture.reset();
    if (logo.isNull()) return false;

    QWidget* area = mainWindow->centralWidget() ? mainWindow->centralWidget() : mainWindow;
    auto* window = new CLogoWindow(logo, GetLogoTitle(), GetVersionText(),
                                   QString::fromUtf8(LoadStringById(IDS_LOGO_NOTICE)), mainWindow);
    // Centred over the document area, in the main window's coordinates.
    const QRect areaRect(area->mapTo(mainWindow, QPoint(0, 0)), area->size());
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(areaRect.center());
    window->move(frame.topLeft());
    window->show();
    window->raise();
    window->repaint();

    QEventLoop loop;
    LogoInput input(&loop);
    qApp->installEventFilter(&input);
    QTimer timeout;
    if (count != 0) {
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(kSplashMilliseconds);
    }
    window->grabMouse();
    loop.exec();
    window->releaseMouse();
    qApp->removeEventFilter(&input);
    delete window;
    return true;
}
