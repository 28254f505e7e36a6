// What the workflow column, its sections and the footer read and change of
// the document. The program's document (CRidgeforgeDoc) is reached through
// an adapter; tests hand in a document of their own.
//
// Settings records are replaced whole: a section copies one, changes a field
// and, only when the copy differs, stores it inside one Edit, which records
// one undo step and tells the views.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "document/DocumentEdit.h"
#include "document/DocumentHost.h"
#include "document/FlowStep.h"
#include "document/ViewUpdateHint.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/Projection.h"
#include "textures/procedural/ProceduralTexture.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "mesh/simplify/SimplifySettings.h"
#include "document/pipeline/AsyncPipeline.h"
#include "textures/HeightMap.h"

namespace ridgeforge {

class CRidgeforgeDoc;

class FlowDocument {
public:
    virtual ~FlowDocument() = default;

    // A part is loaded: the working part has vertices and triangle indices.
    virtual bool HasPart() const = 0;
    virtual const mesh::TriangleMesh& WorkingPart() const = 0;
    // Grows each time a new part is adopted; 0 in a new document.
    virtual std::uint32_t PartCounter() const = 0;

    // The stage switches.
    virtual bool RemeshOn() const = 0;
    virtual bool DisplacementOn() const = 0;
    virtual bool SimplifyOn() const = 0;

    virtual const mesh::RemeshSettings& Remesh() const = 0;
    virtual const mesh::DisplacementSettings& Displacement() const = 0;
    virtual const mesh::SimplifySettings& Simplify() const = 0;

    // The one way to change the document: `change` writes the fields it
    // changes, then the document records one undo step and tells the views.
    virtual void Edit(const std::function<void(DocumentEdit&)>& change) = 0;
    // Logs once that a current result became out of date.
    virtual void LogResultOutOfDate() = 0;

    virtual bool IsStepRunning(FlowStep step) const = 0;
    virtual bool IsStepOutOfDate(FlowStep step) const = 0;
    // The one-line processing status ("No part loaded", "Up to date", ...).
    virtual CString ProcessStatusText() const = 0;
    virtual bool CanProcess() const = 0;
    // From the start of a run until the idle poll has joined it.
    virtual bool PipelineRunning() const = 0;
    virtual mesh::PipelineStatus PipelineStatus() const = 0;

    // ---- The mapping and the texture (the Mapping and Texture sections).
    // The projection; null when the document has none.
    virtual const mesh::Projection* Mapping() const { return nullptr; }
    // The layer the texture handles move (-1 every layer in use); not a
    // setting, so no undo step.
    virtual void SelectLayer(std::int32_t) {}
    // A texture of at least 1 x 1 pixels with an image.
    virtual bool HasTexture() const { return false; }
    virtual const mesh::HeightMap* Texture() const { return nullptr; }
    // Null for an image texture.
    virtual const mesh::procedural::ProceduralTexture* Procedural() const { return nullptr; }
    // Empty after the procedural texture's settings were edited.
    virtual std::wstring PresetName() const { return {}; }
    virtual std::wstring ImagePath() const { return {}; }
    // Changes with every change of the texture or its settings.
    virtual std::uint32_t TextureRevision() const { return 0; }
    virtual bool LoadHeightMap(const std::wstring&) { return false; }
    virtual void ApplyProceduralTexture(std::unique_ptr<mesh::procedural::ProceduralTexture>, const std::wstring&) {}
    virtual void ApplyTextureSettings(const mesh::TextureSettings&) {}
    // A line for the program's log.
    virtual void Log(const CString&, LogKind) {}
};

// The program's document as a FlowDocument.
class RidgeforgeFlowDocument final : public FlowDocument {
public:
    explicit RidgeforgeFlowDocument(CRidgeforgeDoc& document) : document_(&document) {}
    CRidgeforgeDoc& Document() const { return *document_; }

    bool HasPart() const override;
    const mesh::TriangleMesh& WorkingPart() const override;
    std::uint32_t PartCounter() const override;
    bool RemeshOn() const override;
    bool DisplacementOn() const override;
    bool SimplifyOn() const override;
    const mesh::RemeshSettings& Remesh() const override;
    const mesh::DisplacementSettings& Displacement() const override;
    const mesh::SimplifySettings& Simplify() const override;
    void Edit(const std::function<void(DocumentEdit&)>& change) override;
    void LogResultOutOfDate() override;
    bool IsStepRunning(FlowStep step) const override;
    bool IsStepOutOfDate(FlowStep step) const override;
    CString ProcessStatusText() const override;
    bool CanProcess() const override;
    bool PipelineRunning() const override;
    mesh::PipelineStatus PipelineStatus() const override;
    const mesh::Projection* Mapping() const override;
    void SelectLayer(std::int32_t layer) override;
    bool HasTexture() const override;
    const mesh::HeightMap* Texture() const override;
    const mesh::procedural::ProceduralTexture* Procedural() const override;
    std::wstring PresetName() const override;
    std::wstring ImagePath() const override;
    std::uint32_t TextureRevision() const override;
    bool LoadHeightMap(const std::wstring& path) override;
    void ApplyProceduralTexture(std::unique_ptr<mesh::procedural::ProceduralTexture> texture,
                                const std::wstring& presetName) override;
    void ApplyTextureSettings(const mesh::TextureSettings& settings) override;
    void Log(const CString& text, LogKind kind) override;

private:
    CRidgeforgeDoc* document_;
};

// The document the workflow shows and edits: the main window's active
// document, or null when there is none.
FlowDocument* GetActiveFlowDocument();

// Replaces where the active document comes from (a test's own document);
// an empty source goes back to the main window's.
void SetFlowDocumentSource(std::function<FlowDocument*()> source);

}  // namespace ridgeforge
