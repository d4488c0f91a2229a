#include "shell/embed/embedded_menu_qt.h"

#include <QCoreApplication>
#include <QAction>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include "base/command_registry_qt.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export_commands.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"

namespace {
// This file's texts for the user, in their own translation context.
struct EmbeddedMenuText {
    Q_DECLARE_TR_FUNCTIONS(EmbeddedMenuText)
};
}  // namespace

CEmbeddedMenu::CEmbeddedMenu(PMainWnd* main, CommandSet* commands, Lookup lookup)
    : QObject(main), main_(main), lookup_(std::move(lookup)) {
    menu_ = new QMenu(MenuTitleText(QStringLiteral("&File")), main);
    menu_->setObjectName(QStringLiteral("EmbeddedFile"));
    update_ = new QAction(EmbeddedMenuText::tr("&Update"), menu_);
    update_->setObjectName(QStringLiteral("ID_FILE_UPDATE"));
    saveCopy_ = new QAction(EmbeddedMenuText::tr("Save Copy &As..."), menu_);
    saveCopy_->setObjectName(QStringLiteral("ID_FILE_SAVE_COPY_AS"));
    // The commands placed on this menu; Update and Save Copy As, which
    // belong to the embedded document alone, as a group of their own after
    // Import.
    const std::map<int, QAction*> separators =
        commands->fillMenu(menu_, CommandSurface::EmbeddedFileMenu, QStringLiteral("&File"));
    auto groupOf = [commands](int id) {
        const CommandPlace* place = commands->registry().place(id, CommandSurface::EmbeddedFileMenu);
        return place ? place->group : -1;
    };
    auto after = separators.find(groupOf(ID_ACQUIRE));
    QAction* before = after == separators.end() ? nullptr : after->second;
    menu_->insertSeparator(before);
    menu_->insertAction(before, update_);
    menu_->insertAction(before, saveCopy_);
    auto recent = separators.find(groupOf(ID_FILE_MRU_FILE1));
    recentSeparator_ = recent == separators.end() ? nullptr : recent->second;
    connect(update_, &QAction::triggered, this, [this] {
        if (const uint id = activeDocument()) emit updateRequested(id);
    });
    connect(saveCopy_, &QAction::triggered, this, [this] {
        if (const uint id = activeDocument()) emit saveCopyAsRequested(id);
    });
    // Prompts and command states as the ordinary menus have them.
    connect(menu_, &QMenu::hovered, this, [this](QAction* action) {
        PMainWnd* main = mainWindow();
        if (main && action && !action->isSeparator()) main->statusBar()->SetPrompt(PMainWnd::PromptForMenuItem(action));
    });
    connect(menu_, &QMenu::aboutToHide, this, [this] {
        if (PMainWnd* main = mainWindow()) main->statusBar()->ShowPrompt(ID_PROMPT_IDLE);
    });
    connect(menu_, &QMenu::aboutToShow, this, [this, commands] {
        bool recent = false;
        for (int mru = ID_FILE_MRU_FILE1; mru <= ID_FILE_MRU_FILE4; ++mru)
            if (QAction* action = commands->action(mru)) recent = recent || action->isVisible();
        if (recentSeparator_) recentSeparator_->setVisible(recent);
    });

    main->menuBar()->insertMenu(main->fileMenu()->menuAction(), menu_);
    menu_->menuAction()->setVisible(false);
    connect(main->mdiArea(), &QMdiArea::subWindowActivated, this, &CEmbeddedMenu::Refresh);
}

CEmbeddedMenu::~CEmbeddedMenu() {
    // The ordinary File menu comes back when the embedded documents' menu goes.
    if (PMainWnd* main = mainWindow()) {
        if (QMenu* file = main->fileMenu()) file->menuAction()->setVisible(true);
        delete menu_;
    }
}

PMainWnd* CEmbeddedMenu::mainWindow() const {
    // Its own class only while it is whole: qobject_cast asks the object.
    return qobject_cast<PMainWnd*>(main_.data());
}

uint CEmbeddedMenu::activeDocument() const {
    PMainWnd* main = mainWindow();
    QMdiSubWindow* window = main ? main->activeDocumentWindow() : nullptr;
    return window && lookup_ ? lookup_(window) : 0;
}

void CEmbeddedMenu::Refresh() {
    PMainWnd* main = mainWindow();
    if (!main) return;
    const bool embedded = activeDocument() != 0;
    menu_->menuAction()->setVisible(embedded);
    main->fileMenu()->menuAction()->setVisible(!embedded);
}

void CEmbeddedMenu::ApplyRules(int id, CommandState& state) const {
    if ((id == ID_SAVE || id == ID_SAVE_AS) && activeDocument()) state.enabled = false;
}

bool SaveDocumentCopy(Document* document, const QString& path) {
    if (!document || !document->picture() || path.isEmpty()) return false;
    // The document's own save, with its messages and its care for an
    // existing file; what it marks on the document is put back.
    const bool modified = document->isModified();
    const bool written = document->core().OnSaveDocument(path.toStdString()) != 0;
    document->setModified(modified);
    return written;
}

QString ChooseDocumentCopyPath(QWidget* owner, Document* document) {
    QString initial = QStringLiteral("untitled.vdl");
    if (document && !document->pathName().isEmpty()) {
        const QFileInfo info(document->pathName());
        initial = info.completeBaseName() + QStringLiteral(".vdl");
    }
    const QString caption = QString::fromUtf8(LoadStringById(IDS_PRODUCT_FAMILY));
    const FileChoice choice = ChooseSaveFile(owner, caption, QString::fromStdString(InitialDirectory()), initial,
                                             {DocumentFilter()}, 1, {QStringLiteral("vdl")});
    return choice.path;
}
