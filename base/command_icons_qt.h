// The icons of the commands (our own, drawn sharp at 1x and 2x) and the
// program's own icon.
#pragma once
#include <QIcon>
#include <QPixmap>

// The icon of a command (a null icon for a command without one).
QIcon CommandIcon(int id);
// The application's own icon, drawn at the given size in pixels.
QPixmap ApplicationIconPixmap(int size);
QIcon ApplicationIcon();
