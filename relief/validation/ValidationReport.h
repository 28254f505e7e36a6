// What a validation found: counts, highlight points for the view, a
// three-step verdict, and a sentence with advice for every finding. The text
// functions turn it into the one-line verdict and the full report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

// Every caller fills every field.
struct ValidationOptions {
    // A triangle whose quality is above 0 and below this is a sliver.
    float sliverThreshold;
    bool checkSelfIntersections;
    // The mesh is the displaced result of a run: slivers are counted but are
    // no finding, and crossings are worded as a relief that folded.
    bool displacedResult;
    // The pair-test budget of the self-intersection search.
    std::uint64_t selfIntersectionLimit;
};

enum class ValidationVerdict : std::uint32_t { Good = 0, UsableWithCare = 1, Unsuitable = 2 };

struct ValidationReport {
    std::uint64_t triangleCount = 0;
    std::uint64_t vertexCount = 0;
    EdgeCounts edges;
    // Edges of two triangles that both run the edge the same way.
    std::uint64_t windingConflictEdges = 0;
    // Pieces joined through edges of exactly two triangles.
    std::uint64_t componentCount = 0;
    std::uint64_t duplicateTriangles = 0;
    std::uint64_t degenerateTriangles = 0;
    std::uint64_t sliverTriangles = 0;
    std::uint64_t unreferencedVertices = 0;
    // Bodies that are flat, or closed round no volume: nothing a print can fill.
    std::uint64_t bodiesWithoutVolume = 0;
    // Distinct triangles found crossing another.
    std::uint64_t selfIntersectingTriangles = 0;
    // The search ran to the end.
    bool selfIntersectionsSearched = false;
    // The search ran out of its pair-test budget; its result is unknown.
    bool stoppedEarly = false;
    std::vector<std::uint32_t> selfIntersectingList;  // ascending
    std::vector<std::uint32_t> selfIntersectionHits;  // both triangles of every crossing pair
    bool orientable = true;
    // No open and no non-manifold edge.
    bool closed = false;
    bool insideOut = false;
    float signedVolume = 0.0f;  // cubic millimetres, as stored
    // Highlights: both ends of each such edge, the corners of each such triangle.
    std::vector<Vec3f> openEdgePoints;
    std::vector<Vec3f> nonManifoldEdgePoints;
    std::vector<Vec3f> reversedTrianglePoints;
    std::vector<Vec3f> degenerateTrianglePoints;
    // Component of each triangle, numbered in the order of their first triangle.
    std::vector<std::uint32_t> componentOfTriangle;
    // Triangles to turn over for a consistent, outward-facing surface, ascending.
    std::vector<std::uint32_t> reversedTriangles;
    ValidationVerdict verdict = ValidationVerdict::Good;
    std::vector<std::string> problems;
    // The advice of each problem at its position, then notes.
    std::vector<std::string> advice;

    // Makes the verdict Unsuitable.
    void AddProblem(std::string sentence, std::string adviceText);
    // Raises the verdict to UsableWithCare unless it is Unsuitable already.
    void AddCaution(std::string sentence, std::string adviceText);
};

// "Good: no problems found.", "Unsuitable: 2 problems found." and so on.
std::string ValidationVerdictText(const ValidationReport& report);

// The full report, one finding per paragraph, every line ending in "\n".
std::string FormatValidationReport(const ValidationReport& report);

}  // namespace ridgeforge::mesh
