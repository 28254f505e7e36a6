// The "remesh" object of the project file.
//
// The method is stored as a word; the older word "dualContouring" (1) still
// reads, and every read turns 1 into 2 since both mean contouring.
#include "mesh/remesh/RemeshSettings.h"

#include <array>
#include <string>
#include <string_view>

#include "mesh/Json.h"

namespace ridgeforge::mesh {
namespace {

struct MethodWord {
    RemeshMethod value;
    std::string_view word;
};

constexpr std::array<MethodWord, 3> kMethodWords = {{
    {kRemeshIsotropic, "isotropic"},
    {kRemeshDualContouring, "dualContouring"},
    {kRemeshContour, "contour"},
}};

}  // namespace

void WriteRemeshSettings(const JsonWriter& writer, const RemeshSettings& settings) {
    bool named = false;
    for (const MethodWord& m : kMethodWords) {
        if (m.value == settings.method) {
            JsonSetString(writer, "method", m.word);
            named = true;
            break;
        }
    }
    if (!named) JsonSetInteger(writer, "method", settings.method);
    JsonSetFloat(writer, "targetEdgeMillimetres", settings.targetEdgeMillimetres);
    JsonSetInteger(writer, "rounds", settings.rounds);
    JsonSetFloat(writer, "featureAngleDegrees", settings.featureAngleDegrees);
    JsonSetFloat(writer, "relaxation", settings.relaxation);
    JsonSetBool(writer, "projectToOriginal", settings.projectToOriginal);
    const DualContouringSettings& dc = settings.dualContouring;
    JsonSetFloat(writer, "dualContouring.sharpness", dc.sharpness);
    JsonSetBool(writer, "dualContouring.preserveVolume", dc.preserveVolume);
    JsonSetBool(writer, "dualContouring.removeDisconnected", dc.removeDisconnected);
    JsonSetFloat(writer, "dualContouring.disconnectedThreshold", dc.disconnectedThreshold);
    JsonSetBool(writer, "dualContouring.manifold", dc.manifold);
}

void ReadRemeshSettings(const JsonReader& reader, RemeshSettings& settings) {
    std::string word;
    if (JsonGetString(reader, "method", word)) {
        for (const MethodWord& m : kMethodWords) {
            if (m.word == word) {
                settings.method = m.value;
                break;
            }
        }
    }
    if (settings.method == kRemeshDualContouring) settings.method = kRemeshContour;
    JsonGetFloat(reader, "targetEdgeMillimetres", settings.targetEdgeMillimetres);
    JsonGetInt32(reader, "rounds", settings.rounds);
    JsonGetFloat(reader, "featureAngleDegrees", settings.featureAngleDegrees);
    JsonGetFloat(reader, "relaxation", settings.relaxation);
    JsonGetBool(reader, "projectToOriginal", settings.projectToOriginal);
    DualContouringSettings& dc = settings.dualContouring;
    JsonGetFloat(reader, "dualContouring.sharpness", dc.sharpness);
    JsonGetBool(reader, "dualContouring.preserveVolume", dc.preserveVolume);
    JsonGetBool(reader, "dualContouring.removeDisconnected", dc.removeDisconnected);
    JsonGetFloat(reader, "dualContouring.disconnectedThreshold", dc.disconnectedThreshold);
    JsonGetBool(reader, "dualContouring.manifold", dc.manifold);
}

}  // namespace ridgeforge::mesh
