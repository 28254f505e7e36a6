// What a command's update handler fills in: the document's update handlers
// (which commands make sense now) fill it without knowing the command ids;
// the command layer of the user interface binds ids to them.
#pragma once

namespace ridgeforge {

// Starts enabled and unchecked.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    // The check is drawn as a radio mark.
    bool radio = false;
};

}  // namespace ridgeforge
