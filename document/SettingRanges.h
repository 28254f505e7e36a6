// The ranges the program's controls allow for the settings they set: the
// relief and simplify settings, the mapping settings, the levels control,
// the texture drag's zoom and the mask panel. What a project brings is held
// to the same ranges.
#pragma once

namespace ridgeforge {

// Relief settings: triangle size and strength in millimetres, and the
// triangle and display limits (0.1 to 200 million; a display limit of 0
// shows the whole mesh).
inline constexpr float kSmallestTriangleSizeMillimetres = 0.01f;
inline constexpr float kLargestFieldMillimetres = 100000.0f;
inline constexpr float kSmallestTriangleLimit = 100'000.0f;
inline constexpr float kLargestTriangleLimit = 200'000'000.0f;
// Simplify settings.
inline constexpr float kSmallestPlanarTolerance = 1e-6f;
inline constexpr float kLargestPlanarTolerance = 1.0f;
inline constexpr float kSmallestDetailLevel = 1e-5f;
inline constexpr float kLargestDetailLevel = 10.0f;
// Mapping settings, and the zoom a texture drag stops at.
inline constexpr float kSmallestBlendSharpness = 1.0f;
inline constexpr float kLargestBlendSharpness = 16.0f;
inline constexpr float kSmallestZoom = 0.05f;
inline constexpr float kLargestZoom = 20.0f;
// The levels control takes 0.1 to 9.99 as the reciprocal of gamma.
inline constexpr float kSmallestGamma = 0.1001001f;
inline constexpr float kLargestGamma = 10.0f;
// The mask panel's smallest size along each axis.
inline constexpr float kSmallestMaskMillimetres = 0.5f;

}  // namespace ridgeforge
