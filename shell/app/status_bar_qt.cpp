#include "shell/app/status_bar_qt.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>

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
// Pending events are let through at most this often while a long operation
// steps (a change of the percentage always lets them through).
constexpr int kEventIntervalMs = 15;

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

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
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
      gauge_(new CProgressGauge(this)) {
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
    caption_->hide();
    gauge_->hide();
    position_->installEventFilter(this);
    prompt_->installEventFilter(this);
    layoutPanes();
}

CMainStatusBar::~CMainStatusBar() {
    if (hosting_ && GetProgressHost() == this) SetProgressHost(nullptr);
    if (inProgress_) qApp->removeEventFilter(this);
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
    gauge_->setGeometry(QRect(QPoint(a + 110, b + 2), QPoint(right - 1, b + 22 - 1)));
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
    if (watched == qApp || inProgress_) {
        // A message box shown in the middle of the work still takes its input.
        if (inProgress_ && watched->isWidgetType()) {
            QWidget* modal = QApplication::activeModalWidget();
            auto* w = static_cast<QWidget*>(watched);
            if (modal && (modal == w || modal->isAncestorOf(w))) return false;
        }
        if (inProgress_ && IsUserInput(event->type())) {
            if (event->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                escapeSeen_ = true;
            return true;  // input waits until the operation ends
        }
        if (inProgress_ && event->type() == QEvent::Close && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            event->ignore();
            return true;
        }
        if (watched == qApp) return false;
    }
    if (event->type() == QEvent::Enter) {
        if (watched == position_) ShowPrompt(IDS_TIP_POSITION_PANE);
        else if (watched == prompt_) ShowPrompt(IDS_TIP_PROMPT_PANE);
        else if (watched == toggle_) ShowPrompt(IDS_TIP_ICONBAR_TOGGLE);
    }
    return false;
}

// ---------------------------------------------------------------------------
// Progress host

void CMainStatusBar::Begin(const std::string& caption, unsigned minimum, unsigned maximum) {
    if (!inProgress_) qApp->installEventFilter(this);
    inProgress_ = true;
    escapeSeen_ = false;
    position_->hide();
    prompt_->hide();
    caption_->setText(QString::fromStdString(caption));
    caption_->show();
    gauge_->SetRange(minimum, maximum);
    gauge_->show();
    gauge_->raise();
    repaint();
    letPaintThrough(true);
}

void CMainStatusBar::Update(unsigned position, unsigned, bool percentChanged) {
    gauge_->SetPosition(position);
    if (percentChanged) letPaintThrough(true);
}

bool CMainStatusBar::TakeEscape() {
    letPaintThrough(false);
    const bool escape = escapeSeen_;
    escapeSeen_ = false;
    return escape;
}

void CMainStatusBar::End() {
    if (!inProgress_) return;
    gauge_->SetPosition(gauge_->maximum());
    caption_->setText(QString());
    gauge_->hide();
    caption_->hide();
    position_->show();
    prompt_->show();
    inProgress_ = false;
    escapeSeen_ = false;
    qApp->removeEventFilter(this);
}

void CMainStatusBar::letPaintThrough(bool now) {
    if (!now && sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventIntervalMs) return;
    sinceEvents_.restart();
    // Input is held back by the event filter; paint and timer events pass.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}
