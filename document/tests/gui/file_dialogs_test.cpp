#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "document/file_dialogs_qt.h"
#include "document/import_export_formats.h"
#include "platform/imflib/imflib.h"

class FileDialogsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    // Position (0-based) of the write filter whose extension is ext.
    int WritePositionOf(const std::string& ext) {
        FormatTable& t = Formats();
        for (int p = 0; p < t.WriteCount(); ++p)
            if (QString::fromStdString(t.WriteExtensionAt(p)).compare(QString::fromStdString(ext), Qt::CaseInsensitive) == 0)
                return p;
        return -1;
    }

private slots:
    void initTestCase() {
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
        QVERIFY(Formats().LoadFormats());
    }

    void filtersKeepTheirPositions() {
        const QStringList f = QtNameFilters("D1(*.BMP)|*.BMP|D2(*.PCX)|*.PCX|All Formats(*.*)|*.BMP;*.PCX||");
        QCOMPARE(f.size(), 3);
        QCOMPARE(f[0], QString("D1(*.BMP) (*.BMP *.bmp)"));
        QCOMPARE(f[2], QString("All Formats(*.*) (*.BMP *.bmp *.PCX *.pcx)"));
        QVERIFY(QtNameFilters("||").isEmpty());
    }

    // The type list rewrites an extension that is there and adds one that is not.
    void saveDialogFollowsTheType() {
        std::string filter;
        QVERIFY(Formats().BuildWriteFilter(filter));
        const int png = WritePositionOf("png"), jpg = WritePositionOf("jpg");
        QVERIFY(png >= 0 && jpg >= 0);
        CSaveDialog dialog(nullptr, filter, png + 1, dir_.path(), "scan.png");
        QCOMPARE(dialog.WritePosition(), png);
        const QStringList filters = dialog.nameFilters();
        dialog.selectNameFilter(filters[jpg]);
        emit dialog.filterSelected(filters[jpg]);
        QCOMPARE(dialog.FileNameText().toLower(), QString("scan.jpg"));
        dialog.SetFileNameText("noextension");
        dialog.show();
        dialog.accept();
        QCOMPARE(dialog.selectedFiles().value(0).toLower(), dir_.filePath("noextension.jpg").toLower());
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
