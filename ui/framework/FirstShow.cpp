#include "ui/framework/FirstShow.h"

#include "ui/framework/ToolkitSymbols.h"

#include <wx/toplevel.h>

namespace ridgeforge::ui {
namespace {

// GTK's GtkAllocation (a GdkRectangle).
struct Allocation {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

using IsRealizedFunction = int (*)(void*);
using GetSizeFunction = void (*)(void*, int*, int*);
using AllocationFunction = void (*)(void*, Allocation*);
using SetAllocationFunction = void (*)(void*, const Allocation*);

}  // namespace

void AllocateBeforeFirstShow(wxTopLevelWindow& window) {
    static const auto isRealized = ToolkitFunction<IsRealizedFunction>("gtk_widget_get_realized");
    static const auto getSize = ToolkitFunction<GetSizeFunction>("gtk_window_get_size");
    static const auto getAllocation = ToolkitFunction<AllocationFunction>("gtk_widget_get_allocation");
    static const auto setAllocation = ToolkitFunction<SetAllocationFunction>("gtk_widget_set_allocation");
    void* widget = window.GetHandle();
    if (widget == nullptr || isRealized == nullptr || getSize == nullptr || getAllocation == nullptr ||
        setAllocation == nullptr)
        return;
    if (isRealized(widget) != 0) return;
    int width = 0;
    int height = 0;
    getSize(widget, &width, &height);
    Allocation allocation;
    getAllocation(widget, &allocation);
    if (width <= allocation.width && height <= allocation.height) return;
    allocation.width = width;
    allocation.height = height;
    setAllocation(widget, &allocation);
}

}  // namespace ridgeforge::ui
