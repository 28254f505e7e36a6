// The small document base the desktop shell works with: the modified flag,
// the title and path name, the views that show the document, and the
// overridable steps of New, Open, Save and closing.
#pragma once

#include <utility>
#include <vector>

#include "document/DocumentHost.h"
#include "document/ViewUpdateHint.h"

namespace ridgeforge {

class DocumentView {
public:
    virtual ~DocumentView() = default;
    // sender: the view that caused the update, or null.
    virtual void OnUpdate(DocumentView* sender, ViewUpdateHint hint) = 0;
};

class DocumentBase {
public:
    explicit DocumentBase(DocumentHost* host = nullptr) : host_(host) {}
    virtual ~DocumentBase() = default;
    DocumentBase(const DocumentBase&) = delete;
    DocumentBase& operator=(const DocumentBase&) = delete;

    // Null: a program without a main window (nothing is logged or shown).
    DocumentHost* Host() const { return host_; }
    void SetHost(DocumentHost* host) { host_ = host; }

    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }

    const CString& GetTitle() const { return title_; }
    void SetTitle(const CString& title) { title_ = title; }
    const CString& GetPathName() const { return pathName_; }
    // Also makes the file's name the title; addToRecent asks the host to
    // list the file among the recent ones.
    void SetPathName(const CString& path, bool addToRecent = true);

    void AddView(DocumentView* view);
    void RemoveView(DocumentView* view);
    const std::vector<DocumentView*>& Views() const { return views_; }
    // Every view except the sender. While updates are held, the update is
    // kept (once per sender and hint) and sent when the hold ends.
    void UpdateAllViews(DocumentView* sender, ViewUpdateHint hint = ViewUpdateHint::FullRefresh);
    // Holds view updates until the matching ReleaseViewUpdates; holds nest.
    // The release sends each kept update once, in the order first asked for
    // (a view handles each hint its own way, so none stands for another).
    void HoldViewUpdates();
    void ReleaseViewUpdates();

    // Empties the document; called by New and Open before they fill it.
    virtual void DeleteContents() {}
    // DeleteContents, no path, not modified; true.
    virtual bool OnNewDocument();
    // The shell calls it after SaveModified allowed the replacement.
    virtual bool OnOpenDocument(const CString& path);
    virtual bool OnSaveDocument(const CString& path);
    // Asked before the document is closed or replaced; true lets that go on.
    virtual bool SaveModified() { return true; }

private:
    DocumentHost* host_ = nullptr;
    bool modified_ = false;
    CString title_;
    CString pathName_;
    std::vector<DocumentView*> views_;
    int viewHolds_ = 0;
    std::vector<std::pair<DocumentView*, ViewUpdateHint>> heldUpdates_;
};

}  // namespace ridgeforge
