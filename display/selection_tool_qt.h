// The selection tool: a rectangle dragged on a view (the view keeps it, see
// CVandrelView::Selection), adjusted by its eight handles, dropped by
// Escape or by a click without a drag. While the tool is current the
// status bar's prompt pane shows the selection's size in the unit chosen
// for the rulers.
#pragma once
#include <QPoint>
#include <QRect>
#include <QString>

#include "display/mouse_tool_qt.h"

class CSelectionTool : public CMouseTool {
public:
    CSelectionTool();

    void OnLButtonDown(CVandrelView* view, unsigned flags, int x, int y) override;
    void OnMouseMove(CVandrelView* view, unsigned flags, int x, int y) override;
    void OnLButtonUp(CVandrelView* view, unsigned flags, int x, int y) override;
    bool OnSetCursor(CVandrelView* view, QWidget* window, int hitTest, int message) override;
    void OnSelect(CVandrelView* view) override;
    void OnDeselect(CVandrelView* view) override;

    // The size text of a selection on view's picture ("Selection: 2.50 x
    // 1.00 in"); empty without a selection.
    static QString SizeText(const CVandrelView& view);

private:
    // Edges a drag moves: bits of kLeft, kRight, kTop, kBottom.
    enum Edge : unsigned { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };
    static unsigned HandleAt(const CVandrelView& view, QPoint client);
    void ShowSize(const CVandrelView& view);

    CVandrelView* view_ = nullptr;  // the view being dragged on
    unsigned edges_ = 0;            // what the drag moves
    QPoint anchor_;                 // picture pixel where a new selection began
    QPoint pressed_;                // client point of the press
    bool moved_ = false;
};

// The selection tool (made at the first use).
CSelectionTool* SelectionTool();
