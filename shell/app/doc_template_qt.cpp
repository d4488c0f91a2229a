#include "shell/app/doc_template_qt.h"

#include <QCoreApplication>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "display/child_frame_qt.h"
#include "display/draw_picture_qt.h"
#include "display/frame_caption.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "shell/app/app_qt.h"
#include "stitch/stitch_app_qt.h"
#include "picture/picture.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {
// This file's texts for the user, in their own translation context.
struct ViewText {
    Q_DECLARE_TR_FUNCTIONS(ViewText)
};
}  // namespace

namespace {

constexpr int kThumbnailSide = 2048;

QString TemplatePart(int index) {
    return QString::fromUtf8(LoadStringById(IDS_DOCUMENT_TEMPLATE)).section('\n', index, index);
}

}  // namespace

QString TemplateTitle() { return TemplatePart(0); }
QString TemplateFilter() { return TemplatePart(3); }
QString TemplateExtension() { return TemplatePart(4); }

QString DocumentBaseName(const std::string& path) {
    return QString::fromStdString(display::FileNameOfPath(path));
}


QMdiSubWindow* CreateDocumentWindow(Document* document, display::UntitledCounter& untitled) {
    PMDIChildWnd::SetStitchIdleQuery([] { return StitchIdle() != 0; });
    auto* window = new PMDIChildWnd;
    window->setWindowIcon(QApplication::windowIcon());
    auto* view = new CVandrelView(document);
    window->SetView(view);
    BindDocumentWindow(window, document);
    window->GuardWindowCommands();
    window->SetBaseName(document->core().GetPathName(), untitled);
    // A path given later (Save As) renames the window.
    QObject::connect(document, &Document::pathChanged, window, [window, document, &untitled] {
        window->SetBaseName(document->core().GetPathName(), untitled);
    });
    // A first size near the picture's; the window fits itself to the picture
    // once it stands in the document area.
    if (CPicture* picture = document->picture())
        window->resize(QSize(picture->GetWidth(), picture->GetHeight()).boundedTo(QSize(800, 600)).expandedTo(QSize(160, 120)) +
                       QSize(8, 30));
    else
        window->resize(328, 270);
    QTimer::singleShot(0, view, [view] { view->FitFrameToPicture(); });
    return window;
}

QImage PictureThumbnail(CPicture* picture, int maxSide) {
    if (!picture || !picture->HasHeader()) return {};
    const int w = picture->GetWidth(), h = picture->GetHeight();
    if (w <= 0 || h <= 0) return {};
    int step = std::max(1, (std::max(w, h) + maxSide - 1) / maxSide);
    step = std::min(step, std::min(w, h));
    QImage image(w / step, h / step, QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::black);
    QPainter painter(&image);
    if (!display::DrawPictureReduced(picture, painter, image.rect(), step)) return {};
    painter.end();
    return image;
}

CPicturePlaceholder::CPicturePlaceholder(Document* document, QWidget* parent)
    : QWidget(parent), document_(document) {
    setObjectName("PicturePlaceholder");
    setAccessibleName(ViewText::tr("Picture"));
    connect(document, &Document::pictureChanged, this, [this] { refresh(); });
    refresh();
}

void CPicturePlaceholder::refresh() {
    thumbnail_ = PictureThumbnail(document_->picture(), kThumbnailSide);
    update();
}

QSize CPicturePlaceholder::sizeHint() const {
    if (thumbnail_.isNull()) return {320, 240};
    return thumbnail_.size().boundedTo(QSize(800, 600)).expandedTo(QSize(160, 120));
}

void CPicturePlaceholder::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    if (thumbnail_.isNull()) return;
    const QSize size = thumbnail_.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(target, thumbnail_);
}
