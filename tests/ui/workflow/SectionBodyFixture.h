// What the Texture and Mapping section tests share: a document that also
// holds a projection and a texture (images load from disk, procedural
// textures are kept as handed over), a temporary home whose Documents
// folder holds the user's library, and a shown frame with one body in it.
#pragma once

#include <filesystem>
#include <memory>

#include "tests/ui/workflow/FlowFixture.h"
#include "text/TextCase.h"
#include "textures/HeightMapImage.h"

namespace ridgeforge::testing {

class SectionDocument : public FakeFlowDocument {
public:
    const mesh::Projection* Mapping() const override { return &projection; }
    void SelectLayer(std::int32_t layer) override {
        projection.activeLayer = layer;
        hints.push_back(ViewUpdateHint::PlacementChanged);
    }
    bool HasTexture() const override { return texture.width >= 1 && texture.height >= 1 && !texture.pixels.empty(); }
    const mesh::HeightMap* Texture() const override { return &texture; }
    const mesh::procedural::ProceduralTexture* Procedural() const override { return procedural.get(); }
    std::wstring PresetName() const override { return presetName; }
    std::wstring ImagePath() const override { return imagePath; }
    std::uint32_t TextureRevision() const override { return revision; }
    bool LoadHeightMap(const std::wstring& path) override {
        const std::filesystem::path file(path);
        mesh::HeightMapImage image = mesh::LoadHeightMapImage(file, mesh::SrgbDecoding::Never);
        if (!image.ok) return false;
        texture.SetImage(image.width, image.height, std::move(image.heights));
        texture.name = file.filename().string();
        imagePath = path;
        procedural.reset();
        presetName.clear();
        ++revision;
        return true;
    }
    void ApplyProceduralTexture(std::unique_ptr<mesh::procedural::ProceduralTexture> made,
                                const std::wstring& name) override {
        procedural = std::move(made);
        presetName = name;
        imagePath.clear();
        texture.SetImage(4, 4, std::vector<float>(16, 0.5f));
        texture.name = procedural->Name();
        ++revision;
    }
    void ApplyTextureSettings(const mesh::TextureSettings& settings) override {
        texture.SetSettings(settings);
        ++revision;
        ++settingsApplied;
    }
    void Log(const CString& text, LogKind kind) override { log.push_back({text, kind}); }

    std::vector<ViewUpdateHint> hints;
    mesh::HeightMap texture;
    std::unique_ptr<mesh::procedural::ProceduralTexture> procedural;
    std::wstring presetName;
    std::wstring imagePath;
    std::uint32_t revision = 0;
    int settingsApplied = 0;
    std::vector<std::pair<CString, LogKind>> log;
};

// A fresh home for the library, the fake document as the active one, and
// a frame to hold a body.
class SectionTest : public ::testing::Test {
protected:
    SectionTest() : home_("home") {
        environment_.Set("HOME", home_.Path().string());
        environment_.Set("XDG_CONFIG_HOME", (home_.Path() / "config").string());
        SetFlowDocumentSource([this]() -> FlowDocument* { return documentActive ? &document : nullptr; });
        frame = new RecordingFrame();
    }
    ~SectionTest() override {
        frame->Destroy();
        PumpEvents(20);
        SetFlowDocumentSource({});
    }

    std::filesystem::path Home() const { return home_.Path(); }
    std::filesystem::path UserRoot() const { return home_.Path() / "Documents" / "Ruvolta"; }

    template <class Body>
    Body* MakeBody(FlowStep step, const wxSize& size) {
        auto* body = new Body();
        EXPECT_TRUE(body->Create(frame, wxID_ANY, step));
        body->SetSize(0, 0, size.x, size.y);
        frame->SetClientSize(size);
        frame->Show();
        PumpUntil([this] { return frame->IsShownOnScreen(); });
        PumpEvents(80);
        return body;
    }

    SectionDocument document;
    bool documentActive = true;
    RecordingFrame* frame = nullptr;

private:
    test::ScopedEnvironment environment_;
    test::TempDir home_;
};

}  // namespace ridgeforge::testing
