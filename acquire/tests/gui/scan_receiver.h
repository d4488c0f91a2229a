// For the scan GUI tests: a window that keeps what the scans deliver, and
// an answer to the scan dialog that makes a long scan.
#pragma once
#include <QComboBox>
#include <QEvent>
#include <QPushButton>
#include <QWidget>
#include <QtTest>
#include <memory>
#include <vector>

#include "acquire/scan_dialog_qt.h"
#include "acquire/xfer_done_qt.h"
#include "base/testing/on_modal_qt.h"
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

// Answers the next scan dialog: the whole bed in colour at 600 dpi (with a
// slow test backend, long enough to be seen running), then Scan.
inline void ScanWholeBedWhenAsked() {
    OnModal([](QWidget* w) {
        auto* dialog = qobject_cast<CScanDialog*>(w);
        QVERIFY(dialog);
        dialog->modeBox()->setCurrentText("Color");
        dialog->resolutionBox()->setCurrentText("600");
        QTest::mouseClick(dialog->scanButton(), Qt::LeftButton);
    });
}
