// The GLSL text of the mesh program. The fragment source carries the marker
// line "//@SHARED@", where the height-map block and then the cage block are
// spliced in; ShaderMirror.h is the same arithmetic in C++.
#pragma once

#include <string>

namespace ridgeforge::gl {

extern const char* const kMeshVertexSource;
extern const char* const kMeshFragmentSource;
extern const char* const kHeightMapBlock;
extern const char* const kCageBlock;

// The fragment source with both blocks in place of the marker; the source
// unchanged when it has no marker.
std::string SpliceSharedBlocks(const std::string& fragmentSource);

}  // namespace ridgeforge::gl
