#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "document/file_dialogs_qt.h"
#include "platform/imflib/imflib.h"

class FileDialogsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

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
};

QTEST_MAIN(FileDialogsTest)
#include "file_dialogs_test.moc"
