// The scanner's dialogs with the library's test backend: the source's
// dialog shows the device's choices, remembers them, previews the bed and
// draws the area; Scan delivers the picture to its window, Cancel nothing;
// Select Source remembers the device chosen.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "acquire/acquire_commands_qt.h"
#include "acquire/scan_dialog_qt.h"
#include "acquire/tests/gui/scan_receiver.h"
#include "acquire/xfer_done_qt.h"
#include "base/testing/on_modal_qt.h"
#include "platform/profile.h"
#include "platform/twain/dsm.h"
#include "platform/twain/testing/sane_test_config.h"
#include "resources/command_ids.h"

class ScanDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        sanetest::UseTestBackend(dir_.filePath("sane").toStdString(), "test-picture \"Color pattern\"\n");
        platform::SetProfilePath(dir_.filePath("stitchara.ini").toStdString());
        QVERIFY(ScannerAvailable());
    }

    void scanDeliversWhatTheDialogSet() {
        Receiver window;
        bool sawChoices = false;
        OnModal([&](QWidget* w) {
            auto* dialog = qobject_cast<CScanDialog*>(w);
            QVERIFY(dialog);
            QCOMPARE(dialog->modeBox()->count(), 2);
            QVERIFY(dialog->sourceBox()->findText("Automatic Document Feeder") >= 0);
            QVERIFY(dialog->depthBox()->findText("16") >= 0);
            sawChoices = true;
            dialog->modeBox()->setCurrentText("Gray");
            dialog->resolutionBox()->setCurrentText("50");
            dialog->unitBox()->setCurrentIndex(1);  // cm
            // 2 x 3 cm from (1 cm, 1 cm)
            dialog->areaBox(0)->setValue(1);
            dialog->areaBox(1)->setValue(1);
            dialog->areaBox(2)->setValue(2);
            dialog->areaBox(3)->setValue(3);
            QCOMPARE(dialog->areaMm(), QRectF(10, 10, 20, 30));
            QTest::mouseClick(dialog->scanButton(), Qt::LeftButton);
        });
        QVERIFY(HandleAcquireCommand(ID_ACQUIRE, &window));
        QTRY_COMPARE(window.pictures.size(), std::size_t(1));
        QVERIFY(sawChoices);
        CPicture& p = *window.pictures[0];
        QCOMPARE(p.GetType(), int(ptGray256));
        QCOMPARE(p.GetXDpi(), 50);
        // 20 mm and 30 mm at 50 dpi.
        QVERIFY(qAbs(p.GetWidth() - 39) <= 1);
        QVERIFY(qAbs(p.GetHeight() - 59) <= 1);

        // The next dialog for the device starts from these settings; Cancel
        // delivers nothing.
        OnModal([](QWidget* w) {
            auto* dialog = qobject_cast<CScanDialog*>(w);
            QVERIFY(dialog);
            QCOMPARE(dialog->modeBox()->currentText(), QString("Gray"));
            QCOMPARE(dialog->resolutionBox()->currentText(), QString("50"));
            QCOMPARE(dialog->unitBox()->currentIndex(), 1);
            QCOMPARE(dialog->areaMm(), QRectF(10, 10, 20, 30));
            dialog->reject();
        });
        QVERIFY(HandleAcquireCommand(ID_ACQUIRE, &window));
        QTest::qWait(100);
        QCOMPARE(window.pictures.size(), std::size_t(1));
    }

    void previewShowsTheBedAndDrawsTheArea() {
        Receiver window;
        OnModal([](QWidget* w) {
            auto* dialog = qobject_cast<CScanDialog*>(w);
            QVERIFY(dialog);
            dialog->unitBox()->setCurrentIndex(0);  // mm
            dialog->modeBox()->setCurrentText("Color");
            QTest::mouseClick(dialog->previewButton(), Qt::LeftButton);
            CScanPreview* preview = dialog->previewWidget();
            QTRY_VERIFY_WITH_TIMEOUT(preview->hasImage(), 10000);
            // Drag over the top-left quarter of the drawn bed.
            const QImage shot = preview->grab().toImage();
            QVERIFY(!shot.isNull());
            const double scale = std::min((preview->width() - 2) / 200.0, (preview->height() - 2) / 200.0);
            const QPoint from(1, 1), to(1 + int(100 * scale), 1 + int(100 * scale));
            QTest::mousePress(preview, Qt::LeftButton, {}, from);
            QMouseEvent move(QEvent::MouseMove, QPointF(to), preview->mapToGlobal(QPointF(to)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(preview, &move);
            QTest::mouseRelease(preview, Qt::LeftButton, {}, to);
            const QRectF area = dialog->areaMm();
            QVERIFY2(qAbs(area.width() - 100) < 2 && qAbs(area.height() - 100) < 2,
                     qPrintable(QString("%1 x %2").arg(area.width()).arg(area.height())));
            dialog->resolutionBox()->setCurrentText("25");
            QTest::mouseClick(dialog->scanButton(), Qt::LeftButton);
        });
        QVERIFY(HandleAcquireCommand(ID_ACQUIRE, &window));
        QTRY_COMPARE(window.pictures.size(), std::size_t(1));
        QCOMPARE(window.pictures[0]->GetType(), int(ptTrueColor24));
        QVERIFY(qAbs(window.pictures[0]->GetWidth() - 98) <= 2);
    }

    void selectSourceRemembersTheDevice() {
        Receiver window;
        OnModal([](QWidget* w) {
            auto* dialog = qobject_cast<CSourceChooserDialog*>(w);
            QVERIFY(dialog);
            QCOMPARE(dialog->list()->count(), 2);
            dialog->list()->setCurrentRow(1);
            dialog->accept();
        });
        QVERIFY(HandleAcquireCommand(ID_SELECT_SOURCE, &window));
        QCOMPARE(twain::DefaultSourceName(), std::string("test:1"));
        CommandState state;
        QVERIFY(UpdateAcquireCommand(ID_ACQUIRE, state));
        QVERIFY(state.enabled);
        QVERIFY(!UpdateAcquireCommand(ID_OPEN, state));
    }

    void cleanupTestCase() { platform::SetProfilePath(""); }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(ScanDialogTest)
#include "scan_dialog_test.moc"
