#include "ui/framework/DocView.h"

namespace ridgeforge::ui {

void View::OnInitialUpdate() { OnUpdate(nullptr, ViewUpdateHint::FullRefresh); }

void View::OnUpdate(DocumentView*, ViewUpdateHint) {}

SingleDocManager::SingleDocManager(DocumentBase& document, View& view,
                                   std::function<void(const CString& title)> onTitle)
    : document_(document), view_(view), onTitle_(std::move(onTitle)) {
    view_.SetDocument(&document_);
    document_.AddView(&view_);
}

SingleDocManager::~SingleDocManager() { document_.RemoveView(&view_); }

void SingleDocManager::Initialised() {
    if (document_.GetTitle().empty()) document_.SetTitle(kUntitled);
    view_.OnInitialUpdate();
    if (onTitle_) onTitle_(document_.GetTitle());
}

bool SingleDocManager::OnFileNew() {
    if (!document_.SaveModified()) return false;
    document_.SetTitle(CString());
    if (!document_.OnNewDocument()) return false;
    Initialised();
    return true;
}

bool SingleDocManager::OpenDocumentFile(const CString& path) {
    if (!document_.SaveModified()) return false;
    const bool wasModified = document_.IsModified();
    document_.SetModifiedFlag(false);  // so a failure that changed it shows
    if (!document_.OnOpenDocument(path)) {
        // The document said why. Left untouched, it keeps its state; changed
        // half-way, it starts afresh.
        if (!document_.IsModified()) {
            document_.SetModifiedFlag(wasModified);
        } else {
            document_.SetTitle(CString());
            document_.OnNewDocument();
            Initialised();
        }
        return false;
    }
    // As the class library does: the opened file names the document and
    // goes first among the recent files (through the document's host).
    document_.SetPathName(path, true);
    Initialised();
    return true;
}

std::optional<CString> CommandLineFile(const std::vector<std::wstring>& arguments) {
    bool endOfOptions = false;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::wstring& argument = arguments[index];
        if (argument == L"--" && !endOfOptions) {
            endOfOptions = true;
        } else if (!argument.empty()) {
            return argument;
        }
    }
    return std::nullopt;
}

}  // namespace ridgeforge::ui
