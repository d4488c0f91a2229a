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
                                std::function<void(CPicture*)> replaceRest = {});
    CPicture* Picture() override { return document_->m_pPicture.get(); }
    void SetPicture(CPicture* picture) override;
    CPicture* StitchWork() override { return document_->m_pStitchWork.get(); }
    void SetStitchWork(CPicture* picture) override { document_->m_pStitchWork.reset(picture); }
    void SetStitchWork2(CPicture* picture) override { document_->m_pStitchWork2.reset(picture); }
    void SetModified(bool modified) override { document_->SetModifiedFlag(modified); }
    void ReplaceRestPicture(CPicture* converted) override;
    void ShowMessage(const std::string& text) override;

private:
    CVandrelDoc* document_;
    std::function<void(CPicture*)> replaceRest_;
    std::unique_ptr<CPicture> keptRest_;
};
