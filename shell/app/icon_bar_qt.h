// The icon bar: the row of command buttons along the top of the main window
// (the commands placed on it, with their icons), and the small toggle button
// at the right end of the status bar that shows or hides it.
#pragma once
#include <QAbstractButton>
#include <QIcon>
#include <QPixmap>
#include <QToolBar>

#include "base/command_icons_qt.h"

class CommandSet;

// The icon bar, its buttons sending the commands' actions.
QToolBar* CreateIconBar(CommandSet* commands, QWidget* parent);

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
