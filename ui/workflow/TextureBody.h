// The Texture section's body: what the document's texture is (title,
// subtitle, a small grey preview, tiled 2 x 2 when the tile repeats), the
// toggles for tiling, auto levels and invert, the seam method of an image
// texture, and a browser with three tabs: the library's categories and
// images, the procedural textures and their presets, and the user's own
// images. A click on a thumbnail loads it into the document; a right click
// on one of the user's images takes it out of the user's list.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "textures/LibraryItems.h"
#include "textures/TextureLibrary.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/workflow/Pickers.h"
#include "ui/workflow/SectionBody.h"
#include "ui/workflow/TexturePreview.h"

class wxButton;
class wxChoice;

namespace ridgeforge {

class CTextureBody : public CSectionBody {
public:
    void SetDpi(unsigned dpi) override;
    int GetPreferredHeight() const override;
    void UpdateFromDocument(FlowDocument* document) override;
    void LayoutControls() override;
    wxString GetNotBuiltText() const override { return {}; }

    // New library folders: every cache is emptied and the lists rebuilt.
    void SetTextureLibrary(std::vector<LibraryRoot> roots);
    void SetTab(int tab);
    void RebuildCategories();
    void RebuildGrid();
    std::vector<ThumbnailItem> PresetItems(const wxString& textureName);
    std::vector<ThumbnailItem> CategoryItems(const wxString& category);
    std::vector<ThumbnailItem> CustomItems();
    ThumbnailItem ImageItem(const std::string& path, const wxString& caption, bool user);
    void LoadImageIntoDocument(const std::string& path);
    bool IsCustomImage(const std::string& path) const;

    void OnCategoryClick(int index);
    void OnGridClick(int index, bool right);
    // Loads the chosen file and, once it has loaded, adds it to the user's images.
    void LoadChosenImage(const std::string& path);
    void OnSeamMethodChanged();
    void OnEdit();
    void OnSeamlessSettings();

    CSegmented* Tabs() const { return tabs_; }
    CNameList* Categories() const { return list_; }
    CThumbnailGrid* Grid() const { return grid_; }
    wxButton* EditButton() const { return edit_; }
    wxButton* LoadButton() const { return load_; }
    CToolbarHostWnd* Toggles() const { return toggles_; }
    wxChoice* SeamMethod() const { return seamMethod_; }
    wxButton* SeamSettingsButton() const { return seamSettings_; }
    int CurrentTab() const { return tab_; }
    const wxString& Title() const { return title_; }
    const wxString& Subtitle() const { return subtitle_; }
    const PreviewImage& Preview() const { return preview_; }
    const wxRect& PreviewRect() const { return previewRect_; }
    const wxString& SelectedKey() const { return selectedKey_; }
    const std::vector<std::string>& CustomImages() const { return customImages_; }

protected:
    bool OnCreateBody() override;
    void PaintBody(wxDC& dc) override;

private:
    void ReloadCustomImages();

    CSegmented* tabs_ = nullptr;
    CNameList* list_ = nullptr;
    CThumbnailGrid* grid_ = nullptr;
    wxButton* edit_ = nullptr;
    wxButton* load_ = nullptr;
    CToolbarHostWnd* toggles_ = nullptr;
    wxChoice* seamMethod_ = nullptr;
    wxButton* seamSettings_ = nullptr;
    wxRect seamsLabel_;
    int tab_ = kProceduralTab;
    wxString chosenProcedural_;
    wxString chosenCategory_;
    std::map<wxString, std::vector<ThumbnailItem>> presetItems_;
    std::map<wxString, std::vector<ThumbnailItem>> categoryItems_;
    std::map<wxString, std::vector<TextureLibraryImage>> categoryImages_;
    std::vector<std::string> customImages_;
    std::map<wxString, ThumbnailItem> imageItems_;
    std::vector<LibraryRoot> roots_;
    wxRect previewRect_;
    PreviewImage preview_;
    wxString title_;
    wxString subtitle_;
    std::uint32_t shownRevision_ = 0;
    wxString previewKey_;
    bool revisionValid_ = false;
    wxString selectedKey_;
    bool hasTexture_ = false;
};

// The user's image list as it is shown: an entry equal to an earlier one
// ignoring case is left out, so that a key never stands for two files.
std::vector<std::string> DistinctIgnoringCase(const std::vector<std::string>& paths);

}  // namespace ridgeforge
