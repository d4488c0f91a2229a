// The Stitch Many window inside the running application: pieces dropped and
// added as files, the joined picture opened as a new document equal to the
// engine's for the same files, the thumbnails laid out as found, and a
// refusal that keeps the window and its pieces for another try.
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "base/command_registry_qt.h"
#include "base/message_box.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "stitch/mosaic.h"
#include "stitch/mosaic_window_qt.h"
#include "stitch/tests/stitch_test_support.h"

using namespace stitchtest;

class MosaicWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;
    std::unique_ptr<CPicture> original_ = MakeTextured(380, 280, ptTrueColor24, 21);

    // Piece x,y (220 x 160) of the original, written as a PNG file.
    QString PieceFile(int x, int y, CPicture* from = nullptr) {
        auto piece = Cut(from ? from : original_.get(), x, y, 220, 160);
        const QString path = dir_.filePath(QStringLiteral("p_%1_%2%3.png").arg(x).arg(y).arg(from ? "_other" : ""));
        if (!WriteImageFile(path.toStdString(), piece.get())) return {};
        return path;
    }

    // The engine's picture of the same files.
    static std::unique_ptr<CPicture> EngineResult(const QStringList& paths) {
        std::vector<std::unique_ptr<CPicture>> loaded;
        std::vector<MosaicPiece> pieces;
        for (const QString& p : paths) {
            loaded.push_back(ReadImageFile(p.toStdString(), false));
            if (!loaded.back()) return nullptr;
            pieces.push_back({loaded.back().get(), p.toStdString()});
        }
        MosaicResult r = RunMosaic(pieces, MosaicRequest{});
        return std::move(r.picture);
    }

    static int DocumentCount() { return int(theApp()->documents().size()); }
    static CPicture* NewestPicture() { return theApp()->documents().last()->picture(); }

    static CMosaicWindow* OpenFromFileMenu() {
        auto* item = theApp()->commands()->action(ID_STITCH_MANY);
        if (!item) return nullptr;
        item->trigger();
        return CurrentMosaicWindow();
    }

    static void Drop(QWidget* target, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        data.setUrls(urls);
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetMessageSink([this](const std::string& text) { messages_ << QString::fromStdString(text); });
        QVERIFY(QTest::qWaitForWindowExposed(theApp()->mainWindow()));
    }
    void cleanup() {
        if (CMosaicWindow* w = CurrentMosaicWindow()) w->close();
        QTRY_VERIFY(!CurrentMosaicWindow());
        for (Document* doc : theApp()->documents()) doc->setModified(false);
        theApp()->mainWindow()->mdiArea()->closeAllSubWindows();
        QTRY_COMPARE(DocumentCount(), 0);
        messages_.clear();
    }

    // Four pieces of a 2 x 2 grid, given out of order (two dropped, two
    // added): one new document holding what the engine makes of the files,
    // and the thumbnails where the pieces were found.
    void fourPiecesBecomeTheEnginesPictureAsANewDocument() {
        const QStringList files = {PieceFile(160, 120), PieceFile(0, 0), PieceFile(160, 0), PieceFile(0, 120)};
        for (const QString& f : files) QVERIFY(!f.isEmpty());
        CMosaicWindow* window = OpenFromFileMenu();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(!window->stitchButton()->isEnabled());

        Drop(window, files.mid(0, 2));
        QTRY_COMPARE(window->pieceCount(), 2);
        window->AddFiles(files.mid(2));
        QCOMPARE(window->pieceNames(),
                 QStringList({"p_160_120.png", "p_0_0.png", "p_160_0.png", "p_0_120.png"}));
        QVERIFY(!window->board()->asFound());

        const int before = DocumentCount();
        QTest::mouseClick(window->stitchButton(), Qt::LeftButton);
        // The run is a job on a worker thread: the pieces stay as they are meanwhile.
        QVERIFY(window->stitching());
        QVERIFY(!window->addButton()->isEnabled() && !window->stitchButton()->isEnabled());
        QTRY_VERIFY(!window->stitching());
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QCOMPARE(DocumentCount(), before + 1);
        std::unique_ptr<CPicture> expected = EngineResult(files);
        QVERIFY(expected);
        QCOMPARE(NewestPicture()->GetWidth(), 380);
        QCOMPARE(NewestPicture()->GetHeight(), 280);
        QVERIFY(SamePictures(NewestPicture(), expected.get()));

        // The window stays, its thumbnails laid out as the pieces were found.
        QVERIFY(window->isVisible());
        CMosaicBoard* board = window->board();
        QVERIFY(board->asFound());
        const QRectF topLeft = board->TileRect(1), topRight = board->TileRect(2);
        const QRectF bottomLeft = board->TileRect(3), bottomRight = board->TileRect(0);
        QVERIFY(topLeft.left() < topRight.left() && topLeft.top() < bottomLeft.top());
        QVERIFY(topRight.top() < bottomRight.top() && bottomLeft.left() < bottomRight.left());
        QVERIFY(topLeft.intersects(topRight) && topLeft.intersects(bottomRight));
        QVERIFY(window->statusLabel()->text().contains(QStringLiteral("2 x 2")));

        // The bottom-right piece dragged far off to the right and down: the
        // overlaps that put it back contradict the hand, and the run says so.
        const QPoint from = bottomRight.center().toPoint(), to = from + QPoint(150, 120);
        QTest::mousePress(board, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), board->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(board, &move);
        QTest::mouseRelease(board, Qt::LeftButton, {}, to);
        QVERIFY(board->asFound());
        QVERIFY(board->TileRect(0).left() > bottomRight.left() + 100);
        QCOMPARE(board->TileRect(1), topLeft);   // the others keep still
        const std::vector<MosaicHint> hints = window->Hints();
        QCOMPARE(int(hints.size()), 4);
        QVERIFY(std::abs(hints[1].x) < 1 && std::abs(hints[1].y) < 1);
        QVERIFY(hints[0].x > 160 + 60);
        QSignalSpy refused(window, &CMosaicWindow::stitched);
        QVERIFY(window->Stitch());
        QVERIFY(refused.wait(60000));
        QVERIFY(!refused.first().first().toBool());
        QCOMPARE(DocumentCount(), before + 1);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("'p_160_120.png'")), qPrintable(messages_[0]));
        QCOMPARE(window->pieceCount(), 4);
    }

    // A piece of another picture: the refusal names it, the window and all
    // its pieces stay; once that piece is removed the other two join (the
    // pair path) as the engine joins them.
    void aRefusalKeepsTheWindowAndItsPieces() {
        auto other = MakeTextured(380, 280, ptTrueColor24, 99);
        const QStringList good = {PieceFile(0, 0), PieceFile(160, 0)};
        const QString odd = PieceFile(0, 0, other.get());
        CMosaicWindow* window = OpenFromFileMenu();
        QVERIFY(window);
        window->AddFiles({good[0], odd, good[1]});
        QCOMPARE(window->pieceCount(), 3);

        const int before = DocumentCount();
        QTest::mouseClick(window->stitchButton(), Qt::LeftButton);
        QTRY_VERIFY(!window->stitching());
        QCOMPARE(DocumentCount(), before);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("'p_0_0_other.png'")), qPrintable(messages_[0]));
        QVERIFY(window->isVisible());
        QCOMPARE(CurrentMosaicWindow(), window);
        QCOMPARE(window->pieceCount(), 3);
        QCOMPARE(window->statusLabel()->text(), messages_[0]);

        // Click the odd piece's thumbnail, Remove, Stitch.
        QVERIFY(!window->removeButton()->isEnabled());
        QTest::mouseClick(window->board(), Qt::LeftButton, {}, window->board()->TileRect(1).center().toPoint());
        QCOMPARE(window->board()->selected(), 1);
        QVERIFY(window->removeButton()->isEnabled());
        QTest::mouseClick(window->removeButton(), Qt::LeftButton);
        QCOMPARE(window->pieceNames(), QStringList({"p_0_0.png", "p_160_0.png"}));
        QVERIFY(!window->removeButton()->isEnabled());

        messages_.clear();
        QSignalSpy joined(window, &CMosaicWindow::stitched);
        QVERIFY(window->Stitch());
        QVERIFY(joined.wait(60000));
        QVERIFY(joined.first().first().toBool());
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QCOMPARE(DocumentCount(), before + 1);
        std::unique_ptr<CPicture> expected = EngineResult(good);
        QVERIFY(expected);
        QVERIFY(SamePictures(NewestPicture(), expected.get()));
    }

    // A file that is no picture is said so by name and left out.
    void anUnreadableFileIsNamedAndLeftOut() {
        const QString junk = dir_.filePath(QStringLiteral("notes.png"));
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
        f.close();
        CMosaicWindow* window = OpenFromFileMenu();
        QVERIFY(window);
        window->AddFiles({junk, PieceFile(0, 0)});
        QCOMPARE(window->pieceNames(), QStringList({"p_0_0.png"}));
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith(QStringLiteral("Could not read notes.png")), qPrintable(messages_[0]));
        QVERIFY(!window->stitchButton()->isEnabled());
    }
};

int main(int argc, char** argv) { return apptest::RunInApplication<MosaicWindowTest>(argc, argv); }

#include "mosaic_window_test.moc"
