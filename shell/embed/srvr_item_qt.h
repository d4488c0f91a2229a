// CVandrelSrvrItem: what a container sees of an embedded document. Its
// extent in 0.01 mm, its picture drawn into an image of the container's
// size, and its bytes: the document's own file (a BMP stream), which the
// container keeps and hands back when it embeds the document again.
#pragma once
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

#include "base/message_box.h"

class CPicture;
class Document;

// While it lives, the messages the program would show the user are kept
// instead (a server has nobody to show them to: they go back to the caller).
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    // The messages so far, one a line; fallback when there were none.
    QString Text(const QString& fallback) const { return text_.isEmpty() ? fallback : text_; }

private:
    MessageSink previous_;
    QString text_;
};

class CVandrelSrvrItem {
public:
    explicit CVandrelSrvrItem(Document* document) : document_(document) {}

    // The picture's width and height in pixels taken as screen pixels at the
    // screen's dpi, in 0.01 mm, whatever the picture's own resolution; the
    // result is also kept as the item's extent. (0, 0) without a picture.
    QSize OnGetExtent();
    QSize Extent() const { return extent_; }

    // An image of the given size holding the picture unscaled from the
    // top-left; what the picture does not cover stays transparent. Null when
    // there is no picture or the size is empty or absurd.
    QImage OnDraw(QSize size) const;

    // The document's bytes: its picture as a BMP stream. Empty when there is
    // no picture or it could not be written.
    QByteArray Serialize() const;

    // pixels / dpi in 0.01 mm, rounded to nearest.
    static QSize PixelsToHiMetric(QSize pixels, int dpiX, int dpiY);
    // The screen's logical dpi each way (96 where there is no screen).
    static void ScreenDpi(int* dpiX, int* dpiY);
    // A picture from bytes a container kept (any image file the reader
    // knows). Null with the reason in error when they cannot be read.
    static std::unique_ptr<CPicture> PictureFromBytes(const QByteArray& bytes, QString* error);
    // The largest image OnDraw makes, in pixels.
    static constexpr qint64 kMaxDrawPixels = qint64(8192) * 8192;

private:
    Document* document_;
    QSize extent_;
};
