// CVandrelDoc: the document. One picture per document, with the print options
// of that document and the two work pictures of the interactive stitch tool.
// The document's own file (".vdl") is a plain BMP file; it is read like every
// image file and written with the picture's BMP writer.
//
// The windows that show a document are reached only through a
// DocumentObserver (redraw, frame name, wait cursor, messages).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "document/document_observer.h"
#include "document/import_export.h"
#include "document/print_settings.h"
#include "picture/picture.h"
#include "picture/transform.h"

// The document file's extension (without the dot, any case in a path).
inline constexpr const char* kDocumentExtension = "vdl";
// Whether the path names a document file: such a file is a BMP file whatever
// the format table says about its extension.
bool IsDocumentFilePath(const std::string& path);
// Writes the picture as a document file (BMP) to a temporary beside the
// target, which replaces the target only when complete. Shows no message;
// on failure status says why (kNotAFile: the file cannot be made there).
int WriteDocumentFile(const std::string& path, CPicture* picture, FileStatus* status = nullptr);

class CVandrelDoc {
public:
    CVandrelDoc();
    virtual ~CVandrelDoc();
    CVandrelDoc(const CVandrelDoc&) = delete;
    CVandrelDoc& operator=(const CVandrelDoc&) = delete;

    // The document's picture: none only before the first load or after a failed one.
    std::unique_ptr<CPicture> m_pPicture;
    // Work pictures of the interactive stitch tool; normally none.
    std::unique_ptr<CPicture> m_pStitchWork;
    std::unique_ptr<CPicture> m_pStitchWork2;
    // Print options of this document.
    PrintSettings m_print;

    // The observer (not owned); none: nothing is shown.
    void SetObserver(DocumentObserver* observer) { observer_ = observer; }
    DocumentObserver* GetObserver() const { return observer_; }

    // The framework's document operations. Each returns non-zero on success.
    // New document: a 2811 x 3000 true-colour picture unless one is already there.
    int OnNewDocument();
    // LoadPicture; on success the path becomes the document's path and the
    // modified flag is cleared.
    int OnOpenDocument(const std::string& path);
    // Writes the picture as a BMP file whatever the extension. The file is
    // written beside the target and moved into place only when complete, so
    // a failed save ("Failed to save document.") keeps the old file.
    int OnSaveDocument(const std::string& path);
    // The end of OnSaveDocument for a WriteDocumentFile done elsewhere (a
    // worker): the message of a failure, or the modified flag cleared.
    int TakeSaveStatus(const FileStatus& status);
    // Before the document closes: non-zero when it may close. Unmodified or
    // active in place: without asking. Otherwise the observer asks "Save
    // changes to NAME?": yes saves (a document without a path asks for one),
    // no closes without saving, cancel keeps the document open.
    int SaveModified();
    // Deletes the three pictures; the members return to their defaults.
    void DeleteContents();

    // The end of OnOpenDocument for a picture read elsewhere (a worker):
    // the document takes it as the picture of path. 0 without a picture.
    int TakeOpenedPicture(const std::string& path, std::unique_ptr<CPicture> picture);
    // Reads a picture file into the document (with progress); non-zero when a
    // picture resulted.
    int LoadPicture(const std::string& path);
    // Takes the picture (ownership passes to the document) in place of the
    // current one and marks the print options for reset.
    void SetPicture(std::unique_ptr<CPicture> picture);

    // The plain modified flag.
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    const std::string& GetPathName() const { return pathName_; }
    void SetPathName(const std::string& path) { pathName_ = path; }
    // Whether the document is active in place inside another application
    // (then transforms show no progress and closing does not ask to save).
    bool IsInPlaceActive() const { return inPlaceActive_; }
    void SetInPlaceActive(bool active) { inPlaceActive_ = active; }
    // Bytes of the picture and the two work pictures.
    std::uint64_t MemoryBytes() const;

    // The mirror and rotate commands on m_pPicture: wait cursor, progress
    // unless active in place; on success the document is marked modified and
    // every view redrawn; a quarter turn also resets the print options.
    // Failures show "Out of memory"; an Escape cancel changes nothing and
    // shows nothing.
    TransformResult Transform(TransformOp op);
    // The end of Transform for work done elsewhere (TransformPictureInto on
    // m_pPicture, on a worker): takes the new picture of a rotation, marks
    // the document, redraws or shows the failure as Transform does.
    TransformResult TakeTransform(TransformOp op, TransformResult result, std::unique_ptr<CPicture> turned);
    void OnMirrorHorizontal() { Transform(TransformOp::MirrorHorizontal); }
    void OnMirrorVertical() { Transform(TransformOp::MirrorVertical); }
    void OnMirrorDiagonal() { Transform(TransformOp::MirrorDiagonal); }
    void OnRotateLeft() { Transform(TransformOp::RotateLeft); }
    void OnRotateRight() { Transform(TransformOp::RotateRight); }

    // Routes a command id to the document; false when the document does not
    // handle it (Import, Save and Save As are handled by the import and
    // export code).
    bool OnCommand(int id);

private:
    // Shows the string through the observer, or the message sink without one.
    void Message(int stringId);

    DocumentObserver* observer_ = nullptr;
    std::string pathName_;
    bool modified_ = false;
    bool inPlaceActive_ = false;
};
