// The icon bar: the row of command buttons along the top of the main window
// (icons of our own, drawn sharp at 1x and 2x), and the small toggle button
// at the right end of the status bar that shows or hides it.
#pragma once
#include <QAbstractButton>
#include <QIcon>
#include <QPixmap>
#include <QToolBar>

class CommandManager;

// The commands of the icon bar in order; 0 stands for a separator.
const int* IconBarCommands(int* count);

// The icon of a command (a null icon for a command without one).
QIcon CommandIcon(int id);
// The application's own icon, drawn at the given size in pixels.
QPixmap ApplicationIconPixmap(int size);
QIcon ApplicationIcon();

// The icon bar, its buttons sending the commands' actions.
QToolBar* CreateIconBar(CommandManager* commands, QWidget* parent);

// The toggle button: shows "IconBarDown" while pressed, "IconBarUp"
// otherwise. Its text (which it does not draw) follows the icon bar's
// state: "IconBarDown" while the bar is shown, "IconBarUp" while hidden.
class CIconBarToggle : public QAbstractButton {
    Q_OBJECT
public:
    explicit CIconBarToggle(QWidget* parent = nullptr);
    void setBarShown(bool shown);
    QSize sizeHint() const override { return {32, 20}; }
    // The two images, 32 x 20.
    static QPixmap Image(bool down);

protected:
    void paintEvent(QPaintEvent*) override;
};
