#include "stitch/document_host.h"

DocumentStitchHost::DocumentStitchHost(CVandrelDoc* document,
                                       std::function<void(CPicture*)> replaceRest)
    : document_(document), replaceRest_(std::move(replaceRest)) {}

void DocumentStitchHost::SetPicture(CPicture* picture) {
    if (picture) document_->SetPicture(picture);
    else document_->m_pPicture.reset();
}

void DocumentStitchHost::ReplaceRestPicture(CPicture* converted) {
    if (replaceRest_) replaceRest_(converted);
    else keptRest_.reset(converted);
}

void DocumentStitchHost::ShowMessage(const std::string& text) {
    if (DocumentObserver* observer = document_->GetObserver()) observer->ShowMessage(text);
}
