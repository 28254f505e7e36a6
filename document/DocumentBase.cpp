#include "document/DocumentBase.h"

#include <algorithm>

namespace ridgeforge {

void DocumentBase::SetPathName(const CString& path, bool addToRecent) {
    pathName_ = path;
    // The last component, cut by hand: a wide path converted through the C
    // locale would fail on letters outside ASCII.
    const std::size_t slash = path.find_last_of(L'/');
    title_ = slash == CString::npos ? path : path.substr(slash + 1);
    if (addToRecent && host_ != nullptr && !path.empty()) host_->AddToRecentFiles(path);
}

void DocumentBase::AddView(DocumentView* view) {
    if (view != nullptr && std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void DocumentBase::RemoveView(DocumentView* view) { std::erase(views_, view); }

void DocumentBase::UpdateAllViews(DocumentView* sender, ViewUpdateHint hint) {
    if (viewHolds_ > 0) {
        const std::pair<DocumentView*, ViewUpdateHint> update{sender, hint};
        if (std::find(heldUpdates_.begin(), heldUpdates_.end(), update) == heldUpdates_.end())
            heldUpdates_.push_back(update);
        return;
    }
    // A view may remove itself while it updates; walk a copy.
    const std::vector<DocumentView*> views = views_;
    for (DocumentView* view : views) {
        if (view != sender) view->OnUpdate(sender, hint);
    }
}

void DocumentBase::HoldViewUpdates() { ++viewHolds_; }

void DocumentBase::ReleaseViewUpdates() {
    if (viewHolds_ == 0 || --viewHolds_ > 0) return;
    std::vector<std::pair<DocumentView*, ViewUpdateHint>> held;
    held.swap(heldUpdates_);
    for (const auto& [sender, hint] : held) UpdateAllViews(sender, hint);
}

bool DocumentBase::OnNewDocument() {
    DeleteContents();
    pathName_.clear();
    SetModifiedFlag(false);
    return true;
}

bool DocumentBase::OnOpenDocument(const CString&) {
    DeleteContents();
    SetModifiedFlag(false);
    return true;
}

bool DocumentBase::OnSaveDocument(const CString&) {
    SetModifiedFlag(false);
    return true;
}

}  // namespace ridgeforge
