// The logo window: the start-up splash and the About box. The logo picture
// in a framed window centred over the document area, the title and version
// written over it with an embossed look. It stays until a key press or a
// mouse click (which it takes), or, for the splash, until its time runs out.
#pragma once
#include <QImage>
#include <QString>
#include <QWidget>

class QMainWindow;

// How long the splash stays at most.
constexpr int kSplashMilliseconds = 1500;

// count 0: waits for the user (About); any other count: the splash, which
// also ends by itself. False when the logo picture could not be read
// (nothing is shown).
bool ShowLogoWindow(QMainWindow* mainWindow, int count);

// Where the logo picture is: beside the program, or in the installed data
// folder; "" when in neither.
QString LogoPath();

// The window itself (shown by ShowLogoWindow; public for drawing tests).
class CLogoWindow : public QWidget {
    Q_OBJECT
public:
    CLogoWindow(const QImage& logo, const QString& title, const QString& version, const QString& notice,
                QWidget* parent);
    static constexpr int kFrame = 7;  // frame width on every side

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage logo_;
    QString title_, version_, notice_;
};
