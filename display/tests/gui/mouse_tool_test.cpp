#include <QtTest>

#include <string>
#include <vector>

#include "display/mouse_tool_qt.h"
#include "resources/command_ids.h"

namespace {
std::vector<std::string> g_calls;

class RecordingTool : public CMouseTool {
public:
    RecordingTool(int id, const char* name) : CMouseTool(id), name_(name) {}
    void OnSelect(CVandrelView*) override { g_calls.push_back(name_ + " select"); }
    void OnViewActivate(CVandrelView*) override { g_calls.push_back(name_ + " activate"); }
    void OnDeselect(CVandrelView*) override { g_calls.push_back(name_ + " deselect"); }
    void OnViewDeactivate(CVandrelView*) override { g_calls.push_back(name_ + " deactivate"); }

private:
    std::string name_;
};
}  // namespace

class MouseToolTest : public QObject {
    Q_OBJECT
private slots:
    void selectionOrderAndUnknownIds() {
        CMouseTool* fallback = DefaultTool();
        RecordingTool stitch(ID_TOOL_STITCH, "stitch");
        RecordingTool deskew(ID_TOOL_DESKEW, "deskew");
        QCOMPARE(CurrentTool(), fallback);
        QCOMPARE(FindTool(ID_TOOL_DESKEW), static_cast<CMouseTool*>(&deskew));
        QCOMPARE(FindTool(12345), fallback);
        QVERIFY(!SelectTool(nullptr, 12345));
        QCOMPARE(CurrentTool(), fallback);

        QVERIFY(SelectTool(nullptr, ID_TOOL_STITCH));
        QVERIFY(SelectTool(nullptr, ID_TOOL_DESKEW));
        const std::vector<std::string> want{"stitch select", "stitch activate", "stitch deactivate",
                                            "stitch deselect", "deskew select", "deskew activate"};
        QVERIFY(g_calls == want);
        // The tool already current: nothing called.
        g_calls.clear();
        QVERIFY(SelectTool(nullptr, ID_TOOL_DESKEW));
        QVERIFY(g_calls.empty());
        QVERIFY(SelectTool(nullptr, ID_TOOL_DEFAULT));
        QCOMPARE(CurrentTool(), fallback);
        // The list keeps construction order.
        const auto& list = ToolList();
        QCOMPARE(list.front(), fallback);
        QCOMPARE(list.back(), static_cast<CMouseTool*>(&deskew));
    }
};

QTEST_MAIN(MouseToolTest)
#include "mouse_tool_test.moc"
