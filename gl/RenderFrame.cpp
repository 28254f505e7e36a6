// One frame: guides, the part by its shading, the overlays in their fixed
// order and depth states, the view cube, then the swap and the timings. GPU
// time comes from a ring of three timer queries, each read when the ring
// comes back to it, so no frame waits for the GPU.
//
// The part's filled passes are drawn without back-face culling: the lighting
// is two-sided so that looking into an open part does not read as a hole,
// and culling would throw those inner faces away. The floor quad stays
// culled, so the floor vanishes when seen from below.
#include <chrono>

#include "gl/Renderer.h"

namespace ridgeforge::gl {
namespace {

std::uint64_t NowNanoseconds() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

}  // namespace

void Renderer::DrawOverlay(const OverlayBuffer& overlay, GLenum primitive) {
    if (overlay.vertexArray == 0 || overlay.count < 1) return;
    functions.glBindVertexArray(overlay.vertexArray);
    base.glDrawArrays(primitive, 0, overlay.count);
}

void Renderer::DrawMesh(bool wire) {
    if (part.vertexArray == 0 || part.indexCount == 0) return;
    const GlFunctions& f = functions;
    base.glPolygonMode(GL_FRONT_AND_BACK, wire ? GL_LINE : GL_FILL);
    f.glUniform1i(uniforms.lit, wire ? 0 : 1);
    f.glUniform1i(uniforms.useOverride, wire ? 1 : 0);
    if (wire) f.glUniform3f(uniforms.overrideColor, kWireColour.x, kWireColour.y, kWireColour.z);
    f.glBindVertexArray(part.vertexArray);
    base.glDrawElements(GL_TRIANGLES, part.indexCount, GL_UNSIGNED_INT, nullptr);
    base.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void Renderer::DrawPart() {
    base.glDisable(GL_CULL_FACE);
    switch (shadingMode) {
        case ShadingMode::Wireframe:
            DrawMesh(true);
            break;
        case ShadingMode::SolidWireframe:
            base.glEnable(GL_POLYGON_OFFSET_FILL);
            base.glPolygonOffset(1.0f, 1.0f);
            DrawMesh(false);
            base.glDisable(GL_POLYGON_OFFSET_FILL);
            DrawMesh(true);
            break;
        case ShadingMode::Smooth:
        case ShadingMode::Flat:
        default:
            DrawMesh(false);
            break;
    }
}

void Renderer::BeginGpuTiming() {
    const GlFunctions& f = functions;
    if (!f.HasTimerQueries()) return;
    if (timerQueries[0] == 0) f.glGenQueries(3, timerQueries.data());
    const auto slot = static_cast<std::size_t>(nextQuery);
    const GLuint query = timerQueries[slot];
    if (queriesIssued >= 3) {
        GLuint available = GL_FALSE;
        f.glGetQueryObjectuiv(query, GL_QUERY_RESULT_AVAILABLE, &available);
        if (available != GL_FALSE) {
            GLuint64 nanoseconds = 0;
            f.glGetQueryObjectui64v(query, GL_QUERY_RESULT, &nanoseconds);
            // Some software drivers answer with a clock reading (the time
            // since the machine started) rather than the time the frame
            // took. A frame cannot have taken longer than has passed since
            // its commands were issued: such an answer is not shown.
            statistics.gpuValid = nanoseconds <= NowNanoseconds() - queryBegun[slot];
            if (statistics.gpuValid) statistics.gpuMilliseconds = static_cast<double>(nanoseconds) / 1e6;
        }
    }
    queryBegun[slot] = NowNanoseconds();
    f.glBeginQuery(GL_TIME_ELAPSED, query);
    queryRunning = true;
}

void Renderer::EndFrameTiming(std::uint64_t start) {
    const std::uint64_t end = NowNanoseconds();
    statistics.frameMilliseconds = static_cast<double>(end - start) / 1e6;
    ++framesInWindow;
    if (rateWindowStart == 0) rateWindowStart = end;
    const double seconds = static_cast<double>(end - rateWindowStart) / 1e9;
    if (seconds >= 0.5) {
        statistics.framesPerSecond = static_cast<double>(framesInWindow) / seconds;
        framesInWindow = 0;
        rateWindowStart = end;
    }
}

void Renderer::Render() {
    if (!ready || !MakeCurrent()) return;
    const std::uint64_t start = NowNanoseconds();
    BeginGpuTiming();
    const GlFunctions& f = functions;
    const GlBaseFunctions& b = base;

    b.glViewport(0, 0, viewportWidth, viewportHeight);
    b.glClearColor(0.075f, 0.09f, 0.115f, 1.0f);
    b.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    b.glEnable(GL_DEPTH_TEST);
    if (shadingMode == ShadingMode::Wireframe) {
        b.glDisable(GL_CULL_FACE);
    } else {
        b.glEnable(GL_CULL_FACE);
        b.glCullFace(GL_BACK);
    }

    const Matrix4 mvp = ViewProjection();
    f.glUseProgram(meshProgram);
    f.glUniformMatrix4fv(uniforms.mvp, 1, GL_FALSE, mvp.data());
    f.glUniform3f(uniforms.lightDirection, kLightDirection.x, kLightDirection.y, kLightDirection.z);
    f.glUniform1i(uniforms.smooth, shadingMode == ShadingMode::Smooth ? 1 : 0);
    f.glUniform1i(uniforms.surfaceMode, static_cast<GLint>(surfaceMode));
    f.glUniform1f(uniforms.checkerMillimetres, checkerMillimetres);
    f.glUniform1f(uniforms.alpha, 1.0f);
    if (heightMapTexture != 0) SetHeightMapUniforms(meshProgram);
    SetMaskUniforms();
    SetCageUniforms(meshProgram);

    const auto unlitVertexColours = [&] {
        f.glUniform1i(uniforms.lit, 0);
        f.glUniform1i(uniforms.useOverride, 0);
        f.glUniform1i(uniforms.surfaceMode, 0);
    };
    unlitVertexColours();
    DrawOverlay(floorQuad, GL_TRIANGLES);
    DrawOverlay(guideLines, GL_LINES);

    f.glUniform1i(uniforms.surfaceMode, static_cast<GLint>(surfaceMode));
    DrawPart();

    b.glDisable(GL_CULL_FACE);
    unlitVertexColours();
    if (showNormals) DrawOverlay(normalLines, GL_LINES);
    if (showBoundingBox) DrawOverlay(boundingBox, GL_LINES);

    b.glEnable(GL_POLYGON_OFFSET_FILL);
    b.glPolygonOffset(-1.5f, -1.5f);
    if (showProblemFaces) DrawOverlay(problemFaces, GL_TRIANGLES);
    if (showPrintCheck && printCheckTriangles.vertexArray != 0) {
        // Shown through the part.
        b.glDisable(GL_DEPTH_TEST);
        DrawOverlay(printCheckTriangles, GL_TRIANGLES);
        b.glEnable(GL_DEPTH_TEST);
    }
    b.glDisable(GL_POLYGON_OFFSET_FILL);

    // Lines lying exactly on the surface still show.
    b.glDepthFunc(GL_LEQUAL);
    if (showPrintCheck) DrawOverlay(printCheckLines, GL_LINES);
    if (showOpenEdges) DrawOverlay(openEdges, GL_LINES);
    if (showNonManifoldEdges) DrawOverlay(nonManifoldEdges, GL_LINES);
    b.glDepthFunc(GL_LESS);

    const auto translucent = [&](const OverlayBuffer& overlay, float alpha) {
        b.glEnable(GL_BLEND);
        b.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        b.glDepthMask(GL_FALSE);
        f.glUniform1f(uniforms.alpha, alpha);
        DrawOverlay(overlay, GL_TRIANGLES);
        f.glUniform1f(uniforms.alpha, 1.0f);
        b.glDepthMask(GL_TRUE);
        b.glDisable(GL_BLEND);
    };
    if (showCage) {
        if (cageFaces.vertexArray != 0) translucent(cageFaces, 0.22f);
        DrawOverlay(cageLines, GL_LINES);
        DrawOverlay(cageAccentLines, GL_LINES);
    }
    if (restingFace.count > 0) {
        unlitVertexColours();
        translucent(restingFace, 0.45f);
    }
    if (maskTriangles.count > 0 || maskLines.count > 0) {
        unlitVertexColours();
        translucent(maskTriangles, 0.3f);
        b.glDisable(GL_DEPTH_TEST);
        DrawOverlay(maskLines, GL_LINES);
        b.glEnable(GL_DEPTH_TEST);
    }
    if (gizmoTriangles.count > 0 || gizmoLines.count > 0) {
        // Handles are always drawn over everything.
        b.glDisable(GL_DEPTH_TEST);
        DrawOverlay(gizmoTriangles, GL_TRIANGLES);
        DrawOverlay(gizmoLines, GL_LINES);
        b.glEnable(GL_DEPTH_TEST);
    }
    DrawViewCube();
    f.glBindVertexArray(0);

    if (queryRunning) {
        f.glEndQuery(GL_TIME_ELAPSED);
        nextQuery = (nextQuery + 1) % 3;
        ++queriesIssued;
        queryRunning = false;
    }
    surface->PresentFrame();
    EndFrameTiming(start);
}

}  // namespace ridgeforge::gl
