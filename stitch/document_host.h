// The stitch engine's host over a document: the canvas, the Rest strip and
// the second work picture live in the document's three picture slots.
#pragma once
#include <functional>

#include "document/document.h"
#include "stitch/stitch_tool.h"

class DocumentStitchHost : public StitchHost {
public:
    // replaceRest takes the converted Rest picture (the Rest page in the
    // application); without it the host keeps the picture itself.
    explicit DocumentStitchHost(CVandrelDoc* document,
                                std::function<void(std::unique_ptr<CPicture>)> replaceRest = {});
    CPicture* Picture() override { return document_->m_pPicture.get(); }
    void SetPicture(std::unique_ptr<CPicture> picture) override;
    CPicture* StitchWork() override { return document_->m_pStitchWork.get(); }
    void SetStitchWork(std::unique_ptr<CPicture> picture) override {
        document_->m_pStitchWork = std::move(picture);
    }
    void SetStitchWork2(std::unique_ptr<CPicture> picture) override {
        document_->m_pStitchWork2 = std::move(picture);
    }
    void SetModified(bool modified) override { document_->SetModifiedFlag(modified); }
    void ReplaceRestPicture(std::unique_ptr<CPicture> converted) override;
    void ShowMessage(const std::string& text) override;

private:
    CVandrelDoc* document_;
    std::function<void(std::unique_ptr<CPicture>)> replaceRest_;
    std::unique_ptr<CPicture> keptRest_;
};
