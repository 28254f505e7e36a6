// The contents of the fixed panes: the Output log and the Information pane.
#include "ui/app/PaneContents.h"

#include "ui/app/OutputWnd.h"
#include "ui/app/RightPane.h"

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

}  // namespace ridgeforge
