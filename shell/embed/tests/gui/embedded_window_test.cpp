// An embedded document in the program's own window: its File menu stands in
// for the ordinary one while its window is active; Update hands the
// container the picture as it is now; Save Copy As writes a file and leaves
// the embedded document as it was.
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/embed/embed_server_qt.h"
#include "shell/embed/embedded_menu_qt.h"
#include "shell/embed/srvr_item_qt.h"

namespace {

// A 5 x 3 true-colour picture whose every pixel differs.
std::unique_ptr<CPicture> MakePicture() {
    auto picture = std::make_unique<CPicture>();
    if (!picture->Create(ptTrueColor24, 5, 3, 0, nullptr, 3780, 3780, 3)) return nullptr;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) picture->SetPixelValue(x, y, std::uint32_t(x * 40 + 10) | std::uint32_t(y * 60 + 20) << 8);
    return picture;
}

// Whether two pictures have the same size and pixels.
bool SamePixels(CPicture* a, CPicture* b) {
    if (!a || !b || a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight()) return false;
    std::vector<std::uint8_t> rowA(std::size_t(a->GetWidth()) * 3), rowB(rowA.size());
    for (int y = 0; y < a->GetHeight(); ++y) {
        if (!a->ReadRow(0, a->GetWidth() - 1, y, rowA.data()) || !b->ReadRow(0, b->GetWidth() - 1, y, rowB.data()))
            return false;
        if (rowA != rowB) return false;
    }
    return true;
}

}  // namespace

class EmbeddedWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;

    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }
    bool enabled(int id) { return app()->commands()->state(id).enabled; }

private slots:
    void initTestCase() {
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
        CVandrelApp::StartOptions options;
        options.showLogo = false;
        QVERIFY(app()->InitInstance(options));
        app()->setMessageHandler([this](const QString& text) { messages_ << text; });
    }

    // The menu follows the active window: the embedded document's File menu
    // (Update, Save Copy As; Save and Save As grayed) while its window is
    // active, the ordinary one for any other document.
    void menuFollowsTheActiveWindow() {
        CEmbedServer server;
        Document source;
        source.setPicture(MakePicture());
        const uint id = server.OpenBytes(CVandrelSrvrItem(&source).Serialize());
        QVERIFY(id != 0);
        server.ShowWindow(id);
        CEmbeddedMenu* menu = server.embeddedMenu();
        QVERIFY(menu);
        QVERIFY(menu->fileMenu()->actions().contains(menu->updateAction()));
        QVERIFY(menu->fileMenu()->actions().contains(menu->saveCopyAsAction()));
        QVERIFY(menu->fileMenu()->menuAction()->isVisible());
        QVERIFY(!main()->fileMenu()->menuAction()->isVisible());
        QVERIFY(!enabled(ID_SAVE) && !enabled(ID_SAVE_AS));
        QVERIFY(enabled(ID_IMPORT));
        // For the eye: the menu as it opens.
        menu->fileMenu()->popup(QPoint(0, 0));
        QTest::qWait(50);
        const QString artefacts = qEnvironmentVariable("STITCHARA_BUILD_DIR", ".") + "/artefacts";
        QDir().mkpath(artefacts);
        menu->fileMenu()->grab().save(artefacts + "/embedded_file_menu.png");
        menu->fileMenu()->hide();

        Document* other = app()->NewDocumentWithPicture(MakePicture());
        QVERIFY(other);
        QVERIFY(!menu->fileMenu()->menuAction()->isVisible());
        QVERIFY(main()->fileMenu()->menuAction()->isVisible());
        QVERIFY(enabled(ID_SAVE));

        main()->mdiArea()->activateNextSubWindow();
        QCOMPARE(menu->activeDocument(), id);
        QVERIFY(menu->fileMenu()->menuAction()->isVisible());
        QVERIFY(!main()->fileMenu()->menuAction()->isVisible());

        // The embedded document goes: the ordinary menu comes back.
        server.Close(id);
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(0);
        QVERIFY(main()->fileMenu()->menuAction()->isVisible());
        QVERIFY(!menu->fileMenu()->menuAction()->isVisible());
        other->setModified(false);
        for (QMdiSubWindow* window : main()->documentWindows()) window->close();
    }

    // Update: the container gets the picture as it is now, and the document
    // counts as saved. Save Copy As: a file with the same picture, while the
    // embedded document stays changed and without a file of its own; a copy
    // that cannot be written says so and changes nothing.
    void updateAndSaveCopyAs() {
        CEmbedServer server;
        Document source;
        source.setPicture(MakePicture());
        const uint id = server.OpenBytes(CVandrelSrvrItem(&source).Serialize());
        server.ShowWindow(id);
        Document* document = server.document(id);
        CEmbeddedMenu* menu = server.embeddedMenu();
        QVERIFY(document && menu);
        QSignalSpy updated(&server, &CEmbedServer::Updated);

        QVERIFY(app()->commands()->execute(ID_MIRROR_HORIZONTAL));
        QTRY_VERIFY(!document->busy());  // turned on a worker thread
        QVERIFY(document->isModified());
        menu->updateAction()->trigger();
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated[0][0].toUInt(), id);
        QString error;
        std::unique_ptr<CPicture> sent = CVandrelSrvrItem::PictureFromBytes(updated[0][1].toByteArray(), &error);
        QVERIFY2(sent, qPrintable(error));
        QVERIFY(SamePixels(sent.get(), document->picture()));
        QVERIFY(!SamePixels(sent.get(), source.picture()));
        QVERIFY(!document->isModified());

        QVERIFY(app()->commands()->execute(ID_MIRROR_VERTICAL));
        QTRY_VERIFY(!document->busy());
        const QString copy = dir_.filePath("copy.vdl");
        SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList& filters, int) {
            return filters.size() == 1 ? FileChoice{copy, 1} : FileChoice{};
        });
        menu->saveCopyAsAction()->trigger();
        SetFileDialogAnswerer({});
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::unique_ptr<CPicture> saved = CVandrelSrvrItem::PictureFromBytes(file.readAll(), &error);
        QVERIFY2(saved, qPrintable(error));
        QVERIFY(SamePixels(saved.get(), document->picture()));
        QVERIFY(document->isModified());
        QVERIFY(document->pathName().isEmpty());
        QCOMPARE(updated.count(), 1);

        messages_.clear();
        QVERIFY(!server.SaveCopyAs(id, dir_.filePath("no such folder/copy.vdl")));
        QCOMPARE(messages_.size(), 1);
        QVERIFY(document->isModified());
        QVERIFY(document->pathName().isEmpty());

        server.Close(id);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

int main(int argc, char** argv) {
    CVandrelApp app(argc, argv);
    EmbeddedWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "embedded_window_test.moc"
