// The claims test's document and facts: a scripted document whose every
// claim (the log's outcome lines, the footer, the verdict, the Information
// pane's counts) HoldClaims checks against facts measured here without the
// program's own measures. Shared by the claims tests' files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"
#include "testing/Shapes.h"
#include "tests/document/RunHold.h"
#include "tests/document/ToolHost.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge::test {

using mesh::TriangleMesh;

// ---- Facts, measured without the program's own measures

inline double EnclosedVolume(const TriangleMesh& m) {
    double six = 0.0;
    for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        const auto& a = m.vertices[m.indices[t]];
        const auto& b = m.vertices[m.indices[t + 1]];
        const auto& c = m.vertices[m.indices[t + 2]];
        const double ax = a.position.x, ay = a.position.y, az = a.position.z;
        const double bx = b.position.x, by = b.position.y, bz = b.position.z;
        const double cx = c.position.x, cy = c.position.y, cz = c.position.z;
        six += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
    }
    return six / 6.0;
}

// Pieces joined by corners at the same place (the index lists may repeat a
// position under two numbers).
inline std::size_t BodyCount(const TriangleMesh& m) {
    std::map<std::tuple<float, float, float>, std::size_t> place;
    std::vector<std::size_t> root;
    std::vector<std::size_t> of(m.vertices.size());
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
        const mesh::Vec3f& p = m.vertices[v].position;
        const auto key = std::make_tuple(p.x, p.y, p.z);
        const auto [at, added] = place.emplace(key, root.size());
        if (added) root.push_back(root.size());
        of[v] = at->second;
    }
    const auto find = [&root](std::size_t x) {
        while (root[x] != x) x = root[x] = root[root[x]];
        return x;
    };
    std::vector<bool> used(root.size(), false);
    for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        const std::size_t a = find(of[m.indices[t]]);
        for (int k = 0; k < 3; ++k) used[of[m.indices[t + k]]] = true;
        for (int k = 1; k < 3; ++k) root[find(of[m.indices[t + k]])] = a;
    }
    std::size_t bodies = 0;
    for (std::size_t x = 0; x < root.size(); ++x) bodies += used[x] && find(x) == x ? 1 : 0;
    return bodies;
}

// How far the surface stands off the faces of a box part at most, outward or
// inward, read where a face is flat: a remeshed box rounds its edges and
// corners, which is no relief.
inline double OffsetFromBox(const TriangleMesh& m, const mesh::Vec3f& lo, const mesh::Vec3f& hi) {
    constexpr double kEdgeMargin = 2.5;
    double most = 0.0;
    for (const auto& v : m.vertices) {
        const double p[3] = {v.position.x, v.position.y, v.position.z};
        const double a[3] = {lo.x, lo.y, lo.z};
        const double b[3] = {hi.x, hi.y, hi.z};
        int face = 0;
        double nearest = 1e30;
        for (int k = 0; k < 3; ++k) {
            const double d = std::min(std::fabs(p[k] - a[k]), std::fabs(p[k] - b[k]));
            if (d < nearest) {
                nearest = d;
                face = k;
            }
        }
        bool inFace = true;
        for (int k = 0; k < 3; ++k) {
            if (k != face && (p[k] < a[k] + kEdgeMargin || p[k] > b[k] - kEdgeMargin)) inFace = false;
        }
        if (inFace) most = std::max(most, nearest);
    }
    return most;
}

inline bool SameMesh(const TriangleMesh& a, const TriangleMesh& b) {
    if (a.indices != b.indices || a.vertices.size() != b.vertices.size()) return false;
    for (std::size_t v = 0; v < a.vertices.size(); ++v) {
        const mesh::Vec3f& p = a.vertices[v].position;
        const mesh::Vec3f& q = b.vertices[v].position;
        if (p.x != q.x || p.y != q.y || p.z != q.z) return false;
    }
    return true;
}

// ---- The document with its scripted shell, and the claims held after each step

struct Row : test::ToolDocument {
    // The box the part was made as; its faces are where a relief stands off.
    mesh::Vec3f lo{0, 0, 0}, hi{0, 0, 0};
    std::size_t logMark = 0;
    std::size_t infoMark = 0;

    void LoadBox(const mesh::Vec3f& min, const mesh::Vec3f& max) {
        lo = min;
        hi = max;
        doc.LoadTestShape(test::MakeBox(min, max), L"Box", L"Box", L"Box");
        host.answers.clear();
        host.defaultAnswer = QuestionAnswer::Yes;
    }
    void Texture(const char* name) { doc.ApplyProceduralTexture(mesh::procedural::CreateTexture(name), L""); }
    void Mark() {
        logMark = host.log.size();
        infoMark = host.info.size();
    }
    // Lines logged since the mark (Process empties the log: then all of it).
    std::vector<test::LogLine> Said() const {
        const std::size_t from = std::min(logMark, host.log.size());
        return {host.log.begin() + static_cast<std::ptrdiff_t>(from), host.log.end()};
    }
    bool SaidStarting(const CString& start) const {
        for (const test::LogLine& line : Said())
            if (line.text.rfind(start, 0) == 0) return true;
        return false;
    }
    const test::LogLine* Processed() const {
        const test::LogLine* found = nullptr;
        for (const test::LogLine& line : host.log)
            if (line.text.rfind(L"Processed: ", 0) == 0) found = &line;
        return found;
    }
    // The Information pane's message as it stands now.
    const test::InfoMessage* Shown() const {
        return host.info.empty() || host.info.back().text.empty() ? nullptr : &host.info.back();
    }
    bool CautionSince() const {
        for (std::size_t i = std::min(infoMark, host.info.size()); i < host.info.size(); ++i) {
            if (!host.info[i].text.empty() && host.info[i].kind != InfoKind::Good) return true;
        }
        for (const test::LogLine& line : Said())
            if (line.kind == LogKind::Warning || line.kind == LogKind::Error) return true;
        return false;
    }

    void Process() {
        Mark();
        const int clears = host.logClears;
        doc.Process();
        if (host.logClears != clears) logMark = 0;  // the run's lines start the log
    }
    // Process, held at `step` where the Stop command is given; true once the
    // stopped run was taken in.
    bool ProcessAndStopAt(const std::string& step) {
        test::RunHold hold;
        hold.Install(doc.pipeline, step);
        Process();
        bool taken = false;
        if (doc.processDecision == L"started: Process") {
            const bool reached = hold.WaitReached();
            if (reached) doc.StopProcessing();
            hold.Release();
            taken = test::PollUntilApplied(doc) && reached;
        }
        doc.pipeline.SetProgressWatcher({});
        return taken;
    }
    bool ProcessToEnd() {
        Process();
        if (doc.processDecision != L"started: Process") return false;
        return test::PollUntilApplied(doc);
    }
};

// The log and the Information pane as they stand, for a failure's message.
inline std::string Transcript(const Row& r) {
    std::string text = "log:\n";
    for (const test::LogLine& line : r.host.log) text += "  " + CStringToUtf8(line.text) + "\n";
    if (const test::InfoMessage* message = r.Shown()) text += "information: " + CStringToUtf8(message->text) + "\n";
    return text;
}

// The number after `label` on the line of the Information report that has it.
inline long long CountAfter(const CString& report, const CString& label) {
    const std::size_t at = report.find(label);
    if (at == CString::npos) return -1;
    std::string digits;
    for (std::size_t i = at + label.size(); i < report.size() && (std::iswdigit(report[i]) || report[i] == L','); ++i)
        if (report[i] != L',') digits += static_cast<char>(report[i]);
    return digits.empty() ? -1 : std::stoll(digits);
}

// Every claim the program makes now, against the facts.
inline void HoldClaims(Row& r, const std::string& row) {
    SCOPED_TRACE(row);
    CRidgeforgeDoc& doc = r.doc;
    if (!doc.HasPart() || doc.pipeline.IsRunning()) return;
    const TriangleMesh& shown = doc.ShownMesh();
    const CString footer = doc.ProcessStatusText();
    const bool stopped = r.SaidStarting(L"Stopped");

    // "Up to date" stands only for a mesh the finishing run checked: the one
    // the last complete run published.
    if (footer == L"Up to date") {
        EXPECT_TRUE(doc.pipeline.HasResult());
        EXPECT_TRUE(SameMesh(shown, doc.pipeline.PublishedMesh())) << "shown mesh is not the checked one";
        EXPECT_FALSE(stopped) << "a stop was said, yet the result is up to date";
        EXPECT_FALSE(doc.CanProcess());
    }
    // A stop leaves the part as it was, out of date and ready to run again.
    if (stopped) {
        EXPECT_NE(footer, L"Up to date");
        EXPECT_TRUE(SameMesh(shown, doc.workingPart)) << "a stop said the part is as it was";
        EXPECT_FALSE(r.SaidStarting(L"Processed: ")) << "a run said both stopped and processed";
        if (!doc.displacementEnabled || doc.HasTexture()) {
            EXPECT_TRUE(doc.CanProcess());
        }
    }
    // The success line counts the shown result, and its relief is there.
    if (const test::LogLine* line = r.Processed(); line != nullptr && footer == L"Up to date") {
        const CString count = FormatWithThousands(shown.TriangleCount());
        EXPECT_EQ(line->text.rfind(L"Processed: " + count + L" triangles", 0), 0u) << CStringToUtf8(line->text);
        const double offset = OffsetFromBox(shown, r.lo, r.hi);
        const std::size_t at = line->text.find(L", relief ");
        if (at != CString::npos) {
            const double relief = std::stod(CStringToUtf8(line->text.substr(at + 9)));
            EXPECT_LE(offset, relief + 0.05) << "the surface stands off further than the relief said";
        }
        // A relief asked for that reached no surface is no plain success.
        if (doc.lastRunSettings.displacementEnabled && doc.HasTexture() && offset < 0.005) {
            EXPECT_TRUE(r.CautionSince()) << "a texture that reached no surface was reported as a plain success\n"
                                          << Transcript(r);
        }
    }
    // Validation's verdict beside a warning about the same result.
    const CString report = doc.MeshInformationReport();
    if (report.find(L"Good: no problems found.") != CString::npos && footer == L"Up to date") {
        if (const test::InfoMessage* message = r.Shown()) {
            EXPECT_EQ(message->text.find(L"The relief thinned a wall"), CString::npos)
                << "verdict Good beside: " << CStringToUtf8(message->text);
            EXPECT_EQ(message->text.find(L"The relief needs support."), CString::npos)
                << "verdict Good beside: " << CStringToUtf8(message->text);
        }
    }
    // The Information pane's counts are the shown mesh's.
    EXPECT_EQ(CountAfter(report, L"Bodies: "), static_cast<long long>(BodyCount(shown))) << "Bodies:";
    EXPECT_NE(report.find(L"  " + FormatWithThousands(shown.TriangleCount()) + L" triangles\r\n"), CString::npos);
    // Without a texture there is no texture to describe.
    if (!doc.HasTexture()) {
        EXPECT_EQ(report.find(L"Texture detail"), CString::npos) << "texture detail without a texture";
        EXPECT_EQ(report.find(L"Procedural texture"), CString::npos) << "a procedural texture without a texture";
    }
}

}  // namespace ridgeforge::test
