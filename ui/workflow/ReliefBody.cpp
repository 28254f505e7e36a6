// The Relief section's body (the remesh body over the displacement body)
// and the Simplify section's body.
#include <wx/checkbox.h>
#include <wx/dcclient.h>

#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "ui/workflow/FlowDocument.h"
#include "ui/workflow/ReliefBodies.h"

namespace ridgeforge {

bool CReliefBody::OnCreateBody() {
    auto remesh = std::make_unique<CRemeshBody>();
    if (!remesh->Create(this, 1, FlowStep::Relief)) return false;
    remesh_ = remesh.release();
    auto displacement = std::make_unique<CDisplacementBody>();
    if (!displacement->Create(this, 2, FlowStep::Relief)) return false;
    displacement_ = displacement.release();
    remesh_->SetDpi(dpi_);
    displacement_->SetDpi(dpi_);
    return true;
}

void CReliefBody::SetDpi(unsigned dpi) {
    CSectionBody::SetDpi(dpi);
    if (remesh_ != nullptr) remesh_->SetDpi(dpi_);
    if (displacement_ != nullptr) displacement_->SetDpi(dpi_);
    LayoutControls();
}

int CReliefBody::GetPreferredHeight() const {
    if (remesh_ == nullptr || displacement_ == nullptr) return CSectionBody::GetPreferredHeight();
    return remesh_->GetPreferredHeight() + displacement_->GetPreferredHeight();
}

void CReliefBody::UpdateFromDocument(FlowDocument* document) {
    if (remesh_ != nullptr) remesh_->UpdateFromDocument(document);
    if (displacement_ != nullptr) displacement_->UpdateFromDocument(document);
}

void CReliefBody::LayoutControls() {
    if (remesh_ == nullptr || displacement_ == nullptr) return;
    const wxSize size = GetClientSize();
    const int top = remesh_->GetPreferredHeight();
    remesh_->SetSize(0, 0, size.x, top);
    displacement_->SetSize(0, top, size.x, std::max(0, size.y - top));
}

namespace {
constexpr int kFlatAreasId = 11;
constexpr int kWholeMeshId = 12;
}  // namespace

bool CSimplifyBody::OnCreateBody() {
    flatAreas_ = new wxCheckBox(this, kFlatAreasId, "Flat areas (exact, nothing moves)");
    wholeMesh_ = new wxCheckBox(this, kWholeMeshId, "Mesh simplify (detail level)");
    // No background colour of their own: on GTK 3 it also blanks the tick.
    for (wxCheckBox* box : {flatAreas_, wholeMesh_}) {
        box->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
            if (!refreshing_) ApplyBoxes();
        });
    }
    SetDpi(dpi_);
    return true;
}

void CSimplifyBody::SetDpi(unsigned dpi) {
    CSectionBody::SetDpi(dpi);
    for (wxCheckBox* box : {flatAreas_, wholeMesh_})
        if (box != nullptr) box->SetFont(ui::GetUiFont(ui::Normal, dpi_));
    LayoutControls();
}

int CSimplifyBody::GetPreferredHeight() const { return ui::ScaleDip(64, dpi_); }

void CSimplifyBody::LayoutControls() {
    if (flatAreas_ == nullptr) return;
    auto dip = [this](int size) { return ui::ScaleDip(size, dpi_); };
    const int width = std::max(0, GetClientSize().x - dip(16));
    flatAreas_->SetSize(dip(8), dip(8), CheckBoxWidth(*flatAreas_, width), dip(24));
    wholeMesh_->SetSize(dip(8), dip(32), CheckBoxWidth(*wholeMesh_, width), dip(24));
}

void CSimplifyBody::UpdateFromDocument(FlowDocument* document) {
    enabled_ = document != nullptr && document->HasPart() && document->SimplifyOn();
    if (flatAreas_->IsEnabled() != enabled_) {
        for (wxCheckBox* box : {flatAreas_, wholeMesh_}) {
            box->Enable(enabled_);
            box->SetForegroundColour(enabled_ ? flow_colours::kText : flow_colours::kSecondary);
        }
    }
    if (document == nullptr) return;
    refreshing_ = true;
    if (flatAreas_->GetValue() != document->Simplify().flatAreas) flatAreas_->SetValue(document->Simplify().flatAreas);
    if (wholeMesh_->GetValue() != document->Simplify().wholeMesh) wholeMesh_->SetValue(document->Simplify().wholeMesh);
    refreshing_ = false;
}

void CSimplifyBody::ApplyBoxes() {
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr) return;
    mesh::SimplifySettings settings = document->Simplify();
    settings.flatAreas = flatAreas_->GetValue();
    settings.wholeMesh = wholeMesh_->GetValue();
    if (!(settings == document->Simplify())) {
        document->SetSimplify(settings);
        document->OnSettingsChanged();
    }
    UpdateFromDocument(document);
}

void CSimplifyBody::PaintBody(wxDC& dc) { ui::FillRectExact(dc, wxRect(GetClientSize()), flow_colours::kBackground); }

}  // namespace ridgeforge
