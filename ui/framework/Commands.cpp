#include "ui/framework/Commands.h"

#include <wx/menu.h>
#include <wx/toolbar.h>
#include <wx/textentry.h>
#include <wx/window.h>

namespace ridgeforge::ui {
namespace {

// Menu items that are not check or radio items cannot take a tick; the
// window library complains when asked to.
bool CanTakeCheck(const wxUpdateUIEvent& event) {
    auto* menu = dynamic_cast<wxMenu*>(event.GetEventObject());
    if (menu == nullptr) return true;
    const wxMenuItem* item = menu->FindItem(event.GetId());
    return item != nullptr && item->IsCheckable();
}

// Menus and toolbars ask for their items; a control asks for itself.
bool AskedByMenuOrToolbar(const wxEvent& event) {
    wxObject* source = event.GetEventObject();
    return dynamic_cast<wxMenu*>(source) != nullptr || dynamic_cast<wxMenuBar*>(source) != nullptr ||
           dynamic_cast<wxToolBar*>(source) != nullptr;
}

}  // namespace

bool IsCommandWxId(int wxId) { return wxId >= 0 && CommandOf(wxId) <= kLastCommandId; }

bool RouteUpdate(const std::vector<const CommandTable*>& route, CommandId id, CommandState& state) {
    if (RouteCommandUpdate(route, id, state)) return true;
    state.enabled = false;
    state.checked = false;
    return false;
}

CommandId CommandFrame::KeyCommand(int, int) const { return 0; }

bool TextFieldHasFocus() {
    wxWindow* focus = wxWindow::FindFocus();
    return focus != nullptr && dynamic_cast<wxTextEntry*>(focus) != nullptr;
}

void CommandFrame::EnableKeyCommands() {
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        const CommandId command = KeyCommand(event.GetKeyCode(), event.GetModifiers());
        if (command != 0 && !TextFieldHasFocus()) {
            SendCommand(this, command);
            return;
        }
        event.Skip();
    });
}

bool CommandFrame::TryBefore(wxEvent& event) {
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_MENU && IsCommandWxId(event.GetId())) {
        if (RouteCommand(CommandRoute(), CommandOf(event.GetId()))) return true;
    } else if (type == wxEVT_UPDATE_UI && IsCommandWxId(event.GetId()) &&
               dynamic_cast<CommandUpdateAsker*>(event.GetEventObject()) != nullptr) {
        CommandState state;
        if (RouteCommandUpdate(CommandRoute(), CommandOf(event.GetId()), state)) {
            auto& update = static_cast<wxUpdateUIEvent&>(event);
            update.Enable(state.enabled);
            update.Check(state.checked);
            return true;
        }
    } else if (type == wxEVT_UPDATE_UI && IsCommandWxId(event.GetId()) && AskedByMenuOrToolbar(event)) {
        auto& update = static_cast<wxUpdateUIEvent&>(event);
        CommandState state;
        RouteUpdate(CommandRoute(), CommandOf(event.GetId()), state);
        update.Enable(state.enabled);
        if (CanTakeCheck(update)) update.Check(state.checked);
        return true;
    }
    return wxFrame::TryBefore(event);
}

bool SendCommand(wxWindow* window, CommandId id) {
    if (window == nullptr) return false;
    wxCommandEvent event(wxEVT_MENU, WxIdOf(id));
    event.SetEventObject(window);
    return window->GetEventHandler()->ProcessEvent(event);
}

CommandState QueryCommand(const CommandFrame& frame, CommandId id) {
    CommandState state;
    RouteUpdate(frame.CommandRoute(), id, state);
    return state;
}

void PostCommand(wxWindow* window, CommandId id) {
    if (window == nullptr) return;
    auto* event = new wxCommandEvent(wxEVT_MENU, WxIdOf(id));
    event->SetEventObject(window);
    window->GetEventHandler()->QueueEvent(event);
}

}  // namespace ridgeforge::ui
