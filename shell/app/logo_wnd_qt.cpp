#include "shell/app/logo_wnd_qt.h"

#include <QApplication>
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
// button press ends the logo.
class LogoInput : public QObject {
public:
    explicit LogoInput(CLogoWindow* logo) : QObject(logo), logo_(logo) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
            logo_->Finish();
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
    CLogoWindow* logo_;
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

void CLogoWindow::Start(int milliseconds) {
    show();
    raise();
    input_ = new LogoInput(this);
    qApp->installEventFilter(input_);
    if (milliseconds > 0) {
        auto* timeout = new QTimer(this);
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, this, &CLogoWindow::Finish);
        timeout->start(milliseconds);
    }
    grabMouse();
}

void CLogoWindow::Finish() {
    if (finished_) return;
    finished_ = true;
    // The application has its input again at once; the window goes once
    // the event that ended it has been handled.
    releaseMouse();
    qApp->removeEventFilter(input_);
    hide();
    deleteLater();
    emit finished();
}

CLogoWindow* ShowLogoWindow(QMainWindow* mainWindow, int count) {
    if (!mainWindow) return nullptr;
    // One at a time: a second asks for the one that shows.
    for (CLogoWindow* shown : mainWindow->findChildren<CLogoWindow*>(Qt::FindDirectChildrenOnly))
        if (!shown->Finished()) return shown;
    const QString path = LogoPath();
    if (path.isEmpty()) return nullptr;
    SetProgressCaption(IDS_LOADING_IMAGE);
    std::unique_ptr<CPicture> picture(ReadImageFile(path.toStdString(), false));
    if (!picture) return nullptr;
    const QImage logo = PictureThumbnail(picture.get(), kMaxPictureSide).convertToFormat(QImage::Format_RGB32);
    picture.reset();
    if (logo.isNull()) return nullptr;

    QWidget* area = mainWindow->centralWidget() ? mainWindow->centralWidget() : mainWindow;
    auto* window = new CLogoWindow(logo, GetLogoTitle(), GetVersionText(),
                                   QString::fromUtf8(LoadStringById(IDS_LOGO_NOTICE)), mainWindow);
    // Centred over the document area, in the main window's coordinates.
    const QRect areaRect(area->mapTo(mainWindow, QPoint(0, 0)), area->size());
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(areaRect.center());
    window->move(frame.topLeft());
    window->Start(count != 0 ? kSplashMilliseconds : 0);
    return window;
}
