// End to end under a real X server: the sample pair imported into the stitch
// sheet through the file dialog, stitched with Auto and saved; then a Manual
// stitch placed by dragging. Mouse and keys go through the X server's event
// queue as a user's would. Screenshots go to the artefacts folder.
#include <QAbstractButton>
#include <QApplication>
#include <QMdiArea>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include "base/message_box.h"
#include "display/mouse_tool_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_mouse_tool_qt.h"
#include "stitch/stitch_sheet_qt.h"
#include "stitch/tests/gui/stitch_app_harness.h"

using stitchapptest::Bytes;
using stitchapptest::Sample;

namespace {
QString Artefact(const QString& name) {
    QString dir = qEnvironmentVariable("STITCHARA_BUILD_DIR") + "/artefacts";
    QDir().mkpath(dir);
    return dir + "/" + name;
}
}  // namespace

class StitchEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QByteArray CommandLine(const QStringList& options, const QString& out) {
        return stitchapptest::CommandLineStitch(options, out);
    }

    // Clicks the page's Import button; the file dialog's answer is given
    // through the answerer. Typing into the real dialog is driven by app_e2e;
    // here, on a loaded machine, the dialog's file model could
    // leave the typed name unaccepted for good and hang the run.
    void Import(CStitchPage* page, const QString& file) {
        SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList&, int) {
            return FileChoice{file, 1};
        });
        QTest::mouseClick(page->importButton(), Qt::LeftButton);
        SetFileDialogAnswerer({});
        QTRY_VERIFY_WITH_TIMEOUT(page->picture(), 60000);
    }

    void Shot(QWidget* w, const QString& name) {
        QApplication::processEvents();
        QVERIFY(w->grab().save(Artefact(name)));
    }

private slots:
    void initTestCase() {
        SetMessageSink([](const std::string& text) { qWarning("message: %s", text.c_str()); });
        QVERIFY(QTest::qWaitForWindowExposed(theApp()->mainWindow()));
    }

    void importAutoAndSave() {
        theApp()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        Import(sheet->page(0), Sample("left.png"));
        Shot(sheet, "stitch_sheet_main.png");
        QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
        Import(sheet->page(1), Sample("right.png"));
        Shot(sheet, "stitch_sheet_rest.png");
        QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
        QCOMPARE(sheet->tabs()->currentIndex(), 2);
        QVERIFY(sheet->stitchImage()->methodButton(kMethodAuto)->isChecked());
        Shot(sheet, "stitch_sheet_stitch_image.png");
        int before = int(theApp()->documents().size());
        QTest::mouseClick(sheet->stitchButton(), Qt::LeftButton);
        QTRY_COMPARE(int(theApp()->documents().size()), before + 1);
        Document* doc = theApp()->documents().last();
        QString saved = dir_.filePath("auto.bmp");
        SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList& filters, int) {
            int bmp = 1;
            for (int i = 0; i < filters.size(); ++i)
                if (filters[i].contains("bmp", Qt::CaseInsensitive)) { bmp = i + 1; break; }
            return FileChoice{saved, bmp};
        });
        QVERIFY(doc->saveAs());
        QTRY_VERIFY_WITH_TIMEOUT(!doc->busy(), 120000);  // written on a worker thread
        SetFileDialogAnswerer({});
        QVERIFY(!doc->isModified());
        QCOMPARE(Bytes(saved), CommandLine({}, dir_.filePath("cli_auto.bmp")));
        Shot(theApp()->mainWindow(), "stitch_auto_result.png");
    }

    void manualByDragging() {
        theApp()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        Import(sheet->page(0), Sample("left.png"));
        QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
        Import(sheet->page(1), Sample("right.png"));
        QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
        QTest::mouseClick(sheet->stitchImage()->methodButton(kMethodManual), Qt::LeftButton);
        QTest::mouseClick(sheet->stitchButton(), Qt::LeftButton);
        CStitchMouseTool* tool = StitchMouseTool();
        QTRY_COMPARE(tool->state(), 1);
        CVandrelView* view = tool->view();
        QWidget* port = view->viewport();
        QVERIFY(QTest::qWaitForWindowExposed(port));
        QSize b = tool->blockSize();
        QPoint half(b.width() / 2, b.height() / 2);
        // Pick the block at Rest column 0, row 26 and carry it to Main
        // column 470, row 30 (the pair's true offset), moving in steps.
        QPoint p1 = view->PictureToClient(QPoint(150 + 0, 26)) + half;
        QTest::mouseMove(port, p1);
        QTest::mouseClick(port, Qt::LeftButton, {}, p1);
        QTRY_COMPARE(tool->state(), 2);
        // The point the click took, in the Rest picture's own coordinates.
        // It is read from the tool rather than predicted: the tool warps the
        // pointer, and the window system's motion event for that may still
        // move the block or scroll between our moves and the click.
        const QPoint r(tool->restPoint().x, tool->restPoint().y);
        QVERIFY2(std::abs(r.x() - 0) <= 48 && std::abs(r.y() - 26) <= 48,
                 qPrintable(QString("rest point %1,%2").arg(r.x()).arg(r.y())));
        QPoint p2 = view->PictureToClient(QPoint(150 - 130, 30)) + half;
        for (int i = 1; i <= 8; ++i) {
            QTest::mouseMove(port, p1 + (p2 - p1) * i / 8);
            QTest::qWait(20);
            // Half way the carried block shows against the Main half.
            if (i == 4) Shot(theApp()->mainWindow(), "stitch_phase2.png");
        }
        QTest::mouseClick(port, Qt::LeftButton, {}, p2);
        const QPoint m(tool->mainPoint().x, tool->mainPoint().y);
        QVERIFY2(std::abs(m.x() - 470) <= 48 && std::abs(m.y() - 30) <= 48,
                 qPrintable(QString("main point %1,%2").arg(m.x()).arg(m.y())));
        QTRY_COMPARE(CurrentTool(), DefaultTool());
        Document* doc = tool->document();
        QVERIFY(doc && doc->isModified());
        QString saved = dir_.filePath("manual.bmp");
        SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList&, int) {
            return FileChoice{saved, 1};
        });
        QVERIFY(doc->saveAs());
        QTRY_VERIFY_WITH_TIMEOUT(!doc->busy(), 120000);  // written on a worker thread
        SetFileDialogAnswerer({});
        QCOMPARE(Bytes(saved),
                 CommandLine({"--method", "manual", "--rest-point",
                              QString("%1,%2").arg(r.x()).arg(r.y()), "--main-point",
                              QString("%1,%2").arg(m.x()).arg(m.y())},
                             dir_.filePath("cli_manual.bmp")));
        Shot(theApp()->mainWindow(), "stitch_manual_result.png");
    }
};

int main(int argc, char** argv) { return stitchapptest::RunInApplication<StitchEndToEnd>(argc, argv); }

#include "stitch_e2e_qt.moc"
