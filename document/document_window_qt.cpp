#include "document/document_window_qt.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QVariant>

#include "base/window_title_qt.h"
#include "document/document_qt.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

constexpr const char* kDocumentProperty = "stitcharaDocument";

// Asks the document before its window closes.
class CloseGuard : public QObject {
public:
    CloseGuard(QMdiSubWindow* window, Document* document) : QObject(window), document_(document) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Close || !document_) return false;
        if (document_->busy()) {
            // A document a job works on closes once the work has stopped,
            // when the user agrees.
            auto* window = static_cast<QWidget*>(watched);
            QString name = PlainWindowTitle(window);
            const QString question = QString::fromUtf8(LoadStringById(IDS_STOP_WORK_TO_CLOSE)).replace("%1", name);
            if (Document::AskStopWork(window, question)) {
                QPointer<QWidget> target(window);
                connect(document_, &Document::jobFinished, window, [target] {
                    if (target) target->close();
                }, Qt::SingleShotConnection);
                document_->cancelJob();
            }
            event->ignore();
            return true;
        }
        if (!document_->canClose()) {
            event->ignore();
            return true;
        }
        return false;
    }

private:
    QPointer<Document> document_;
};

}  // namespace

void BindDocumentWindow(QMdiSubWindow* window, Document* document) {
    window->setProperty(kDocumentProperty, QVariant::fromValue<QObject*>(document));
    new CloseGuard(window, document);
    QObject::connect(window, &QObject::destroyed, document, &QObject::deleteLater);
}

Document* DocumentOfWindow(const QMdiSubWindow* window) {
    if (!window) return nullptr;
    return qobject_cast<Document*>(window->property(kDocumentProperty).value<QObject*>());
}
