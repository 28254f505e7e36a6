// Sorting a list of indices ascending without repeats: the form in which the
// validation, printability and export-fix passes hand over triangle sets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ridgeforge::mesh {

inline void SortUnique(std::vector<std::uint32_t>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

}  // namespace ridgeforge::mesh
