// The bodies of the Relief and Simplify sections. The relief body stacks
// the remesh body (triangle size, presets, the triangle estimate) over the
// displacement body (strength, direction with its diagram, keeping the bed
// face flat); the simplify body holds the two simplify modes.
//
// Every edit copies one settings record from the active document, changes
// one field and, only when the record differs, stores it and calls the
// document's OnSettingsChanged; then the body refreshes itself. Typed
// numbers are committed on Return or when the field loses the focus;
// Escape puts the document's value back.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ui/workflow/SectionBody.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxKeyEvent;
class wxTextCtrl;

namespace ridgeforge {

class CRemeshBody : public CSectionBody {
public:
    static constexpr std::array<float, 3> kPresets{0.1f, 0.15f, 0.2f};

    void SetDpi(unsigned dpi) override;
    int GetPreferredHeight() const override;
    void UpdateFromDocument(FlowDocument* document) override;
    void LayoutControls() override;
    wxString GetNotBuiltText() const override { return {}; }

    // Applies a triangle size (raised to 0.01 mm) to the active document.
    void ApplyTriangleSize(float size);
    // Takes the edit's text when it is a triangle size, else refreshes.
    void CommitTypedSize();

    wxTextCtrl* Edit() const { return edit_; }
    wxButton* Preset(int index) const { return presets_[static_cast<std::size_t>(index)]; }
    const std::wstring& EstimateLine() const { return estimate_; }
    bool Enabled() const { return enabled_; }
    // How many estimates were worked out (a refresh with nothing new adds none).
    long EstimateCount() const { return estimates_; }

protected:
    bool OnCreateBody() override;
    void PaintBody(wxDC& dc) override;

private:
    void OnCharHook(wxKeyEvent& event);

    wxTextCtrl* edit_ = nullptr;
    std::array<wxButton*, 3> presets_{};
    wxRect label_, unit_, estimateRect_;
    std::wstring estimate_;
    float cachedSize_ = -1.0f;
    std::uint32_t cachedCounter_ = 0;
    bool refreshing_ = false;
    bool enabled_ = true;
    long estimates_ = 0;
};

class CDisplacementBody : public CSectionBody {
public:
    static constexpr std::array<float, 3> kPresets{0.4f, 0.6f, 1.0f};

    void SetDpi(unsigned dpi) override;
    int GetPreferredHeight() const override;
    void UpdateFromDocument(FlowDocument* document) override;
    void LayoutControls() override;
    wxString GetNotBuiltText() const override { return {}; }

    void ApplyStrength(float strength);
    void CommitTypedStrength();
    void ApplyDirection(int direction);
    void ApplyKeepFlat(bool keepFlat);

    wxTextCtrl* Edit() const { return edit_; }
    wxChoice* Direction() const { return direction_; }
    wxCheckBox* KeepFlat() const { return keepFlat_; }
    wxButton* Preset(int index) const { return presets_[static_cast<std::size_t>(index)]; }
    const wxRect& DiagramArea() const { return diagram_; }
    bool Enabled() const { return enabled_; }

protected:
    bool OnCreateBody() override;
    void PaintBody(wxDC& dc) override;

private:
    void OnCharHook(wxKeyEvent& event);
    void PaintDiagram(wxDC& dc);

    wxTextCtrl* edit_ = nullptr;
    std::array<wxButton*, 3> presets_{};
    wxChoice* direction_ = nullptr;
    wxCheckBox* keepFlat_ = nullptr;
    wxRect strengthLabel_, unit_, directionLabel_, diagram_;
    float cachedStrength_ = -1.0f;
    int cachedDirection_ = -1;
    bool cachedEnabled_ = false;
    bool refreshing_ = false;
    bool enabled_ = true;
};

class CReliefBody : public CSectionBody {
public:
    void SetDpi(unsigned dpi) override;
    int GetPreferredHeight() const override;
    void UpdateFromDocument(FlowDocument* document) override;
    void LayoutControls() override;
    wxString GetNotBuiltText() const override { return {}; }

    CRemeshBody* Remesh() const { return remesh_; }
    CDisplacementBody* Displacement() const { return displacement_; }

protected:
    bool OnCreateBody() override;

private:
    CRemeshBody* remesh_ = nullptr;
    CDisplacementBody* displacement_ = nullptr;
};

class CSimplifyBody : public CSectionBody {
public:
    void SetDpi(unsigned dpi) override;
    int GetPreferredHeight() const override;
    void UpdateFromDocument(FlowDocument* document) override;
    void LayoutControls() override;

    // Stores both boxes' ticks as the two modes.
    void ApplyBoxes();

    wxCheckBox* FlatAreas() const { return flatAreas_; }
    wxCheckBox* WholeMesh() const { return wholeMesh_; }
    bool Enabled() const { return enabled_; }

protected:
    bool OnCreateBody() override;
    void PaintBody(wxDC& dc) override;

private:
    wxCheckBox* flatAreas_ = nullptr;
    wxCheckBox* wholeMesh_ = nullptr;
    bool refreshing_ = false;
    bool enabled_ = true;
};

}  // namespace ridgeforge
