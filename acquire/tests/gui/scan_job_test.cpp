// A scan's transfer runs as a job on a worker thread: the window's thread
// keeps running its timers meanwhile, no second scan starts, and a cancel
// leaves no picture and no swap file behind.
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "acquire/acquire_commands_qt.h"
#include "acquire/scan_dialog_qt.h"
#include "acquire/tests/gui/scan_receiver.h"
#include "acquire/xfer_done_qt.h"
#include "base/job_qt.h"
#include "base/testing/on_modal_qt.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "platform/twain/testing/sane_test_config.h"
#include "resources/command_ids.h"

class ScanJobTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // Slow reads of 4 KiB at most.
        sanetest::UseTestBackend(dir_.filePath("sane").toStdString(),
                                 "read-limit true\nread-limit-size 4096\nread-delay true\nread-delay-duration 5000\n");
        platform::SetProfilePath(dir_.filePath("stitchara.ini").toStdString());
        swapDir_ = dir_.filePath("swap");
        QVERIFY(QDir().mkpath(swapDir_));
        qputenv("TMPDIR", swapDir_.toUtf8());
        QVERIFY(ScannerAvailable());
    }

    void cancelledScanLeavesNothing() {
        Receiver window;
        // The whole bed at 600 dpi: about a second of reading here, the
        // cancel comes within tens of milliseconds.
        ScanWholeBedWhenAsked();
        // The picture goes to a swap file.
        platform::SetMemoryBudget(64 * 1024);
        QVERIFY(HandleAcquireCommand(ID_ACQUIRE, &window));
        QTRY_VERIFY_WITH_TIMEOUT(ScanRunning(), 5000);
        QVERIFY(!StartScanFor(&window));

        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            if (ScanRunning()) ++ticks;
        });
        timer.start(10);
        const QStringList swapPattern{"~tsv*"};
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(swapDir_).entryList(swapPattern, QDir::Files | QDir::Hidden).isEmpty(), 5000);
        QTRY_VERIFY2_WITH_TIMEOUT(ticks >= 3, qPrintable(QString("ticks %1 running %2 pictures %3").arg(ticks).arg(ScanRunning()).arg(window.pictures.size())), 5000);
        QVERIFY(ScanRunning());
        QCOMPARE(Job::runningJobs().size(), 1);
        Job::runningJobs().first()->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(!ScanRunning(), 10000);
        platform::SetMemoryBudget(0);
        QTest::qWait(50);
        QVERIFY(window.pictures.empty());
        QCOMPARE(QDir(swapDir_).entryList(swapPattern, QDir::Files | QDir::Hidden), QStringList());
    }

    void cleanupTestCase() {
        platform::SetMemoryBudget(0);
        platform::SetProfilePath("");
    }

private:
    QTemporaryDir dir_;
    QString swapDir_;
};

QTEST_MAIN(ScanJobTest)
#include "scan_job_test.moc"
