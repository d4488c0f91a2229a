// The document template: the one place document windows are made, and the
// template's strings (title, filter, extension).
#pragma once
#include <QImage>
#include <QString>
#include <QWidget>
#include <string>

#include "document/document_window_qt.h"

class CPicture;
class Document;
class QMdiSubWindow;

// The template's strings (string 129): window title "Stitchara", filter
// "Stitchara Files (*.vdl)", extension ".vdl".
QString TemplateTitle();
QString TemplateFilter();
QString TemplateExtension();

namespace display {
class UntitledCounter;
}

// A new document window showing the document (not yet in the MDI area).
// The window is bound to the document (BindDocumentWindow). Without a path
// (now or later) it is named "untitled - N" by untitled, the workspace's
// counter, which must outlive it.
QMdiSubWindow* CreateDocumentWindow(Document* document, display::UntitledCounter& untitled);

// The file name of a path as it is spelt.
QString DocumentBaseName(const std::string& path);

// A reduced copy of the picture no larger than maxSide each way, as the
// view shows it reduced (thin lines kept), in 32-bit colour; null when the
// picture cannot be read.
QImage PictureThumbnail(CPicture* picture, int maxSide);

// Shows the document's picture fitted into the window, until the picture
// view takes its place.
class CPicturePlaceholder : public QWidget {
    Q_OBJECT
public:
    explicit CPicturePlaceholder(Document* document, QWidget* parent = nullptr);
    Document* GetDocument() const { return document_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void refresh();
    Document* document_;
    QImage thumbnail_;
};
