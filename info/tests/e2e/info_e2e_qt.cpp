// End to end under a real X server (Xvfb): the sample pictures opened with
// File > Open through the file dialog, the Information sheet opened from the
// View menu with the mouse, the unit switched to cm, Next and Previous
// clicked, both pages looked at; then the sheet again from the icon bar and
// from the keyboard, still in cm. Screenshots go to the artefacts folder.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <functional>

#include "document/document_qt.h"
#include "info/info_sheet_qt.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "resources/command_ids.h"

namespace {

QString Sample(const char* name) { return qEnvironmentVariable("STITCHARA_SOURCE_DIR") + "/samples/" + name; }

QString Artefact(const QString& name) {
    const QString dir = qEnvironmentVariable("STITCHARA_BUILD_DIR") + "/artefacts";
    QDir().mkpath(dir);
    return dir + "/" + name;
}

void ScreenShot(const QString& name) {
    QTest::qWait(150);
    QApplication::processEvents();
    QGuiApplication::primaryScreen()->grabWindow(0).save(Artefact(name));
}

// Runs work on the modal widget of type W once it is up (inside its loop).
template <class W>
void WhenModal(std::function<void(W*)> work) {
    auto* timer = new QTimer;
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, [timer, work] {
        auto* widget = qobject_cast<W*>(QApplication::activeModalWidget());
        if (!widget || !widget->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        work(widget);
    });
    timer->start();
}

void ClickMenuItem(QMainWindow* main, QMenu* menu, QAction* item) {
    QMenuBar* bar = main->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

QMenu* MenuHolding(QMainWindow* main, QAction* item) {
    for (QAction* top : main->menuBar()->actions())
        if (top->menu() && top->menu()->actions().contains(item)) return top->menu();
    return nullptr;
}

}  // namespace

class InfoEndToEnd : public QObject {
    Q_OBJECT
    PMainWnd* main_ = nullptr;

    void OpenThroughFileDialog(const QString& path) {
        bool typed = false;
        WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            QLineEdit* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!name) return;
            // Let the dialog settle (its folder read) before typing, as a
            // user would.
            QTest::qWait(500);
            name->setFocus();
            name->clear();
            QTest::keyClicks(name, path);
            QTest::keyClick(name, Qt::Key_Return);
            typed = true;
        });
        const int before = int(theApp()->documents().size());
        ClickMenuItem(main_, main_->fileMenu(), theApp()->commands()->action(ID_OPEN));
        QTRY_VERIFY_WITH_TIMEOUT(typed, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(int(theApp()->documents().size()), before + 1, 20000);
    }

private slots:
    void initTestCase() {
        main_ = theApp()->mainWindow();
        QVERIFY(main_);
        QVERIFY(QTest::qWaitForWindowExposed(main_));
    }

    void openTwoPictures() {
        OpenThroughFileDialog(Sample("left.png"));
        OpenThroughFileDialog(Sample("right.png"));
        QCOMPARE(main_->mdiArea()->subWindowList().size(), 2);
        QTest::qWait(300);
        ScreenShot("info_e2e_documents.png");
    }

    void informationFromTheMenu() {
        QAction* information = theApp()->commands()->action(ID_INFORMATION);
        QVERIFY(information && information->isEnabled());
        QMenu* view = MenuHolding(main_, information);
        QVERIFY(view);
        QMdiSubWindow* right = main_->activeDocumentWindow();
        QVERIFY(right);
        QVERIFY(right->windowTitle().startsWith(QStringLiteral("right.png")));

        QStringList seen;
        bool finished = false;
        WhenModal<CInfoSheet>([&](CInfoSheet* sheet) {
            CDocInfoPage* page = sheet->DocumentPage();
            if (!page) return;
            QTest::qWait(100);
            seen << page->Text(200)->text();
            // The unit by keyboard: pixel is last, cm just above it.
            QTest::mouseClick(sheet->Tabs()->tabBar(), Qt::LeftButton, {},
                              sheet->Tabs()->tabBar()->tabRect(0).center());
            page->UnitBox()->setFocus();
            QTest::keyClick(page->UnitBox(), Qt::Key_Up);
            seen << page->Text(205)->text() << page->Text(206)->text();
            QTest::mouseClick(page->NextButton(), Qt::LeftButton);
            seen << page->Text(200)->text() << page->Text(205)->text() << page->Text(206)->text()
                 << page->Text(202)->text() << page->Text(201)->text();
            seen << (page->NextButton()->isEnabled() ? "next enabled" : "next gray");
            ScreenShot("info_e2e_document_page.png");
            QTest::mouseClick(page->PreviousButton(), Qt::LeftButton);
            seen << page->Text(200)->text();
            QTest::mouseClick(sheet->Tabs()->tabBar(), Qt::LeftButton, {},
                              sheet->Tabs()->tabBar()->tabRect(1).center());
            ScreenShot("info_e2e_system_page.png");
            seen << sheet->SystemPage()->Value(1543)->text();
            QTest::mouseClick(sheet->OkButton(), Qt::LeftButton);
            finished = true;
        });
        ClickMenuItem(main_, view, information);
        QTRY_VERIFY_WITH_TIMEOUT(finished, 20000);
        QCOMPARE(seen.size(), 11);
        QCOMPARE(seen[0], "Filename : " + right->windowTitle());
        QCOMPARE(seen[1], QStringLiteral(" 4.5"));  // 530 pixels at 300 dpi
        QCOMPARE(seen[2], QStringLiteral(" 5.0"));  // 590 pixels
        QVERIFY2(seen[3].startsWith(QStringLiteral("Filename : left.png")), qPrintable(seen[3]));
        QCOMPARE(seen[4], QStringLiteral(" 5.1"));  // 600 pixels
        QCOMPARE(seen[5], QStringLiteral(" 5.0"));
        QCOMPARE(seen[6], QStringLiteral("Resolution - X : 300 DPI"));
        QCOMPARE(seen[7], QStringLiteral("Image Type : 24 bit True Color"));
        QCOMPARE(seen[8], QStringLiteral("next gray"));
        QCOMPARE(seen[9], seen[0]);
        QVERIFY(!seen[10].isEmpty());
        // The sheet only reports: the active window is still the same.
        QCOMPARE(main_->activeDocumentWindow(), right);
    }

    void informationFromTheIconBarKeepsTheUnit() {
        QAction* information = theApp()->commands()->action(ID_INFORMATION);
        QWidget* button = main_->iconBar()->widgetForAction(information);
        QVERIFY(button && button->isVisible());
        QString width;
        WhenModal<CInfoSheet>([&](CInfoSheet* sheet) {
            if (!sheet->DocumentPage()) return;
            width = sheet->DocumentPage()->Text(205)->text();
            QTest::keyClick(sheet, Qt::Key_Escape);
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!width.isEmpty(), 20000);
        QCOMPARE(width, QStringLiteral(" 4.5"));
        QTRY_VERIFY(!QApplication::activeModalWidget());
    }

    void informationFromTheKeyboard() {
        bool opened = false;
        WhenModal<CInfoSheet>([&](CInfoSheet* sheet) {
            opened = true;
            QTest::keyClick(sheet->OkButton(), Qt::Key_Return);
        });
        main_->activateWindow();
        QTRY_VERIFY(main_->isActiveWindow());
        // Alt+V opens the View menu. "Zoom &In" and "&Information..." share
        // the mnemonic, so I moves between them; Return takes Information.
        QAction* information = theApp()->commands()->action(ID_INFORMATION);
        QTest::keyClick(main_, Qt::Key_V, Qt::AltModifier);
        QMenu* view = MenuHolding(main_, information);
        QTRY_VERIFY(view->isVisible());
        for (int i = 0; i < 3 && view->activeAction() != information; ++i) QTest::keyClick(view, Qt::Key_I);
        QCOMPARE(view->activeAction(), information);
        QTest::keyClick(view, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(opened, 20000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
    }
};

int main(int argc, char** argv) { return apptest::RunInApplication<InfoEndToEnd>(argc, argv); }

#include "info_e2e_qt.moc"
