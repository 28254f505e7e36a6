#include "ui/workflow/FlowDocument.h"

#include <memory>
#include <utility>

#include "ui/app/ShellDocument.h"
#include "document/RidgeforgeDoc.h"

namespace ridgeforge {

bool RidgeforgeFlowDocument::HasPart() const { return document_->HasPart(); }
const mesh::TriangleMesh& RidgeforgeFlowDocument::WorkingPart() const { return document_->workingPart; }
std::uint32_t RidgeforgeFlowDocument::PartCounter() const { return document_->meshSerial; }
bool RidgeforgeFlowDocument::RemeshOn() const { return document_->remeshEnabled; }
bool RidgeforgeFlowDocument::DisplacementOn() const { return document_->displacementEnabled; }
bool RidgeforgeFlowDocument::SimplifyOn() const { return document_->simplifyEnabled; }
const mesh::RemeshSettings& RidgeforgeFlowDocument::Remesh() const { return document_->remeshSettings; }
const mesh::DisplacementSettings& RidgeforgeFlowDocument::Displacement() const {
    return document_->displacementSettings;
}
const mesh::SimplifySettings& RidgeforgeFlowDocument::Simplify() const { return document_->simplifySettings; }
void RidgeforgeFlowDocument::Edit(const std::function<void(DocumentEdit&)>& change) { document_->Edit(change); }
void RidgeforgeFlowDocument::LogResultOutOfDate() { document_->LogResultOutOfDate(); }
bool RidgeforgeFlowDocument::IsStepRunning(FlowStep step) const { return document_->IsStepRunning(step); }
bool RidgeforgeFlowDocument::IsStepOutOfDate(FlowStep step) const { return document_->IsStepOutOfDate(step); }
CString RidgeforgeFlowDocument::ProcessStatusText() const { return document_->ProcessStatusText(); }
bool RidgeforgeFlowDocument::CanProcess() const { return document_->CanProcess(); }
bool RidgeforgeFlowDocument::PipelineRunning() const { return document_->pipeline.IsRunning(); }
mesh::PipelineStatus RidgeforgeFlowDocument::PipelineStatus() const { return document_->pipeline.GetStatus(); }
const mesh::Projection* RidgeforgeFlowDocument::Mapping() const { return &std::as_const(*document_).projection; }
void RidgeforgeFlowDocument::SelectLayer(std::int32_t layer) { document_->SelectLayer(layer); }
bool RidgeforgeFlowDocument::HasTexture() const { return document_->HasTexture(); }
const mesh::HeightMap* RidgeforgeFlowDocument::Texture() const { return &std::as_const(*document_).texture; }
const mesh::procedural::ProceduralTexture* RidgeforgeFlowDocument::Procedural() const {
    return document_->proceduralTexture.get();
}
std::wstring RidgeforgeFlowDocument::PresetName() const { return document_->proceduralPresetName; }
std::wstring RidgeforgeFlowDocument::ImagePath() const { return document_->textureImagePath; }
// Rises with a new image and with every change of the texture settings
// handed to the pipeline: a change of the levels alone changes what the
// texture section shows.
std::uint32_t RidgeforgeFlowDocument::TextureRevision() const {
    return document_->shownTextureRevision + document_->textureHandOvers;
}
bool RidgeforgeFlowDocument::LoadHeightMap(const std::wstring& path) { return document_->LoadHeightMap(path); }
void RidgeforgeFlowDocument::ApplyProceduralTexture(std::unique_ptr<mesh::procedural::ProceduralTexture> texture,
                                                    const std::wstring& presetName) {
    document_->ApplyProceduralTexture(std::move(texture), presetName);
}
void RidgeforgeFlowDocument::ApplyTextureSettings(const mesh::TextureSettings& settings) {
    document_->ApplyTextureSettings(settings);
}
void RidgeforgeFlowDocument::Log(const CString& text, LogKind kind) { document_->Log(text, kind); }

namespace {

std::function<FlowDocument*()>& Source() {
    static std::function<FlowDocument*()> source;
    return source;
}

}  // namespace

FlowDocument* GetActiveFlowDocument() {
    if (Source()) return Source()();
    // One adapter, pointed at whichever document is active; the program
    // has one document for its whole run.
    static std::unique_ptr<RidgeforgeFlowDocument> adapter;
    CRidgeforgeDoc* document = GetActiveRidgeforgeDoc();
    if (document == nullptr) return nullptr;
    if (!adapter || &adapter->Document() != document) adapter = std::make_unique<RidgeforgeFlowDocument>(*document);
    return adapter.get();
}

void SetFlowDocumentSource(std::function<FlowDocument*()> source) { Source() = std::move(source); }

}  // namespace ridgeforge
