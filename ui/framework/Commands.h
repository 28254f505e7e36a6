// Command identifiers routed as the desktop designs expect: a menu item,
// accelerator, toolbar button or a window's SendCommand reaches the view's
// command table first, then the document's, the frame's and the
// application's; the first table with a row for the id handles it. Update
// requests (enabled, ticked, radio) take the same road; a command no table
// knows is shown disabled.
#pragma once

#include <vector>

#include <wx/frame.h>

#include "ui/framework/CommandTable.h"

class wxWindow;

namespace ridgeforge::ui {

// Command ids are numbered as the designs number them, from 32768 (0x8000)
// up to 61439; the window library takes menu ids below 32767 only, so a
// command's window id is its id less 0x8000. Update requests count as
// commands only when a menu or a toolbar asks, so that controls, whose ids
// share that range, keep their own.
inline constexpr CommandId kFirstCommandId = 0x8000;
inline constexpr CommandId kLastCommandId = 0xEFFF;
inline int WxIdOf(CommandId id) { return static_cast<int>(id - kFirstCommandId); }
inline CommandId CommandOf(int wxId) { return static_cast<CommandId>(wxId) + kFirstCommandId; }
bool IsCommandWxId(int wxId);

// A window that shows commands as its own buttons (a toolbar strip). Its
// update requests take the command road as a menu's do, except that a
// command no table knows is left untaken, so that the window keeps its own
// default for it.
class CommandUpdateAsker {
public:
    virtual ~CommandUpdateAsker() = default;
};

// Fills `state` from the first table that knows the id; false (and the
// command disabled) when none does.
bool RouteUpdate(const std::vector<const CommandTable*>& route, CommandId id, CommandState& state);

// A frame whose menu and update events go through CommandRoute() before the
// window library's own handling, and whose plain keys (Home, F, Escape...)
// go to the commands of KeyCommand() unless a text field has the keyboard
// focus, where those keys belong to the text.
class CommandFrame : public wxFrame {
public:
    using wxFrame::wxFrame;
    // The tables in order: view, document, frame, application.
    virtual std::vector<const CommandTable*> CommandRoute() const = 0;
    // The command a key sends outside text fields, or 0 for none.
    virtual CommandId KeyCommand(int keyCode, int modifiers) const;
    // Binds the key handling; call once the frame is created.
    void EnableKeyCommands();

protected:
    bool TryBefore(wxEvent& event) override;
};

// Whether the keyboard focus is in a text field.
bool TextFieldHasFocus();

// The command as a menu click on the window (usually the main frame), at
// once; returns whether something handled it.
bool SendCommand(wxWindow* window, CommandId id);
// Queues the command for the window; it runs after the current event.
void PostCommand(wxWindow* window, CommandId id);
// The command's state as its menu item would show it.
CommandState QueryCommand(const CommandFrame& frame, CommandId id);

}  // namespace ridgeforge::ui
