// The undo history of a document: every kind of change undone and redone
// exactly (pixels, resolution, print options, file name), also for a
// picture in its swap file; the replaced pictures kept on disk; the limit
// and a full disk dropping the oldest steps with one message; the title
// mark following the saved state; crop and trim cutting what they should.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>
#include <cstdlib>
#include <vector>

#include "base/message_box.h"
#include "display/frame_caption.h"
#include "document/crop_qt.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/history_qt.h"
#include "picture/image_store.h"
#include "picture/picture.h"
#include "shell/app/doc_template_qt.h"

namespace {

constexpr std::uint32_t kBorder = 0x00302010;  // 0x00BBGGRR

// A 24-bit picture at 300 x 150 dpi: pixels of a pattern inside a border of
// one colour (left 3, top 2, right 4, bottom 1 pixels).
std::unique_ptr<CPicture> Pattern(int w, int h, int seed, std::uint32_t xPpm = 11811, std::uint32_t yPpm = 5906) {
    auto p = std::make_unique<CDocPicture>();
    if (!p->Create(ptTrueColor24, w, h, 0, nullptr, xPpm, yPpm, kStoreAny)) return nullptr;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool border = x < 3 || y < 2 || x >= w - 4 || y >= h - 1;
            const std::uint32_t v = std::uint32_t(x * 7 + y * 131 + seed * 977) * 2654435761u;
            p->SetPixelValue(x, y, border ? kBorder : (v >> 8) & 0xFFFFFF);
        }
    return p;
}

// What undo must bring back exactly.
struct Snap {
    int width = 0, height = 0;
    std::int32_t xPpm = 0, yPpm = 0;
    std::vector<std::vector<std::uint8_t>> rows;
    int resetPending = 0, scaleX = 0;
    std::string path;
    bool operator==(const Snap&) const = default;
};

Snap Take(Document& doc) {
    Snap s;
    CPicture* p = doc.picture();
    s.width = p->GetWidth();
    s.height = p->GetHeight();
    s.xPpm = p->GetHeader()->biXPelsPerMeter;
    s.yPpm = p->GetHeader()->biYPelsPerMeter;
    for (int y = 0; y < s.height; ++y) {
        std::vector<std::uint8_t> row(p->SegmentBytes(0, s.width - 1));
        p->ReadRow(0, s.width - 1, y, row.data());
        s.rows.push_back(std::move(row));
    }
    s.resetPending = doc.core().m_print.resetPending;
    s.scaleX = doc.core().m_print.scaleX;
    s.path = doc.core().GetPathName();
    return s;
}

// The rows of rect (inclusive) of a snapshot of a 24-bit picture.
std::vector<std::vector<std::uint8_t>> Part(const Snap& s, const QRect& r) {
    std::vector<std::vector<std::uint8_t>> rows;
    for (int y = r.top(); y <= r.bottom(); ++y)
        rows.emplace_back(s.rows[y].begin() + 3 * r.left(), s.rows[y].begin() + 3 * (r.right() + 1));
    return rows;
}

// A 6000 x 4000 gray picture whose rows all differ, in a document of its
// own that is saved.
void LargePicture(Document& doc) {
    auto p = std::make_unique<CDocPicture>();
    QVERIFY(p->Create(ptGray256, 6000, 4000, 0, nullptr, 3780, 3780, kStoreAny));
    std::vector<std::uint8_t> row(6000);
    for (int y = 0; y < 4000; ++y) {
        for (int x = 0; x < 6000; ++x) row[x] = std::uint8_t(x * 3 + y * 7 + (x * y >> 5));
        QVERIFY(p->WriteRow(0, 5999, y, row.data()));
    }
    doc.setPicture(std::move(p));
    doc.setModified(false);
}

// Every pixel and the size, in one number.
std::uint64_t Digest(Document& doc) {
    CPicture* p = doc.picture();
    const int w = p->GetWidth(), h = p->GetHeight();
    std::uint64_t hash = 1469598103934665603ull ^ std::uint64_t(w) << 32 ^ std::uint64_t(h);
    std::vector<std::uint8_t> row(p->SegmentBytes(0, w - 1));
    for (int y = 0; y < h; ++y) {
        if (!p->ReadRow(0, w - 1, y, row.data())) return 0;
        for (std::uint8_t b : row) hash = (hash ^ b) * 1099511628211ull;
    }
    return hash;
}

bool SomeStoreOnDisk(std::uint64_t size) {
    for (const CImageStore* s = CImageStore::LeastRecentlyUsed(); s; s = s->NextMoreRecent())
        if (s->GetState() == kStateOnDisk && s->GetSize() == size) return true;
    return false;
}

}  // namespace

class HistoryTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    display::UntitledCounter untitled_;  // the windows' numbers, as the application keeps them
    QStringList messages_;

    QString Write(const QString& name, std::unique_ptr<CPicture> picture) {
        const QString path = dir_.filePath(name);
        if (!WriteDocumentFile(path.toStdString(), picture.get())) return {};
        return path;
    }
    // A document opened from a file, with print options the user changed.
    void Open(Document& doc, int w = 37, int h = 23) {
        const QString path = Write("a.vdl", Pattern(w, h, 1));
        QVERIFY(doc.open(path));
        doc.core().m_print.resetPending = 0;
        doc.core().m_print.scaleX = 150;
    }

    // A transform, carried out to its end (the work runs on a worker).
    static bool Transform(Document& doc, TransformOp op) {
        if (!doc.transform(op)) return false;
        doc.finishJob();
        return true;
    }
    // Undo and redo, carried out to their end (they run as jobs too).
    static bool Undo(Document& doc) {
        if (!doc.undo()) return false;
        doc.finishJob();
        return true;
    }
    static bool Redo(Document& doc) {
        if (!doc.redo()) return false;
        doc.finishJob();
        return true;
    }
    // Crop and trim to their end: whether the picture was cut.
    static bool Crop(Document& doc, const QRect& rect) {
        bool cut = false;
        if (!CropDocument(doc, rect, [&cut](bool c) { cut = c; })) return false;
        doc.finishJob();
        return cut;
    }
    static bool Trim(Document& doc, int tolerance) {
        bool cut = false;
        if (!TrimDocument(doc, tolerance, [&cut](bool c) { cut = c; })) return false;
        doc.finishJob();
        return cut;
    }

private slots:
    void initTestCase() {
        qputenv("STITCHARA_INI", dir_.filePath("test.ini").toUtf8());
        SetMessageSink([this](const std::string& text) { messages_ << QString::fromStdString(text); });
        Document::SetSaveQuestion([](const QString&) { return SaveAnswer::No; });
    }
    void init() { messages_.clear(); }

    void undoAndRedoRestoreEachKindOfChange_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("onDisk");
        for (bool onDisk : {false, true})
            for (const char* kind : {"mirror horizontal", "mirror vertical", "mirror diagonal", "rotate left",
                                     "rotate right", "crop", "trim", "import", "scan"})
                QTest::addRow("%s%s", kind, onDisk ? ", swapped out" : "") << QString(kind) << onDisk;
    }
    void undoAndRedoRestoreEachKindOfChange() {
        QFETCH(QString, kind);
        QFETCH(bool, onDisk);
        Document doc;
        Open(doc);
        if (onDisk) {
            QVERIFY(doc.picture()->SwapOut());
            QCOMPARE(doc.picture()->GetStoreState(), int(kStateOnDisk));
        }
        const std::uint64_t originalBytes = doc.picture()->Store().GetSize();
        const Snap before = Take(doc);
        bool replaces = true;
        if (kind == "mirror horizontal") replaces = !Transform(doc, TransformOp::MirrorHorizontal);
        else if (kind == "mirror vertical") replaces = !Transform(doc, TransformOp::MirrorVertical);
        else if (kind == "mirror diagonal") replaces = !Transform(doc, TransformOp::MirrorDiagonal);
        else if (kind == "rotate left") replaces = !Transform(doc, TransformOp::RotateLeft);
        else if (kind == "rotate right") replaces = !Transform(doc, TransformOp::RotateRight);
        else if (kind == "crop") QVERIFY(Crop(doc, QRect(5, 4, 20, 10)));
        else if (kind == "trim") QVERIFY(Trim(doc, 0));
        else if (kind == "scan") doc.setPicture(Pattern(19, 17, 2, 2835, 2835));
        else if (kind == "import") {
            const QString other = Write("b.vdl", Pattern(19, 17, 3, 2835, 2835));
            SetFileDialogAnswerer([other](FileDialogKind, const QString&, const QStringList&, int) {
                return FileChoice{other, 1};
            });
            const bool imported = doc.import();
            doc.finishJob();
            SetFileDialogAnswerer({});
            QVERIFY(imported);
            QVERIFY(doc.pathName().isEmpty());
        }
        QVERIFY(messages_.isEmpty());
        QVERIFY(doc.isModified());
        const Snap after = Take(doc);
        QVERIFY(!(after == before));
        QVERIFY(doc.history().canUndo());
        if (replaces) {
            // The replaced picture waits on disk, not in memory.
            QCOMPARE(doc.history().heldBytes(), originalBytes);
            QVERIFY(SomeStoreOnDisk(originalBytes));
        } else {
            QCOMPARE(doc.history().heldBytes(), std::uint64_t(0));
        }

        Undo(doc);
        const Snap undone = Take(doc);
        QCOMPARE(undone.width, before.width);
        QCOMPARE(undone.height, before.height);
        QCOMPARE(undone.xPpm, before.xPpm);
        QCOMPARE(undone.yPpm, before.yPpm);
        QCOMPARE(undone.resetPending, 0);
        QCOMPARE(undone.scaleX, 150);
        QCOMPARE(undone.path, before.path);
        QVERIFY(undone.rows == before.rows);
        // Back at the picture of the file: nothing to save.
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.history().canUndo());
        QVERIFY(doc.history().canRedo());

        Redo(doc);
        QVERIFY(Take(doc) == after);
        QVERIFY(doc.isModified());
        QVERIFY(messages_.isEmpty());
    }

    // Undo and redo of a large turn run as the document's job: the
    // window's thread goes on meanwhile, the document is busy, the pixels
    // come back exactly. Cancelled, each leaves the picture and the
    // history's place as they were; the step still moves afterwards.
    void undoOfALargeTurnRunsAsAJob() {
        Document doc;
        LargePicture(doc);
        const std::uint64_t original = Digest(doc);
        QVERIFY(Transform(doc, TransformOp::RotateRight));
        const std::uint64_t turned = Digest(doc);
        QCOMPARE(doc.picture()->GetWidth(), 4000);

        QSignalSpy finished(&doc, &Document::jobFinished);
        int ticksWhileBusy = 0;
        QTimer timer;
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, [&] { ticksWhileBusy += doc.busy(); });
        timer.start();
        QVERIFY(doc.undo());
        QVERIFY(doc.busy());
        QVERIFY(!doc.undo());  // one move at a time
        QVERIFY(finished.wait(120000));
        timer.stop();
        QVERIFY2(ticksWhileBusy > 0, "the undo did not return to the event loop");
        QVERIFY(!doc.busy());
        QCOMPARE(Digest(doc), original);
        QVERIFY(!doc.isModified());
        QCOMPARE(doc.history().stack().index(), 0);

        // Redo, then undo, each cancelled.
        for (bool back : {false, true}) {
            const std::uint64_t now = Digest(doc);
            const int index = doc.history().stack().index();
            const bool modified = doc.isModified();
            QVERIFY(back ? doc.undo() : doc.redo());
            doc.cancelJob();
            doc.finishJob();
            QVERIFY(!doc.busy());
            QCOMPARE(Digest(doc), now);
            QCOMPARE(doc.history().stack().index(), index);
            QCOMPARE(doc.isModified(), modified);
            QVERIFY(back ? Undo(doc) : Redo(doc));
            QCOMPARE(Digest(doc), back ? original : turned);
        }
        // The same for a step that keeps the picture it replaced.
        QVERIFY(Crop(doc, QRect(100, 200, 3000, 2000)));
        const std::uint64_t cropped = Digest(doc);
        QVERIFY(doc.undo());
        doc.cancelJob();
        doc.finishJob();
        QCOMPARE(Digest(doc), cropped);
        QVERIFY(doc.history().canUndo());
        QVERIFY(Undo(doc));
        QCOMPARE(Digest(doc), original);
        QVERIFY(messages_.isEmpty());
    }

    // Crop keeps the rectangle's pixels and the resolution; trim finds the
    // border; what cannot be done is refused with a message, changing nothing.
    void cropAndTrimCutWhatTheyShould() {
        Document doc;
        Open(doc);
        const Snap original = Take(doc);
        const QRect rect(5, 4, 20, 10);
        QVERIFY(Crop(doc, rect));
        Snap cropped = Take(doc);
        QCOMPARE(cropped.width, 20);
        QCOMPARE(cropped.height, 10);
        QCOMPARE(cropped.xPpm, original.xPpm);
        QCOMPARE(cropped.yPpm, original.yPpm);
        QVERIFY(cropped.rows == Part(original, rect));
        Undo(doc);

        QVERIFY(Trim(doc, 0));
        const QRect inside(3, 2, 37 - 3 - 4, 23 - 2 - 1);
        const Snap trimmed = Take(doc);
        QCOMPARE(QSize(trimmed.width, trimmed.height), inside.size());
        QCOMPARE(trimmed.xPpm, original.xPpm);
        QVERIFY(trimmed.rows == Part(original, inside));
        // Nothing is left to trim now.
        QVERIFY(!Trim(doc, 0));
        QCOMPARE(messages_.size(), 1);
        Undo(doc);
        QVERIFY(Take(doc) == original);

        // Refused: no pixels, partly or wholly off the picture.
        messages_.clear();
        for (const QRect& bad : {QRect(), QRect(3, 3, 0, 5), QRect(30, 10, 10, 5), QRect(-1, 0, 5, 5),
                                 QRect(100, 100, 5, 5)})
            QVERIFY2(!Crop(doc, bad), qPrintable(QString("%1,%2 %3x%4").arg(bad.x()).arg(bad.y())
                                                             .arg(bad.width()).arg(bad.height())));
        QCOMPARE(messages_.size(), 5);
        QVERIFY(Take(doc) == original);
        QVERIFY(!doc.history().canUndo());

        // A picture that is all border.
        messages_.clear();
        auto plain = std::make_unique<CDocPicture>();
        QVERIFY(plain->Create(ptTrueColor24, 9, 9, 0, nullptr, 3780, 3780, kStoreAny));
        plain->Fill(kBorder);
        doc.setPicture(std::move(plain));
        QVERIFY(!Trim(doc, 0));
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(doc.picture()->GetWidth(), 9);
    }

    // Past the limit the oldest steps go, the newer ones still undo, and
    // the user hears of it once.
    void historyOverItsLimitDropsTheOldestStepsOnce() {
        Document doc;
        Open(doc, 64, 64);
        const std::uint64_t bytes = doc.picture()->Store().GetSize();
        doc.history().setLimitBytes(bytes * 5 / 2);
        Snap states[5];
        states[0] = Take(doc);
        for (int i = 1; i <= 4; ++i) {
            doc.setPicture(Pattern(64, 64, 10 + i));
            states[i] = Take(doc);
        }
        QCOMPARE(doc.history().droppedSteps(), 2);
        QVERIFY(doc.history().heldBytes() <= bytes * 5 / 2);
        QCOMPARE(messages_.size(), 1);
        Undo(doc);
        Undo(doc);
        QVERIFY(!doc.history().canUndo());
        Undo(doc);  // refused: the step is gone
        QVERIFY(Take(doc).rows == states[2].rows);
        Redo(doc);
        Redo(doc);
        QVERIFY(Take(doc).rows == states[4].rows);
        QCOMPARE(messages_.size(), 1);
    }

    // A step whose picture cannot go to disk: the change is made, the
    // history goes, the user is told, the document counts as modified.
    void fullDiskKeepsTheChangeAndDropsTheHistory() {
        Document doc;
        Open(doc);
        QVERIFY(Transform(doc, TransformOp::MirrorVertical));
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", dir_.filePath("no such folder").toUtf8());
        doc.setPicture(Pattern(11, 13, 5));
        doc.setPicture(Pattern(12, 13, 6));
        if (tmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmp);
        QCOMPARE(doc.picture()->GetWidth(), 12);
        QVERIFY(!doc.history().canUndo());
        QVERIFY(doc.isModified());
        QCOMPARE(messages_.size(), 1);
        // The history works again once the disk does.
        QVERIFY(Transform(doc, TransformOp::MirrorHorizontal));
        Undo(doc);
        QVERIFY(doc.isModified());
    }

    // The document window's title carries Qt's unsaved mark exactly while
    // the picture differs from the one saved.
    void titleMarkFollowsTheSavedState() {
        QMdiArea area;
        auto* doc = new Document;
        Open(*doc);
        QMdiSubWindow* window = CreateDocumentWindow(doc, untitled_);
        area.addSubWindow(window);
        window->show();
        auto marked = [window] {
            return window->isWindowModified() && window->windowTitle().endsWith(QStringLiteral("[*]"));
        };
        QVERIFY(!marked());
        QVERIFY(!window->windowTitle().contains(QStringLiteral("[*]")));
        QVERIFY(Transform(*doc, TransformOp::MirrorHorizontal));
        QVERIFY(marked());
        Undo(*doc);
        QVERIFY(!marked());
        Redo(*doc);
        QVERIFY(marked());
        QVERIFY(doc->save());
        doc->finishJob();
        QVERIFY(!marked());
        // The saved picture is the mirrored one: undoing now is a change.
        Undo(*doc);
        QVERIFY(marked());
        Redo(*doc);
        QVERIFY(!marked());
        window->close();
    }
};

QTEST_MAIN(HistoryTest)
#include "history_test.moc"
