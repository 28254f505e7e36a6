// One document and one view for the whole run, in the manner of the class
// library's single-document template: New and Open ask the document's
// SaveModified, then run DeleteContents and OnNewDocument, or
// OnOpenDocument, on the same object, and the view gets OnInitialUpdate.
// (wxDocManager would make a new document and view on every New and Open.)
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/DocumentBase.h"
#include "ui/framework/CommandTable.h"

class wxWindow;

namespace ridgeforge::ui {

// A view of the document: updates with a hint, a first update after New and
// Open, and its command table, first on the route.
class View : public DocumentView {
public:
    DocumentBase* GetDocument() const { return document_; }
    void SetDocument(DocumentBase* document) { document_ = document; }
    // After New or Open; the default is a full-refresh update.
    virtual void OnInitialUpdate();
    void OnUpdate(DocumentView* sender, ViewUpdateHint hint) override;
    const CommandTable& Commands() const { return commands_; }
    // Makes the view's window as a child of the main window.
    virtual void CreateViewWindow(wxWindow* parent) { (void)parent; }
    // The window that shows the document, or null.
    virtual wxWindow* Window() const { return nullptr; }

protected:
    CommandTable commands_;

private:
    DocumentBase* document_ = nullptr;
};

class SingleDocManager {
public:
    // `onTitle` gets the document's title after New and Open.
    SingleDocManager(DocumentBase& document, View& view, std::function<void(const CString& title)> onTitle = {});
    ~SingleDocManager();
    SingleDocManager(const SingleDocManager&) = delete;
    SingleDocManager& operator=(const SingleDocManager&) = delete;

    DocumentBase& Document() const { return document_; }
    View& GetView() const { return view_; }

    // File > New: false when SaveModified or OnNewDocument refused.
    bool OnFileNew();
    // Opens a file as the document; false when SaveModified refused or
    // OnOpenDocument failed (the document reported why). After a failure
    // that may have emptied the document, it is made new again, so the
    // window never shows half a document.
    bool OpenDocumentFile(const CString& path);

    // The title used for a document without a file.
    static constexpr const wchar_t* kUntitled = L"Untitled";

private:
    void Initialised();

    DocumentBase& document_;
    View& view_;
    std::function<void(const CString&)> onTitle_;
};

// The file named on the command line (the program's name first), or
// nothing. The program has no options of its own, so every argument is a
// file name, one that starts with "-" too; a first "--" (the usual end of
// options) is passed over.
std::optional<CString> CommandLineFile(const std::vector<std::wstring>& arguments);

}  // namespace ridgeforge::ui
