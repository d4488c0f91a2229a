#include "display/mouse_tool_qt.h"

#include <algorithm>

#include "resources/command_ids.h"

namespace {
std::vector<CMouseTool*>& Tools() {
    static std::vector<CMouseTool*> tools;
    return tools;
}
CMouseTool* g_current = nullptr;
}  // namespace

CMouseTool::CMouseTool(int id) : id_(id) { Tools().push_back(this); }

CMouseTool::~CMouseTool() {
    // Tools live until the program ends; a tool that goes earlier (tests)
    // must not stay reachable.
    auto& tools = Tools();
    tools.erase(std::remove(tools.begin(), tools.end(), this), tools.end());
    if (g_current == this) g_current = nullptr;
}

const std::vector<CMouseTool*>& ToolList() { return Tools(); }

CMouseTool* DefaultTool() {
    for (CMouseTool* tool : Tools())
        if (tool->id() == ID_TOOL_DEFAULT) return tool;
    static CMouseTool* made = new CMouseTool(ID_TOOL_DEFAULT);
    return made;
}

CMouseTool* FindTool(int id) {
    for (CMouseTool* tool : Tools())
        if (tool->id() == id) return tool;
    return DefaultTool();
}

bool SelectTool(CVandrelView* view, int id) {
    CMouseTool* tool = FindTool(id);
    if (tool->id() != id) return false;
    if (tool == CurrentTool()) return true;
    if (CMouseTool* old = g_current) {
        old->OnViewDeactivate(view);
        old->OnDeselect(view);
    }
    g_current = tool;
    tool->OnSelect(view);
    tool->OnViewActivate(view);
    return true;
}

CMouseTool* CurrentTool() {
    if (!g_current) g_current = DefaultTool();
    return g_current;
}
