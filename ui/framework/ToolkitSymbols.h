// GTK, GDK and GObject are loaded with the window library; their entry points
// are looked up by name, so that no toolkit headers are needed by the layer.
#pragma once

#include <dlfcn.h>

namespace ridgeforge::ui {

// The toolkit's function `name`, or null when the loaded libraries lack it.
template <class Function>
Function ToolkitFunction(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace ridgeforge::ui
