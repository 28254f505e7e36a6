// The windows inside the three fixed panes. The frame makes the panes (with
// their captions and sizes) and asks these functions for what goes inside.
#pragma once

#include "ui/app/OutputSinks.h"
#include "ui/framework/CaptionedPane.h"

class wxWindow;

namespace ridgeforge {

using CStaticPane = ui::CaptionedPane;

struct OutputPaneContent {
    wxWindow* window = nullptr;
    IOutputLog* log = nullptr;  // owned by the window
};

struct InformationPaneContent {
    wxWindow* window = nullptr;
    IInformationPane* information = nullptr;  // owned by the window
};

OutputPaneContent CreateOutputPaneContent(CStaticPane& pane);
InformationPaneContent CreateInformationPaneContent(CStaticPane& pane);

}  // namespace ridgeforge
