// What the application and the main frame ask of the document beyond its
// base: the idle poll of the processing pipeline, its status for the status
// bar, loading a dropped image as the texture, and the document's commands.
// The program's document is CRidgeforgeDoc (MakeRidgeforgeDocument); tests
// and benchmarks hand in a document whose pipeline they drive themselves.
#pragma once

#include <memory>

#include "document/DocumentBase.h"
#include "document/pipeline/AsyncPipeline.h"
#include "ui/framework/CommandTable.h"

namespace ridgeforge {

class CRidgeforgeDoc;

class ShellDocument {
public:
    virtual ~ShellDocument() = default;
    virtual DocumentBase& Base() = 0;
    // The document's commands, second on the command road (after the view's):
    // the rows of the program's document when RidgeforgeDoc gives one, else
    // none.
    const CommandTable& Commands();
    // Joins a finished run and applies its result; true when it applied one.
    virtual bool PollPipeline() = 0;
    // From the start of a run until PollPipeline has joined it.
    virtual bool PipelineRunning() const = 0;
    virtual mesh::PipelineStatus PipelineStatus() const = 0;
    // Loads an image file as the texture (the document logs the outcome).
    virtual bool LoadHeightMap(const CString& path) = 0;
    // The program's document, or null for another kind.
    virtual CRidgeforgeDoc* RidgeforgeDoc() { return nullptr; }

private:
    CommandTable commands_;
    // The document the rows were made for.
    const CRidgeforgeDoc* commandsFor_ = nullptr;
};

// The program's document over the given host.
std::unique_ptr<ShellDocument> MakeRidgeforgeDocument(DocumentHost& host);

// The document of the running application's main window, or null.
CRidgeforgeDoc* GetActiveRidgeforgeDoc();

}  // namespace ridgeforge
