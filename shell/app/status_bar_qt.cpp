#include "shell/app/status_bar_qt.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdint>

#include "base/job_qt.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {
// This file's texts for the user, in their own translation context.
struct StatusBarText {
    Q_DECLARE_TR_FUNCTIONS(StatusBarText)
};
}  // namespace

namespace {

const QColor kDone(0, 128, 0);
const QColor kRest(192, 192, 192);
// How often the bar reads a running job's gauge.
constexpr int kFollowIntervalMs = 15;
// The Stop button's width beside the gauge.
constexpr int kStopWidth = 40;

// One-pixel sunken border: shadow on the top and left edges, white on the
// bottom and right edges.
void DrawSunkenBorder(QPainter& p, const QRect& r, const QPalette& palette) {
    p.setPen(palette.color(QPalette::Dark));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(Qt::white);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace

// ---------------------------------------------------------------------------

CStatusPane::CStatusPane(QWidget* parent) : QWidget(parent) {}

bool CStatusPane::setText(const QString& text) {
    if (text == text_) return false;
    text_ = text;
    update();
    return true;
}

void CStatusPane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DrawSunkenBorder(p, rect(), palette());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect().adjusted(3, 1, -2, -1), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text_);
}

// ---------------------------------------------------------------------------

CProgressGauge::CProgressGauge(QWidget* parent) : QWidget(parent) {}

void CProgressGauge::SetRange(unsigned a, unsigned b) {
    a = std::min(a, 0xFFFFu);
    b = std::min(b, 0xFFFFu);
    if (a == b) {
        if (a == 0xFFFFu) --a;
        else ++b;
    }
    minimum_ = std::min(a, b);
    maximum_ = std::max(a, b);
    position_ = minimum_;
    update();
}

unsigned CProgressGauge::percent() const {
    return unsigned(std::uint64_t(position_ - minimum_) * 100u / (maximum_ - minimum_));
}

QRect CProgressGauge::barRect() const { return rect().adjusted(1, 1, -1, -1); }

int CProgressGauge::fillEdge(unsigned p) const {
    const QRect bar = barRect();
    return bar.left() + int(std::int64_t(bar.width()) * (p - minimum_) / (maximum_ - minimum_));
}

QRect CProgressGauge::textRect() const {
    const QRect bar = barRect();
    return QRect(bar.center().x() - kTextWidth / 2, bar.top(), kTextWidth, bar.height());
}

void CProgressGauge::SetPosition(unsigned p) {
    if (p == position_) return;
    p = std::clamp(p, minimum_, maximum_);
    if (p == position_) return;
    const unsigned oldPercent = percent();
    const int oldEdge = fillEdge(position_);
    position_ = p;
    const int newEdge = fillEdge(position_);
    const QRect bar = barRect();
    const QRect strip(std::min(oldEdge, newEdge), bar.top(), std::abs(newEdge - oldEdge) + 1, bar.height());
    if (percent() != oldPercent)
        repaint(QRegion(strip) | textRect());
    else
        update(strip);
}

void CProgressGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DrawSunkenBorder(p, rect(), palette());
    const QRect bar = barRect();
    const int edge = fillEdge(position_);
    const QRect done(bar.left(), bar.top(), edge - bar.left(), bar.height());
    const QRect rest(edge, bar.top(), bar.right() + 1 - edge, bar.height());
    const QString text = QString::number(percent()) + '%';
    const QFontMetrics fm(font());
    const int x = bar.left() + (bar.width() - fm.horizontalAdvance(text)) / 2;
    // Centred vertically by the height of the letter X.
    const int baseline = bar.top() + (bar.height() + fm.boundingRect('X').height()) / 2 - 1;
    p.setFont(font());
    if (done.width() > 0) {
        p.setClipRect(done);
        p.fillRect(done, kDone);
        p.setPen(kRest);
        p.drawText(x, baseline, text);
    }
    if (rest.width() > 0) {
        p.setClipRect(rest);
        p.fillRect(rest, kRest);
        p.setPen(kDone);
        p.drawText(x, baseline, text);
    }
}

// ---------------------------------------------------------------------------

CMainStatusBar::CMainStatusBar(QWidget* parent)
    : QStatusBar(parent),
      position_(new CStatusPane(this)),
      prompt_(new CStatusPane(this)),
      caption_(new CStatusPane(this)),
      gauge_(new CProgressGauge(this)),
      stop_(new QToolButton(this)),
      follow_(new QTimer(this)) {
    setObjectName("StatusBar");
    setFixedHeight(kHeight);
    setSizeGripEnabled(false);
    position_->setObjectName("PositionPane");
    position_->setAccessibleName(QString::fromUtf8(LoadStringById(IDS_TIP_POSITION_PANE)).trimmed());
    prompt_->setObjectName("PromptPane");
    prompt_->setAccessibleName(QString::fromUtf8(LoadStringById(IDS_TIP_PROMPT_PANE)).trimmed());
    caption_->setObjectName("ProgressCaption");
    caption_->setAccessibleName(StatusBarText::tr("Progress caption"));
    gauge_->setObjectName("ProgressGauge");
    gauge_->setAccessibleName(StatusBarText::tr("Progress"));
    const QString stop = QString::fromUtf8(LoadStringById(IDS_STOP_WORK));
    stop_->setText(stop);
    // Named by its English label in every language, so that scripts find it.
    stop_->setObjectName(QStringLiteral("Stop"));
    stop_->setAccessibleName(stop);
    stop_->setFocusPolicy(Qt::NoFocus);
    connect(stop_, &QToolButton::clicked, this, [this] {
        if (job_) job_->cancel();
    });
    caption_->hide();
    gauge_->hide();
    stop_->hide();
    position_->installEventFilter(this);
    prompt_->installEventFilter(this);
    follow_->setInterval(kFollowIntervalMs);
    connect(follow_, &QTimer::timeout, this, &CMainStatusBar::followJob);
    connect(Job::monitor(), &JobMonitor::started, this, &CMainStatusBar::onJobStarted);
    connect(Job::monitor(), &JobMonitor::ended, this, &CMainStatusBar::onJobEnded);
    layoutPanes();
    // A job that began before the bar was made.
    if (!Job::runningJobs().isEmpty()) showJob(Job::runningJobs().first());
}

CMainStatusBar::~CMainStatusBar() {
    if (hosting_ && GetProgressHost() == this) SetProgressHost(nullptr);
    if (job_) qApp->removeEventFilter(this);
}

void CMainStatusBar::installAsProgressHost() {
    SetProgressHost(this);
    hosting_ = true;
}

void CMainStatusBar::setToggleButton(QAbstractButton* button) {
    toggle_ = button;
    if (toggle_) {
        toggle_->setParent(this);
        toggle_->installEventFilter(this);
        toggle_->show();
    }
    layoutPanes();
}

void CMainStatusBar::layoutPanes() {
    const QRect r = rect();
    const int a = r.left(), b = r.top(), c = r.right() + 1;
    position_->setGeometry(QRect(QPoint(a + 5, b + 2), QPoint(a + 115 - 1, b + 22 - 1)));
    caption_->setGeometry(QRect(QPoint(a + 5, b + 2), QPoint(a + 105 - 1, b + 22 - 1)));
    const int right = std::max(c - 38, a + 125);
    prompt_->setGeometry(QRect(QPoint(a + 120, b + 2), QPoint(right - 1, b + 22 - 1)));
    // A job's Stop button stands at the right end of the gauge.
    const int gaugeRight = job_ ? std::max(right - kStopWidth - 2, a + 120) : right;
    gauge_->setGeometry(QRect(QPoint(a + 110, b + 2), QPoint(gaugeRight - 1, b + 22 - 1)));
    stop_->setGeometry(QRect(QPoint(gaugeRight + 1, b + 2), QPoint(right - 1, b + 22 - 1)));
    if (toggle_) toggle_->setGeometry(QRect(QPoint(c - 33, b + 3), QPoint(c - 1 - 1, b + 23 - 1)));
}

void CMainStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    layoutPanes();
}

void CMainStatusBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Window));
    p.setPen(Qt::black);
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.setPen(Qt::white);
    p.drawLine(r.left(), r.top() + 1, r.right(), r.top() + 1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

bool CMainStatusBar::event(QEvent* event) {
    // The bare bar shows the idle prompt when the mouse rests on it.
    if (event->type() == QEvent::Enter) ShowPrompt(ID_PROMPT_IDLE);
    return QStatusBar::event(event);
}

void CMainStatusBar::SetPosition(int x, int y) {
    position_->setText(QString::fromStdString(FormatStringById(IDS_POSITION_FORMAT, x, y)));
}

void CMainStatusBar::ClearPosition() { position_->setText(QString()); }

void CMainStatusBar::OnPicturePosition(const QPoint& position) {
    if (position.x() < 0 || position.y() < 0) ClearPosition();
    else SetPosition(position.x(), position.y());
}

void CMainStatusBar::SetPrompt(const QString& text) { prompt_->setText(text.section('\n', 0, 0)); }

void CMainStatusBar::ShowPrompt(int id) {
    SetPrompt(id == 0 ? QString() : QString::fromUtf8(LoadStringById(id)).left(128));
}

QString CMainStatusBar::positionText() const { return position_->text(); }
QString CMainStatusBar::promptText() const { return prompt_->text(); }

bool CMainStatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (job_ && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        watched->isWidgetType()) {
        // Escape cancels the job shown, except inside a dialog or an open
        // menu that takes its own Escape.
        QWidget* modal = QApplication::activeModalWidget();
        auto* w = static_cast<QWidget*>(watched);
        if (!QApplication::activePopupWidget() && (!modal || !(modal == w || modal->isAncestorOf(w)))) {
            job_->cancel();
            return true;
        }
    }
    if (watched == qApp) return false;
    if (event->type() == QEvent::Enter) {
        if (watched == position_) ShowPrompt(IDS_TIP_POSITION_PANE);
        else if (watched == prompt_) ShowPrompt(IDS_TIP_PROMPT_PANE);
        else if (watched == toggle_) ShowPrompt(IDS_TIP_ICONBAR_TOGGLE);
    }
    return false;
}

void CMainStatusBar::showPanes(bool progress) {
    position_->setVisible(!progress);
    prompt_->setVisible(!progress);
    caption_->setVisible(progress);
    gauge_->setVisible(progress);
    stop_->setVisible(progress && job_);
    if (progress) {
        gauge_->raise();
        stop_->raise();
    } else {
        caption_->setText(QString());
    }
    layoutPanes();
}

// ---------------------------------------------------------------------------
// Jobs

void CMainStatusBar::onJobStarted(Job* job) {
    if (!job_) showJob(job);
}

void CMainStatusBar::onJobEnded(Job* job) {
    if (job != job_) return;
    // The next job still running, if any.
    for (Job* next : Job::runningJobs()) {
        if (next != job) {
            showJob(next);
            return;
        }
    }
    showJob(nullptr);
}

void CMainStatusBar::showJob(Job* job) {
    const bool had = job_ != nullptr;
    job_ = job;
    if (!job) {
        follow_->stop();
        if (had) qApp->removeEventFilter(this);
        if (!inProgress_) showPanes(false);
        return;
    }
    if (!had) qApp->installEventFilter(this);
    jobBegins_ = job->progress().Begins();
    caption_->setText(QString::fromUtf8(LoadStringById(job->progress().CaptionId())));
    gauge_->SetRange(0, 100);
    showPanes(true);
    followJob();
    follow_->start();
}

void CMainStatusBar::followJob() {
    if (!job_) return;
    const Progress& progress = job_->progress();
    const unsigned begins = progress.Begins();
    const ProgressGauge g = progress.Gauge();
    if (begins != jobBegins_) {
        // The work began (again) with its own caption and range.
        jobBegins_ = begins;
        caption_->setText(QString::fromStdString(progress.Caption()));
        gauge_->SetRange(g.minimum, g.maximum);
    }
    // Same rule as a step: the text repaints when the percentage changes.
    if (begins > 0) gauge_->SetPosition(g.position);
}

// ---------------------------------------------------------------------------
// The window thread's own progress

void CMainStatusBar::Begin(const std::string& caption, unsigned minimum, unsigned maximum) {
    inProgress_ = true;
    caption_->setText(QString::fromStdString(caption));
    gauge_->SetRange(minimum, maximum);
    showPanes(true);
    repaint();
}

void CMainStatusBar::Update(unsigned position, unsigned, bool) { gauge_->SetPosition(position); }

bool CMainStatusBar::TakeEscape() {
    // The window's thread is busy: no key press can arrive meanwhile.
    return false;
}

void CMainStatusBar::End() {
    if (!inProgress_) return;
    gauge_->SetPosition(gauge_->maximum());
    inProgress_ = false;
    if (job_) {
        // A job is still shown.
        jobBegins_ = ~0u;
        followJob();
        return;
    }
    showPanes(false);
}
