// Files dropped from the desktop onto a window: the window and every child
// below it accept them (each child needs a drop target of its own), and the
// paths arrive in the order the desktop gave them.
#pragma once

#include <filesystem>
#include <functional>
#include <vector>

class wxWindow;

namespace ridgeforge::ui {

using FileDropHandler = std::function<void(const std::vector<std::filesystem::path>& paths)>;

// Gives `root` and all its present children a drop target that hands the
// paths to `handler`. Children made later are covered by calling it again.
void AcceptFileDrops(wxWindow& root, const FileDropHandler& handler);

// What a drop on `window` does, as the desktop would trigger it: the paths
// go to its drop target. False when the window accepts no files.
bool SimulateFileDrop(wxWindow& window, const std::vector<std::filesystem::path>& paths);

}  // namespace ridgeforge::ui
