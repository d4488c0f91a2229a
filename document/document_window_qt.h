// A document's window: the tie between a document window and its document.
#pragma once

class Document;
class QMdiSubWindow;

// Ties a window to its document: the document can be found from the window,
// closing the window first asks the document whether it may close (save
// changes), and the document goes when its window goes.
void BindDocumentWindow(QMdiSubWindow* window, Document* document);
Document* DocumentOfWindow(const QMdiSubWindow* window);
