// The application's and the main frame's commands: New, Open, the recent
// files, Detailed Log, the manual and About for the application; Exit and
// Reload Textures for the frame. Needs the object the rows call, which
// holds the table and so outlives it.
#pragma once

#include "ui/framework/CommandTable.h"

namespace ridgeforge {

class CMainFrame;
class CRidgeforgeApp;

void AddAppCommands(CommandTable& table, CRidgeforgeApp& app);
void AddFrameCommands(CommandTable& table, CMainFrame& frame);

}  // namespace ridgeforge
