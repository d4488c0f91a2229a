// The transfer-done notice: a scanned picture delivered to the window that
// asked for it (the main window opens it as a new document, a stitch page
// keeps it). The event carries the picture; whoever receives it takes it.
#pragma once
#include <QEvent>
#include <memory>

#include "picture/picture.h"

class TwainXferDoneEvent : public QEvent {
public:
    // The private message number of the transfer-done notice.
    static constexpr int kMessage = 0x40A;
    static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + kMessage);

    explicit TwainXferDoneEvent(std::unique_ptr<CPicture> picture)
        : QEvent(kType), picture_(std::move(picture)) {}

    // Hands the picture over (once); null after the first call.
    std::unique_ptr<CPicture> TakePicture() { return std::move(picture_); }

private:
    std::unique_ptr<CPicture> picture_;
};
