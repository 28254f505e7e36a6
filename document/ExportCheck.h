// The "Before saving:" check of a mesh about to be written as STL: edge use,
// winding and orientation, triangles passing through others, folded-over
// triangles, vertices past the base plane and what would need support.
//
// Each line starts with a ten-character prefix: "  ok      " for a check
// that passed, "  PROBLEM " for one that failed, "  note    " for a finding
// that does not stop a save, and "  -       " for a check that was not made.
// Only a PROBLEM line makes the verdict false. Lines end in "\r\n".
//
// Runs on the export check's worker thread; it reads only the mesh and the
// copy of the base settings it is given.
#pragma once

#include <string>

#include "mesh/TriangleMesh.h"
#include "relief/displacement/DisplacementSettings.h"

namespace ridgeforge {

// Vertices further past the base plane than this, in mm, are counted.
inline constexpr float kBasePlaneAllowanceMillimetres = 0.0001f;

// Appends "  ok      " or "  PROBLEM ", the line and "\r\n"; a failed line
// sets allPassed to false.
void ExportCheckLine(std::wstring& text, bool& allPassed, bool ok, const std::wstring& line);

// Milliseconds of each check, for the timing of large parts.
struct ExportCheckTimes {
    double validation = 0.0;
    double crossings = 0.0;
    double folds = 0.0;
    double base = 0.0;
    double support = 0.0;
};

// Replaces `text` with the report; true when no line failed.
bool ExportCheckReport(const mesh::TriangleMesh& mesh, const mesh::DisplacementBase& base, std::wstring& text);
bool ExportCheckReport(const mesh::TriangleMesh& mesh, const mesh::DisplacementBase& base, std::wstring& text,
                       ExportCheckTimes& times);

}  // namespace ridgeforge
