#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "picture/picture.h"
#include "platform/imflib/imflib.h"

class FileDialogsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    // A small one-coloured PNG file in the test's folder; empty on failure.
    QString WritePng(const QString& name, Qt::GlobalColor colour) {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir_.filePath(name);
        return image.save(path, "PNG") ? path : QString();
    }

private slots:
    void initTestCase() { qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8()); }

    // Changing the type rewrites the extension; a name without one gets the
    // type's extension before the dialog closes.
    void saveDialogFollowsTheType() {
        const QStringList filters{"PNG (*.png)", "JPEG (*.jpg)", "Stitchara Files (*.vdl)"};
        const QStringList extensions{"png", "jpg", "vdl"};
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(edit);
            dialog->selectNameFilter(filters[1]);
            emit dialog->filterSelected(filters[1]);
            seen = edit->text();
            edit->setText("plain");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const FileChoice choice =
            ChooseSaveFile(nullptr, "Save", dir_.path(), "scan.png", filters, 1, extensions);
        QCOMPARE(seen, QString("scan.jpg"));
        QCOMPARE(choice.path, dir_.filePath("plain.jpg"));
        QCOMPARE(choice.filterPosition, 2);
    }

    // The option step: JPEG quality taken, cancel answers 2, other formats pass.
    void saveOptions() {
        InstallSaveOptionDialog();
        ResetSaveOptions();
        QTimer::singleShot(0, [] {
            auto* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            auto* quality = dialog->findChild<QSpinBox*>("jpegQuality");
            QVERIFY(quality);
            quality->setValue(42);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(AllSetSaveOption(dir_.filePath("a.jpg").toUtf8().constData(), nullptr), 1);
        QCOMPARE(CurrentSaveOptions().jpegQuality, 42);
        QTimer::singleShot(0, [] {
            auto* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog && dialog->findChild<QComboBox*>("tiffCompression"));
            QMetaObject::invokeMethod(dialog, "reject");
        });
        QCOMPARE(AllSetSaveOption(dir_.filePath("a.tif").toUtf8().constData(), nullptr), 2);
        QVERIFY(AllSetSaveOption(dir_.filePath("a.png").toUtf8().constData(), nullptr) != 2);
        ResetSaveOptions();
    }

    // Import (as Open) offers every picture first: the last filter, with
    // every spelling of every format's extension in both cases; once a
    // format was chosen it comes first the next time.
    void importOffersEveryPictureThenTheLastUsed() {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString path = dir_.filePath("Shot.JPEG");
        QVERIFY(image.save(path, "JPEG"));
        QList<int> positions;
        QStringList filters;
        int choose = 0;
        SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList& f, int position) {
            filters = f;
            positions << position;
            return FileChoice{path, choose ? choose : position};
        });
        Document::SetSaveQuestion([](const QString&) { return SaveAnswer::No; });  // each import replaces
        Document document;
        QVERIFY(document.import());
        QTRY_VERIFY(!document.busy());  // read on a worker thread
        QCOMPARE(positions.last(), int(filters.size()));
        const QString all = filters.last();
        for (const char* pattern : {"*.png", "*.PNG", "*.jpg", "*.jpeg", "*.JPEG", "*.jpe", "*.tif", "*.tiff", "*.TIFF",
                                    "*.bmp", "*.dib", "*.gif", "*.pcx", "*.tga", "*.ppm", "*.pgm", "*.pbm", "*.pnm"})
            QVERIFY2(all.contains(QString(pattern) + ' ') || all.contains(QString(pattern) + ')'),
                     qPrintable(QString(pattern) + " missing from " + all));
        QCOMPARE(document.picture()->GetWidth(), 8);
        choose = int(filters.indexOf(filters.filter("JPEG").value(0))) + 1;
        QVERIFY(choose >= 1 && choose < filters.size());
        QVERIFY(document.import());
        QTRY_VERIFY(!document.busy());
        QVERIFY(document.import());
        QTRY_VERIFY(!document.busy());
        QCOMPARE(positions.last(), choose);
        SetFileDialogAnswerer(nullptr);
        Document::SetSaveQuestion(nullptr);
    }

    // A file's name keeps its case: Save As suggests the very same file.
    void saveAsSuggestsTheSameFile() {
        const QString path = WritePng("MyMap.PNG", Qt::blue);
        QVERIFY(!path.isEmpty());
        Document document;
        QVERIFY(document.open(path));
        QString suggested;
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) suggested = edit->text();
            QMetaObject::invokeMethod(dialog, "reject");
            answered = true;
        });
        // The dialog opens and the call returns; the answer comes later.
        document.saveAs();
        QTRY_VERIFY(answered);
        QVERIFY(!document.busy());  // cancelled: nothing is written
        QCOMPARE(suggested, QString("MyMap.PNG"));
    }

    // Save As returns with its dialog open, window-modal; the file chosen
    // there is written from the dialog's answer. A document that goes
    // while its dialog is open is not written to (nor touched).
    void saveAsGoesOnWithTheAnswer() {
        const QString path = WritePng("first.png", Qt::red);
        QVERIFY(!path.isEmpty());
        QWidget owner;
        owner.show();
        Document document;
        document.setDialogOwner(&owner);
        QVERIFY(document.open(path));
        // The name the dialog suggests names no file: once the dialog has
        // read its folder it would select that file and write its name over
        // the one typed.
        QVERIFY(QFile::remove(path));
        QVERIFY(document.saveAs());
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(dialog->parentWidget(), &owner);
        QVERIFY(!document.busy());
        const QString copy = dir_.filePath("copy.png");
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(copy);
        QMetaObject::invokeMethod(dialog, "accept");
        QTRY_VERIFY(QFile::exists(copy) && !document.busy());
        QCOMPARE(document.pathName(), copy);
        QTRY_VERIFY(!QApplication::activeModalWidget());

        auto* gone = new Document;
        QVERIFY(gone->open(copy));
        QVERIFY(QFile::remove(copy));
        QVERIFY(gone->saveAs());
        dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        delete gone;
        const QString never = dir_.filePath("never.png");
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(never);
        QMetaObject::invokeMethod(dialog, "accept");
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QTest::qWait(50);
        QVERIFY(!QFile::exists(never));
    }

    // Add Pieces takes several files from one dialog: every one of them,
    // the first as the choice's path.
    void severalFilesFromOneDialog() {
        QStringList files;
        for (const char* name : {"piece a.png", "piece b.png"}) {
            files << WritePng(name, Qt::gray);
            QVERIFY(!files.last().isEmpty());
        }
        QList<FileChoice> answers;
        AskOpenFiles(nullptr, "Add Pieces", dir_.path(), {"PNG (*.png)"}, 1, nullptr,
                     [&](const FileChoice& choice) { answers << choice; });
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->accessibleName(), QString("Add Pieces"));
        QVERIFY(answers.isEmpty());
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"piece a.png\" \"piece b.png\"");
        QMetaObject::invokeMethod(dialog, "accept");
        QTRY_COMPARE(answers.size(), 1);
        QCOMPARE(answers.first().paths(), files);
        QCOMPARE(answers.first().filterPosition, 1);
    }
};

QTEST_MAIN(FileDialogsTest)
#include "file_dialogs_test.moc"
