// Parts, textures and settings the pipeline tests share, and a progress
// callback that records the stage texts and can ask for a stop.
#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "mesh/Progress.h"
#include "mesh/TestShapes.h"
#include "textures/procedural/TextureRegistry.h"
#include "document/pipeline/PipelineSettings.h"
#include "textures/HeightMap.h"

namespace ridgeforge::mesh::test {

// A procedural texture of `pixels` square spread over `widthMillimetres`.
inline HeightMap ProceduralMap(const char* name, int pixels, float widthMillimetres) {
    HeightMap map;
    map.SetImage(pixels, pixels, procedural::CreateTexture(name)->RenderHeightMap(pixels, pixels));
    TextureSettings settings = map.settings;
    settings.widthMillimetres = widthMillimetres;
    map.SetSettings(settings);
    return map;
}

// A box mapping around the part, the relief on with the given method.
inline PipelineSettings ReliefSettings(const TriangleMesh& part, DisplacementMethod method) {
    PipelineSettings s;
    s.projection.cage.center = (part.boundsMin + part.boundsMax) * 0.5f;
    s.projection.cage.size = part.boundsMax - part.boundsMin;
    s.displacementEnabled = true;
    s.displacement.method = method;
    s.displacement.strengthMillimetres = 0.8f;
    s.remesh.targetEdgeMillimetres = 1.0f;
    return s;
}

// Records every stage text; answers "stop" from the first text that
// contains `stopAt` on.
class ProgressRecorder {
public:
    explicit ProgressRecorder(std::string stopAt = {}) : stopAt_(std::move(stopAt)) {}

    ProgressCallback Callback() {
        return [this](const std::string& text, float) {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(text);
            if (!stopAt_.empty() && text.find(stopAt_) != std::string::npos) stopping_ = true;
            return !stopping_;
        };
    }
    bool Saw(const std::string& text) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(texts_.begin(), texts_.end(), text) != texts_.end();
    }
    bool Stopped() const { return stopping_; }

private:
    std::string stopAt_;
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    bool stopping_ = false;
};

}  // namespace ridgeforge::mesh::test
