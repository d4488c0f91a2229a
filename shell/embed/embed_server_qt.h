// CEmbedServer: the embedding service on the session bus (names and calls in
// embed_protocol_qt.h). A container starts the program with the embedding
// switch; the program then shows no window of its own and serves every
// container through this one object: documents opened as embedded items,
// their extent and drawing, editing in the program's own window or in place
// inside the container's window, and the document's bytes back to the
// container on update and save.
//
// Each document belongs to the bus client that opened it. A call naming a
// document that does not exist, or a window that does not exist, answers a
// D-Bus error and changes nothing; a client that leaves the bus takes its
// documents with it (in-place editing ends, nothing is asked or written); a
// container window destroyed under a document active in place ends that
// editing (the container is still given the changes).
#pragma once
#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "shell/embed/embed_protocol_qt.h"

class CEmbeddedMenu;
class CInPlaceFrame;
class CVandrelApp;
class CVandrelSrvrItem;
class Document;
class QDBusServiceWatcher;
class QMdiSubWindow;
class QWindow;

class CEmbedServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.stitchara.Embedding")
public:
    explicit CEmbedServer(QObject* parent = nullptr);
    ~CEmbedServer() override;

    // Registers the object and takes the service name. False (reason in
    // error) when the bus cannot be reached or another process serves.
    bool Register(QDBusConnection connection, QString* error);

    // Ends the program once the last embedded document is gone and its own
    // window holds no document (a program started for embedding); that
    // window, once empty, is hidden again.
    void setQuitWhenIdle(bool quit) { quitWhenIdle_ = quit; }
    // Hides the empty window and quits when that is so.
    void CheckIdle();

    // For the program and tests.
    Document* document(uint id) const;
    CInPlaceFrame* inPlaceFrame(uint id) const;
    int documentCount() const { return int(entries_.size()); }
    // The D-Bus error name of the last failed call ("" after a good one).
    QString lastError() const { return lastError_; }

    // Update, from the menu of the document's own window: the container gets
    // the picture now (Updated with the current bytes, changed or not). False
    // for an unknown document or a picture that cannot be written.
    bool UpdateContainer(uint id);
    // Save Copy As: a copy of the picture in a document file at path (empty:
    // the user chooses it). The embedded document, its modified state and
    // its container are left as they are. True when written.
    bool SaveCopyAs(uint id, const QString& path = {});
    // The File menu of the embedded documents in the program's own window,
    // made when the first of them is shown there.
    CEmbeddedMenu* embeddedMenu() const;

public slots:
    Q_SCRIPTABLE uint OpenFile(const QString& path);
    Q_SCRIPTABLE uint OpenBytes(const QByteArray& bytes);
    Q_SCRIPTABLE QSize Extent(uint id);
    Q_SCRIPTABLE QByteArray Draw(uint id, int width, int height);
    Q_SCRIPTABLE QByteArray Bytes(uint id);
    Q_SCRIPTABLE void ShowWindow(uint id);
    Q_SCRIPTABLE void ActivateInPlace(uint id, qulonglong window, int x, int y, int width, int height);
    Q_SCRIPTABLE void Deactivate(uint id);
    Q_SCRIPTABLE EmbedMenu InPlaceMenu(uint id);
    Q_SCRIPTABLE bool InvokeCommand(uint id, int command);
    Q_SCRIPTABLE QList<qulonglong> InPlaceWindows(uint id);
    Q_SCRIPTABLE void Close(uint id);

signals:
    Q_SCRIPTABLE void Updated(uint id, const QByteArray& bytes);
    Q_SCRIPTABLE void Closed(uint id);
    Q_SCRIPTABLE void InPlaceRectChanged(uint id, int x, int y, int width, int height);

private:
    struct Entry {
        QPointer<Document> document;
        std::unique_ptr<CVandrelSrvrItem> item;
        QString owner;                   // unique bus name of the container
        CInPlaceFrame* frame = nullptr;  // while in place
        QWindow* container = nullptr;    // the container's window while in place
        qulonglong containerId = 0;      // its X11 id
        QPointer<QMdiSubWindow> window;  // while open in the program's own window
        int loopLevel = 0;               // the event loop the calls come from
    };

    Entry* find(uint id);
    void fail(const char* name, const QString& text);
    void succeed() { lastError_.clear(); }
    uint add(Document* document);
    // Ends in-place editing; update: the container gets the bytes of a
    // modified document first.
    void deactivate(uint id, Entry& entry, bool update);
    void update(uint id, Entry& entry);
    void closeEntry(uint id);
    void onDocumentGone(uint id);
    void onOwnerGone(const QString& name);
    void onWindowDestroyed(qulonglong window);
    void installEmbeddedMenu();
    // Lets an object of a document go (its frame, window or the document
    // itself): at once, or, while a nested event loop runs above the loop
    // its calls come from (a sheet or dialog of its commands still open),
    // once that loop has returned, so that nothing still running loses it.
    void retire(QObject* object, int loopLevel);
    // late: from the timer that waits for the nested loops to end.
    void disposeRetired(bool late = false);

    class WindowWatch;
    std::unique_ptr<WindowWatch> windowWatch_;

    std::map<uint, Entry> entries_;
    uint nextId_ = 1;
    QDBusServiceWatcher* watcher_ = nullptr;
    QString lastError_;
    bool quitWhenIdle_ = false;
    QPointer<CEmbeddedMenu> menu_;
    struct Retired {
        QPointer<QObject> object;
        int loopLevel;
    };
    std::vector<Retired> retired_;
    bool disposeScheduled_ = false;
};

// Starts the service for a program started with the embedding switch: no
// quitting when windows close, the scanner probed, the server registered on
// the session bus. False (the reason on stderr) when it cannot serve.
bool StartEmbeddingServer(CVandrelApp* app);
