#include "ui/workflow/TextureBody.h"

#include <algorithm>
#include <filesystem>

#include <wx/busyinfo.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include "textures/procedural/TextureRegistry.h"
#include "textures/seamless/SeamlessMethod.h"
#include "ui/framework/Commands.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "text/TextCase.h"
#include "textures/GreyBmp.h"
#include "textures/Presets.h"
#include "textures/ThumbnailCache.h"
#include "text/PathText.h"
#include "text/Utf8.h"
#include "ui/workflow/FlowDocument.h"

namespace ridgeforge {
namespace {

constexpr CommandId kEditProcedural = 32881;
constexpr CommandId kSeamlessSettings = 32882;

const char* const kLibraryEmpty =
    "No texture library yet. Images go in folders under textures/ beside the program or in Documents/Ruvolta.";

std::string Utf8(const wxString& text) { return text.ToStdString(wxConvUTF8); }

std::vector<std::uint32_t> GreyToPixels(const std::vector<std::uint8_t>& grey) {
    std::vector<std::uint32_t> pixels;
    pixels.reserve(grey.size());
    for (const std::uint8_t v : grey) pixels.push_back(GreyPixel(v));
    return pixels;
}

void SendToMainWindow(wxWindow* window, CommandId id) {
    if (auto* frame = wxGetTopLevelParent(window)) ui::SendCommand(frame, id);
}

}  // namespace

// The list of the user's own images lives on disk only: a change that was
// not saved is gone after a restart, so the log says so, with the reason.
void LogCustomImagesNotSaved(const std::string& reason) {
    if (FlowDocument* document = GetActiveFlowDocument()) {
        document->Log(L"The list of your own images could not be saved: " + wxString::FromUTF8(reason).ToStdWstring(),
                      LogKind::Error);
    }
}

std::vector<std::string> DistinctIgnoringCase(const std::vector<std::string>& paths) {
    std::vector<std::string> distinct;
    for (const std::string& path : paths) {
        const bool seen = std::any_of(distinct.begin(), distinct.end(),
                                      [&path](const std::string& other) { return EqualsIgnoringCase(other, path); });
        if (!seen) distinct.push_back(path);
    }
    return distinct;
}

bool CTextureBody::OnCreateBody() {
    roots_ = LibraryRoots();
    tabs_ = new CSegmented();
    if (!tabs_->Create(this, 1, dpi_)) return false;
    tabs_->SetItems({"Textures", "Procedural", "Custom"});
    tabs_->SetSelected(tab_);
    tabs_->SetChangeCallback([this](int tab) { SetTab(tab); });
    list_ = new CNameList();
    if (!list_->Create(this, 2, dpi_)) return false;
    list_->SetClickCallback([this](int row) { OnCategoryClick(row); });
    grid_ = new CThumbnailGrid();
    if (!grid_->Create(this, 3, dpi_)) return false;
    grid_->SetClickCallback([this](int index, bool right) { OnGridClick(index, right); });
    edit_ = new wxButton(this, 4, "Edit...");
    edit_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnEdit(); });
    load_ = new wxButton(this, 5, "Load...");
    load_->Hide();
    load_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        wxFileDialog dialog(this, "Load Texture Image", {}, {},
                            "Images (*.png;*.tif;*.tiff;*.bmp;*.jpg;*.jpeg)|*.png;*.tif;*.tiff;*.bmp;*.jpg;*.jpeg|"
                            "PNG (*.png)|*.png|TIFF (*.tif;*.tiff)|*.tif;*.tiff|BMP (*.bmp)|*.bmp|"
                            "JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|All Files (*.*)|*.*",
                            wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (dialog.ShowModal() == wxID_OK) LoadChosenImage(Utf8FromWide(dialog.GetPath().ToStdWstring()));
    });
    seamMethod_ = new wxChoice(this, 7);
    for (const std::string& name : mesh::seamless::MethodNames()) seamMethod_->Append(wxString::FromUTF8(name));
    seamMethod_->SetSelection(0);
    seamMethod_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnSeamMethodChanged(); });
    seamSettings_ = new wxButton(this, 8, "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    seamSettings_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSeamlessSettings(); });
    toggles_ = CreateCompactStrip(
        this, 6, false,
        {MakeToolbarButton(
             32894, "tool_tilling", "Repeat the tile",
             "On: the tile repeats across the part at its size. Off: one tile is laid over the whole part."),
         MakeToolbarButton(32895, "tool_autolevel", "Auto levels",
                           "The black and white points from the image itself, so the strength is the whole relief."),
         MakeToolbarButton(32825, "tool_invert", "Invert", "High becomes low: a negative relief.")});
    if (toggles_ == nullptr) return false;
    for (wxWindow* control : std::initializer_list<wxWindow*>{edit_, load_, seamMethod_, seamSettings_})
        control->SetFont(ui::GetUiFont(ui::Normal, dpi_));
    edit_->Disable();
    seamMethod_->Disable();
    seamSettings_->Disable();
    title_ = "No texture";
    subtitle_ = "Choose one below, or load an image.";
    ReloadCustomImages();
    RebuildCategories();
    SetTab(tab_);
    return true;
}

void CTextureBody::ReloadCustomImages() { customImages_ = DistinctIgnoringCase(LoadCustomImages(roots_)); }

void CTextureBody::SetTextureLibrary(std::vector<LibraryRoot> roots) {
    roots_ = std::move(roots);
    presetItems_.clear();
    categoryItems_.clear();
    categoryImages_.clear();
    imageItems_.clear();
    ReloadCustomImages();
    RebuildCategories();
    RebuildGrid();
}

void CTextureBody::SetTab(int tab) {
    tab_ = tab;
    if (tabs_ != nullptr && tab >= 0 && tab < 3 && tab != tabs_->Selected()) tabs_->SetSelected(tab);
    RebuildCategories();
    RebuildGrid();
    LayoutControls();
}

void CTextureBody::RebuildCategories() {
    if (list_ == nullptr) return;
    std::vector<wxString> names;
    if (tab_ == kTexturesTab) {
        for (const std::string& name : ListTextureFolders(roots_, "textures"))
            names.push_back(wxString::FromUTF8(name));
        const bool present = std::find(names.begin(), names.end(), chosenCategory_) != names.end();
        if (!present) chosenCategory_ = names.empty() ? wxString() : names.front();
        list_->SetNames(std::move(names));
        list_->SetSelection(list_->FindName(chosenCategory_));
    } else if (tab_ == kProceduralTab) {
        std::vector<std::string> utf8 = mesh::procedural::TextureNames();
        std::stable_sort(utf8.begin(), utf8.end(), LessIgnoringCase);
        for (const std::string& name : utf8) names.push_back(wxString::FromUTF8(name));
        if (chosenProcedural_.empty() && !names.empty()) chosenProcedural_ = names.front();
        list_->SetNames(std::move(names));
        list_->SetSelection(list_->FindName(chosenProcedural_));
    }
}

void CTextureBody::RebuildGrid() {
    if (grid_ == nullptr) return;
    if (tab_ == kTexturesTab) {
        grid_->SetColumns(2);
        grid_->SetEmptyText(chosenCategory_.empty() ? kLibraryEmpty : "No images in this category.");
        grid_->SetItems(chosenCategory_.empty() ? std::vector<ThumbnailItem>{} : CategoryItems(chosenCategory_));
    } else if (tab_ == kProceduralTab) {
        grid_->SetColumns(2);
        grid_->SetEmptyText("No presets for this texture.");
        grid_->SetItems(chosenProcedural_.empty() ? std::vector<ThumbnailItem>{} : PresetItems(chosenProcedural_));
    } else {
        grid_->SetColumns(4);
        grid_->SetEmptyText("Your own images: Load... adds one here and uses it. A right-click takes one out.");
        grid_->SetItems(CustomItems());
    }
    if (grid_->SelectedKey() != selectedKey_) grid_->SetSelectedKey(selectedKey_);
}

ThumbnailItem CTextureBody::ImageItem(const std::string& path, const wxString& caption, bool user) {
    const wxString key = ImageKey(path);
    const auto found = imageItems_.find(key);
    if (found != imageItems_.end()) return found->second;
    ThumbnailItem item{key, caption, {}, 0, user};
    std::vector<std::uint8_t> grey;
    std::int32_t side = 0;
    if (GetThumbnail(roots_, PathFromUtf8(path), grey, side)) {
        item.pixels = GreyToPixels(grey);
        item.side = side;
    }
    imageItems_.emplace(key, item);
    return item;
}

std::vector<ThumbnailItem> CTextureBody::CategoryItems(const wxString& category) {
    const auto found = categoryItems_.find(category);
    if (found != categoryItems_.end()) return found->second;
    std::vector<TextureLibraryImage> images = ListLibraryImages(roots_, Utf8(category));
    std::vector<ThumbnailItem> items;
    items.reserve(images.size());
    for (const TextureLibraryImage& image : images)
        items.push_back(
            ImageItem(Utf8FromPath(image.path), wxString(WideFromUtf8(image.name)), image.origin == ItemOrigin::User));
    categoryImages_[category] = std::move(images);
    categoryItems_[category] = items;
    return items;
}

std::vector<ThumbnailItem> CTextureBody::CustomItems() {
    std::vector<ThumbnailItem> items;
    for (const std::string& path : customImages_)
        items.push_back(ImageItem(path, wxString(WideFromPath(PathFromUtf8(path).stem())), true));
    return items;
}

std::vector<ThumbnailItem> CTextureBody::PresetItems(const wxString& textureName) {
    const auto found = presetItems_.find(textureName);
    if (found != presetItems_.end()) return found->second;
    std::vector<ThumbnailItem> items;
    for (const PresetEntry& preset : ListPresets(roots_, Utf8(textureName))) {
        const wxString name = wxString::FromUTF8(preset.name);
        ThumbnailItem item{PresetKey(textureName, name), name, {}, 0, preset.origin == ItemOrigin::User};
        std::vector<std::uint8_t> grey;
        std::int32_t width = 0, height = 0;
        if (!preset.thumbnailPath.empty() && ReadGreyBmp(preset.thumbnailPath, grey, width, height) &&
            width == height) {
            item.pixels = GreyToPixels(grey);
            item.side = width;
        } else if (auto texture = mesh::procedural::CreateTexture(Utf8(textureName))) {
            if (LoadPreset(preset.presetPath, *texture)) {
                item.pixels = GreyToPixels(RenderThumbnail(*texture));
                item.side = kPresetThumbnailSize;
            }
        }
        items.push_back(std::move(item));
    }
    std::stable_sort(items.begin(), items.end(), [](const ThumbnailItem& a, const ThumbnailItem& b) {
        if (a.user != b.user) return !a.user;
        return CompareIgnoreCase(Utf8(a.caption), Utf8(b.caption)) < 0;
    });
    presetItems_[textureName] = items;
    return items;
}

bool CTextureBody::IsCustomImage(const std::string& path) const {
    return std::any_of(customImages_.begin(), customImages_.end(),
                       [&path](const std::string& image) { return EqualsIgnoringCase(image, path); });
}

void CTextureBody::LoadImageIntoDocument(const std::string& path) {
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr) return;
    document->LoadHeightMap(WideFromUtf8(path));
    UpdateFromDocument(document);
}

void CTextureBody::OnCategoryClick(int index) {
    const std::vector<wxString>& names = list_->Names();
    if (index < 0 || index >= static_cast<int>(names.size())) return;
    const wxString name = names[static_cast<std::size_t>(index)];
    if (tab_ == kTexturesTab)
        chosenCategory_ = name;
    else if (tab_ == kProceduralTab)
        chosenProcedural_ = name;
    else
        return;
    list_->SetSelection(list_->FindName(name));
    RebuildGrid();
}

void CTextureBody::OnGridClick(int index, bool right) {
    const std::vector<ThumbnailItem>& items = grid_->Items();
    if (index < 0 || index >= static_cast<int>(items.size())) return;
    const ThumbnailItem item = items[static_cast<std::size_t>(index)];
    if (right) {
        if (tab_ != kCustomTab) return;
        std::vector<std::string> images = LoadCustomImages(roots_);
        const std::string key = Utf8FromWide(item.key.ToStdWstring());
        const auto removed = std::remove_if(images.begin(), images.end(),
                                            [&key](const std::string& path) { return EqualsIgnoringCase(path, key); });
        if (removed != images.end()) {
            images.erase(removed, images.end());
            if (std::string reason; !SaveCustomImages(roots_, images, &reason)) LogCustomImagesNotSaved(reason);
        }
        ReloadCustomImages();
        RebuildGrid();
        return;
    }
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr) return;
    if (tab_ == kProceduralTab) {
        auto texture = mesh::procedural::CreateTexture(Utf8(chosenProcedural_));
        if (!texture) return;
        const std::filesystem::path file = ResolveLibraryItem(roots_, PresetCategory(texture->Name()),
                                                              PresetBaseName(Utf8(item.caption)) + ".rgpreset");
        if (file.empty() || !LoadPreset(file, *texture)) return;
        document->ApplyProceduralTexture(std::move(texture), item.caption.ToStdWstring());
        UpdateFromDocument(document);
    } else if (tab_ == kTexturesTab) {
        CategoryItems(chosenCategory_);
        for (const TextureLibraryImage& image : categoryImages_[chosenCategory_])
            if (ImageKey(Utf8FromPath(image.path)) == item.key) return LoadImageIntoDocument(Utf8FromPath(image.path));
    } else {
        for (const std::string& path : customImages_)
            if (ImageKey(path) == item.key) return LoadImageIntoDocument(path);
    }
}

void CTextureBody::LoadChosenImage(const std::string& path) {
    // Only an image that loaded joins the user's list: one that did not
    // would stay there as a blank thumbnail (the document has said why).
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr || !document->LoadHeightMap(WideFromUtf8(path))) {
        UpdateFromDocument(document);
        return;
    }
    if (std::string reason; !AddCustomImage(roots_, path, &reason)) LogCustomImagesNotSaved(reason);
    ReloadCustomImages();
    if (tab_ == kCustomTab) RebuildGrid();
    UpdateFromDocument(document);
}

void CTextureBody::OnSeamMethodChanged() {
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr || !document->HasTexture() || document->Texture() == nullptr) return;
    const std::vector<std::string> names = mesh::seamless::MethodNames();
    const int selection = seamMethod_->GetSelection();
    if (selection < 0 || selection >= static_cast<int>(names.size())) return;
    mesh::TextureSettings settings = document->Texture()->settings;
    if (names[static_cast<std::size_t>(selection)] == settings.seamlessMethod) return;
    settings.seamlessMethod = names[static_cast<std::size_t>(selection)];
    settings.seamlessParameters.clear();
    {
        wxBusyCursor wait;
        document->ApplyTextureSettings(settings);
    }
    UpdateFromDocument(document);
}

void CTextureBody::OnEdit() {
    SendToMainWindow(this, kEditProcedural);
    presetItems_.clear();
    if (tab_ == kProceduralTab) RebuildGrid();
    UpdateFromDocument(GetActiveFlowDocument());
}

void CTextureBody::OnSeamlessSettings() {
    SendToMainWindow(this, kSeamlessSettings);
    UpdateFromDocument(GetActiveFlowDocument());
}

void CTextureBody::UpdateFromDocument(FlowDocument* document) {
    if (grid_ == nullptr) return;
    const mesh::HeightMap* map = document != nullptr ? document->Texture() : nullptr;
    const bool hasTexture = document != nullptr && document->HasTexture() && map != nullptr;
    const std::uint32_t revision = document != nullptr ? document->TextureRevision() : 0;
    const mesh::procedural::ProceduralTexture* procedural = hasTexture ? document->Procedural() : nullptr;

    TextureStatus status = NoTextureStatus();
    if (hasTexture && procedural != nullptr) {
        status = ProceduralStatus(procedural->Name(), document->PresetName());
    } else if (hasTexture) {
        const std::string path = Utf8FromWide(document->ImagePath());
        status = ImageStatus(map->name, document->ImagePath(), !path.empty() && IsCustomImage(path));
    }
    if (status.targetTab < 0) status.targetTab = tab_;

    const bool changed =
        status.title != title_ || status.subtitle != subtitle_ || revision != shownRevision_ || !revisionValid_;
    title_ = status.title;
    subtitle_ = status.subtitle;
    hasTexture_ = hasTexture;

    if (status.key != selectedKey_) {
        selectedKey_ = status.key;
        grid_->SetSelectedKey(selectedKey_);
        if (hasTexture) {
            bool choiceChanged = false;
            wxString& chosen = status.targetTab == kProceduralTab ? chosenProcedural_ : chosenCategory_;
            if ((status.targetTab == kProceduralTab || status.targetTab == kTexturesTab) &&
                !status.selectName.empty() && !EqualsIgnoringCase(Utf8(status.selectName), Utf8(chosen))) {
                chosen = status.selectName;
                choiceChanged = true;
            }
            if (status.targetTab == tab_) {
                if (choiceChanged) {
                    RebuildCategories();
                    RebuildGrid();
                }
            } else {
                SetTab(status.targetTab);
            }
        }
    }

    const bool tiles = hasTexture && map->settings.tiles;
    edit_->Enable(hasTexture && procedural != nullptr);
    const bool image = hasTexture && procedural == nullptr;
    const std::string method = hasTexture ? map->settings.seamlessMethod : std::string();
    const std::vector<std::string> names = mesh::seamless::MethodNames();
    int index = 0;
    for (int i = 0; i < static_cast<int>(names.size()); ++i)
        if (names[static_cast<std::size_t>(i)] == method) index = i;
    if (seamMethod_->GetSelection() != index) seamMethod_->SetSelection(index);
    seamMethod_->Enable(image && tiles);
    seamSettings_->Enable(image && tiles);
    toggles_->UpdateButtonStates();

    const wxString previewKey = wxString::FromUTF8(
        method + "|" + (hasTexture ? map->settings.seamlessParameters : std::string()) + (tiles ? "|tiles" : "|once"));
    if (!changed && previewKey == previewKey_) return;
    previewKey_ = previewKey;
    preview_ = {};
    if (hasTexture && procedural != nullptr) {
        preview_ = RenderedPreview(RenderThumbnail(*procedural), *map);
        if (title_ != chosenProcedural_) {
            chosenProcedural_ = title_;
            if (tab_ == kProceduralTab) {
                list_->SetSelection(list_->FindName(chosenProcedural_));
                RebuildGrid();
            }
        }
    } else if (hasTexture) {
        preview_ = ImagePreview(*map);
    }
    if (tiles && !preview_.Empty()) preview_ = TilePreview(preview_, method == "Mirror");
    shownRevision_ = revision;
    revisionValid_ = true;
    Refresh();
}

void CTextureBody::LayoutControls() {
    // Creation lays the body out again once the toggle strip, its last control, exists.
    if (grid_ == nullptr || toggles_ == nullptr) return;
    const auto d = [this](int dip) { return ui::ScaleDip(dip, dpi_); };
    const wxSize c = GetClientSize();
    const int m = d(8), g = d(6);
    // Before the column has its width the body is zero wide; a negative size
    // is refused by the toolkit with a warning.
    const int width = std::max(c.x - 2 * m, 0);
    const int y0 = m;
    previewRect_ = wxRect(c.x - m - d(110), y0, d(110), d(110));
    toggles_->SetSize(previewRect_.x, previewRect_.GetBottom() + 1 + g, d(110), d(40));
    edit_->SetSize(m, y0 + d(156) - d(24), d(80), d(24));
    const int y1 = y0 + d(156) + g;
    seamsLabel_ = wxRect(m, y1, d(44), d(24));
    const int methodLeft = seamsLabel_.GetRight() + 1;
    seamMethod_->SetSize(methodLeft, y1, std::max(0, c.x - d(28) - m - methodLeft - g), d(24));
    seamSettings_->SetSize(c.x - d(28) - m, y1, d(28), d(24));
    tabs_->SetSize(m, y1 + d(24) + g, width, d(24));
    const int y2 = y1 + d(24) + g + d(24) + g;
    if (tab_ == kCustomTab) {
        list_->Hide();
        const int gridHeight = d(186) - g - d(24);
        grid_->SetSize(m, y2, width, gridHeight);
        load_->SetSize(m, y2 + gridHeight + g, d(80), d(24));
        load_->Show();
    } else {
        const int listWidth = std::max(d(64), width / 3);
        list_->SetSize(m, y2, listWidth, d(186));
        list_->Show();
        grid_->SetSize(m + listWidth + g, y2, std::max(0, width - listWidth - g), d(186));
        load_->Hide();
    }
    Refresh();
}

int CTextureBody::GetPreferredHeight() const {
    int height = 0;
    for (const int dip : {8, 156, 6, 24, 6, 24, 6, 186, 8}) height += ui::ScaleDip(dip, dpi_);
    return height;
}

void CTextureBody::SetDpi(unsigned dpi) {
    CSectionBody::SetDpi(dpi);
    if (grid_ == nullptr) return;
    tabs_->SetDpi(dpi_);
    list_->SetDpi(dpi_);
    grid_->SetDpi(dpi_);
    toggles_->SetDpi(dpi_);
    for (wxWindow* control : std::initializer_list<wxWindow*>{edit_, load_, seamMethod_, seamSettings_})
        control->SetFont(ui::GetUiFont(ui::Normal, dpi_));
    LayoutControls();
}

void CTextureBody::PaintBody(wxDC& dc) {
    const wxSize c = GetClientSize();
    ui::FillRectExact(dc, wxRect(c), flow_colours::kBackground);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    ui::FillRectExact(dc, previewRect_, wxColour(255, 255, 255));
    if (preview_.Empty()) {
        dc.SetFont(ui::GetUiFont(ui::Small, dpi_));
        dc.SetTextForeground(flow_colours::kSecondary);
        ui::DrawEllipsisText(dc, "No texture", previewRect_, wxALIGN_CENTER_HORIZONTAL | wxALIGN_CENTER_VERTICAL);
    } else {
        DrawThumbnailPixels(dc, LetterboxRect(wxRect(previewRect_).Deflate(1), preview_.width, preview_.height),
                            preview_.pixels, preview_.width, preview_.height, 0);
    }
    dc.SetPen(wxPen(flow_colours::kFrame));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(previewRect_);

    const auto d = [this](int dip) { return ui::ScaleDip(dip, dpi_); };
    const int left = d(8);
    const int right = previewRect_.x - d(6);
    const int textWidth = std::max(0, right - left);
    dc.SetFont(ui::GetUiFont(ui::Title, dpi_));
    dc.SetTextForeground(flow_colours::kText);
    const wxString title = WrapWords(dc, title_, textWidth);
    const int titleHeight = std::max(d(20), std::min(d(40), dc.GetMultiLineTextExtent(title).y));
    dc.SetClippingRegion(wxRect(left, previewRect_.y + d(2), textWidth, titleHeight));
    dc.DrawLabel(title, wxRect(left, previewRect_.y + d(2), textWidth, titleHeight), wxALIGN_LEFT | wxALIGN_TOP);
    dc.DestroyClippingRegion();
    dc.SetFont(ui::GetUiFont(ui::Normal, dpi_));
    dc.SetTextForeground(flow_colours::kSecondary);
    const wxRect subtitle(left, previewRect_.y + d(4) + titleHeight, textWidth, d(60));
    dc.SetClippingRegion(subtitle);
    dc.DrawLabel(WrapWords(dc, subtitle_, textWidth), subtitle, wxALIGN_LEFT | wxALIGN_TOP);
    dc.DestroyClippingRegion();
    dc.SetTextForeground(seamMethod_ != nullptr && seamMethod_->IsEnabled() ? flow_colours::kText
                                                                            : flow_colours::kSecondary);
    ui::DrawEllipsisText(dc, "Seams", seamsLabel_);
}

}  // namespace ridgeforge
