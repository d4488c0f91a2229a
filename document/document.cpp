// CVandrelDoc: the picture it owns, its file, and the mirror and rotate
// commands.
#include "document/document.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "document/import_export.h"
#include "platform/system.h"
#include "platform/safe_file.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "base/message_box.h"
#include "base/progress.h"

namespace {

// Size of the picture of a new document.
constexpr int kNewWidth = 2811;
constexpr int kNewHeight = 3000;

// The wait cursor for the length of a scope.
class WaitCursor {
public:
    explicit WaitCursor(DocumentObserver* o) : o_(o) {
        if (o_) o_->BeginWaitCursor();
    }
    ~WaitCursor() {
        if (o_) o_->EndWaitCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    DocumentObserver* o_;
};

Rect PictureRect(const CPicture* p) {
    return p ? WholeRect(p->GetWidth(), p->GetHeight()) : WholeRect(0, 0);
}

}  // namespace

CVandrelDoc::CVandrelDoc() = default;

CVandrelDoc::~CVandrelDoc() = default;

void CVandrelDoc::Message(int stringId) {
    const char* text = LoadStringById(stringId);
    if (observer_) observer_->ShowMessage(text);
    else ShowMessage(text);
}

std::uint64_t CVandrelDoc::MemoryBytes() const {
    std::uint64_t total = 0;
    for (const auto* p : {&m_pPicture, &m_pStitchWork, &m_pStitchWork2})
        if (*p) total += (*p)->Store().GetSize();
    return total;
}

void CVandrelDoc::DeleteContents() {
    m_pPicture.reset();
    m_pStitchWork.reset();
    m_pStitchWork2.reset();
    m_print = PrintSettings{};
}

int CVandrelDoc::OnNewDocument() {
    DeleteContents();
    pathName_.clear();
    modified_ = false;
    if (!m_pPicture) {
        auto picture = std::make_unique<CDocPicture>();
        if (!picture->Create(ptTrueColor24, kNewWidth, kNewHeight, 0, nullptr, 0, 0, kStoreAny))
            return 0;
        m_pPicture = std::move(picture);
    }
    if (observer_) observer_->SetBaseName("");
    m_print.resetPending = 1;
    m_pStitchWork.reset();
    return 1;
}

int CVandrelDoc::LoadPicture(const std::string& path) {
    WaitCursor wait(observer_);
    m_pPicture = ReadImageFile(path, true);
    if (observer_) observer_->SetBaseName(path);
    EndProgress();
    if (!m_pPicture) return 0;
    m_print.resetPending = 1;
    return 1;
}

int CVandrelDoc::OnOpenDocument(const std::string& path) {
    DeleteContents();
    if (!LoadPicture(path)) return 0;
    pathName_ = path;
    if (observer_) observer_->AddToRecentFiles(path);
    modified_ = false;
    return 1;
}

int CVandrelDoc::TakeOpenedPicture(const std::string& path, std::unique_ptr<CPicture> picture) {
    if (!picture) return 0;
    DeleteContents();
    m_pPicture = std::move(picture);
    if (observer_) observer_->SetBaseName(path);
    m_print.resetPending = 1;
    pathName_ = path;
    if (observer_) observer_->AddToRecentFiles(path);
    modified_ = false;
    return 1;
}

bool IsDocumentFilePath(const std::string& path) {
    return LowerFileExtension(path) == kDocumentExtension;
}

int WriteDocumentFile(const std::string& path, CPicture* picture, FileStatus* status) {
    FileStatus ignored;
    FileStatus& st = status ? *status : ignored;
    st = {};
    // The system's reason in plain words ("no space left on the device"); errno
    // is kept for callers that read it after a failed save.
    auto systemReason = [](int error) { return error ? platform::SystemErrorText(error) : std::string(); };
    platform::SafeFile file(path);
    errno = 0;
    if (!file.Open()) {
        st = {FileFailure::kNotAFile, systemReason(errno)};
        return 0;
    }
    std::FILE* stream = file.Stream();
    StorePin pin(picture ? &picture->Store() : nullptr);
    if (stream && picture && picture->WriteBmp(stream) && file.Commit()) return 1;
    const int error = errno;
    st = {FileFailure::kLibrary, picture ? systemReason(error) : std::string("no picture to write")};
    file.Abandon();
    errno = error;
    return 0;
}

int CVandrelDoc::OnSaveDocument(const std::string& path) {
    // A failed save leaves the user's previous file as it was.
    FileStatus status;
    {
        WaitCursor wait(observer_);
        WriteDocumentFile(path, m_pPicture.get(), &status);
    }
    return TakeSaveStatus(status);
}

int CVandrelDoc::TakeSaveStatus(const FileStatus& status) {
    if (status.failure == FileFailure::kNotAFile) {
        Message(IDS_INVALID_FILENAME);
        return 0;
    }
    if (!status) {
        Message(IDS_FAILED_TO_SAVE_DOCUMENT);
        return 0;
    }
    modified_ = false;
    return 1;
}

int CVandrelDoc::SaveModified() {
    if (!modified_ || inPlaceActive_) return 1;
    if (!observer_) return 1;  // nothing is shown: as an observer that answers no
    // The document's title: its file name, or "Untitled" before the first save.
    const std::size_t slash = pathName_.find_last_of('/');
    const std::string title = pathName_.empty() ? std::string("Untitled")
                              : slash == std::string::npos ? pathName_
                                                           : pathName_.substr(slash + 1);
    switch (observer_->AskSaveChanges("Save changes to " + title + "?")) {
    case SaveAnswer::No: return 1;
    case SaveAnswer::Cancel: return 0;
    case SaveAnswer::Yes: break;
    }
    const std::string path = pathName_.empty() ? observer_->ChooseSavePath() : pathName_;
    if (path.empty() || !OnSaveDocument(path)) return 0;
    pathName_ = path;
    return 1;
}


void CVandrelDoc::SetPicture(std::unique_ptr<CPicture> picture) {
    m_pPicture = std::move(picture);
    m_print.resetPending = 1;
}

TransformResult CVandrelDoc::Transform(TransformOp op) {
    if (!m_pPicture) return kTransformFailed;
    TransformResult result;
    std::unique_ptr<CPicture> turned;
    {
        WaitCursor wait(observer_);
        result = TransformPictureInto(m_pPicture.get(), op, !inPlaceActive_, turned);
    }
    return TakeTransform(op, result, std::move(turned));
}

TransformResult CVandrelDoc::TakeTransform(TransformOp op, TransformResult result,
                                           std::unique_ptr<CPicture> turned) {
    if (!m_pPicture) return kTransformFailed;
    if (result == kTransformCancelled) return result;
    if (result == kTransformFailed) {
        Message(IDS_OUT_OF_MEMORY);
        return result;
    }
    const Rect before = PictureRect(m_pPicture.get());
    if (turned) m_pPicture = std::move(turned);
    if (TransformIsQuarterTurn(op)) m_print.resetPending = 1;
    modified_ = true;
    if (observer_) {
        if (TransformMakesNewPicture(op)) {
            const Rect after = PictureRect(m_pPicture.get());
            Rect both{0, 0, std::max(before.right, after.right), std::max(before.bottom, after.bottom)};
            observer_->UpdateAllViews(&both);
        } else {
            observer_->UpdateAllViews(nullptr);
        }
    }
    return result;
}

bool CVandrelDoc::OnCommand(int id) {
    switch (id) {
    case ID_MIRROR_HORIZONTAL: OnMirrorHorizontal(); return true;
    case ID_MIRROR_VERTICAL: OnMirrorVertical(); return true;
    case ID_MIRROR_DIAGONAL: OnMirrorDiagonal(); return true;
    case ID_ROTATE_LEFT: OnRotateLeft(); return true;
    case ID_ROTATE_RIGHT: OnRotateRight(); return true;
    case ID_EDIT_COPY: return true;  // accepted, does nothing
    default: return false;
    }
}
