#include "ui/workflow/FlowDocument.h"

#include <memory>

#include "ui/app/ShellDocument.h"
#include "document/RidgeforgeDoc.h"

namespace ridgeforge {

bool RidgeforgeFlowDocument::HasPart() const { return document_->HasPart(); }
const mesh::TriangleMesh& RidgeforgeFlowDocument::WorkingPart() const { return document_->workingPart; }
std::uint32_t RidgeforgeFlowDocument::PartCounter() const { return document_->meshSerial; }
bool RidgeforgeFlowDocument::RemeshOn() const { return document_->remeshEnabled; }
bool RidgeforgeFlowDocument::DisplacementOn() const { return document_->displacementEnabled; }
bool RidgeforgeFlowDocument::SimplifyOn() const { return document_->simplifyEnabled; }
void RidgeforgeFlowDocument::SetRemeshOn(bool on) { document_->remeshEnabled = on; }
void RidgeforgeFlowDocument::SetDisplacementOn(bool on) { document_->displacementEnabled = on; }
void RidgeforgeFlowDocument::SetSimplifyOn(bool on) { document_->simplifyEnabled = on; }
const mesh::RemeshSettings& RidgeforgeFlowDocument::Remesh() const { return document_->remeshSettings; }
const mesh::DisplacementSettings& RidgeforgeFlowDocument::Displacement() const {
    return document_->displacementSettings;
}
const mesh::SimplifySettings& RidgeforgeFlowDocument::Simplify() const { return document_->simplifySettings; }
void RidgeforgeFlowDocument::SetRemesh(const mesh::RemeshSettings& settings) { document_->remeshSettings = settings; }
void RidgeforgeFlowDocument::SetDisplacement(const mesh::DisplacementSettings& settings) {
    document_->displacementSettings = settings;
}
void RidgeforgeFlowDocument::SetSimplify(const mesh::SimplifySettings& settings) {
    document_->simplifySettings = settings;
}
void RidgeforgeFlowDocument::OnSettingsChanged() { document_->OnSettingsChanged(); }
void RidgeforgeFlowDocument::LogResultOutOfDate() { document_->LogResultOutOfDate(); }
bool RidgeforgeFlowDocument::IsStepRunning(FlowStep step) const { return document_->IsStepRunning(step); }
bool RidgeforgeFlowDocument::IsStepOutOfDate(FlowStep step) const { return document_->IsStepOutOfDate(step); }
CString RidgeforgeFlowDocument::ProcessStatusText() const { return document_->ProcessStatusText(); }
bool RidgeforgeFlowDocument::CanProcess() const { return document_->CanProcess(); }
bool RidgeforgeFlowDocument::PipelineRunning() const { return document_->pipeline.IsRunning(); }
mesh::PipelineStatus RidgeforgeFlowDocument::PipelineStatus() const { return document_->pipeline.GetStatus(); }
mesh::Projection* RidgeforgeFlowDocument::Mapping() { return &document_->projection; }
void RidgeforgeFlowDocument::UpdateViews(ViewUpdateHint hint) { document_->UpdateAllViews(nullptr, hint); }
bool RidgeforgeFlowDocument::HasTexture() const { return document_->HasTexture(); }
const mesh::HeightMap* RidgeforgeFlowDocument::Texture() const { return &document_->texture; }
const mesh::procedural::ProceduralTexture* RidgeforgeFlowDocument::Procedural() const {
    return document_->proceduralTexture.get();
}
std::wstring RidgeforgeFlowDocument::PresetName() const { return document_->proceduralPresetName; }
std::wstring RidgeforgeFlowDocument::ImagePath() const { return document_->textureImagePath; }
std::uint32_t RidgeforgeFlowDocument::TextureRevision() const { return document_->shownTextureRevision; }
bool RidgeforgeFlowDocument::LoadHeightMap(const std::wstring& path) { return document_->LoadHeightMap(path); }
void RidgeforgeFlowDocument::ApplyProceduralTexture(std::unique_ptr<mesh::procedural::ProceduralTexture> texture,
                                                    const std::wstring& presetName) {
    document_->ApplyProceduralTexture(std::move(texture), presetName);
}
void RidgeforgeFlowDocument::ApplyTextureSettings(const mesh::TextureSettings& settings) {
    document_->ApplyTextureSettings(settings);
}

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
