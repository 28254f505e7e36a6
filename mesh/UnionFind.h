// The root lookup of a union-find forest kept as a parent table: follows
// parents to the root, halving the path on the way (each visited entry then
// points at its grandparent), so that later lookups stay short.
#pragma once

#include <cstddef>
#include <vector>

namespace ridgeforge::mesh {

template <typename Index>
Index FindRoot(std::vector<Index>& parent, Index x) {
    while (parent[static_cast<std::size_t>(x)] != x) {
        parent[static_cast<std::size_t>(x)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
        x = parent[static_cast<std::size_t>(x)];
    }
    return x;
}

}  // namespace ridgeforge::mesh
