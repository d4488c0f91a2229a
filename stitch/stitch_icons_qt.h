// Pictures of the stitch tools and the rotate menu, drawn here rather than
// shipped as files: the rotate menu's three turns, the deskew tool's two
// cursors and the stitch tool's cursor.
#pragma once
#include <QCursor>
#include <QIcon>

enum class RotateIcon { Clockwise90, Counterclockwise90, Clockwise180 };
QIcon RotateMenuIcon(RotateIcon which);

// The deskew tool: a cross-hair over a small circle, and an open hand that
// has taken a thumb.
QCursor DeskewNormalCursor();
QCursor DeskewGrabCursor();
// The stitch tool's phase-1 cursor: a cross-hair with a small square.
QCursor StitchBlockCursor();
