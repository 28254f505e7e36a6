// "Remesh Input Mesh": asks the triangle size and the method before the
// document remeshes the part as loaded, with a line saying how many
// triangles that makes.
#pragma once

#include <wx/dialog.h>

#include "mesh/TriangleMesh.h"
#include "mesh/remesh/RemeshSettings.h"

namespace ridgeforge {

class CRemeshInputDialog : public wxDialog {
public:
    enum ControlId : int { kSizeField = 1340, kMethodList, kEstimateText };

    explicit CRemeshInputDialog(wxWindow* parent);

    // Set before ShowModal; after OK the settings hold the chosen method and size.
    mesh::RemeshSettings settings;
    const mesh::TriangleMesh* part = nullptr;
    // Process's triangle limit (0: none); Remesh is off while the estimate is over it.
    std::uint64_t triangleLimit = 0;

    int ShowModal() override;
    // Fills the controls; ShowModal does it first.
    void Open();
    void UpdateEstimate();
    wxString EstimateText() const;

private:
    void OnRemesh(wxCommandEvent& event);
    float TypedSize() const;

    bool opened_ = false;
};

}  // namespace ridgeforge
