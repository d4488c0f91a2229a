// For the scan GUI tests: a window that keeps what the scans deliver.
#pragma once
#include <QEvent>
#include <QWidget>
#include <memory>
#include <vector>

#include "acquire/xfer_done_qt.h"
#include "picture/picture.h"

class Receiver : public QWidget {
public:
    std::vector<std::unique_ptr<CPicture>> pictures;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == TwainXferDoneEvent::kType)
            if (auto p = static_cast<TwainXferDoneEvent*>(event)->TakePicture()) pictures.push_back(std::move(p));
    }
};
