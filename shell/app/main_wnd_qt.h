// PMainWnd: the application's main window. A QMainWindow around a QMdiArea
// of document windows, with the menus, the icon bar and the status bar. It
// builds its menus and icon bar from the program's commands, keeps their
// states current as documents come, change and go, opens the files dropped
// on it and the pictures scanners deliver to it.
#pragma once
#include <QMainWindow>
#include <vector>

class CIconBarToggle;
class CMainStatusBar;
class CommandSet;
class Document;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

class PMainWnd : public QMainWindow {
    Q_OBJECT
public:
    explicit PMainWnd(CommandSet* commands, QWidget* parent = nullptr);
    ~PMainWnd() override;

    CMainStatusBar* statusBar() const { return statusBar_; }
    QMdiArea* mdiArea() const { return mdi_; }
    QToolBar* iconBar() const { return iconBar_; }
    CIconBarToggle* iconBarToggle() const { return toggle_; }
    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* windowMenu() const { return windowMenu_; }

    // The active document window, its view (the widget in it that is a
    // command target; none for a window without one) and its document.
    QMdiSubWindow* activeDocumentWindow() const;
    QWidget* activeView() const;
    Document* activeDocument() const;
    QList<QMdiSubWindow*> documentWindows() const;

    // Puts a new document window into the document area and shows it; the
    // commands follow its document's changes from now on.
    void addDocumentWindow(QMdiSubWindow* window);

    // Shows or hides the icon bar; the choice is kept in the settings.
    void setIconBarShown(bool shown);
    bool iconBarShown() const;
    void setStatusBarShown(bool shown);
    bool statusBarShown() const;

    // The window's size, position and state as the user left it (settings
    // file): shows the window so, or false (nothing shown) when none was kept.
    bool showAsLeft();
    // Keeps them for the next start; done when the window closes.
    bool keepGeometry();

    // The recent-file entries of the File menu, from the application's list.
    void updateRecentFileMenu(const QStringList& files);

    // The prompt rules of the menus: what the prompt pane shows for a
    // hovered menu item (command ids of the prompt ranges show their
    // prompt, pop-up items and every other id nothing).
    static QString PromptForMenuItem(const QAction* action);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void buildMenus();
    void connectPrompts(QMenu* menu);
    void onWindowActivated(QMdiSubWindow* window);
    // Idempotent: a title that already shows the wanted one is left alone.
    void updateTitle();
    QString wantedTitle() const;
    bool titleShows(const QString& wanted) const;
    void fillWindowList();

    CommandSet* commands_;
    QMdiArea* mdi_;
    QToolBar* iconBar_;
    CMainStatusBar* statusBar_;
    CIconBarToggle* toggle_;
    QMenu* fileMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QList<QAction*> windowListActions_;
    QMdiSubWindow* titled_ = nullptr;
    bool settingTitle_ = false;
};
