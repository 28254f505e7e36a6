// The GPU side of what the view shows: the part with its projection stream,
// the guides derived from its bounds, and the overlays, each replaced whole.
#include <algorithm>
#include <numeric>

#include "gl/CornerExpansion.h"
#include "gl/Renderer.h"
#include "gl/SceneGeometry.h"

namespace ridgeforge::gl {
namespace {

GLsizeiptr Bytes(std::size_t count, std::size_t size) { return static_cast<GLsizeiptr>(count * size); }

}  // namespace

bool Renderer::UploadLineBuffer(OverlayBuffer& overlay, const std::vector<MeshVertex>& vertices) {
    DeleteOverlay(overlay);
    if (vertices.empty()) return true;
    const GlFunctions& f = functions;
    f.glGenVertexArrays(1, &overlay.vertexArray);
    f.glGenBuffers(1, &overlay.buffer);
    f.glBindVertexArray(overlay.vertexArray);
    f.glBindBuffer(GL_ARRAY_BUFFER, overlay.buffer);
    f.glBufferData(GL_ARRAY_BUFFER, Bytes(vertices.size(), sizeof(MeshVertex)), vertices.data(), GL_STATIC_DRAW);
    BindMeshVertexLayout(0);
    f.glBindVertexArray(0);
    f.glBindBuffer(GL_ARRAY_BUFFER, 0);
    overlay.count = static_cast<int>(vertices.size());
    return true;
}

bool Renderer::UploadMesh(const mesh::TriangleMesh& mesh, const ProjectedCoordinates* coordinates, bool reframe) {
    // The index count travels as a GL int; larger parts cannot be drawn in one call.
    if (!ready || mesh.vertices.empty() || mesh.indices.empty() || !mesh::IsValidMesh(mesh) ||
        mesh.indices.size() > 0x7fffffffu) {
        lastError = "Cannot upload an empty mesh or a mesh with invalid indices.";
        return false;
    }
    if (!MakeCurrent()) {
        lastError = "Could not activate the OpenGL context for mesh upload.";
        return false;
    }
    const std::vector<MeshVertex> vertices = ExpandCorners(mesh, coordinates);
    const std::vector<ProjectionRecord> records = BuildProjectionRecords(mesh, coordinates);
    std::vector<std::uint32_t> indices(vertices.size());
    std::iota(indices.begin(), indices.end(), 0u);

    const GlFunctions& f = functions;
    ReleasePartBuffers();
    f.glGenVertexArrays(1, &part.vertexArray);
    f.glGenBuffers(1, &part.vertexBuffer);
    f.glGenBuffers(1, &part.indexBuffer);
    f.glBindVertexArray(part.vertexArray);
    f.glBindBuffer(GL_ARRAY_BUFFER, part.vertexBuffer);
    f.glBufferData(GL_ARRAY_BUFFER, Bytes(vertices.size(), sizeof(MeshVertex)), vertices.data(), GL_STATIC_DRAW);
    f.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, part.indexBuffer);
    f.glBufferData(GL_ELEMENT_ARRAY_BUFFER, Bytes(indices.size(), sizeof(std::uint32_t)), indices.data(),
                   GL_STATIC_DRAW);
    f.glGenBuffers(1, &part.projectionBuffer);
    f.glBindBuffer(GL_ARRAY_BUFFER, part.projectionBuffer);
    part.projectionBytes = records.size() * sizeof(ProjectionRecord);
    f.glBufferData(GL_ARRAY_BUFFER, Bytes(records.size(), sizeof(ProjectionRecord)), records.data(), GL_DYNAMIC_DRAW);
    f.glBindBuffer(GL_ARRAY_BUFFER, part.vertexBuffer);
    BindMeshVertexLayout(part.projectionBuffer);
    f.glBindVertexArray(0);
    f.glBindBuffer(GL_ARRAY_BUFFER, 0);
    part.indexCount = static_cast<int>(indices.size());

    const SceneBounds bounds = ComputeSceneBounds(mesh);
    sceneCentre = bounds.centre;
    sceneRadius = bounds.radius;
    gridHalfSize = bounds.gridHalfSize;
    floorHeight = bounds.floorHeight;
    gridCentre = bounds.gridCentre;

    const bool overlays = RebuildBoundsOverlays(mesh);
    const bool guides = RebuildGuideGeometry();
    if (reframe) {
        target = sceneCentre;
        distance = FramingDistance(sceneRadius);
    }
    return overlays && guides;
}

bool Renderer::RebuildBoundsOverlays(const mesh::TriangleMesh& mesh) {
    mesh::Vec3f lo;
    mesh::Vec3f hi;
    MeshBox(mesh, lo, hi);
    if (!UploadLineBuffer(boundingBox, BuildBoxLines(lo, hi, kBoundingBoxColour))) return false;
    normalSource.resize(mesh.vertices.size() * 6);
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
        const mesh::Vertex& v = mesh.vertices[i];
        float* out = &normalSource[6 * i];
        out[0] = v.position.x;
        out[1] = v.position.y;
        out[2] = v.position.z;
        out[3] = v.normal.x;
        out[4] = v.normal.y;
        out[5] = v.normal.z;
    }
    DeleteOverlay(normalLines);
    if (!showNormals) return true;
    return UploadLineBuffer(normalLines, BuildNormalLines(normalSource, std::max(0.0001f, 0.04f * sceneRadius)));
}

bool Renderer::UpdateVertexProjection(const mesh::TriangleMesh& mesh, const ProjectedCoordinates& coordinates) {
    if (!ready || part.projectionBuffer == 0 || mesh.indices.size() != static_cast<std::size_t>(part.indexCount) ||
        !MakeCurrent())
        return false;
    const std::vector<ProjectionRecord> records = BuildProjectionRecords(mesh, &coordinates);
    const std::uint64_t bytes = records.size() * sizeof(ProjectionRecord);
    const GlFunctions& f = functions;
    f.glBindBuffer(GL_ARRAY_BUFFER, part.projectionBuffer);
    if (bytes == part.projectionBytes) {
        f.glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), records.data());
    } else {
        f.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), records.data(), GL_DYNAMIC_DRAW);
        part.projectionBytes = bytes;
    }
    f.glBindBuffer(GL_ARRAY_BUFFER, 0);
    return true;
}

void Renderer::ClearMesh() {
    if (!ready || !MakeCurrent()) return;
    ReleasePartBuffers();
    for (OverlayBuffer* overlay : {&boundingBox, &normalLines, &openEdges, &nonManifoldEdges, &problemFaces,
                                   &printCheckLines, &printCheckTriangles})
        DeleteOverlay(*overlay);
    normalSource.clear();
    ResetSceneBounds();
    RebuildGuideGeometry();
    target = sceneCentre;
    distance = FramingDistance(sceneRadius);
}

bool Renderer::RebuildNormalLines() {
    if (!ready || !MakeCurrent()) return false;
    return UploadLineBuffer(normalLines, BuildNormalLines(normalSource, std::max(0.0001f, 0.04f * sceneRadius)));
}

bool Renderer::RebuildGuideGeometry() {
    // Initialize builds the first guides before the renderer counts as ready.
    if (!MakeCurrent()) return false;
    const GridLayout grid = ComputeGrid(gridHalfSize);
    SceneBounds bounds;
    bounds.centre = sceneCentre;
    bounds.radius = sceneRadius;
    bounds.gridHalfSize = gridHalfSize;
    bounds.floorHeight = floorHeight;
    bounds.gridCentre = gridCentre;
    UploadLineBuffer(guideLines, BuildGuideLines(bounds, grid));
    UploadLineBuffer(floorQuad, BuildFloorQuad(bounds, grid));
    gridHalfSize = grid.halfSize;
    return true;
}

bool Renderer::SetEdgeOverlays(const EdgeOverlay& overlay) {
    if (!ready || !MakeCurrent()) return false;
    std::vector<MeshVertex> faces = ColouredVertices(overlay.problemFaces, kProblemFaceColour);
    AppendColoured(faces, overlay.otherProblemFaces, kOtherProblemFaceColour);
    return UploadLineBuffer(openEdges, ColouredVertices(overlay.openEdges, kOpenEdgeColour)) &&
           UploadLineBuffer(nonManifoldEdges, ColouredVertices(overlay.nonManifoldEdges, kNonManifoldColour)) &&
           UploadLineBuffer(problemFaces, faces);
}

bool Renderer::SetPrintCheckOverlay(const PrintCheckOverlay& overlay) {
    if (!ready || !MakeCurrent()) return false;
    std::vector<MeshVertex> triangles = ColouredVertices(overlay.needingSupport, kNeedsSupportColour);
    AppendColoured(triangles, overlay.reachingFar, kReachesFarColour);
    AppendColoured(triangles, overlay.bridging, kBridgingColour);
    return UploadLineBuffer(printCheckLines, ColouredVertices(overlay.lines, kPrintCheckLineColour)) &&
           UploadLineBuffer(printCheckTriangles, triangles);
}

bool Renderer::SetRestingFaceHighlight(const std::vector<mesh::Vec3f>& points,
                                       const std::vector<mesh::Vec3f>& colours) {
    if (!ready || !MakeCurrent()) return false;
    return UploadLineBuffer(restingFace, ColouredVertices(points, colours, kRestingFaceColour));
}

bool Renderer::SetCageOverlay(const CageOverlay& overlay) {
    if (!ready || !MakeCurrent()) return false;
    return UploadLineBuffer(cageFaces,
                            ColouredVertices(overlay.trianglePoints, overlay.triangleColours, kCageFaceColour)) &&
           UploadLineBuffer(cageLines, ColouredVertices(overlay.cageLines, kCageLineColour)) &&
           UploadLineBuffer(cageAccentLines, ColouredVertices(overlay.accentLines, kCageAccentColour));
}

bool Renderer::ClearCageOverlay() {
    if (!ready || !MakeCurrent()) return false;
    DeleteOverlay(cageFaces);
    DeleteOverlay(cageLines);
    DeleteOverlay(cageAccentLines);
    return true;
}

bool Renderer::SetGizmoOverlay(const ColouredGeometry& g) {
    if (!ready || !MakeCurrent()) return false;
    return UploadLineBuffer(gizmoLines, ColouredVertices(g.linePoints, g.lineColours, kWhite)) &&
           UploadLineBuffer(gizmoTriangles, ColouredVertices(g.trianglePoints, g.triangleColours, kWhite));
}

bool Renderer::SetMaskOverlay(const ColouredGeometry& g) {
    if (!ready || !MakeCurrent()) return false;
    return UploadLineBuffer(maskTriangles, ColouredVertices(g.trianglePoints, g.triangleColours, kWhite)) &&
           UploadLineBuffer(maskLines, ColouredVertices(g.linePoints, g.lineColours, kWhite));
}

}  // namespace ridgeforge::gl
