// The program's settings profile: a wxFileConfig (application "Ruvolta",
// vendor "Fernwhistle") in "$XDG_CONFIG_HOME/Ruvolta/Ruvolta.conf", or
// "~/.config/Ruvolta/Ruvolta.conf" when that variable is unset, with the
// four most recently used files. Every write is flushed at once, so a value
// is on disk even when the program is ended abruptly.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <wx/string.h>

class wxFileConfig;
class wxFileHistory;
class wxMenu;

namespace ridgeforge::ui {

class Profile {
public:
    // Reads the profile of `application` (folder and file name) made by
    // `vendor`; the recent files' menu items take window ids from
    // `firstRecentFileWxId` on.
    Profile(const std::string& vendor, const std::string& application, int recentFileCount, int firstRecentFileWxId);
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // Where the profile lives.
    const std::filesystem::path& FilePath() const { return path_; }

    int GetInt(const wxString& section, const wxString& key, int fallback) const;
    void WriteInt(const wxString& section, const wxString& key, int value);
    wxString GetString(const wxString& section, const wxString& key, const wxString& fallback) const;
    void WriteString(const wxString& section, const wxString& key, const wxString& value);

    // The recently used files, newest first.
    wxFileHistory& RecentFiles() { return *history_; }
    void AddRecentFile(const std::filesystem::path& path);
    void RemoveRecentFile(int index);
    // Lists the recent files at the end of `menu` and keeps it up to date.
    void ShowRecentFilesIn(wxMenu& menu);

private:
    void SaveRecentFiles();
    // Writes the whole profile through the platform's safe write.
    bool Save();

    std::filesystem::path path_;
    std::unique_ptr<wxFileConfig> config_;
    std::unique_ptr<wxFileHistory> history_;
    bool unsaved_ = false;  // the last save failed: try again when closing
    bool usable_ = true;    // false: something not ours to write over is in the profile's place
};

// "$XDG_CONFIG_HOME/<application>" or "~/.config/<application>".
std::filesystem::path ProfileFolder(const std::string& application);

}  // namespace ridgeforge::ui
