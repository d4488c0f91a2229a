// End to end under a real X server with the scanner library's test backend:
// File > Acquire opens the source's dialog, a preview is drawn, Scan brings
// the picture into a new document window; a stitch page's Scan button fills
// the page. Screenshots go to the artefacts folder; the time from Scan to
// the new document is printed.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "acquire/scan_dialog_qt.h"
#include "document/document_qt.h"
#include "platform/twain/testing/sane_test_config.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "stitch/stitch_sheet_qt.h"

namespace {
QString Artefact(const QString& name) {
    QString dir = qEnvironmentVariable("STITCHARA_BUILD_DIR") + "/artefacts";
    QDir().mkpath(dir);
    return dir + "/" + name;
}

// Runs work on the scan dialog once it shows.
void OnScanDialog(std::function<void(CScanDialog*)> work) {
    QTimer::singleShot(50, [work] {
        auto* dialog = qobject_cast<CScanDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            OnScanDialog(work);
            return;
        }
        work(dialog);
    });
}
}  // namespace

class ScanEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void acquireFromTheFileMenuOpensADocument() {
        PMainWnd* main = theApp()->mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QAction* acquire = theApp()->commands()->action(ID_ACQUIRE);
        QVERIFY(acquire && acquire->isEnabled());
        const int before = int(theApp()->documents().size());
        qint64 scanToDocumentMs = -1;
        QElapsedTimer clock;
        bool scanned = false;
        OnScanDialog([&](CScanDialog* dialog) {
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            dialog->modeBox()->setCurrentText("Color");
            QTest::mouseClick(dialog->previewButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(dialog->previewWidget()->hasImage(), 20000);
            dialog->setAreaMm(QRectF(0, 0, 200, 200));
            dialog->resolutionBox()->setCurrentText("300");
            QTest::qWait(20);  // the layout settles before the shot
            QVERIFY(dialog->grab().save(Artefact("scan_e2e_dialog.png")));
            clock.start();
            QTest::mouseClick(dialog->scanButton(), Qt::LeftButton);
            scanned = true;
        });
        // File menu, then its Acquire item, with the mouse.
        QMenu* file = main->fileMenu();
        QTest::mouseClick(main->menuBar(), Qt::LeftButton, {}, main->menuBar()->actionGeometry(file->menuAction()).center());
        QTRY_VERIFY(file->isVisible());
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(acquire).center());
        QTRY_VERIFY_WITH_TIMEOUT(scanned, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(int(theApp()->documents().size()), before + 1, 60000);
        scanToDocumentMs = clock.elapsed();
        Document* doc = theApp()->documents().last();
        CPicture* p = doc->picture();
        QVERIFY(p);
        QCOMPARE(p->GetType(), int(ptTrueColor24));
        QCOMPARE(p->GetXDpi(), 300);
        QCOMPARE(p->GetWidth(), 2362);
        QCOMPARE(p->GetHeight(), 2362);
        std::printf("scan_e2e: 300-dpi 200 x 200 mm colour scan to a new document: %lld ms\n",
                    static_cast<long long>(scanToDocumentMs));
        QTest::qWait(300);
        QVERIFY(main->grab().save(Artefact("scan_e2e_document.png")));
    }

    void stitchPageScanKeepsThePicture() {
        theApp()->OnCommand(ID_STITCH);
        CStitchSheet* sheet = nullptr;
        QTRY_VERIFY((sheet = CurrentStitchSheet()) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        CStitchPage* page = sheet->page(0);
        QVERIFY(page->scanButton()->isEnabled());
        OnScanDialog([](CScanDialog* dialog) {
            dialog->modeBox()->setCurrentText("Gray");
            dialog->resolutionBox()->setCurrentText("75");
            QTest::mouseClick(dialog->scanButton(), Qt::LeftButton);
        });
        QTest::mouseClick(page->scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(page->picture() != nullptr, 20000);
        QCOMPARE(page->picture()->GetType(), int(ptGray256));
        QTest::qWait(200);
        QVERIFY(sheet->grab().save(Artefact("scan_e2e_stitch_page.png")));
        sheet->close();
    }
};

int main(int argc, char** argv) {
    return apptest::RunInApplication<ScanEndToEnd>(argc, argv, [](const QTemporaryDir& settings) {
        sanetest::UseTestBackend(settings.filePath(QStringLiteral("sane")).toStdString(),
                                 "test-picture \"Color pattern\"\n");
    });
}

#include "scan_e2e_qt.moc"
