#include "shell/embed/srvr_item_qt.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTemporaryFile>
#include <cstdio>
#include <cstdlib>

#include "display/draw_picture_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "platform/system.h"

namespace {

int ToHiMetric(int pixels, int dpi) {
    if (dpi <= 0) dpi = kDefaultDpi;
    return int((qint64(pixels) * 2540 + dpi / 2) / dpi);
}

}  // namespace

MessageCapture::MessageCapture() : previous_(GetMessageSink()) {
    SetMessageSink([this](const std::string& text) {
        if (!text_.isEmpty()) text_ += '\n';
        text_ += QString::fromStdString(text);
    });
}

MessageCapture::~MessageCapture() { SetMessageSink(previous_); }

QSize CVandrelSrvrItem::PixelsToHiMetric(QSize pixels, int dpiX, int dpiY) {
    return {ToHiMetric(pixels.width(), dpiX), ToHiMetric(pixels.height(), dpiY)};
}

void CVandrelSrvrItem::ScreenDpi(int* dpiX, int* dpiY) {
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    *dpiX = screen ? qRound(screen->logicalDotsPerInchX()) : kDefaultDpi;
    *dpiY = screen ? qRound(screen->logicalDotsPerInchY()) : kDefaultDpi;
}

QSize CVandrelSrvrItem::OnGetExtent() {
    CPicture* picture = document_ ? document_->picture() : nullptr;
    if (!picture) {
        extent_ = QSize(0, 0);
        return extent_;
    }
    int dpiX, dpiY;
    ScreenDpi(&dpiX, &dpiY);
    extent_ = PixelsToHiMetric(QSize(picture->GetWidth(), picture->GetHeight()), dpiX, dpiY);
    return extent_;
}

QImage CVandrelSrvrItem::OnDraw(QSize size) const {
    CPicture* picture = document_ ? document_->picture() : nullptr;
    if (!picture || size.isEmpty() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
        qint64(size.width()) * size.height() > kMaxDrawPixels)
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::transparent);
    QPainter painter(&image);
    display::DrawPicture(picture, QPoint(0, 0), painter, QRect(QPoint(0, 0), size), 1);
    painter.end();
    return image;
}

QByteArray CVandrelSrvrItem::Serialize() const {
    CPicture* picture = document_ ? document_->picture() : nullptr;
    if (!picture) return {};
    char* data = nullptr;
    size_t length = 0;
    std::FILE* stream = open_memstream(&data, &length);
    if (!stream) return {};
    const int written = picture->WriteBmp(stream);
    const bool closed = std::fclose(stream) == 0;
    QByteArray bytes;
    if (written && closed && data) bytes = QByteArray(data, qsizetype(length));
    std::free(data);
    return bytes;
}

std::unique_ptr<CPicture> CVandrelSrvrItem::PictureFromBytes(const QByteArray& bytes, QString* error) {
    // The reader works on files: the bytes go to a private temporary file
    // first (named like a document file, so that the reader takes it).
    QTemporaryFile file(QString::fromStdString(platform::TempDirectory()) + "/embedXXXXXX.vdl");
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush()) {
        if (error) *error = QStringLiteral("The embedded picture could not be put into a temporary file.");
        return nullptr;
    }
    file.close();
    MessageCapture messages;
    std::unique_ptr<CPicture> picture = ReadImageFile(file.fileName().toStdString(), false);
    if (!picture && error) *error = messages.Text(QStringLiteral("The embedded bytes are not a picture that can be read."));
    return picture;
}
