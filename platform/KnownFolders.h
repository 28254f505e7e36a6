// The two folders the library lives in: the running program's own folder
// (factory items ship beside the executable) and the user's documents folder
// (the user's items go below it).
//
// The documents folder is the XDG one: XDG_DOCUMENTS_DIR from the user's
// "user-dirs.dirs" ("$XDG_CONFIG_HOME/user-dirs.dirs", or
// "~/.config/user-dirs.dirs" when that variable is unset), with a leading
// $HOME expanded; without such an entry, "$HOME/Documents". Both are read
// anew on every call; the library keeps the result for the process.
#pragma once

#include <filesystem>

namespace ridgeforge::platform {

// Folder of the running executable (from /proc/self/exe), or empty.
std::filesystem::path ExecutableFolder();

// The user's documents folder, or empty when neither HOME nor a usable
// user-dirs entry says where it is.
std::filesystem::path DocumentsFolder();

}  // namespace ridgeforge::platform
