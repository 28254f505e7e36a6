// The whole-mesh crossing search with a memory: a run that searches the same
// mesh twice (the export fixes, then the pre-save check after a read-back
// that changed nothing) does the work once.
//
// While a KnownCrossingsScope lives on a thread, CrossingTriangles on that
// thread answers from the last list it remembered when the mesh is the same
// one: as many triangles, corner by corner at bit-identical positions, sharing
// corners in exactly the same way. Only the numbering of the vertices may
// differ, as a re-weld numbers them afresh; the search reads nothing else, so
// its answer cannot differ. Any other mesh is searched. Without a scope
// nothing is kept and every call searches.
//
// A scope holds a copy of the remembered mesh's indices and positions, and
// lets go of it when it ends. Scopes nest; the innermost one is used.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

class KnownCrossingsScope {
public:
    KnownCrossingsScope();
    ~KnownCrossingsScope();
    KnownCrossingsScope(const KnownCrossingsScope&) = delete;
    KnownCrossingsScope& operator=(const KnownCrossingsScope&) = delete;

    // Calls answered without a search so far.
    std::uint64_t Recalled() const { return recalled_; }

    struct Memory;

private:
    friend std::vector<std::uint32_t> CrossingTriangles(const TriangleMesh&, bool*);
    friend void RememberCrossings(const TriangleMesh&, const std::vector<std::uint32_t>&);

    std::unique_ptr<Memory> memory_;
    KnownCrossingsScope* outer_ = nullptr;
    std::uint64_t recalled_ = 0;
};

// The triangles of the whole mesh that pass through others, ascending, each
// once: SelfIntersectingTriangles without a mask, sorted and made unique.
std::vector<std::uint32_t> CrossingTriangles(const TriangleMesh& mesh, bool* stoppedEarly = nullptr);

// Tells the thread's scope, if there is one, that `crossings` is what
// CrossingTriangles would answer for the mesh as it is now. For callers that
// know it without a whole search (a masked search over everything that moved).
void RememberCrossings(const TriangleMesh& mesh, const std::vector<std::uint32_t>& crossings);

}  // namespace ridgeforge::mesh
