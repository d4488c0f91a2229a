// Mouse tools: an object that receives the input, drawing and activation
// events of the picture views while it is the current tool, so that an
// interactive operation runs inside an ordinary document window without the
// view knowing it. One current tool serves every view: a tool that works in
// one particular view ignores the events of the others.
//
// Every tool ever constructed is in the tool list (construction order, never
// removed). The default tool (ID_TOOL_DEFAULT) does nothing and is current
// unless another was selected.
#pragma once
#include <vector>

class CVandrelView;
class QPainter;
class QWidget;

class CMouseTool {
public:
    // Adds the tool to the tool list.
    explicit CMouseTool(int id);
    virtual ~CMouseTool();
    CMouseTool(const CMouseTool&) = delete;
    CMouseTool& operator=(const CMouseTool&) = delete;

    int id() const { return id_; }

    // Points are view client coordinates; flags are the Qt mouse buttons
    // and keyboard modifiers of the event, or'ed.
    virtual void OnLButtonDown(CVandrelView*, unsigned /*flags*/, int /*x*/, int /*y*/) {}
    virtual void OnLButtonDblClk(CVandrelView*, unsigned /*flags*/, int /*x*/, int /*y*/) {}
    virtual void OnLButtonUp(CVandrelView*, unsigned /*flags*/, int /*x*/, int /*y*/) {}
    virtual void OnRButtonDown(CVandrelView*, unsigned /*flags*/, int /*x*/, int /*y*/) {}
    virtual void OnRButtonDblClk(CVandrelView*, unsigned /*flags*/, int /*x*/, int /*y*/) {}
    virtual void OnRButtonUp(CVandrelView*, unsigned /*flags*/, int /*x*/, int /*y*/) {}
    virtual void OnMouseMove(CVandrelView*, unsigned /*flags*/, int /*x*/, int /*y*/) {}
    // Nothing in the system calls it.
    virtual void OnReserved(CVandrelView*, int /*value*/) {}
    // key: the Qt key code; repeat: the auto-repeat count; keyFlags: the modifiers.
    virtual void OnKeyDown(CVandrelView*, int /*key*/, int /*repeat*/, unsigned /*keyFlags*/) {}
    virtual void OnKeyUp(CVandrelView*, int /*key*/, int /*repeat*/, unsigned /*keyFlags*/) {}
    // True when the tool set the cursor itself.
    virtual bool OnSetCursor(CVandrelView*, QWidget* /*window*/, int /*hitTest*/, int /*message*/) {
        return false;
    }
    // False keeps the view from drawing its picture.
    virtual bool BeforeDraw(CVandrelView*, QPainter&) { return true; }
    // After the picture: the tool's own drawing on top.
    virtual void AfterDraw(CVandrelView*, QPainter&) {}
    virtual void OnSelect(CVandrelView*) {}
    virtual void OnViewActivate(CVandrelView*) {}
    virtual void OnDeselect(CVandrelView*) {}
    virtual void OnViewDeactivate(CVandrelView*) {}

private:
    int id_;
};

// The tool list in construction order.
const std::vector<CMouseTool*>& ToolList();
// The first tool with the id; the default tool when none has it.
CMouseTool* FindTool(int id);
// Makes the tool with the id current: the current tool is deactivated and
// deselected, the new one selected and activated. False for an unknown id;
// true (and nothing called) when the tool already is current.
bool SelectTool(CVandrelView* view, int id);
CMouseTool* CurrentTool();
// The default tool (made at the first use when start-up has not made it).
CMouseTool* DefaultTool();
