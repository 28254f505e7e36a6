#include "ui/app/ShellDocument.h"

#include "ui/app/RidgeforgeApp.h"
#include "document/RidgeforgeDoc.h"
#include "ui/commands/DocumentCommands.h"

namespace ridgeforge {
namespace {

class RidgeforgeShellDocument : public ShellDocument {
public:
    explicit RidgeforgeShellDocument(DocumentHost& host) : document_(&host) {}

    DocumentBase& Base() override { return document_; }
    bool PollPipeline() override { return document_.PollPipeline(); }
    bool PipelineRunning() const override { return document_.pipeline.IsRunning(); }
    mesh::PipelineStatus PipelineStatus() const override { return document_.pipeline.GetStatus(); }
    bool LoadHeightMap(const CString& path) override { return document_.LoadHeightMap(path); }
    CRidgeforgeDoc* RidgeforgeDoc() override { return &document_; }

private:
    CRidgeforgeDoc document_;
};

}  // namespace

const CommandTable& ShellDocument::Commands() {
    CRidgeforgeDoc* document = RidgeforgeDoc();
    if (document != commandsFor_) {
        commands_ = CommandTable{};
        if (document != nullptr) AddDocumentCommands(commands_, *document);
        commandsFor_ = document;
    }
    return commands_;
}

std::unique_ptr<ShellDocument> MakeRidgeforgeDocument(DocumentHost& host) {
    return std::make_unique<RidgeforgeShellDocument>(host);
}

CRidgeforgeDoc* GetActiveRidgeforgeDoc() {
    CRidgeforgeApp* app = CRidgeforgeApp::Get();
    if (app == nullptr || app->Document() == nullptr || app->Frame() == nullptr) return nullptr;
    return app->Document()->RidgeforgeDoc();
}

}  // namespace ridgeforge
