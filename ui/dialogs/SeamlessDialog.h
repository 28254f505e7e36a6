// "Seamless": chooses how an image texture is made to tile without visible
// joins. It lists the methods with the chosen one's description and up to
// four parameter rows, and previews the method on a reduced copy of the
// image: as loaded laid 2 x 2 on the left, after the method on the right,
// with a report line measured on the preview. Nothing changes while it is
// open; OK hands back the method name and its key=value parameter text.
#pragma once

#include <wx/dialog.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialogs/SeamlessPreview.h"
#include "textures/seamless/SeamlessMethod.h"

namespace ridgeforge {

class CMarkdownTextCtrl;
class CPreviewPicture;

class CSeamlessDialog : public wxDialog {
public:
    enum ControlId : int {
        kMethodList = 1116,
        kDescription = 1117,
        kBeforePreview = 1118,
        kAfterPreview = 1119,
        kReportLine = 1120,
        kFirstLabel = 1121,
        kFirstField = 1125,
        kFirstSlider = 1129,
        kFirstChoice = 1133,
    };
    static constexpr int kRows = 4;

    CSeamlessDialog(const std::vector<float>& pixels, int width, int height, wxWindow* parent);
    ~CSeamlessDialog() override;

    // In and out: set before ShowModal, read after OK; Cancel leaves them.
    std::string methodName = "Unchanged";
    std::string parameterText;

    int ShowModal() override;
    // Fills the dialog as ShowModal does first; tests call it to look at the
    // dialog shown modeless.
    void Open();

    const GreyImage& Preview() const { return preview_; }
    const mesh::seamless::Method* CurrentMethod() const { return method_.get(); }
    const CPreviewPicture& BeforePicture() const { return *before_; }
    const CPreviewPicture& AfterPicture() const { return *after_; }
    wxString ReportLine() const;

    // The handlers, callable as the controls call them.
    void OnMethodChanged();
    void TakeControls();
    void OnSliderMoved(int row);

private:
    void CreateControls();
    void SelectMethod(const std::string& name);
    void BuildRows();
    void ShowValues();
    void UpdatePreview();
    void OnOk(wxCommandEvent& event);

    GreyImage preview_;
    std::unique_ptr<mesh::seamless::Method> method_;
    CPreviewPicture* before_ = nullptr;
    CPreviewPicture* after_ = nullptr;
    CMarkdownTextCtrl* helpPane_ = nullptr;
    bool opened_ = false;
    bool closing_ = false;
};

}  // namespace ridgeforge
