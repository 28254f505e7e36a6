// A number field of the Relief section with three preset buttons beside it
// (the triangle size, the strength). A typed number is committed on Return
// or when the field loses the focus; Escape puts the document's value back
// into the field, which keeps the focus; a preset button applies its value.
// While the body refreshes its controls (its `refreshing` flag is set) the
// field hands nothing on. A refresh leaves the field alone only while it
// holds text typed and not yet committed: otherwise it shows the document's
// value even with the focus, so that a value the document took back (Undo)
// is not committed again when the field loses the focus.
#pragma once

#include <array>
#include <functional>

class wxButton;
class wxFont;
class wxKeyEvent;
class wxTextCtrl;
class wxWindow;

namespace ridgeforge {

class FlowDocument;

class PresetNumberField {
public:
    struct Actions {
        // The field's text is to be taken (or refused and shown again).
        std::function<void()> commit;
        // A preset button was pressed.
        std::function<void(float)> apply;
        // The active document's value, put back on Escape (nothing happens
        // to the field without an active document).
        std::function<float(const FlowDocument&)> documentValue;
        // Escape: after the value went back, the body refreshes itself.
        std::function<void()> escaped;
    };

    // Makes the field (id `editId`) and the buttons (ids `firstPresetId`
    // on) in `body`, which also gets the Return and Escape handling.
    void Create(wxWindow* body, int editId, int firstPresetId, const std::array<float, 3>& presets,
                const bool& refreshing, Actions actions);
    void SetFont(const wxFont& font);
    void Enable(bool enabled);
    // The field at `x`, `y`, the buttons to its right from `presetX` on.
    void Place(int x, int y, int width, int presetX, int presetWidth, int presetStep, int height);

    wxTextCtrl* Field() const { return edit_; }
    // Whether the field has the focus and holds text typed since the last
    // commit or restore: a refresh must not replace it.
    bool BeingTyped() const;
    wxButton* Preset(int index) const { return presets_[static_cast<std::size_t>(index)]; }

private:
    void OnCharHook(wxKeyEvent& event);
    void Commit();

    wxTextCtrl* edit_ = nullptr;
    std::array<wxButton*, 3> presets_{};
    const bool* refreshing_ = nullptr;
    bool restoring_ = false;
    bool typed_ = false;
    Actions actions_;
};

}  // namespace ridgeforge
