#include "stitch/mosaic_window_qt.h"

#include <QCoreApplication>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "base/job_qt.h"
#include "base/message_box.h"
#include "base/progress.h"
#include "display/draw_picture_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export.h"
#include "document/import_export_commands.h"
#include "picture/picture.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_run.h"

namespace {
// This file's texts for the user, in their own translation context.
struct StitchManyText {
    Q_DECLARE_TR_FUNCTIONS(StitchManyText)
};
}  // namespace

namespace {

constexpr int kThumbSide = 200;   // thumbnails are made this large at most
constexpr int kNameHeight = 18;   // the name under a thumbnail in rows
constexpr int kGap = 8;

// Names a control by its label, for tests and screen readers.
template <typename W>
W* Named(W* widget, const QString& label) {
    const QString plain = QString::fromStdString(PlainText(label.toStdString()));
    widget->setObjectName(plain);
    widget->setAccessibleName(plain);
    return widget;
}

QImage MakeThumbnail(CPicture* picture) {
    const int w = picture->GetWidth(), h = picture->GetHeight();
    const double f = std::min(1.0, double(kThumbSide) / std::max(w, h));
    QImage image(std::max(1, int(std::lround(w * f))), std::max(1, int(std::lround(h * f))),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    display::DrawPictureInto(picture, QRect(0, 0, w, h), painter, QRectF(image.rect()));
    return image;
}

// The engine's words as a sentence.
QString Sentence(const std::string& text) {
    QString s = QString::fromStdString(text);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    if (!s.isEmpty() && !s.endsWith('.') && !s.endsWith('!') && !s.endsWith('?')) s += '.';
    return s;
}

QString PiecesText(int n) {
    return n == 1 ? StitchManyText::tr("1 piece.") : StitchManyText::tr("%1 pieces.").arg(n);
}

}  // namespace

// ---- The board -----------------------------------------------------------

CMosaicBoard::CMosaicBoard(QWidget* parent) : QWidget(parent) {
    setMinimumSize(480, 360);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::ClickFocus);
}

namespace {
// A tile's outline in the joined picture.
QRectF Outline(const CMosaicBoard::Tile& t) {
    const QTransform m(t.placement.c, t.placement.s, -t.placement.s, t.placement.c, t.placement.x, t.placement.y);
    return m.mapRect(QRectF(-t.width / 2, -t.height / 2, t.width, t.height));
}
}  // namespace

void CMosaicBoard::SetTiles(std::vector<Tile> tiles, bool asFound) {
    tiles_ = std::move(tiles);
    asFound_ = asFound && !tiles_.empty();
    dragging_ = -1;
    // The frame stays while pieces are dragged, so that the others keep still.
    found_ = QRectF();
    if (asFound_)
        for (const Tile& t : tiles_) found_ = found_.isNull() ? Outline(t) : found_.united(Outline(t));
    if (selected_ >= int(tiles_.size())) selected_ = -1;
    update();
}

double CMosaicBoard::Scale() const {
    const QRectF area = QRectF(rect()).adjusted(kGap, kGap, -kGap, -kGap);
    if (found_.width() <= 0 || found_.height() <= 0) return 1;
    return std::max(1e-3, std::min(area.width() / found_.width(), area.height() / found_.height()));
}

QPointF CMosaicBoard::Origin() const {
    const QRectF area = QRectF(rect()).adjusted(kGap, kGap, -kGap, -kGap);
    const double f = Scale();
    return area.topLeft() + QPointF((area.width() - found_.width() * f) / 2,
                                    (area.height() - found_.height() * f) / 2);
}

void CMosaicBoard::Select(int index) {
    if (index < -1 || index >= int(tiles_.size())) index = -1;
    if (index == selected_) return;
    selected_ = index;
    update();
    emit selectionChanged(index);
}

QRectF CMosaicBoard::TileRect(int index) const {
    if (index < 0 || index >= int(tiles_.size())) return {};
    const QRectF area = QRectF(rect()).adjusted(kGap, kGap, -kGap, -kGap);
    if (area.width() <= 0 || area.height() <= 0) return {};
    if (asFound_) {
        // The piece's outline in the joined picture, all scaled alike.
        const double f = Scale();
        const QRectF r = Outline(tiles_[std::size_t(index)]);
        return QRectF(Origin() + (r.topLeft() - found_.topLeft()) * f, r.size() * f);
    }
    // Rows of equal cells, the thumbnail fitted above its name.
    const int n = int(tiles_.size());
    const int columns = int(std::ceil(std::sqrt(double(n))));
    const int rows = (n + columns - 1) / columns;
    const double cw = (area.width() - (columns - 1) * kGap) / columns;
    const double ch = (area.height() - (rows - 1) * kGap) / rows;
    const QRectF cell(area.left() + (index % columns) * (cw + kGap), area.top() + (index / columns) * (ch + kGap),
                      cw, ch - kNameHeight);
    const Tile& t = tiles_[std::size_t(index)];
    const double f = std::min(cell.width() / std::max(1, t.width), cell.height() / std::max(1, t.height));
    const QSizeF size(t.width * f, t.height * f);
    return QRectF(cell.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void CMosaicBoard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(192, 192, 192));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (tiles_.empty()) {
        painter.setPen(Qt::black);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         StitchManyText::tr("Add the pieces of one picture, or drop their files here."));
        return;
    }
    for (int i = 0; i < int(tiles_.size()); ++i) {
        const Tile& t = tiles_[std::size_t(i)];
        const QRectF r = TileRect(i);
        painter.save();
        if (asFound_) {
            // Drawn turned as it was found, about its own centre.
            const double turn = t.placement.TurnDegrees();
            painter.translate(r.center());
            painter.rotate(turn);
            const double f = r.width() / QTransform().rotate(turn).mapRect(QRectF(0, 0, t.width, t.height)).width();
            const QRectF own(-t.width * f / 2, -t.height * f / 2, t.width * f, t.height * f);
            painter.setOpacity(0.85);
            painter.drawImage(own, t.thumbnail);
            painter.setOpacity(1);
            painter.setPen(QPen(i == selected_ ? palette().color(QPalette::Highlight) : QColor(64, 64, 64),
                                i == selected_ ? 3 : 1));
            painter.drawRect(own);
            // The name on a light patch, readable over any picture.
            QRectF label = painter.fontMetrics().boundingRect(t.name).toRectF().adjusted(-4, -2, 4, 2);
            label.moveCenter(own.center());
            painter.fillRect(label, QColor(255, 255, 255, 200));
            painter.setPen(Qt::black);
            painter.drawText(label, Qt::AlignCenter, t.name);
        } else {
            painter.drawImage(r, t.thumbnail);
            painter.setPen(QPen(i == selected_ ? palette().color(QPalette::Highlight) : QColor(64, 64, 64),
                                i == selected_ ? 3 : 1));
            painter.drawRect(r);
            const QRectF label(r.left() - kGap, r.bottom() + 2, r.width() + 2 * kGap, kNameHeight - 2);
            painter.setPen(Qt::black);
            painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                             painter.fontMetrics().elidedText(t.name, Qt::ElideMiddle, int(label.width())));
        }
        painter.restore();
    }
}

void CMosaicBoard::mousePressEvent(QMouseEvent* event) {
    // The topmost tile under the pointer (the last drawn).
    int hit = -1;
    for (int i = int(tiles_.size()) - 1; i >= 0 && hit < 0; --i)
        if (TileRect(i).contains(event->position())) hit = i;
    Select(hit);
    if (asFound_ && hit >= 0 && event->button() == Qt::LeftButton) {
        dragging_ = hit;
        moved_ = false;
        dragFrom_ = event->position();
    }
    QWidget::mousePressEvent(event);
}

void CMosaicBoard::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ < 0) return QWidget::mouseMoveEvent(event);
    const QPointF step = (event->position() - dragFrom_) / Scale();
    dragFrom_ = event->position();
    MosaicPlacement& p = tiles_[std::size_t(dragging_)].placement;
    p.x += step.x();
    p.y += step.y();
    moved_ = moved_ || !step.isNull();
    update();
}

void CMosaicBoard::mouseReleaseEvent(QMouseEvent* event) {
    const int index = dragging_;
    dragging_ = -1;
    if (index >= 0 && moved_) emit tileMoved(index);
    QWidget::mouseReleaseEvent(event);
}

// ---- The window ----------------------------------------------------------

CMosaicWindow::CMosaicWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(StitchManyText::tr("Stitch Many"));
    Named(this, windowTitle());
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);

    board_ = Named(new CMosaicBoard(this), StitchManyText::tr("Pieces"));
    status_ = Named(new QLabel(this), StitchManyText::tr("Status"));
    status_->setWordWrap(true);
    add_ = Named(new QPushButton(StitchManyText::tr("&Add..."), this), StitchManyText::tr("&Add..."));
    remove_ = Named(new QPushButton(StitchManyText::tr("&Remove"), this), StitchManyText::tr("&Remove"));
    stitch_ = Named(new QPushButton(StitchManyText::tr("&Stitch"), this), StitchManyText::tr("&Stitch"));
    close_ = Named(new QPushButton(QString::fromUtf8(LoadStringById(IDS_CLOSE)), this),
                   QString::fromUtf8(LoadStringById(IDS_CLOSE)));
    for (QPushButton* b : {add_, remove_, stitch_, close_}) b->setAutoDefault(false);

    connect(add_, &QPushButton::clicked, this, &CMosaicWindow::OnAdd);
    connect(remove_, &QPushButton::clicked, this, &CMosaicWindow::RemoveSelected);
    connect(stitch_, &QPushButton::clicked, this, [this] { Stitch(); });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(board_, &CMosaicBoard::selectionChanged, this, [this] { UpdateButtons(); });
    connect(board_, &CMosaicBoard::tileMoved, this, [this](int index) {
        movedByHand_ = true;
        status_->setText(StitchManyText::tr("%1 moved by hand: Stitch looks for its overlaps about where it lies now.")
                             .arg(pieces_[std::size_t(index)].name));
    });

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {add_, remove_, stitch_}) buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* top = new QHBoxLayout;
    top->addWidget(board_, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(status_);
    ShowPieces();
    StitchFeature::Of().mosaicWindow = this;
}

CMosaicWindow::~CMosaicWindow() {
    // A run still reading the pieces ends before they go.
    delete job_;
    if (StitchFeature* feature = StitchFeature::Existing(); feature && feature->mosaicWindow == this)
        feature->mosaicWindow = nullptr;
}

QStringList CMosaicWindow::pieceNames() const {
    QStringList names;
    for (const Piece& p : pieces_) names << p.name;
    return names;
}

void CMosaicWindow::AddPicture(std::unique_ptr<CPicture> picture, const QString& name) {
    if (!picture || job_) return;
    Piece piece;
    piece.thumbnail = MakeThumbnail(picture.get());
    piece.picture = std::move(picture);
    piece.name = name;
    pieces_.push_back(std::move(piece));
    ShowPieces();
}

void CMosaicWindow::AddFiles(const QStringList& paths) {
    if (job_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const QString& path : paths) {
        FileStatus status;
        SetProgressCaption(IDS_LOADING_IMAGE);
        std::unique_ptr<CPicture> picture = ReadImageFile(path.toStdString(), true, &status);
        if (picture) {
            AddPicture(std::move(picture), QFileInfo(path).fileName());
            continue;
        }
        // A missing file has been reported by the read; Escape stops the adding.
        if (status.failure == FileFailure::kCancelled) break;
        if (status.failure != FileFailure::kNoSuchFile) {
            QString text = StitchManyText::tr("Could not read %1").arg(QFileInfo(path).fileName());
            if (!status.reason.empty()) text += QStringLiteral(": ") + QString::fromStdString(status.reason);
            ShowMessage(text.toStdString());
        }
    }
    QApplication::restoreOverrideCursor();
}

void CMosaicWindow::RemoveSelected() {
    const int i = board_->selected();
    if (job_ || i < 0 || i >= int(pieces_.size())) return;
    pieces_.erase(pieces_.begin() + i);
    board_->Select(-1);
    ShowPieces();
}

void CMosaicWindow::ShowPieces(const MosaicResult* found) {
    const bool asFound = found && found->pieces.size() == pieces_.size() &&
                         std::all_of(found->pieces.begin(), found->pieces.end(),
                                     [](const MosaicPieceReport& r) { return r.placed; });
    std::vector<CMosaicBoard::Tile> tiles;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        CMosaicBoard::Tile t;
        t.thumbnail = pieces_[i].thumbnail;
        t.name = pieces_[i].name;
        t.width = pieces_[i].picture->GetWidth();
        t.height = pieces_[i].picture->GetHeight();
        if (asFound) {
            t.placed = true;
            t.placement = found->pieces[i].placement;
        }
        tiles.push_back(std::move(t));
    }
    board_->SetTiles(std::move(tiles), asFound);
    movedByHand_ = false;
    if (!found) status_->setText(PiecesText(pieceCount()));
    UpdateButtons();
}

void CMosaicWindow::UpdateButtons() {
    add_->setEnabled(!job_);
    remove_->setEnabled(!job_ && board_->selected() >= 0);
    stitch_->setEnabled(!job_ && pieceCount() >= 2);
}

bool CMosaicWindow::Stitch() {
    if (pieceCount() < 2 || job_) return false;
    std::vector<MosaicPiece> pieces;
    for (const Piece& p : pieces_) pieces.push_back({p.picture.get(), p.name.toStdString()});
    MosaicRequest request;
    if (movedByHand_) request.hints = Hints();
    auto result = std::make_shared<MosaicResult>();
    job_ = new Job(
        IDS_PROCESSING,
        [pieces = std::move(pieces), request = std::move(request), result](Progress&) {
            *result = RunMosaic(pieces, request);
        },
        this);
    connect(job_, &Job::finished, this, [this, result] {
        job_->deleteLater();
        job_ = nullptr;
        UpdateButtons();
        emit stitched(Joined(std::move(*result)));
    });
    UpdateButtons();
    job_->start();
    return true;
}

bool CMosaicWindow::Joined(MosaicResult result) {
    if (!result) {
        // Escape leaves everything as it was, without a word; a refusal
        // keeps the pieces for another try.
        if (result.status == MosaicStatus::kCancelled) {
            status_->setText(PiecesText(pieceCount()));
            return false;
        }
        const QString text = Sentence(result.message);
        status_->setText(text);
        ShowMessage(text.toStdString());
        return false;
    }
    ShowPieces(&result);
    status_->setText(result.rows > 0 ? StitchManyText::tr("Joined %1 pieces found in a grid of %2 x %3.")
                                           .arg(pieceCount())
                                           .arg(result.rows)
                                           .arg(result.columns)
                                     : StitchManyText::tr("Joined %1 pieces.").arg(pieceCount()));
    OpenedDocument opened = OpenStitchDocument(std::move(result.picture));
    if (!opened.document) {
        ShowMessageById(IDS_COMMAND_FAILED);
        return false;
    }
    // Two pieces are joined as a stitch of two: its Information page says
    // what was found.
    if (result.pairEngine) opened.document->setStitchFinding(QString::fromStdString(DescribeFinding(result.pairFinding)));
    if (opened.view) opened.view->FitFrameToPicture();
    return true;
}

std::vector<MosaicHint> CMosaicWindow::Hints() const {
    std::vector<MosaicHint> hints;
    if (!board_->asFound()) return hints;
    const auto& tiles = board_->tiles();
    for (int k = 0; k < int(tiles.size()); ++k) {
        // Where the piece's pixel (0, 0) lies: the placement turns about
        // the whole-pixel centre.
        const CMosaicBoard::Tile& t = tiles[std::size_t(k)];
        const MosaicPlacement& p = t.placement;
        const double u = -(t.width / 2), v = -(t.height / 2);
        hints.push_back({k, p.c * u - p.s * v + p.x, p.s * u + p.c * v + p.y});
    }
    return hints;
}

void CMosaicWindow::OnAdd() {
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Import)) return;
    AskOpenFiles(this, StitchManyText::tr("Add Pieces"), QString::fromStdString(setup.initialDirectory),
                 QtFilters(setup.filter), setup.filterPosition, this, [this](const FileChoice& choice) {
                     const QStringList paths = choice.paths();
                     if (paths.isEmpty()) return;
                     RememberOpenChoice(paths.first().toStdString(), choice.filterPosition);
                     // Read from the event loop once the dialog has closed:
                     // a message about a file then shows on its own.
                     QTimer::singleShot(0, this, [this, paths] { AddFiles(paths); });
                 });
}

void CMosaicWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes the window (the dialog's own handling would only hide it).
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMosaicWindow::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
}

void CMosaicWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    activateWindow();
    // Read after the drop returns, so that the dragging program is free.
    QTimer::singleShot(0, this, [this, paths] { AddFiles(paths); });
}

CMosaicWindow* OpenMosaicWindow(QWidget* parent) {
    QPointer<CMosaicWindow>& window = StitchFeature::Of().mosaicWindow;
    if (!window) {
        window = new CMosaicWindow(parent);
        window->resize(720, 520);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window.data();
}

CMosaicWindow* CurrentMosaicWindow() {
    StitchFeature* feature = StitchFeature::Existing();
    return feature ? feature->mosaicWindow.data() : nullptr;
}
