// "Texture Settings": the image texture's size with its aspect lock, tiles,
// blur, auto levels, invert, the seamless status with "Seamless...", and the
// levels control. It edits a copy of the texture settings; the caller reads
// them back after OK, and opens the seamless dialog next when the user left
// through "Seamless..." (seamlessAsked).
#pragma once

#include <wx/dialog.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "textures/TextureSettings.h"

namespace ridgeforge {

class CLevelsControl;
class CMarkdownTextCtrl;

class CTextureSettingsDialog : public wxDialog {
public:
    enum ControlId : int {
        kSourceText = 1301,
        kWidthField = 1302,
        kHeightField = 1303,
        kLockBox = 1304,
        kTilesBox = 1306,
        kBlurField = 1307,
        kSeamlessText = 1308,
        kSeamlessButton = 1309,
        kAutoLevelsBox = 1310,
        kInvertBox = 1311,
        kLevelsPlaceholder = 1312,
    };

    explicit CTextureSettingsDialog(wxWindow* parent);

    // In (set before ShowModal) and, for settings and seamlessAsked, out.
    mesh::TextureSettings settings;
    wxString sourceName;
    // Pixel width / height of the image; 0 without one.
    float imageAspect = 0.0f;
    bool procedural = false;
    bool seamlessAvailable = false;
    bool seamlessAsked = false;
    std::vector<std::uint32_t> histogram = std::vector<std::uint32_t>(256, 0);
    float autoBlack = 0.0f;
    float autoWhite = 1.0f;
    // Shows a refusal of OK; a message box with the exclamation icon unless
    // replaced (tests record the text instead).
    std::function<void(const wxString&)> showRefusal;

    int ShowModal() override;
    // Fills the dialog as ShowModal does first; tests show it modeless.
    void Open();

    CLevelsControl& Levels() const { return *levels_; }
    float LockAspect() const { return lockAspect_; }

    // The handlers, callable as the controls call them.
    void OnAutoLevels();
    void OnLockAspect();
    void OnSeamless();
    // OK: false when a refusal was shown and the dialog stays open.
    bool TryOk();

private:
    void FillControls();
    void FillLevels();
    void OnOk(wxCommandEvent& event);

    CLevelsControl* levels_ = nullptr;
    CMarkdownTextCtrl* helpPane_ = nullptr;
    float lockAspect_ = 1.0f;
    bool opened_ = false;
};

}  // namespace ridgeforge
