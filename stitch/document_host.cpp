#include "stitch/document_host.h"

DocumentStitchHost::DocumentStitchHost(CVandrelDoc* document,
                                       std::function<void(std::unique_ptr<CPicture>)> replaceRest)
    : document_(document), replaceRest_(std::move(replaceRest)) {}

void DocumentStitchHost::SetPicture(std::unique_ptr<CPicture> picture) {
    if (picture) document_->SetPicture(std::move(picture));
    else document_->m_pPicture.reset();
}

void DocumentStitchHost::ReplaceRestPicture(std::unique_ptr<CPicture> converted) {
    if (replaceRest_) replaceRest_(std::move(converted));
    else keptRest_ = std::move(converted);
}

void DocumentStitchHost::ShowMessage(const std::string& text) {
    if (DocumentObserver* observer = document_->GetObserver()) observer->ShowMessage(text);
}
