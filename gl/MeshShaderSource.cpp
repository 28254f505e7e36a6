// One program shades the part and draws every overlay. Heights are filtered
// here with four exact texel fetches rather than by the hardware, whose
// filtering precision differs between drivers: the preview has to agree with
// the relief the CPU will build from the same map.
#include "gl/MeshShaderSource.h"

namespace ridgeforge::gl {

const char* const kMeshVertexSource = R"(#version 330 core
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inFaceNormal;
layout(location = 2) in vec3 inSmoothNormal;
layout(location = 3) in vec3 inColour;
layout(location = 4) in vec2 inProjected;
layout(location = 5) in float inMask;

uniform mat4 uMvp;
uniform bool uSmooth;

out vec3 vWorld;
out vec3 vFaceNormal;
out vec3 vSmoothNormal;
out vec3 vShadingNormal;
out vec3 vColour;
out vec2 vProjected;
out float vMask;

void main() {
    gl_Position = uMvp * vec4(inPosition, 1.0);
    vWorld = inPosition;
    vFaceNormal = inFaceNormal;
    vSmoothNormal = inSmoothNormal;
    vShadingNormal = uSmooth ? inSmoothNormal : inFaceNormal;
    vColour = inColour;
    vProjected = inProjected;
    vMask = inMask;
}
)";

const char* const kMeshFragmentSource = R"(#version 330 core
in vec3 vWorld;
in vec3 vFaceNormal;
in vec3 vSmoothNormal;
in vec3 vShadingNormal;
in vec3 vColour;
in vec2 vProjected;
in float vMask;

uniform vec3 uLightDirection;
uniform bool uLit;
uniform vec3 uOverrideColor;
uniform bool uUseOverride;
uniform int uSurfaceMode;
uniform float uCheckerMillimetres;
uniform float uAlpha;

uniform int uMaskCount;
uniform int uMaskShape[16];
uniform vec3 uMaskCenter[16];
uniform vec3 uMaskAxisX[16];
uniform vec3 uMaskAxisY[16];
uniform vec3 uMaskAxisZ[16];
uniform vec3 uMaskHalf[16];
uniform float uMaskFeather[16];

out vec4 outColour;

// The remainder operator is undefined for negative operands, and positions
// left of or above the image are exactly that case.
float FlooredMod(float value, float divisor) {
    return value - divisor * floor(value / divisor);
}

//@SHARED@

float MaskInside(int i, vec3 p) {
    vec3 d = p - uMaskCenter[i];
    vec3 l = vec3(dot(d, uMaskAxisX[i]), dot(d, uMaskAxisY[i]), dot(d, uMaskAxisZ[i]));
    vec3 h = uMaskHalf[i];
    float dist;
    if (uMaskShape[i] == 0) {
        vec3 q = abs(l) - h;
        dist = length(max(q, vec3(0.0))) + min(max(q.x, max(q.y, q.z)), 0.0);
    } else if (uMaskShape[i] == 2) {
        dist = (length(l / h) - 1.0) * min(h.x, min(h.y, h.z));
    } else {
        float radial = (length(l.xy / h.xy) - 1.0) * min(h.x, h.y);
        float axial = abs(l.z) - h.z;
        dist = length(max(vec2(radial, axial), vec2(0.0))) + min(max(radial, axial), 0.0);
    }
    if (dist <= 0.0) return 1.0;
    float feather = uMaskFeather[i];
    if (feather <= 0.0 || dist >= feather) return 0.0;
    float t = dist / feather;
    return 1.0 - t * t * (3.0 - 2.0 * t);
}

float MaskFactor(vec3 p) {
    float inside = 0.0;
    for (int i = 0; i < uMaskCount && i < 16; ++i) inside = max(inside, MaskInside(i, p));
    return 1.0 - inside;
}

void main() {
    vec3 base = uUseOverride ? uOverrideColor : vColour;
    float weight = clamp(vMask, 0.0, 1.0);
    if (uMaskCount > 0) weight *= MaskFactor(vWorld);

    vec2 blendMm[3];
    float blendWeight[3];
    int count = 0;
    if (uBlend && !uUseOverride && (uSurfaceMode == 1 || uSurfaceMode == 3)) {
        vec3 smoothNormal = normalize(vSmoothNormal);
        vec3 faceNormal = normalize(vFaceNormal);
        // A sharp edge keeps its faces flat.
        vec3 n = dot(smoothNormal, faceNormal) < 0.866 ? faceNormal : smoothNormal;
        count = BlendContributions(vWorld, n, blendMm, blendWeight);
    }

    if (uSurfaceMode == 1 && !uUseOverride) {
        float size = max(uCheckerMillimetres, 0.0001);
        float dark = 0.0;
        if (count == 0) {
            vec2 cell = floor(vProjected / size);
            dark = FlooredMod(cell.x + cell.y, 2.0);
        } else {
            for (int i = 0; i < count; ++i) {
                vec2 cell = floor(blendMm[i] / size);
                dark += blendWeight[i] * FlooredMod(cell.x + cell.y, 2.0);
            }
        }
        vec3 check = mix(vec3(0.88, 0.88, 0.86), vec3(0.20, 0.21, 0.24), dark);
        base = mix(base, check, weight);
    } else if (uSurfaceMode == 3 && !uUseOverride) {
        float height = 0.0;
        if (count == 0) {
            height = HeightAt(vProjected);
        } else {
            for (int i = 0; i < count; ++i) height += blendWeight[i] * HeightAt(blendMm[i]);
        }
        base = mix(base, vec3(height), weight);
    }

    float intensity = 1.0;
    if (uLit) {
        // Two-sided: a back face seen from behind is lit like a front face,
        // so looking into an open part does not read as a hole.
        intensity = 0.28 + 0.72 * abs(dot(normalize(vShadingNormal), normalize(-uLightDirection)));
    }
    outColour = vec4(base * intensity, uAlpha);
}
)";

const char* const kHeightMapBlock = R"(
uniform sampler2D uHeightMap;
uniform int uWrapMode;
uniform vec2 uTextureSizeMm;
uniform vec2 uTextureOffsetMm;
uniform float uTextureRotation;
uniform float uBlackLevel;
uniform float uWhiteLevel;
uniform float uGamma;
uniform float uOutputBlack;
uniform float uOutputWhite;
uniform bool uInvert;

int WrapIndex(float i, float n) {
    if (uWrapMode == 2) return int(clamp(i, 0.0, n - 1.0));
    if (uWrapMode == 1) {
        float m = FlooredMod(i, 2.0 * n);
        return int(m < n ? m : 2.0 * n - 1.0 - m);
    }
    return int(FlooredMod(i, n));
}

float Levels(float value) {
    float span = uWhiteLevel - uBlackLevel;
    float t = abs(span) > 1e-6 ? (value - uBlackLevel) / span : (value >= uWhiteLevel ? 1.0 : 0.0);
    t = clamp(t, 0.0, 1.0);
    if (uGamma > 0.0 && uGamma != 1.0) t = pow(t, uGamma);
    t = uOutputBlack + t * (uOutputWhite - uOutputBlack);
    return uInvert ? 1.0 - t : t;
}

float HeightAt(vec2 mm) {
    vec2 p = mm - uTextureOffsetMm;
    if (uTextureRotation != 0.0) {
        float c = cos(uTextureRotation);
        float s = sin(uTextureRotation);
        p = vec2(p.x * c + p.y * s, -p.x * s + p.y * c);
    }
    vec2 size = vec2(uTextureSizeMm.x == 0.0 ? 1.0 : uTextureSizeMm.x,
                     uTextureSizeMm.y == 0.0 ? 1.0 : uTextureSizeMm.y);
    vec2 uv = p / size;
    ivec2 dims = textureSize(uHeightMap, 0);
    float raw = 0.0;
    if (dims.x > 0 && dims.y > 0) {
        float w = float(dims.x);
        float h = float(dims.y);
        float x = uv.x * w - 0.5;
        float y = uv.y * h - 0.5;
        float x0 = floor(x);
        float y0 = floor(y);
        float fx = x - x0;
        float fy = y - y0;
        int ax = WrapIndex(x0, w);
        int bx = WrapIndex(x0 + 1.0, w);
        int ay = WrapIndex(y0, h);
        int by = WrapIndex(y0 + 1.0, h);
        float a = texelFetch(uHeightMap, ivec2(ax, ay), 0).r;
        float b = texelFetch(uHeightMap, ivec2(bx, ay), 0).r;
        float c = texelFetch(uHeightMap, ivec2(ax, by), 0).r;
        float d = texelFetch(uHeightMap, ivec2(bx, by), 0).r;
        float top = a + (b - a) * fx;
        float bottom = c + (d - c) * fx;
        raw = top + (bottom - top) * fy;
    }
    return Levels(raw);
}
)";

const char* const kCageBlock = R"(
uniform bool uBlend;
uniform float uBlendSharpness;
uniform vec3 uCageCenter;
uniform vec3 uCageAxisX;
uniform vec3 uCageAxisY;
uniform vec3 uCageAxisZ;
uniform int uSideEnabled[6];
uniform vec2 uLayerOrigin[6];
uniform vec2 uLayerTurnZoom[6];
uniform bool uSphere;
uniform float uSphereRadius;
uniform vec3 uFaceU[6];
uniform vec3 uFaceV[6];
uniform vec3 uFaceN[6];
uniform float uFaceTurn[6];

vec2 SideMillimetres(int side, vec3 local) {
    vec2 plane;
    if (uSphere) {
        float depth = dot(local, uFaceN[side]);
        plane = vec2(uSphereRadius * (uFaceTurn[side] + atan(dot(local, uFaceU[side]), depth)),
                     uSphereRadius * atan(dot(local, uFaceV[side]), depth));
    } else {
        int axis = side / 2;
        float sign = (side - 2 * axis) == 0 ? 1.0 : -1.0;
        if (axis == 0) plane = vec2(local.y * sign, local.z);
        else if (axis == 1) plane = vec2(local.x * sign, local.z);
        else plane = vec2(local.x * sign, local.y);
    }
    vec2 p = plane - uLayerOrigin[side];
    float turn = uLayerTurnZoom[side].x;
    if (turn != 0.0) {
        float c = cos(turn);
        float s = sin(turn);
        p = vec2(p.x * c + p.y * s, -p.x * s + p.y * c);
    }
    float zoom = uLayerTurnZoom[side].y;
    if (zoom <= 0.0) zoom = 1.0;
    return p / zoom;
}

int BlendContributions(vec3 position, vec3 normal, out vec2 mm[3], out float weight[3]) {
    vec3 d = position - uCageCenter;
    vec3 local = vec3(dot(d, uCageAxisX), dot(d, uCageAxisY), dot(d, uCageAxisZ));
    vec3 n = vec3(dot(normal, uCageAxisX), dot(normal, uCageAxisY), dot(normal, uCageAxisZ));
    if (dot(n, n) <= 0.0) return 0;
    n = normalize(n);
    float k = max(uBlendSharpness, 0.1);
    int count = 0;
    float total = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        int side = 2 * axis + (n[axis] >= 0.0 ? 0 : 1);
        if (uSideEnabled[side] == 0) continue;
        float w = pow(abs(n[axis]), k);
        if (w <= 0.0) continue;
        mm[count] = SideMillimetres(side, local);
        weight[count] = w;
        total += w;
        ++count;
    }
    for (int i = 0; i < count; ++i) weight[i] /= total;
    return count;
}
)";

std::string SpliceSharedBlocks(const std::string& fragmentSource) {
    static const std::string marker = "//@SHARED@";
    std::string out = fragmentSource;
    const std::size_t at = out.find(marker);
    if (at == std::string::npos) return out;
    out.replace(at, marker.size(), std::string(kHeightMapBlock) + kCageBlock);
    return out;
}

}  // namespace ridgeforge::gl
