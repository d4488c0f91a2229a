// The Stitch Many window: the user gathers the pieces of one original (Add...
// or files dropped onto the window), sees them as thumbnails, and Stitch
// joins them into a new document. After a run the thumbnails lie where the
// pieces were found; a refusal is shown as a message and the pieces stay for
// another try. Escape during the run stops it; outside a run it closes the
// window.
#pragma once
#include <QDialog>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "stitch/mosaic.h"

class CPicture;
class QLabel;
class QPushButton;

// The pieces as thumbnails: in rows of equal cells, or, once a run placed
// them, scaled down to where they lie in the joined picture. A click selects
// a piece; where they lie as found, a piece can be dragged elsewhere.
class CMosaicBoard : public QWidget {
    Q_OBJECT
public:
    struct Tile {
        QImage thumbnail;
        QString name;
        int width = 0, height = 0;  // the piece's own size
        bool placed = false;
        MosaicPlacement placement;  // in the joined picture, when placed
    };

    explicit CMosaicBoard(QWidget* parent = nullptr);
    void SetTiles(std::vector<Tile> tiles, bool asFound);
    const std::vector<Tile>& tiles() const { return tiles_; }
    bool asFound() const { return asFound_; }
    int selected() const { return selected_; }
    void Select(int index);
    // Where tile index is drawn (widget coordinates).
    QRectF TileRect(int index) const;

signals:
    void selectionChanged(int index);
    // A piece was dragged to another place (its placement moved with it).
    void tileMoved(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Picture pixels to widget pixels, where the pieces lie as found.
    double Scale() const;
    QPointF Origin() const;

    std::vector<Tile> tiles_;
    bool asFound_ = false;
    QRectF found_;           // all pieces as found, in the joined picture's pixels
    int selected_ = -1;
    int dragging_ = -1;
    bool moved_ = false;
    QPointF dragFrom_;
};

class Job;

class CMosaicWindow : public QDialog {
    Q_OBJECT
public:
    explicit CMosaicWindow(QWidget* parent = nullptr);
    ~CMosaicWindow() override;

    // Reads the files and adds them as pieces (a file that cannot be read is
    // said so and left out). The way Add... and a drop end.
    void AddFiles(const QStringList& paths);
    // Adds a picture as a piece under a name.
    void AddPicture(std::unique_ptr<CPicture> picture, const QString& name);
    void RemoveSelected();
    // Starts joining the pieces as a job on a worker thread; false when it
    // cannot start (fewer than two pieces, a run under way). The window
    // stays in use but its pieces cannot change until the run ends:
    // stitched(true) when the result opened as a new document, else
    // stitched(false) (a refusal says why). Once a piece has been dragged
    // where the pieces lie as found, every piece's place goes to the run as
    // a hint.
    bool Stitch();
    bool stitching() const { return job_ != nullptr; }
    std::vector<MosaicHint> Hints() const;

    int pieceCount() const { return int(pieces_.size()); }
    QStringList pieceNames() const;
    CMosaicBoard* board() const { return board_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* stitchButton() const { return stitch_; }
    QPushButton* closeButton() const { return close_; }
    QLabel* statusLabel() const { return status_; }

public slots:
    void OnAdd();

signals:
    void stitched(bool joined);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Piece {
        std::unique_ptr<CPicture> picture;
        QString name;
        QImage thumbnail;
    };
    // The board from the pieces; placements from the last run when given.
    void ShowPieces(const MosaicResult* found = nullptr);
    void UpdateButtons();
    // The run's end, on the window's thread.
    bool Joined(MosaicResult result);

    std::vector<Piece> pieces_;
    bool movedByHand_ = false;
    Job* job_ = nullptr;  // the run under way: it reads the pieces' pictures
    CMosaicBoard* board_;
    QLabel* status_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* stitch_;
    QPushButton* close_;
};

// The Stitch Many command: opens the window (or brings the open one forward).
CMosaicWindow* OpenMosaicWindow(QWidget* parent);
// The window that is open, if any.
CMosaicWindow* CurrentMosaicWindow();
