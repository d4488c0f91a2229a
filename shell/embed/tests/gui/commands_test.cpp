// The command registry: every surface (main menus, icon bar, in-place menu
// and tool bar, the embedded document's File menu) is built from it, every
// placed command is complete, and the states follow the application's
// changes at once, with no timer behind them.
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <memory>

#include "base/workspace_qt.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/embed/in_place_frame_qt.h"
#include "stitch/stitch_sheet_qt.h"

namespace {

std::unique_ptr<CPicture> MakePicture() {
    auto picture = std::make_unique<CPicture>();
    if (!picture->Create(ptTrueColor24, 6, 4, 0, nullptr, 3780, 3780, 3)) return nullptr;
    return picture;
}

// The ids of a menu or tool bar in order, 0 for a separator, sub-menus
// flattened in place.
QList<int> Ids(const QList<QAction*>& actions) {
    QList<int> ids;
    for (QAction* action : actions) {
        if (action->isSeparator()) ids << 0;
        else if (action->menu()) ids << Ids(action->menu()->actions());
        else if (action->data().isValid()) ids << action->data().toInt();
        // (a window's own item without a command id is passed over)
    }
    return ids;
}

QList<int> Layout(CommandSurface surface, const QString& menu = {}) {
    QList<int> ids;
    for (const CommandRegistry::Item& item : ProgramCommands().layout(surface, menu)) ids << item.id;
    return ids;
}

const QList<int> kRecent{ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE2, ID_FILE_MRU_FILE3, ID_FILE_MRU_FILE4};

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT
    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }
    bool shown(int id) { return app()->commands()->action(id)->isEnabled(); }

private slots:
    void initTestCase() {
        CVandrelApp::StartOptions options;
        options.showLogo = false;
        QVERIFY(app()->InitInstance(options));
        app()->setMessageHandler([](const QString&) {});
    }

    // Every declaration is whole and made once; a second one of an id is
    // refused and reported.
    void everyCommandIsComplete() {
        const CommandRegistry& registry = ProgramCommands();
        QVERIFY(registry.duplicates().empty());
        for (const auto& [id, decl] : registry.all()) {
            QVERIFY2(decl.run, qPrintable(QString::number(id)));
            if (decl.places.empty()) continue;
            // A recent file's text is the file's name.
            const CommandEntry* entry = FindCommand(id);
            const bool recent = kRecent.contains(id);
            QVERIFY2(entry && (entry->menuText || recent), qPrintable(QString::number(id)));
            QVERIFY2(!TextBeforeLineBreak(LoadStringById(id)).empty(), qPrintable(QString::number(id)));
            for (const CommandPlace& place : decl.places) {
                const bool toolBar = place.surface == CommandSurface::IconBar ||
                                     place.surface == CommandSurface::InPlaceToolBar;
                // A button shows its icon and explains itself in a tool tip.
                if (toolBar) QVERIFY2(!decl.icon.isNull() && !CommandToolTip(id).isEmpty(), qPrintable(QString::number(id)));
                else QVERIFY(!place.menu.isEmpty());
            }
        }
        CommandRegistry twice;
        QVERIFY(twice.add(CommandDecl(ID_OPEN).runs([](Workspace&) { return true; })));
        QVERIFY(!twice.add(CommandDecl(ID_OPEN).runs([](Workspace&) { return false; })));
        QCOMPARE(twice.duplicates(), std::vector<int>{ID_OPEN});
        QCOMPARE(twice.all().size(), size_t(1));
    }

    // The main menus, the icon bar, the in-place menu and tool bar and the
    // embedded File menu are the registry's places, in the order the
    // program always had.
    void surfacesAreBuiltFromTheRegistry() {
        QStringList titles;
        for (QAction* menu : main()->menuBar()->actions())
            if (menu->menu() && menu->menu()->objectName() != "EmbeddedFile") titles << menu->text();
        QCOMPARE(titles, QStringList({"&File", "&Edit", "&Bitmap", "&View", "&Window", "&Help"}));
        for (QAction* menu : main()->menuBar()->actions()) {
            if (!menu->menu() || menu->menu()->objectName() == "EmbeddedFile") continue;
            QCOMPARE(Ids(menu->menu()->actions()), Layout(CommandSurface::MainMenu, menu->text()));
            for (QAction* action : menu->menu()->actions())
                if (!action->isSeparator() && !action->menu() && action->data().isValid())
                    QCOMPARE(action, app()->commands()->action(action->data().toInt()));
        }
        QCOMPARE(Ids(main()->fileMenu()->actions()),
                 QList<int>({ID_OPEN, ID_IMPORT, ID_SAVE, ID_SAVE_AS, 0, ID_ACQUIRE, ID_SELECT_SOURCE, 0, ID_STITCH,
                             ID_STITCH_MANY, 0, ID_PRINT, ID_QUICK_PRINT, ID_PRINT_PREVIEW, ID_PRINT_SETUP, 0}) +
                     kRecent + QList<int>({0, ID_APP_EXIT}));
        QCOMPARE(main()->findChild<QMenu*>("Enlarge")->actions().size(), 15);
        QCOMPARE(Ids(main()->iconBar()->actions()),
                 QList<int>({ID_OPEN, ID_SAVE, 0, ID_STITCH, ID_ACQUIRE, 0, ID_PRINT, ID_QUICK_PRINT, 0,
                             ID_INFORMATION, ID_ABOUT}));

        QList<int> inPlace;
        QStringList inPlaceMenus;
        for (const EmbedMenuItem& item : CInPlaceFrame::InPlaceMenu()) {
            inPlace << item.id;
            if (!inPlaceMenus.contains(item.menu)) inPlaceMenus << item.menu;
            if (item.id == ID_IMPORT) QCOMPARE(item.shortcut, QKeySequence(Qt::CTRL | Qt::Key_L).toString());
            if (item.id == ID_EDIT_UNDO) QCOMPARE(item.shortcut, QKeySequence(QKeySequence::Undo).toString());
        }
        QCOMPARE(inPlaceMenus, QStringList({"&File", "&Edit", "&Bitmap", "&View", "&Help"}));
        QCOMPARE(inPlace, QList<int>({ID_IMPORT, 0, ID_ACQUIRE, ID_SELECT_SOURCE, ID_EDIT_UNDO, ID_EDIT_REDO,
                                      ID_MIRROR_HORIZONTAL,
                                      ID_MIRROR_VERTICAL, ID_MIRROR_DIAGONAL, 0, ID_ROTATE_LEFT, ID_ROTATE_RIGHT,
                                      ID_VIEW_ICONBAR, 0, ID_INFORMATION, ID_HELP_INDEX, ID_HELP_USING, 0,
                                      ID_ABOUT}));
        Document document;
        document.setPicture(MakePicture());
        CInPlaceFrame frame(&document);
        QToolBar bar;
        frame.commands()->fillToolBar(&bar, CommandSurface::InPlaceToolBar);
        QCOMPARE(Ids(bar.actions()), QList<int>({ID_IMPORT, 0, ID_ACQUIRE, 0, ID_INFORMATION, ID_ABOUT}));
        // The frame has actions of its own, not the main window's.
        QVERIFY(frame.commands()->action(ID_IMPORT) != app()->commands()->action(ID_IMPORT));
        QCOMPARE(frame.commands()->action(ID_IMPORT)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        QCOMPARE(app()->commands()->action(ID_IMPORT)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
        // Undo and Redo there follow the embedded document's history.
        QAction* undo = frame.commands()->action(ID_EDIT_UNDO);
        QAction* redo = frame.commands()->action(ID_EDIT_REDO);
        QVERIFY(undo && redo && !undo->isEnabled() && !redo->isEnabled());
        QVERIFY(frame.commands()->execute(ID_MIRROR_HORIZONTAL));
        document.finishJob();
        QVERIFY(undo->isEnabled());
        QVERIFY(frame.commands()->execute(ID_EDIT_UNDO));
        document.finishJob();
        QVERIFY(!undo->isEnabled());
        QVERIFY(redo->isEnabled());

        QMenu embedded;
        const auto separators =
            app()->commands()->fillMenu(&embedded, CommandSurface::EmbeddedFileMenu, QStringLiteral("&File"));
        QCOMPARE(Ids(embedded.actions()), QList<int>({ID_IMPORT, 0, ID_ACQUIRE, ID_SELECT_SOURCE, 0, ID_STITCH, 0,
                                                      ID_PRINT_PREVIEW, ID_PRINT, ID_PRINT_SETUP, 0}) +
                                              kRecent + QList<int>({0, ID_APP_EXIT}));
        QCOMPARE(separators.size(), size_t(5));
    }

    // The states change as the application does, at once: no timer asks
    // the commands again behind the user's back.
    void statesFollowSignals() {
        QVERIFY(app()->commands()->findChildren<QTimer*>().isEmpty());
        app()->setPrinterAvailable(true);
        app()->setScannerAvailable(true);
        QVERIFY(!shown(ID_SAVE) && !shown(ID_MIRROR_HORIZONTAL) && !shown(ID_WINDOW_TILE));
        QVERIFY(shown(ID_OPEN));

        // A document opens: its commands and the window commands wake up.
        Document* doc = app()->NewDocumentWithPicture(MakePicture());
        QVERIFY(doc);
        QVERIFY(shown(ID_SAVE) && shown(ID_MIRROR_HORIZONTAL) && shown(ID_WINDOW_TILE) && shown(ID_PRINT));
        QVERIFY(shown(ID_ZOOM_IN));

        // The stitch sheet opens: most commands gray; it closes: back.
        QVERIFY(app()->OnCommand(ID_STITCH));
        CStitchSheet* sheet = CurrentStitchSheet();
        QVERIFY(sheet);
        QVERIFY(!shown(ID_OPEN) && !shown(ID_MIRROR_HORIZONTAL) && !shown(ID_PRINT) && !shown(ID_STITCH));
        QVERIFY(shown(ID_ZOOM_IN) && shown(ID_IMPORT));
        sheet->Destroy();
        QTRY_COMPARE(app()->stitchIdle, 1);
        QVERIFY(shown(ID_OPEN) && shown(ID_MIRROR_HORIZONTAL) && shown(ID_PRINT));

        // The printers go: printing grays, Print Setup stays.
        app()->setPrinterAvailable(false);
        QVERIFY(!shown(ID_PRINT) && !shown(ID_QUICK_PRINT) && !shown(ID_PRINT_PREVIEW));
        QVERIFY(shown(ID_PRINT_SETUP));
        app()->setPrinterAvailable(true);
        QVERIFY(shown(ID_PRINT));

        // The document closes: its commands gray again.
        doc->setModified(false);
        QVERIFY(main()->activeDocumentWindow()->close());
        QTRY_VERIFY(main()->documentWindows().isEmpty());
        QVERIFY(!shown(ID_SAVE) && !shown(ID_MIRROR_HORIZONTAL) && !shown(ID_PRINT) && !shown(ID_ZOOM_IN));
        QVERIFY(!shown(ID_WINDOW_TILE));
    }
};

int main(int argc, char** argv) {
    CVandrelApp app(argc, argv);
    CommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "commands_test.moc"
