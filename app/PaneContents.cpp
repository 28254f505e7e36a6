// The contents of the fixed panes: the Output log, the Information pane and
// the workflow column's place.
#include "app/PaneContents.h"

#include <wx/panel.h>

#include "app/OutputWnd.h"
#include "app/RightPane.h"

namespace ridgeforge {

OutputPaneContent CreateOutputPaneContent(CStaticPane& pane) {
    auto* output = new COutputWnd(&pane, &pane);
    return {output, output};
}

InformationPaneContent CreateInformationPaneContent(CStaticPane& pane) {
    auto* dialog = new CRightPaneDialog();
    dialog->Create(&pane);
    return {dialog, dialog};
}

wxWindow* CreateWorkflowPaneContent(CStaticPane& pane) { return new wxPanel(&pane); }

}  // namespace ridgeforge
