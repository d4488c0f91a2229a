// End to end under a real X server: Stitch Many chosen from the File menu,
// four pieces of a 2 x 2 grid added one by one with Add (the open dialog
// answered by the file dialog answerer), Stitch clicked, the new document
// saved; the saved file equals what stitchara-cli mosaic writes for the same
// pieces. Screenshots go to the artefacts folder.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "base/command_registry_qt.h"
#include "base/message_box.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "stitch/mosaic_window_qt.h"
#include "stitch/tests/stitch_test_support.h"

namespace {
QString Artefact(const QString& name) {
    QString dir = qEnvironmentVariable("STITCHARA_BUILD_DIR") + "/artefacts";
    QDir().mkpath(dir);
    return dir + "/" + name;
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

class MosaicEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;

    // Clicks Add...; the open dialog's answer is given through the file
    // dialog answerer, as for every open dialog of the program.
    void Add(CMosaicWindow* window, const QString& file) {
        const int before = window->pieceCount();
        bool asked = false;
        SetFileDialogAnswerer([&](FileDialogKind kind, const QString&, const QStringList&, int position) {
            asked = kind == FileDialogKind::OpenSeveral;
            return FileChoice{file, position};
        });
        QTest::mouseClick(window->addButton(), Qt::LeftButton);
        SetFileDialogAnswerer({});
        QTRY_VERIFY_WITH_TIMEOUT(asked, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(window->pieceCount(), before + 1, 60000);
    }

    // File > Stitch Many... with the mouse.
    CMosaicWindow* OpenFromMenu() {
        QMenuBar* bar = theApp()->mainWindow()->menuBar();
        QMenu* file = bar->findChild<QMenu*>(QStringLiteral("File"));
        auto* item = theApp()->commands()->action(ID_STITCH_MANY);
        if (!file || !item) return nullptr;
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
        if (!QTest::qWaitForWindowExposed(file)) return nullptr;
        QTest::mouseMove(file, file->actionGeometry(item).center());
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(item).center());
        if (!QTest::qWaitFor([] { return CurrentMosaicWindow() != nullptr; }, 10000)) return nullptr;
        return CurrentMosaicWindow();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetMessageSink([this](const std::string& text) {
            messages_ << QString::fromStdString(text);
            qWarning("message: %s", text.c_str());
        });
        QVERIFY(QTest::qWaitForWindowExposed(theApp()->mainWindow()));
    }

    void addFourStitchAndSave() {
        // A 2 x 2 grid of 220 x 160 pieces of one textured picture, out of order.
        auto original = stitchtest::MakeTextured(380, 280, ptTrueColor24, 21);
        QStringList files;
        for (QPoint at : {QPoint(160, 0), QPoint(0, 120), QPoint(160, 120), QPoint(0, 0)}) {
            auto piece = stitchtest::Cut(original.get(), at.x(), at.y(), 220, 160);
            files << dir_.filePath(QStringLiteral("piece_%1_%2.png").arg(at.x()).arg(at.y()));
            QVERIFY(WriteImageFile(files.last().toStdString(), piece.get()));
        }

        CMosaicWindow* window = OpenFromMenu();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (const QString& f : files) Add(window, f);
        QVERIFY(window->grab().save(Artefact("mosaic_window_pieces.png")));

        const int before = int(theApp()->documents().size());
        QTest::mouseClick(window->stitchButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(int(theApp()->documents().size()), before + 1, 60000);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QVERIFY(window->board()->asFound());
        QVERIFY(window->grab().save(Artefact("mosaic_window_found.png")));

        Document* doc = theApp()->documents().last();
        const QString saved = dir_.filePath(QStringLiteral("app.bmp"));
        SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList& filters, int) {
            int bmp = 1;
            for (int i = 0; i < filters.size(); ++i)
                if (filters[i].contains("bmp", Qt::CaseInsensitive)) {
                    bmp = i + 1;
                    break;
                }
            return FileChoice{saved, bmp};
        });
        QVERIFY(doc->saveAs());
        QTRY_VERIFY_WITH_TIMEOUT(!doc->busy(), 120000);  // written on a worker thread
        SetFileDialogAnswerer({});
        QVERIFY(!doc->isModified());

        const QString cliOut = dir_.filePath(QStringLiteral("cli.bmp"));
        QProcess cli;
        cli.start(qEnvironmentVariable("STITCHARA_BUILD_DIR") + "/bin/stitchara-cli",
                  QStringList{QStringLiteral("mosaic")} + files +
                      QStringList{QStringLiteral("-o"), cliOut, QStringLiteral("--quiet")});
        QVERIFY(cli.waitForFinished(120000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        const QByteArray expected = Bytes(cliOut);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(Bytes(saved), expected);
        QVERIFY(theApp()->mainWindow()->grab().save(Artefact("mosaic_result.png")));
        window->close();
    }
};

int main(int argc, char** argv) { return apptest::RunInApplication<MosaicEndToEnd>(argc, argv); }

#include "mosaic_e2e_qt.moc"
