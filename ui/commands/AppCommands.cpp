// Last on the command road: the frame's rows, then the application's.
#include "ui/commands/AppCommands.h"

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/commands/CommandIds.h"

namespace ridgeforge {

void AddAppCommands(CommandTable& table, CRidgeforgeApp& app) {
    table.Add(ID_FILE_NEW, [&app](CommandId) { app.OnFileNew(); });
    table.Add(ID_FILE_OPEN, [&app](CommandId) { app.OnFileOpen(); });
    table.AddRange(ID_FILE_MRU_FIRST, ID_FILE_MRU_LAST,
                   [&app](CommandId id) { app.OnOpenRecentFile(static_cast<int>(id - ID_FILE_MRU_FIRST)); });
    table.Add(
        ID_DETAILED_LOG, [&app](CommandId) { app.OnDetailedLog(); },
        [&app](CommandId, CommandState& state) { state.checked = app.DetailedLog(); });
    table.Add(ID_USER_MANUAL, [&app](CommandId) { app.OnUserManual(); });
    table.Add(ID_APP_ABOUT, [&app](CommandId) { app.OnAppAbout(); });
}

void AddFrameCommands(CommandTable& table, CMainFrame& frame) {
    table.Add(ID_APP_EXIT, [&frame](CommandId) { frame.Close(); });
    table.Add(ID_RELOAD_TEXTURES, [&frame](CommandId) { frame.OnReloadTextures(); });
}

}  // namespace ridgeforge
