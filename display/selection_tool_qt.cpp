#include "display/selection_tool_qt.h"

#include <QCursor>
#include <QWidget>
#include <algorithm>

#include "base/workspace_qt.h"
#include "display/ruler_scale.h"
#include "display/view_qt.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

QPoint ClampToPicture(QPoint p, const CPicture& picture) {
    return {std::clamp(p.x(), 0, picture.GetWidth() - 1), std::clamp(p.y(), 0, picture.GetHeight() - 1)};
}

void SetPrompt(const QString& text) {
    if (Workspace* w = ApplicationWorkspace()) w->setStatusPrompt(text);
}

}  // namespace

CSelectionTool* SelectionTool() {
    static CSelectionTool* tool = [] {
        DefaultTool();  // the default tool first, as at start-up
        return new CSelectionTool;
    }();
    return tool;
}

CSelectionTool::CSelectionTool() : CMouseTool(ID_TOOL_SELECT) {}

unsigned CSelectionTool::HandleAt(const CVandrelView& view, QPoint client) {
    // In the order SelectionHandles gives them.
    static constexpr unsigned kEdges[] = {kLeft | kTop, kRight | kTop, kLeft | kBottom, kRight | kBottom,
                                          kTop,         kBottom,       kLeft,           kRight};
    const QList<QRect> handles = view.SelectionHandles();
    for (int i = 0; i < handles.size() && i < 8; ++i)
        if (handles[i].adjusted(-2, -2, 2, 2).contains(client)) return kEdges[i];
    return 0;
}

QString CSelectionTool::SizeText(const CVandrelView& view) {
    const QRect s = view.Selection();
    CPicture* picture = view.GetPicture();
    if (s.isEmpty() || !picture || !picture->GetHeader()) return {};
    const int unit = display::PreferredUnit();
    const std::string w = display::LengthText(s.width(), picture->GetHeader()->biXPelsPerMeter, unit);
    const std::string h = display::LengthText(s.height(), picture->GetHeader()->biYPelsPerMeter, unit);
    return QString::fromStdString(FormatStringById(IDS_SELECTION_SIZE, w.c_str(), h.c_str()));
}

void CSelectionTool::ShowSize(const CVandrelView& view) {
    const QString text = SizeText(view);
    SetPrompt(text.isEmpty() ? QString::fromStdString(TextBeforeLineBreak(LoadStringById(ID_SELECT_AREA)))
                             : text);
}

void CSelectionTool::OnSelect(CVandrelView* view) {
    if (view) ShowSize(*view);
}

void CSelectionTool::OnDeselect(CVandrelView*) {
    view_ = nullptr;
    SetPrompt(QString());
}

void CSelectionTool::OnLButtonDown(CVandrelView* view, unsigned, int x, int y) {
    CPicture* picture = view ? view->GetPicture() : nullptr;
    if (!picture) return;
    view_ = view;
    pressed_ = QPoint(x, y);
    moved_ = false;
    edges_ = HandleAt(*view, pressed_);
    if (!edges_) anchor_ = ClampToPicture(view->ClientToPicture(pressed_), *picture);
}

void CSelectionTool::OnMouseMove(CVandrelView* view, unsigned flags, int x, int y) {
    CPicture* picture = view ? view->GetPicture() : nullptr;
    if (!picture || view != view_ || !(flags & Qt::LeftButton)) return;
    const QPoint c(x, y);
    if (!moved_ && (c - pressed_).manhattanLength() < 2) return;
    moved_ = true;
    const QPoint p = ClampToPicture(view->ClientToPicture(c), *picture);
    QRect r = view->Selection();
    if (!edges_) {
        r = QRect(anchor_, p).normalized();
    } else {
        if (edges_ & kLeft) r.setLeft(std::min(p.x(), r.right()));
        if (edges_ & kRight) r.setRight(std::max(p.x(), r.left()));
        if (edges_ & kTop) r.setTop(std::min(p.y(), r.bottom()));
        if (edges_ & kBottom) r.setBottom(std::max(p.y(), r.top()));
    }
    view->SetSelection(r);
    ShowSize(*view);
}

void CSelectionTool::OnLButtonUp(CVandrelView* view, unsigned, int, int) {
    if (!view || view != view_) return;
    // A click without a drag selects nothing: the selection goes.
    if (!moved_ && !edges_) view->SetSelection(QRect());
    view_ = nullptr;
    ShowSize(*view);
}

bool CSelectionTool::OnSetCursor(CVandrelView* view, QWidget* window, int, int) {
    if (!view || !window) return false;
    const QPoint client = view->LogicalToClient(window->mapFromGlobal(QCursor::pos()));
    const unsigned edges = view_ == view ? edges_ : HandleAt(*view, client);
    Qt::CursorShape shape = Qt::CrossCursor;
    if (edges == (kLeft | kTop) || edges == (kRight | kBottom)) shape = Qt::SizeFDiagCursor;
    else if (edges == (kRight | kTop) || edges == (kLeft | kBottom)) shape = Qt::SizeBDiagCursor;
    else if (edges == kLeft || edges == kRight) shape = Qt::SizeHorCursor;
    else if (edges == kTop || edges == kBottom) shape = Qt::SizeVerCursor;
    window->setCursor(shape);
    return true;
}
