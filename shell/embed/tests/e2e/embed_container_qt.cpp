// A small container of our own: it starts the program with the embedding
// switch on a private session bus, embeds pictures through the service,
// shows one in place inside its own X11 window, chooses commands from the
// merged in-place menu and reads the changed picture back from the bytes it
// is given. Screenshots go to ${STITCHARA_BUILD_DIR}/artefacts.
//
// Run as "embed_container --die-in-place" it is a second container that
// embeds a picture in place, prints the document's id and waits to be killed.
#include <QBuffer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtGui/qguiapplication_platform.h>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

#include "shell/embed/embed_protocol_qt.h"

namespace {

constexpr int kMirrorHorizontal = 32020;
constexpr int kInformation = 32069;

// A picture as a container would keep it: a 24-bit BMP file's bytes.
QByteArray BmpBytes(const QImage& image, int dpi) {
    QImage copy = image.convertToFormat(QImage::Format_RGB888);
    copy.setDotsPerMeterX(qRound(dpi / 0.0254));
    copy.setDotsPerMeterY(qRound(dpi / 0.0254));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    copy.save(&buffer, "BMP");
    return bytes;
}

// Every pixel differs from its mirror images.
QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x * 7 + y * 3) % 256));
    return image;
}

xcb_connection_t* X() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The child windows of window as the X server has them now.
QList<qulonglong> ChildWindows(WId window) {
    QList<qulonglong> children;
    xcb_connection_t* c = X();
    if (!c) return children;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, xcb_window_t(window)), nullptr);
    if (!tree) return children;
    const xcb_window_t* ids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) children << ids[i];
    std::free(tree);
    return children;
}

QRect WindowGeometry(qulonglong window) {
    xcb_connection_t* c = X();
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_drawable_t(window)), nullptr);
    if (!g) return {};
    const QRect r(g->x, g->y, g->width, g->height);
    std::free(g);
    return r;
}

bool IsMapped(qulonglong window) {
    xcb_connection_t* c = X();
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr);
    const bool mapped = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(a);
    return mapped;
}

// Mapped top-level windows whose title holds text.
int TopLevelsTitled(const QString& text) {
    xcb_connection_t* c = X();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    int count = 0;
    for (qulonglong window : ChildWindows(screen->root)) {
        if (!IsMapped(window)) continue;
        xcb_get_property_reply_t* name = xcb_get_property_reply(
            c, xcb_get_property(c, 0, xcb_window_t(window), XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
        if (name) {
            const QString title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name)),
                                                    xcb_get_property_value_length(name));
            if (title.contains(text)) ++count;
            std::free(name);
        }
    }
    return count;
}

QDBusInterface* Service(QObject* parent) {
    embed::RegisterTypes();
    auto* service = new QDBusInterface(embed::kService, embed::kPath, embed::kInterface, QDBusConnection::sessionBus(), parent);
    service->setTimeout(60000);
    return service;
}

// The container's window: a menu bar (the merged in-place menu goes there)
// above the area, a window of its own, where the embedded item sits.
class ContainerWindow : public QWidget {
public:
    ContainerWindow() {
        setWindowTitle("Embedding container");
        resize(640, 480);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        menuBar = new QMenuBar(this);
        menuBar->addMenu("&Document");
        layout->setMenuBar(menuBar);
        area = new QWidget(this);
        area->setAttribute(Qt::WA_NativeWindow);
        area->setAutoFillBackground(true);
        area->setPalette(QPalette(QColor(255, 255, 240)));
        layout->addWidget(area);
    }
    WId areaWindow() const { return area->winId(); }
    QMenuBar* menuBar;
    QWidget* area;
};

}  // namespace

// Receives the service's signals.
class Listener : public QObject {
    Q_OBJECT
public slots:
    void onUpdated(uint id, const QByteArray& bytes) { emit updated(id, bytes); }
    void onClosed(uint id) { emit closed(id); }
signals:
    void updated(uint id, const QByteArray& bytes);
    void closed(uint id);
};

class EmbedContainerTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString artefacts_;
    QProcess server_;
    QDBusInterface* service_ = nullptr;
    Listener listener_;
    uint anchor_ = 0;  // a document open all along: nothing else may disturb it

    uint Open(const QByteArray& bytes) {
        QDBusReply<uint> reply = service_->call("OpenBytes", bytes);
        return reply.isValid() ? reply.value() : 0;
    }
    QString ErrorOf(const QDBusMessage& reply) {
        return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QString();
    }
    void Shot(const QString& name) {
        QGuiApplication::primaryScreen()->grabWindow(0).save(artefacts_ + "/embed_" + name + ".png");
    }

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "the container needs an X server");
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the container needs a session bus");
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
        artefacts_ = qEnvironmentVariable("STITCHARA_BUILD_DIR", ".") + "/artefacts";
        QDir().mkpath(artefacts_);
        server_.setProgram(qEnvironmentVariable("STITCHARA_BUILD_DIR", ".") + "/bin/stitchara");
        server_.setArguments({"--embedding"});
        server_.setProcessChannelMode(QProcess::ForwardedChannels);
        server_.start();
        QVERIFY(server_.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(embed::kService), 30000);
        service_ = Service(this);
        QVERIFY(service_->isValid());
        QVERIFY(QDBusConnection::sessionBus().connect(embed::kService, embed::kPath, embed::kInterface, "Updated",
                                                      &listener_, SLOT(onUpdated(uint, QByteArray))));
        QVERIFY(QDBusConnection::sessionBus().connect(embed::kService, embed::kPath, embed::kInterface, "Closed",
                                                      &listener_, SLOT(onClosed(uint))));
        anchor_ = Open(BmpBytes(Pattern(64, 48), 96));
        QVERIFY(anchor_ != 0);
    }

    // The extent of a 300 x 200 picture is that of 300 x 200 screen pixels,
    // whatever the picture's own resolution.
    void extentIsScreenPixels_data() {
        QTest::addColumn<int>("dpi");
        QTest::newRow("72 dpi") << 72;
        QTest::newRow("300 dpi") << 300;
        QTest::newRow("1200 dpi") << 1200;
    }
    void extentIsScreenPixels() {
        QFETCH(int, dpi);
        const uint id = Open(BmpBytes(Pattern(300, 200), dpi));
        QVERIFY(id != 0);
        QDBusReply<QSize> extent = service_->call("Extent", id);
        QVERIFY2(extent.isValid(), qPrintable(extent.error().message()));
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(extent.value(), QSize(qRound(300 * 2540.0 / qRound(screen->logicalDotsPerInchX())),
                                       qRound(200 * 2540.0 / qRound(screen->logicalDotsPerInchY()))));
        // The drawing: the picture's own pixels from the top-left.
        QDBusReply<QByteArray> drawn = service_->call("Draw", id, 310, 190);
        QVERIFY(drawn.isValid());
        const QImage image = QImage::fromData(drawn.value(), "PNG").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(310, 190));
        const QImage pattern = Pattern(300, 200);
        QCOMPARE(image.pixel(0, 0), pattern.pixel(0, 0));
        QCOMPARE(image.pixel(299, 189), pattern.pixel(299, 189));
        QCOMPARE(qAlpha(image.pixel(305, 10)), 0);
        service_->call("Close", id);
    }

    // In place: the tool bar and the frame appear in the container's window
    // (the tool bar along its top) and go when editing ends; a mirror chosen
    // from the merged menu comes back in the bytes the container is given.
    void inPlaceMirrorComesBack() {
        const QImage original = Pattern(120, 90);
        const uint id = Open(BmpBytes(original, 150));
        QVERIFY(id != 0);
        ContainerWindow container;
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        const WId window = container.areaWindow();
        const QList<qulonglong> before = ChildWindows(window);

        QDBusMessage reply = service_->call("ActivateInPlace", id, qulonglong(window), 40, 80, 300, 200);
        QVERIFY2(ErrorOf(reply).isEmpty(), qPrintable(reply.errorMessage()));
        QDBusReply<QList<qulonglong>> windows = service_->call("InPlaceWindows", id);
        QVERIFY(windows.isValid());
        QCOMPARE(windows.value().size(), 2);
        const qulonglong bar = windows.value()[0], frame = windows.value()[1];
        QTRY_COMPARE(ChildWindows(window).size(), before.size() + 2);
        QVERIFY(ChildWindows(window).contains(bar));
        QVERIFY(ChildWindows(window).contains(frame));
        QTRY_VERIFY(IsMapped(bar) && IsMapped(frame));
        const QRect barRect = WindowGeometry(bar);
        QCOMPARE(barRect.topLeft(), QPoint(0, 0));
        QVERIFY(barRect.width() >= container.area->width());
        QCOMPARE(WindowGeometry(frame), QRect(40, 80, 300, 200));

        // The in-place menu merged into the container's menu bar.
        QDBusReply<EmbedMenu> menu = service_->call("InPlaceMenu", id);
        QVERIFY2(menu.isValid(), qPrintable(menu.error().message()));
        QAction* mirror = nullptr;
        QAction* undo = nullptr;
        QAction* redo = nullptr;
        QMap<QString, QMenu*> menus;
        for (const EmbedMenuItem& item : menu.value()) {
            QMenu*& m = menus[item.menu];
            if (!m) m = container.menuBar->addMenu(item.menu);
            if (!item.id) {
                m->addSeparator();
                continue;
            }
            QAction* action = m->addAction(item.text);
            const int command = item.id;
            connect(action, &QAction::triggered, this, [this, id, command] { service_->call("InvokeCommand", id, command); });
            if (item.text == "Mirror &Horizontal") mirror = action;
            if (item.text == "&Undo") undo = action;
            if (item.text == "&Redo") redo = action;
        }
        QCOMPARE(menus.keys().size(), 5);
        QVERIFY(mirror && undo && redo);
        QTest::qWait(300);
        Shot("1_in_place");

        QSignalSpy updated(&listener_, &Listener::updated);
        mirror->trigger();
        QTest::qWait(300);
        // Undone and redone from the container's Edit menu: mirrored again.
        undo->trigger();
        QTest::qWait(300);
        redo->trigger();
        QTest::qWait(300);
        Shot("2_mirrored_in_place");
        QCOMPARE(updated.count(), 0);  // not before editing ends

        reply = service_->call("Deactivate", id);
        QVERIFY(ErrorOf(reply).isEmpty());
        QTRY_COMPARE(updated.count(), 1);
        QCOMPARE(updated[0][0].toUInt(), id);
        const QImage back = QImage::fromData(updated[0][1].toByteArray()).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(back, original.mirrored(true, false));
        QTRY_COMPARE(ChildWindows(window).size(), before.size());
        QVERIFY(!ChildWindows(window).contains(bar));
        QDBusReply<QList<qulonglong>> none = service_->call("InPlaceWindows", id);
        QVERIFY(none.isValid() && none.value().isEmpty());
        Shot("3_deactivated");

        // The container's save reads the same bytes.
        QDBusReply<QByteArray> saved = service_->call("Bytes", id);
        QVERIFY(saved.isValid());
        QCOMPARE(QImage::fromData(saved.value()).convertToFormat(QImage::Format_RGB32), original.mirrored(true, false));
        service_->call("Close", id);
    }

    // Opened in the program's own window: the window shows with the picture
    // and goes when the container lets the document go; meanwhile the
    // document cannot also be edited in place.
    void showWindowOpensOurWindow() {
        QCOMPARE(TopLevelsTitled("Stitchara"), 0);
        const uint id = Open(BmpBytes(Pattern(200, 150), 96));
        QVERIFY(id != 0);
        QDBusMessage reply = service_->call("ShowWindow", id);
        QVERIFY2(ErrorOf(reply).isEmpty(), qPrintable(reply.errorMessage()));
        QTRY_COMPARE_WITH_TIMEOUT(TopLevelsTitled("Stitchara"), 1, 10000);
        QTest::qWait(300);
        Shot("0_own_window");
        ContainerWindow container;
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        QCOMPARE(ErrorOf(service_->call("ActivateInPlace", id, qulonglong(container.areaWindow()), 0, 0, 50, 50)),
                 QString(embed::kErrorFailed));
        QVERIFY(ErrorOf(service_->call("Close", id)).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(TopLevelsTitled("Stitchara"), 0, 10000);
        QCOMPARE(server_.state(), QProcess::Running);
    }

    // Calls the service cannot carry out answer a D-Bus error, and the
    // other documents go on.
    void badCallsAnswerErrors() {
        QCOMPARE(ErrorOf(service_->call("Extent", anchor_ + 1000)), QString(embed::kErrorUnknownDocument));
        QCOMPARE(ErrorOf(service_->call("Draw", anchor_ + 1000, 10, 10)), QString(embed::kErrorUnknownDocument));
        QCOMPARE(ErrorOf(service_->call("ActivateInPlace", anchor_ + 1000, qulonglong(1), 0, 0, 10, 10)),
                 QString(embed::kErrorUnknownDocument));
        QCOMPARE(ErrorOf(service_->call("ActivateInPlace", anchor_, qulonglong(0), 0, 0, 10, 10)),
                 QString(embed::kErrorInvalidWindow));
        QCOMPARE(ErrorOf(service_->call("ActivateInPlace", anchor_, qulonglong(0x7ffffff1), 0, 0, 10, 10)),
                 QString(embed::kErrorInvalidWindow));
        QCOMPARE(ErrorOf(service_->call("ActivateInPlace", anchor_, qulonglong(0x1ffffffff), 0, 0, 10, 10)),
                 QString(embed::kErrorInvalidWindow));
        QCOMPARE(ErrorOf(service_->call("OpenBytes", QByteArray("GIF89a but nothing follows"))),
                 QString(embed::kErrorBadPicture));
        QCOMPARE(ErrorOf(service_->call("InvokeCommand", anchor_, kMirrorHorizontal)), QString(embed::kErrorFailed));
        QDBusReply<QSize> extent = service_->call("Extent", anchor_);
        QVERIFY(extent.isValid());
        QVERIFY(extent.value().width() > 0);
        QCOMPARE(server_.state(), QProcess::Running);
    }

    // A container killed while its document is active in place: that
    // document ends; the program and this container's own in-place document
    // go on.
    void containerGoingAwayEndsOnlyItsDocument() {
        ContainerWindow container;
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        QDBusMessage reply = service_->call("ActivateInPlace", anchor_, qulonglong(container.areaWindow()), 10, 40, 200, 150);
        QVERIFY2(ErrorOf(reply).isEmpty(), qPrintable(reply.errorMessage()));

        QProcess other;
        other.setProgram(QCoreApplication::applicationFilePath());
        other.setArguments({"--die-in-place"});
        other.start();
        QVERIFY(other.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(other.canReadLine() || other.state() != QProcess::Running, 30000);
        const uint id = other.readLine().trimmed().toUInt();
        QVERIFY(id != 0);
        QDBusReply<QList<qulonglong>> windows = service_->call("InPlaceWindows", id);
        QVERIFY(windows.isValid());
        QCOMPARE(windows.value().size(), 2);
        Shot("4_two_containers");

        other.kill();
        QVERIFY(other.waitForFinished(10000));
        QTRY_COMPARE_WITH_TIMEOUT(ErrorOf(service_->call("Extent", id)), QString(embed::kErrorUnknownDocument), 20000);

        // Nothing else was touched.
        QCOMPARE(server_.state(), QProcess::Running);
        QDBusReply<QList<qulonglong>> ours = service_->call("InPlaceWindows", anchor_);
        QVERIFY(ours.isValid());
        QCOMPARE(ours.value().size(), 2);
        QVERIFY(ChildWindows(container.areaWindow()).contains(ours.value()[1]));
        reply = service_->call("InvokeCommand", anchor_, kMirrorHorizontal);
        QVERIFY2(ErrorOf(reply).isEmpty(), qPrintable(reply.errorMessage()));
        QTest::qWait(200);
        Shot("5_after_other_container_died");
        QSignalSpy updated(&listener_, &Listener::updated);
        QVERIFY(ErrorOf(service_->call("Deactivate", anchor_)).isEmpty());
        QTRY_COMPARE(updated.count(), 1);
        QCOMPARE(QImage::fromData(updated[0][1].toByteArray()).convertToFormat(QImage::Format_RGB32),
                 Pattern(64, 48).mirrored(true, false));
    }

    // The container's window destroyed under the in-place frame: editing
    // ends, the container still gets the change, the document lives on.
    void containerWindowDestroyedEndsEditing() {
        const QImage original = Pattern(40, 30);
        const uint id = Open(BmpBytes(original, 96));
        QVERIFY(id != 0);
        ContainerWindow container;
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        QVERIFY(ErrorOf(service_->call("ActivateInPlace", id, qulonglong(container.areaWindow()), 5, 40, 100, 80)).isEmpty());
        QVERIFY(ErrorOf(service_->call("InvokeCommand", id, kMirrorHorizontal)).isEmpty());
        QSignalSpy updated(&listener_, &Listener::updated);
        delete container.area;  // its X11 window goes, and our windows in it
        QTRY_COMPARE_WITH_TIMEOUT(updated.count(), 1, 10000);
        QCOMPARE(QImage::fromData(updated[0][1].toByteArray()).convertToFormat(QImage::Format_RGB32),
                 original.mirrored(true, false));
        QDBusReply<QList<qulonglong>> none = service_->call("InPlaceWindows", id);
        QVERIFY(none.isValid() && none.value().isEmpty());
        QDBusReply<QSize> extent = service_->call("Extent", id);
        QVERIFY(extent.isValid());
        QVERIFY(ErrorOf(service_->call("Close", id)).isEmpty());
        QCOMPARE(server_.state(), QProcess::Running);
    }

    // Information chosen from the merged menu: the container is answered at
    // once, the sheet (with the embedded picture's page) shows. The container
    // ends editing meanwhile: the sheet goes with the editing, the program
    // goes on.
    void sheetOpenWhenEditingEnds() {
        const uint id = Open(BmpBytes(Pattern(40, 30), 96));
        QVERIFY(id != 0);
        ContainerWindow container;
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        QVERIFY(ErrorOf(service_->call("ActivateInPlace", id, qulonglong(container.areaWindow()), 5, 40, 100, 80)).isEmpty());
        QDBusReply<bool> started = service_->call("InvokeCommand", id, kInformation);
        QVERIFY2(started.isValid() && started.value(), qPrintable(started.error().message()));
        QTRY_COMPARE_WITH_TIMEOUT(TopLevelsTitled("Information"), 1, 10000);
        QTest::qWait(300);
        Shot("6_information_in_place");
        QVERIFY(ErrorOf(service_->call("Deactivate", id)).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(TopLevelsTitled("Information"), 0, 10000);
        QDBusReply<QList<qulonglong>> none = service_->call("InPlaceWindows", id);
        QVERIFY(none.isValid() && none.value().isEmpty());
        QVERIFY(ErrorOf(service_->call("Close", id)).isEmpty());
        QCOMPARE(server_.state(), QProcess::Running);
    }

    // The last document let go: the program ends by itself, cleanly.
    void cleanupTestCase() {
        if (!service_ || server_.state() != QProcess::Running) return;
        service_->call("Close", anchor_);
        QVERIFY(server_.waitForFinished(20000));
        QCOMPARE(server_.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server_.exitCode(), 0);
    }
};

// The second container: embeds a picture in place in its own window,
// prints the document's id and waits until it is killed.
static int DieInPlace(int argc, char** argv) {
    QApplication app(argc, argv);
    QDBusInterface* service = Service(&app);
    QDBusReply<uint> id = service->call("OpenBytes", BmpBytes(Pattern(50, 40), 96));
    if (!id.isValid()) return 1;
    ContainerWindow container;
    container.show();
    if (!QTest::qWaitForWindowExposed(&container)) return 1;
    QDBusMessage reply = service->call("ActivateInPlace", id.value(), qulonglong(container.areaWindow()), 20, 60, 160, 120);
    if (reply.type() == QDBusMessage::ErrorMessage) return 1;
    std::printf("%u\n", id.value());
    std::fflush(stdout);
    return app.exec();
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--die-in-place") == 0) return DieInPlace(argc, argv);
    QApplication app(argc, argv);
    EmbedContainerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "embed_container_qt.moc"
