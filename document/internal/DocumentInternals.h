// Small helpers the document's source files share.
#pragma once

#include <vector>

#include "document/DocumentHost.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"

namespace ridgeforge::document_internal {

// Shows the wait cursor for its lifetime; nothing without a host.
class WaitCursor {
public:
    explicit WaitCursor(DocumentHost* host) : host_(host) {
        if (host_ != nullptr) host_->BeginWaitCursor();
    }
    ~WaitCursor() {
        if (host_ != nullptr) host_->EndWaitCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    DocumentHost* host_;
};

// The texture layers the mapping uses: box and sphere, the enabled sides;
// plane, layer 4; cylinder, 0 (wall), 4 (top cap), 5 (bottom cap) as they are on.
std::vector<int> LayersInUse(const mesh::Projection& projection);

// A new part stands on the bed with its bottom protected: base protection on,
// along Z, at the part's lowest z.
inline void ProtectBaseAt(mesh::DisplacementBase& base, float lowestZ) {
    base.enabled = true;
    base.axis = 2;
    base.protectBelow = true;
    base.planeMillimetres = lowestZ;
}

}  // namespace ridgeforge::document_internal
