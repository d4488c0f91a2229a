#include "display/mouse_tool_qt.h"

#include <algorithm>

#include "resources/command_ids.h"

namespace {
// The mouse tools of the process, as one serves every view: every tool in
// construction order and the one that is current (none yet: the default).
struct MouseTools {
    std::vector<CMouseTool*> list;
    CMouseTool* current = nullptr;
};
MouseTools& Tools() {
    static MouseTools tools;
    return tools;
}
}  // namespace

CMouseTool::CMouseTool(int id) : id_(id) { Tools().list.push_back(this); }

CMouseTool::~CMouseTool() {
    // Tools live until the program ends; a tool that goes earlier (tests)
    // must not stay reachable.
    MouseTools& tools = Tools();
    tools.list.erase(std::remove(tools.list.begin(), tools.list.end(), this), tools.list.end());
    if (tools.current == this) tools.current = nullptr;
}

const std::vector<CMouseTool*>& ToolList() { return Tools().list; }

CMouseTool* DefaultTool() {
    for (CMouseTool* tool : Tools().list)
        if (tool->id() == ID_TOOL_DEFAULT) return tool;
    static CMouseTool* made = new CMouseTool(ID_TOOL_DEFAULT);
    return made;
}

CMouseTool* FindTool(int id) {
    for (CMouseTool* tool : Tools().list)
        if (tool->id() == id) return tool;
    return DefaultTool();
}

bool SelectTool(CVandrelView* view, int id) {
    CMouseTool* tool = FindTool(id);
    if (tool->id() != id) return false;
    if (tool == CurrentTool()) return true;
    if (CMouseTool* old = Tools().current) {
        old->OnViewDeactivate(view);
        old->OnDeselect(view);
    }
    Tools().current = tool;
    tool->OnSelect(view);
    tool->OnViewActivate(view);
    return true;
}

CMouseTool* CurrentTool() {
    MouseTools& tools = Tools();
    if (!tools.current) tools.current = DefaultTool();
    return tools.current;
}
