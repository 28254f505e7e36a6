// Shared by the pattern tests.
#pragma once

namespace ridgeforge::mesh::procedural {

// A pattern with every value at its default, as the registry makes it.
template <class T>
T WithDefaults() {
    T t;
    t.ResetToDefaults();
    return t;
}

}  // namespace ridgeforge::mesh::procedural
