// "Relief and Simplify Settings": the triangle size the relief is built on,
// its strength, direction and midlevel, the bed face, the triangle and
// display limits, and the simplify tolerances. The view opens it on one of
// two pages, each showing one band of the template: page 1 "Relief
// Settings", page 2 "Simplify Settings". It edits copies of the document's
// records; the caller writes back what changed after OK.
#pragma once

#include <wx/dialog.h>

#include <cstdint>

#include "mesh/TriangleMesh.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "mesh/simplify/SimplifySettings.h"
#include "textures/HeightMap.h"

class wxStaticText;

namespace ridgeforge {

class CMarkdownTextCtrl;

class CRemeshSettingsDialog : public wxDialog {
public:
    enum ControlId : int {
        kSizeField = 1300,
        kStrengthField,
        kDirectionList,
        kMidLevelField,
        kAutomaticMidLevel,
        kKeepBedFlat,
        kMidLevelText,
        kTriangleLimitField,
        kDisplayLimitField,
        kEstimateText,
        kPlanarToleranceField,
        kDetailField,
        kExtraHighButton,
        kHighButton,
        kMediumButton,
        kLowButton,
    };

    explicit CRemeshSettingsDialog(wxWindow* parent);

    // Set before ShowModal (or Open) and read after OK.
    int page = 1;
    mesh::RemeshSettings remesh;
    std::uint64_t triangleLimit = 20000000;
    std::uint64_t displayLimit = 0;
    mesh::DisplacementSettings displacement;
    mesh::SimplifySettings simplify;
    const mesh::TriangleMesh* part = nullptr;
    const mesh::HeightMap* heightMap = nullptr;

    int ShowModal() override;
    // What ShowModal does before it runs the dialog: fills the controls,
    // shows the page and adds the help column. Tests call it to look at the
    // dialog without running it modally.
    void Open();

    // The estimate and the midlevel explanation as they read, unwrapped.
    wxString EstimateText() const;
    wxString MidLevelText() const;

    void UpdateEstimate();
    void UpdateZeroLevelText();
    void ReadControls();

private:
    void CreateControls();
    void FillControls();
    void ShowPage();
    mesh::DisplacementDirection ShownDirection() const;
    void OnOk(wxCommandEvent& event);

    float manualMidLevel_ = 0.5f;
    bool opened_ = false;
    CMarkdownTextCtrl* helpPane_ = nullptr;
};

}  // namespace ridgeforge
