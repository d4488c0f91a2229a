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
            // when the user agrees. The question waits for its answer while
            // the work goes on; the work may have ended by then.
            auto* window = static_cast<QWidget*>(watched);
            QString name = PlainWindowTitle(window);
            const QString question = QString::fromUtf8(LoadStringById(IDS_STOP_WORK_TO_CLOSE)).replace("%1", name);
            const QPointer<QWidget> target(window);
            const QPointer<Document> document(document_);
            Document::AskStopWork(window, question, [target, document](bool stop) {
                if (!stop || !target || !document) return;
                if (!document->busy()) {
                    target->close();
                    return;
                }
                connect(document, &Document::jobFinished, target, [target] {
                    if (target) target->close();
                }, Qt::SingleShotConnection);
                document->cancelJob();
            });
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
