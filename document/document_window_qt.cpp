#include "document/document_window_qt.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QVariant>

#include "document/document_qt.h"

namespace {

constexpr const char* kDocumentProperty = "stitcharaDocument";

// Asks the document before its window closes.
class CloseGuard : public QObject {
public:
    CloseGuard(QMdiSubWindow* window, Document* document) : QObject(window), document_(document) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close && document_ && !document_->canClose()) {
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
