// The main window's status bar: the mouse-position and prompt panes in
// normal operation, the caption and percentage gauge while a long operation
// runs.
//
// Jobs (base/job_qt.h) run on worker threads: the bar follows the running
// job's Progress with a short timer on the window's thread (the gauge is
// atomic), shows a Stop button beside the gauge, and Escape or the button
// cancels the job. The event loop runs on meanwhile: other windows work.
// Work still done on the window's own thread reports to the bar as the
// thread's progress sink (it draws at once; nothing else runs meanwhile).
#pragma once
#include <QPointer>
#include <QStatusBar>
#include <QString>
#include <QWidget>

#include "base/progress.h"

// A text pane with a one-pixel sunken border.
class CStatusPane : public QWidget {
    Q_OBJECT
public:
    explicit CStatusPane(QWidget* parent = nullptr);
    QString text() const { return text_; }
    // Repaints only when the text changed; answers whether it did.
    bool setText(const QString& text);
    QSize sizeHint() const override { return {100, 20}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
};

// The percentage gauge: done part green, remaining part light gray, the
// percentage drawn in the middle in the opposite colour of each part.
class CProgressGauge : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTextWidth = 48;  // the central strip where the text stands

    explicit CProgressGauge(QWidget* parent = nullptr);
    // a = b gives a range of one step; the smaller value is the minimum.
    void SetRange(unsigned a, unsigned b);
    // Moves the gauge: invalidates the strip between the old and the new fill
    // edge, and only when the whole percentage changed also the text and
    // repaints at once.
    void SetPosition(unsigned p);
    unsigned minimum() const { return minimum_; }
    unsigned maximum() const { return maximum_; }
    unsigned position() const { return position_; }
    unsigned percent() const;
    // The bar inside the border, and its fill edge for a position.
    QRect barRect() const;
    int fillEdge(unsigned p) const;
    QRect textRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    unsigned minimum_ = 0;
    unsigned maximum_ = 100;
    unsigned position_ = 0;
};

class QAbstractButton;
class QTimer;
class QToolButton;
class Job;

class CMainStatusBar : public QStatusBar, public ProgressHost {
    Q_OBJECT
public:
    static constexpr int kHeight = 25;

    explicit CMainStatusBar(QWidget* parent = nullptr);
    ~CMainStatusBar() override;

    // Position pane: "X:%-5d  Y:%-5d"; repaints only on a change.
    void SetPosition(int x, int y);
    void ShowPosition(int x, int y) { SetPosition(x, y); }
    void ClearPosition();
    // Prompt pane: the text up to its first line break.
    void SetPrompt(const QString& text);
    void ShowText(const QString& text) { SetPrompt(text); }
    // The prompt of string id (0: empty).
    void ShowPrompt(int id);
    QString positionText() const;
    QString promptText() const;

    // The icon-bar toggle button at the right end.
    void setToggleButton(QAbstractButton* button);
    QAbstractButton* toggleButton() const { return toggle_; }

    CStatusPane* positionPane() const { return position_; }
    CStatusPane* promptPane() const { return prompt_; }
    CStatusPane* captionPane() const { return caption_; }
    CProgressGauge* gauge() const { return gauge_; }
    // Beside the gauge while a job runs.
    QToolButton* stopButton() const { return stop_; }
    // Progress is shown (a job's or the window thread's own).
    bool inProgress() const { return inProgress_ || job_; }
    // The job shown (null: none).
    Job* shownJob() const { return job_; }

    // Becomes the sink of the window's thread's progress (and stops being
    // it when destroyed).
    void installAsProgressHost();

    // ProgressHost
    void Begin(const std::string& caption, unsigned minimum, unsigned maximum) override;
    void Update(unsigned position, unsigned percent, bool percentChanged) override;
    bool TakeEscape() override;
    void End() override;

public slots:
    // From a view: picture coordinates of the mouse, (-1, -1) when it left.
    void OnPicturePosition(const QPoint& position);

protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void layoutPanes();
    void showPanes(bool progress);
    // The jobs: one is shown at a time, the oldest running.
    void onJobStarted(Job* job);
    void onJobEnded(Job* job);
    void showJob(Job* job);
    // Brings caption and gauge up to the shown job's progress.
    void followJob();

    CStatusPane* position_;
    CStatusPane* prompt_;
    CStatusPane* caption_;
    CProgressGauge* gauge_;
    QAbstractButton* toggle_ = nullptr;
    QToolButton* stop_;
    QTimer* follow_;
    bool inProgress_ = false;
    bool hosting_ = false;
    QPointer<Job> job_;
    unsigned jobBegins_ = 0;  // the job's Begins() shown
};
