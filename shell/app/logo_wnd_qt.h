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

class CLogoWindow;

// Shows the logo over the main window and returns at once; the window goes
// by itself (its finished signal). count 0: it waits for the user (About);
// any other count: the splash, which also ends after kSplashMilliseconds.
// Null when the logo picture could not be read (nothing is shown). While a
// logo shows, a second call returns it.
CLogoWindow* ShowLogoWindow(QMainWindow* mainWindow, int count);

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

    // Shows the window and takes every key and click of the application
    // until one of them ends it; milliseconds > 0 also ends it then.
    void Start(int milliseconds);
    // Ends the logo: the input goes back to the application, the window
    // hides and goes (deleted later), finished is emitted.
    void Finish();
    bool Finished() const { return finished_; }

signals:
    void finished();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage logo_;
    QString title_, version_, notice_;
    QObject* input_ = nullptr;
    bool finished_ = false;
};
