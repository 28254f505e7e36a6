#include "ui/framework/Profile.h"

#include <wx/filehistory.h>
#include <wx/fileconf.h>
#include <wx/menu.h>
#include <wx/mstream.h>

#include <cstdlib>
#include <system_error>

#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "text/PathText.h"

namespace ridgeforge::ui {
namespace {

wxString ToWx(const std::filesystem::path& path) { return wxString(WideFromPath(path)); }

const wxString kRecentGroup = "Recent File List";

bool UsableProfile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return true;  // made by the first save
    const platform::InputFile file = platform::InputFile::Open(path);
    return file.IsOpen() && file.Size() <= platform::kSmallFileBytes;
}

}  // namespace

std::filesystem::path ProfileFolder(const std::string& application) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/') return std::filesystem::path(xdg) / application;
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::filesystem::path(home) / ".config" / application;
    return std::filesystem::path(".config") / application;
}

Profile::Profile(const std::string& vendor, const std::string& application, int recentFileCount,
                 int firstRecentFileWxId) {
    const std::filesystem::path folder = ProfileFolder(application);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    path_ = folder / (application + ".conf");
    // A FIFO, a device or an outsized file in the profile's place would hang
    // or stall the start; such a profile is neither read nor written over,
    // and the settings live in memory for this run.
    usable_ = UsableProfile(path_);
    const bool usable = usable_;
    config_ = std::make_unique<wxFileConfig>(wxString::FromUTF8(application.c_str()),
                                             wxString::FromUTF8(vendor.c_str()), usable ? ToWx(path_) : wxString(),
                                             wxString(), usable ? wxCONFIG_USE_LOCAL_FILE : 0);
    // wxFileConfig's own save would replace a linked profile by a plain file
    // and leave its temporary file behind when killed; ours does neither.
    config_->DisableAutoSave();
    history_ = std::make_unique<wxFileHistory>(static_cast<size_t>(recentFileCount), firstRecentFileWxId);
    config_->SetPath("/" + kRecentGroup);
    history_->Load(*config_);
    config_->SetPath("/");
}

Profile::~Profile() {
    if (config_ && unsaved_) Save();
}

bool Profile::Save() {
    if (!usable_) return false;
    wxMemoryOutputStream text;
    unsaved_ = !config_->Save(text, wxConvUTF8);
    if (unsaved_) return false;
    const wxStreamBuffer& buffer = *text.GetOutputStreamBuffer();
    unsaved_ = !platform::WriteFileSafely(path_, buffer.GetBufferStart(), buffer.GetIntPosition()).ok;
    return !unsaved_;
}

int Profile::GetInt(const wxString& section, const wxString& key, int fallback) const {
    long value = fallback;
    if (!config_->Read("/" + section + "/" + key, &value)) return fallback;
    return static_cast<int>(value);
}

void Profile::WriteInt(const wxString& section, const wxString& key, int value) {
    config_->Write("/" + section + "/" + key, static_cast<long>(value));
    Save();
}

wxString Profile::GetString(const wxString& section, const wxString& key, const wxString& fallback) const {
    return config_->Read("/" + section + "/" + key, fallback);
}

void Profile::WriteString(const wxString& section, const wxString& key, const wxString& value) {
    config_->Write("/" + section + "/" + key, value);
    Save();
}

void Profile::AddRecentFile(const std::filesystem::path& path) {
    history_->AddFileToHistory(ToWx(path));
    SaveRecentFiles();
}

void Profile::RemoveRecentFile(int index) {
    if (index < 0 || static_cast<size_t>(index) >= history_->GetCount()) return;
    history_->RemoveFileFromHistory(static_cast<size_t>(index));
    SaveRecentFiles();
}

void Profile::ShowRecentFilesIn(wxMenu& menu) {
    history_->UseMenu(&menu);
    history_->AddFilesToMenu(&menu);
}

void Profile::SaveRecentFiles() {
    config_->DeleteGroup("/" + kRecentGroup);
    config_->SetPath("/" + kRecentGroup);
    history_->Save(*config_);
    config_->SetPath("/");
    Save();
}

}  // namespace ridgeforge::ui
