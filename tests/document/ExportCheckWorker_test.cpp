#include "document/ExportCheckWorker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "document/ExportCheck.h"
#include "mesh/SortUnique.h"
#include "relief/validation/KnownCrossings.h"
#include "relief/validation/SelfIntersections.h"
#include "tests/document/ExportCheckFakes.h"
#include "tests/support/TestSupport.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

const mesh::ExportFixOptions kNoFixes{false, false, false, false, 40, 1.0f};

struct CheckRun {
    ExportCheckResult result;
    std::vector<std::string> stages;
    int checks = 0;
    std::string report;
};

// The check function of these tests: notes that it ran and answers `answer`.
CheckRun RunCheck(const mesh::TriangleMesh& m, const ExportCheckInputs& inputs, bool withCheck = true,
                  bool answer = true, const std::string& stopAt = "") {
    CheckRun run;
    std::atomic<bool> stop{false};
    const ExportStageCallback stage = [&](const std::wstring& text) {
        run.stages.push_back(Utf8FromWide(text));
        if (run.stages.back() == stopAt) stop = true;
    };
    ExportCheckFunction check;
    if (withCheck) {
        check = [&](const mesh::TriangleMesh& checked, std::wstring& text) {
            ++run.checks;
            text += L"checked " + std::to_wstring(checked.TriangleCount()) + L" triangles\nsecond line\n";
            return answer;
        };
    }
    run.result = RunExportCheck(m, inputs, stage, check, stop);
    run.report = Utf8FromWide(run.result.report);
    return run;
}

// A 20 mm box without its top: a hole far beyond what the cleanup closes.
mesh::TriangleMesh OpenTopBox() {
    mesh::TriangleMesh m = test::MakeBox({0, 0, 0}, {20, 20, 20});
    std::vector<std::uint32_t> kept;
    for (std::size_t t = 0; t < m.TriangleCount(); ++t) {
        if (m.FaceNormal(t).z > 0.5f) continue;
        kept.insert(kept.end(), m.indices.begin() + static_cast<std::ptrdiff_t>(3 * t),
                    m.indices.begin() + static_cast<std::ptrdiff_t>(3 * t + 3));
    }
    m.indices = kept;
    return m;
}

bool EveryLineEndsInCrLf(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    }
    return true;
}

TEST(ExportCheckWorker, CleanPartWithoutFixesIsOneRoundThenTheCheck) {
    ExportCheckInputs inputs;
    inputs.fixes = kNoFixes;
    const CheckRun run = RunCheck(test::MakeBox({0, 0, 0}, {10, 10, 10}), inputs);
    EXPECT_FALSE(run.result.stopped);
    EXPECT_EQ(run.report,
              "Cleanup: nothing to do.\r\n\r\n"
              "Read back as a slicer reads it: 12 triangles, nothing a slicer would refuse.\r\n"
              "\r\n"
              "checked 12 triangles\r\nsecond line\r\n");
    EXPECT_EQ(run.stages,
              (std::vector<std::string>{"Cleaning up the mesh...", "Reading the file back as a slicer will...",
                                        "Checking the file: edges, crossings, how it prints..."}));
    EXPECT_EQ(run.checks, 1);
    EXPECT_TRUE(run.result.checksPassed);
    EXPECT_EQ(run.result.mesh.TriangleCount(), 12u);
    EXPECT_FALSE(run.result.fixes.nonManifoldRan || run.result.fixes.foldsRan);

    // The check function's answer is the verdict; without one there is none.
    EXPECT_FALSE(RunCheck(test::MakeBox({0, 0, 0}, {1, 1, 1}), inputs, true, false).result.checksPassed);
    const CheckRun unchecked = RunCheck(test::MakeBox({0, 0, 0}, {1, 1, 1}), inputs, false);
    EXPECT_FALSE(unchecked.result.checksPassed);
    EXPECT_EQ(unchecked.report.substr(unchecked.report.size() - 5), ".\r\n\r\n");
}

TEST(ExportCheckWorker, AnOpenSheetClosedOnItselfLeavesNothingAndSaysSo) {
    // A 10 mm square sheet of two triangles. With holes up to 20 mm closed,
    // its own outline is filled with its back; the fixes take the two
    // double-skinned pairs away, and nothing is left to write.
    mesh::TriangleMesh sheet;
    sheet.vertices = {{{0, 0, 0}, {}}, {{10, 0, 0}, {}}, {{10, 10, 0}, {}}, {{0, 10, 0}, {}}};
    sheet.indices = {0, 1, 2, 0, 2, 3};
    ExportCheckInputs inputs;
    inputs.cleanup.maximumHoleMillimetres = 20.0f;
    inputs.bodyCount = 1;
    std::atomic<bool> stop{false};
    mesh::DisplacementBase base;
    base.enabled = false;
    const ExportCheckResult result = RunExportCheck(
        sheet, inputs, [](const std::wstring&) {},
        [&base](const mesh::TriangleMesh& m, std::wstring& text) { return ExportCheckReport(m, base, text); }, stop);
    const std::string report = Utf8FromWide(result.report);
    EXPECT_EQ(result.mesh.TriangleCount(), 0u);
    EXPECT_NE(report.find("\r\nRead back as a slicer reads it: no triangles are left.\r\n"), std::string::npos)
        << report;
    EXPECT_EQ(report.find("nothing a slicer would refuse"), std::string::npos) << report;
    EXPECT_NE(report.find("  PROBLEM nothing is left to save: the mesh has no triangles\r\n"), std::string::npos);
    EXPECT_FALSE(result.checksPassed);

    // At the default 5 mm the outline stays open and the sheet is written.
    inputs.cleanup.maximumHoleMillimetres = 5.0f;
    const ExportCheckResult kept = RunExportCheck(
        sheet, inputs, [](const std::wstring&) {},
        [&base](const mesh::TriangleMesh& m, std::wstring& text) { return ExportCheckReport(m, base, text); }, stop);
    EXPECT_EQ(kept.mesh.TriangleCount(), 2u);
    EXPECT_EQ(Utf8FromWide(kept.report).find("no triangles are left"), std::string::npos);
    EXPECT_FALSE(kept.checksPassed);
}

TEST(ExportCheckWorker, FixesReportTheirFirstRoundAndStageNames) {
    ExportCheckInputs inputs;  // every fix on
    const CheckRun run = RunCheck(test::MakeBox({0, 0, 0}, {10, 10, 10}), inputs);
    EXPECT_EQ(run.report.rfind("Cleanup: nothing to do.\r\n\r\nFixes:\r\n", 0), 0u) << run.report;
    const std::string fixText = mesh::FormatExportFixReport(run.result.fixes);
    std::string fixTextCrLf;
    for (char c : fixText) fixTextCrLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_NE(run.report.find("Fixes:\r\n" + fixTextCrLf +
                              "\r\nRead back as a slicer reads it: 12 triangles, nothing "
                              "a slicer would refuse.\r\n\r\nchecked 12 triangles"),
              std::string::npos)
        << run.report;
    EXPECT_TRUE(EveryLineEndsInCrLf(run.report));
    // The fixes' own stage names are passed on with "..." after them.
    ASSERT_GT(run.stages.size(), 3u);
    for (std::size_t i = 1; i + 2 < run.stages.size(); ++i) {
        EXPECT_EQ(run.stages[i].substr(run.stages[i].size() - 3), "...");
        EXPECT_NE(run.stages[i], "Fixing what the reading found...");
    }
    EXPECT_EQ(run.report.find("fixed again"), std::string::npos);
}

TEST(ExportCheckWorker, WhatTheReadBackFindsIsFixedAgainUpToThreeRounds) {
    ExportCheckInputs inputs;
    const CheckRun run = RunCheck(OpenTopBox(), inputs);
    const std::string open =
        "Read back as a slicer reads it: 0 non-manifold edges, 4 open edges, 0 facets with no area";
    const std::size_t first = run.report.find(open + " - fixed again.\r\n");
    ASSERT_NE(first, std::string::npos) << run.report;
    const std::size_t second = run.report.find(open + " - fixed again.\r\n", first + 1);
    ASSERT_NE(second, std::string::npos) << run.report;
    EXPECT_NE(run.report.find(open + ".\r\n", second + 1), std::string::npos) << run.report;
    EXPECT_EQ(std::count(run.stages.begin(), run.stages.end(), "Fixing what the reading found..."), 2);
    EXPECT_EQ(std::count(run.stages.begin(), run.stages.end(), "Reading the file back as a slicer will..."), 3);
    // Only the first round's cleanup and fixes are written out.
    EXPECT_EQ(run.report.find("Cleanup:", 1), std::string::npos);
    EXPECT_EQ(run.report.find("Fixes:", run.report.find("Fixes:") + 1), std::string::npos);
    EXPECT_EQ(run.result.cleanup.holesLeftOpen, 1u);

    // With the fixes off there is one round and nothing is fixed again.
    inputs.fixes = kNoFixes;
    const CheckRun once = RunCheck(OpenTopBox(), inputs);
    EXPECT_NE(once.report.find("Cleanup:\r\n"), std::string::npos);
    EXPECT_NE(once.report.find(open + ".\r\n\r\nchecked 10 triangles"), std::string::npos) << once.report;
    EXPECT_EQ(once.report.find("fixed again"), std::string::npos);
}

// A rippled torus with pairs of spikes three rows apart leaning over each
// other, as a relief too deep for its spacing: their tents pass through each
// other, and a short relaxing budget parts them only a few at a time.
mesh::TriangleMesh LeaningSpikes(std::uint32_t around, int pairs) {
    mesh::TriangleMesh m = test::MakeTorus(40.0f, 15.0f, around, around / 2);
    const std::uint32_t across = around / 2;
    const auto lean = [&](std::uint32_t index, float rows) {
        mesh::Vertex& v = m.vertices[index];
        const float row = 6.2831853f * std::hypot(v.position.x, v.position.y) / static_cast<float>(around);
        const mesh::Vec3f along = mesh::Normalize(mesh::Cross(v.normal, mesh::Vec3f{0, 0, 1}));
        v.position += along * (rows * row) + v.normal * (1.5f * row);
    };
    for (int k = 0; k < pairs; ++k) {
        const std::uint32_t i = static_cast<std::uint32_t>(k) * (around / static_cast<std::uint32_t>(pairs));
        const std::uint32_t j = 0;
        lean(i * across + j, -2.0f);
        lean(((i + 3) % around) * across + j, 2.0f);
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

TEST(ExportCheckWorker, CrossingsThatKeepFallingGoAnotherRound) {
    ExportCheckInputs inputs;
    inputs.bodyCount = 1;
    inputs.fixes.maximumRounds = 1;
    inputs.fixes.maximumMoveMillimetres = 0.01f;
    const CheckRun run = RunCheck(LeaningSpikes(120, 12), inputs);
    ASSERT_TRUE(run.result.fixes.selfIntersectionsRan);
    ASSERT_GT(run.result.fixes.selfIntersectingLeft, 0u) << run.report;

    // Each clean read-back is followed by the count left when it fell, and
    // the counts fall from round to round; the round after the last such line
    // adds none (here the second: its collapses part all that was left).
    const std::string clean = "nothing a slicer would refuse.\r\n";
    const std::string still = " triangles still pass through others - fixed again.\r\n";
    std::vector<std::uint64_t> left;
    std::size_t at = 0;
    int readBacks = 0;
    for (at = run.report.find(clean); at != std::string::npos; at = run.report.find(clean, at + 1)) {
        ++readBacks;
        const std::size_t line = at + clean.size();
        const std::size_t end = run.report.find(still, line);
        if (end == std::string::npos || run.report.find("\r\n", line) < end) continue;
        left.push_back(std::stoull(run.report.substr(line, end - line)));
    }
    ASSERT_GE(left.size(), 1u) << run.report;
    EXPECT_EQ(readBacks, static_cast<int>(left.size()) + 1) << run.report;
    EXPECT_EQ(left[0], run.result.fixes.selfIntersectingLeft);
    for (std::size_t i = 1; i < left.size(); ++i) EXPECT_LT(left[i], left[i - 1]);
    EXPECT_EQ(std::count(run.stages.begin(), run.stages.end(), "Fixing what the reading found..."),
              static_cast<std::ptrdiff_t>(left.size()));
}

// A 2 mm box and a 1 mm square bar 2 mm long, either poking out through the
// box's +x face or standing 1 mm clear of it. Poking, 10 triangles pass
// through others: the box's two +x triangles and the eight of the bar's long
// sides.
mesh::TriangleMesh BoxAndBar(bool poking) {
    mesh::TriangleMesh m = test::MakeBox({0, 0, 0}, {2, 2, 2});
    const float x = poking ? 1.0f : 3.0f;
    test::AppendMesh(m, test::MakeBox({x, 0.5f, 0.5f}, {x + 2.0f, 1.5f, 1.5f}));
    return m;
}

std::string CrossingLine(const std::string& report) {
    const std::size_t end = report.find(" triangles passing through others\r\n");
    if (end == std::string::npos) return "";
    return report.substr(report.rfind("\r\n", end) + 2, end - report.rfind("\r\n", end) - 2);
}

// The fixes search the whole mesh; a step after them that changes the mesh
// must still have the check look at the mesh as it then is.
TEST(ExportCheckWorker, TheCheckSeesTheMeshAsItIsAfterEveryStep) {
    ExportCheckInputs inputs;
    inputs.bodyCount = 2;
    inputs.fixes = {false, true, false, false, 40, 1.0f};  // unfolding alone: one search, no change
    std::atomic<bool> stop{false};
    const ExportCheckFunction check = [](const mesh::TriangleMesh& m, std::wstring& text) {
        return ExportCheckReport(m, mesh::DisplacementBase{}, text);
    };

    // The fixes find the bar through the box, then the bar is taken away.
    ExportCheckSteps dropBar;
    dropBar.fixes = [](mesh::TriangleMesh& m, const mesh::ExportFixOptions& options,
                       const mesh::FixStageCallback& stage, std::uint64_t bodies) {
        const mesh::ExportFixReport report = mesh::FixMeshForExport(m, options, stage, bodies);
        m.indices.resize(36);
        return report;
    };
    const ExportCheckResult dropped = RunExportCheck(BoxAndBar(true), inputs, nullptr, check, stop, dropBar);
    const std::string droppedReport = Utf8FromWide(dropped.report);
    EXPECT_NE(droppedReport.find("Read back as a slicer reads it: 12 triangles,"), std::string::npos) << droppedReport;
    EXPECT_EQ(CrossingLine(droppedReport), "  ok      0") << droppedReport;
    EXPECT_TRUE(dropped.checksPassed) << droppedReport;

    // The fixes find nothing, then the read-back pushes the bar into the box.
    ExportCheckSteps pushBar;
    pushBar.readBack = [](mesh::TriangleMesh& m) {
        const mesh::SlicerReadBackReport report = mesh::CheckSlicerReadBack(m);
        for (mesh::Vertex& v : m.vertices) {
            if (v.position.x > 2.5f) v.position.x -= 2.0f;
        }
        return report;
    };
    const ExportCheckResult pushed = RunExportCheck(BoxAndBar(false), inputs, nullptr, check, stop, pushBar);
    const std::string pushedReport = Utf8FromWide(pushed.report);
    EXPECT_EQ(CrossingLine(pushedReport), "  PROBLEM 10") << pushedReport;
    EXPECT_FALSE(pushed.checksPassed);

    // Left as they are, the check says what the fixes found.
    const ExportCheckResult asFound = RunExportCheck(BoxAndBar(true), inputs, nullptr, check, stop);
    EXPECT_EQ(CrossingLine(Utf8FromWide(asFound.report)), "  PROBLEM 10") << Utf8FromWide(asFound.report);
}

// When the fixes leave crossings, the check counts exactly those still there.
TEST(ExportCheckWorker, CrossingsLeftByTheFixesAreCountedByTheCheck) {
    ExportCheckInputs inputs;
    inputs.bodyCount = 1;
    inputs.fixes.maximumRounds = 1;
    inputs.fixes.maximumMoveMillimetres = 0.001f;
    std::atomic<bool> stop{false};
    // The real fixes, once: the rounds end after the first read-back.
    ExportCheckSteps once;
    once.fixes = [](mesh::TriangleMesh& m, const mesh::ExportFixOptions& options, const mesh::FixStageCallback& stage,
                    std::uint64_t bodies) {
        mesh::ExportFixReport report = mesh::FixMeshForExport(m, options, stage, bodies);
        report.selfIntersectionsRan = false;
        return report;
    };
    std::size_t counted = 0;
    const ExportCheckResult result = RunExportCheck(
        LeaningSpikes(120, 12), inputs, nullptr,
        [&](const mesh::TriangleMesh& m, std::wstring&) {
            counted = mesh::CrossingTriangles(m).size();
            return true;
        },
        stop, once);
    ASSERT_GT(result.fixes.selfIntersectingLeft, 0u) << Utf8FromWide(result.report);
    // Counted afresh on the mesh handed back, by the plain search.
    std::vector<std::uint32_t> fresh = mesh::SelfIntersectingTriangles(result.mesh, nullptr);
    mesh::SortUnique(fresh);
    EXPECT_EQ(counted, fresh.size());
    EXPECT_GT(counted, 0u) << Utf8FromWide(result.report);
}

// A closed double pyramid pressed flat: both apexes inside the triangle
// of the middle ring, each nearer another corner. Every two faces share a
// corner or an edge, so the only crossings are between neighbours, and
// relaxing keeps every vertex in the plane, where it cannot part them.
mesh::TriangleMesh FlatDoublePyramid() {
    mesh::TriangleMesh m;
    for (const mesh::Vec3f p : {mesh::Vec3f{0, 0, 0}, mesh::Vec3f{60, 0, 0}, mesh::Vec3f{0, 60, 0},
                                mesh::Vec3f{8, 40, 0}, mesh::Vec3f{40, 8, 0}}) {
        m.vertices.push_back({p, {}});
    }
    // Ring 0, 1, 2; apex 3 over it, apex 4 under it.
    m.indices = {3, 0, 1, 3, 1, 2, 3, 2, 0, 4, 1, 0, 4, 2, 1, 4, 0, 2};
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

TEST(ExportCheckWorker, NeighboursCrossingWhereNoFixCanPartThemAreNotPassed) {
    const mesh::TriangleMesh flat = FlatDoublePyramid();
    ASSERT_TRUE(test::IsClosedOrientedManifold(flat));
    // Some crossing pair shares only a corner.
    const std::vector<std::uint32_t> hits = mesh::SelfIntersectingTriangles(flat, nullptr);
    bool cornerPair = false;
    for (std::size_t h = 0; h + 1 < hits.size(); h += 2) {
        int shared = 0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) shared += flat.indices[3 * hits[h] + i] == flat.indices[3 * hits[h + 1] + j];
        cornerPair = cornerPair || shared == 1;
    }
    EXPECT_TRUE(cornerPair);

    ExportCheckInputs inputs;  // every fix on, as Save STL starts
    inputs.bodyCount = 1;
    std::atomic<bool> stop{false};
    const ExportCheckResult result = RunExportCheck(
        flat, inputs, nullptr,
        [](const mesh::TriangleMesh& m, std::wstring& text) { return ExportCheckReport(m, {}, text); }, stop);
    const std::string report = Utf8FromWide(result.report);
    EXPECT_GT(result.fixes.selfIntersectingFound, 0u) << report;
    EXPECT_GT(result.fixes.selfIntersectingLeft, 0u) << report;
    EXPECT_FALSE(mesh::SelfIntersectingTriangles(result.mesh, nullptr).empty());
    EXPECT_NE(report.find("  PROBLEM "), std::string::npos) << report;
    EXPECT_NE(report.find(" triangles passing through others\r\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("  ok      0 triangles passing through others"), std::string::npos) << report;
    EXPECT_FALSE(result.checksPassed) << report;
}

// Steps whose crossing counts the test chooses round by round: the cleanup
// does nothing, the read-back finds nothing, the fixes leave the next count.
ExportCheckSteps CrossingsLeft(const std::vector<std::uint64_t>& counts, int& fixRounds) {
    ExportCheckSteps steps;
    steps.cleanup = [](mesh::TriangleMesh&, float, const mesh::ExportCleanupOptions&) {
        return mesh::ExportCleanupReport{};
    };
    steps.fixes = [counts, &fixRounds](mesh::TriangleMesh&, const mesh::ExportFixOptions&,
                                       const mesh::FixStageCallback&, std::uint64_t) {
        mesh::ExportFixReport report;
        report.selfIntersectionsRan = true;
        report.selfIntersectingFound = counts.front();
        report.selfIntersectingLeft = counts[static_cast<std::size_t>(std::min<int>(fixRounds, 2))];
        ++fixRounds;
        return report;
    };
    steps.readBack = test::CleanReadBack;
    return steps;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(ExportCheckWorker, CrossingsTheFixesCannotLowerEndAfterTheSecondRoundWithOneLine) {
    ExportCheckInputs inputs;
    const std::string clean = "Read back as a slicer reads it: 12 triangles, nothing a slicer would refuse.\r\n";
    std::atomic<bool> stop{false};
    struct Case {
        std::vector<std::uint64_t> counts;
        int rounds;
        std::vector<std::string> fixedAgain;
    };
    // The same count, a higher one, and counts falling every round: only a
    // count below the round before's goes round again, and the third round
    // adds no line.
    const std::vector<Case> cases = {{{7, 7, 7}, 2, {"7"}},
                                     {{7, 9, 9}, 2, {"7"}},
                                     {{7, 5, 3}, 3, {"7", "5"}},
                                     {{7, 5, 5}, 3, {"7", "5"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counts[1]);
        int fixRounds = 0;
        int checks = 0;
        const ExportCheckResult result = RunExportCheck(
            test::MakeBox({0, 0, 0}, {10, 10, 10}), inputs, nullptr,
            [&](const mesh::TriangleMesh&, std::wstring& text) {
                ++checks;
                text += L"checked\r\n";
                return false;
            },
            stop, CrossingsLeft(c.counts, fixRounds));
        const std::string report = Utf8FromWide(result.report);
        EXPECT_EQ(fixRounds, c.rounds) << report;
        EXPECT_EQ(Occurrences(report, clean), static_cast<std::size_t>(c.rounds)) << report;
        std::string expected = clean;
        for (const std::string& count : c.fixedAgain) {
            expected += count + " triangles still pass through others - fixed again.\r\n" + clean;
        }
        const std::size_t at = report.find(expected);
        EXPECT_NE(at, std::string::npos) << report;
        EXPECT_EQ(Occurrences(report, "fixed again"), c.fixedAgain.size()) << report;
        EXPECT_EQ(report.substr(at + expected.size()), "\r\nchecked\r\n") << report;
        EXPECT_EQ(checks, 1);
        EXPECT_FALSE(result.checksPassed);
        EXPECT_EQ(result.fixes.selfIntersectingLeft, 7u);
    }
}

TEST(ExportCheckWorker, RealCrossingsNoFixCanPartAreFixedAgainOnceAndThenFailTheCheck) {
    ExportCheckInputs inputs;
    inputs.bodyCount = 1;
    std::atomic<bool> stop{false};
    std::vector<std::string> stages;
    const ExportCheckResult result = RunExportCheck(
        FlatDoublePyramid(), inputs, [&](const std::wstring& text) { stages.push_back(Utf8FromWide(text)); },
        [](const mesh::TriangleMesh& m, std::wstring& text) { return ExportCheckReport(m, {}, text); }, stop);
    const std::string report = Utf8FromWide(result.report);
    ASSERT_GT(result.fixes.selfIntersectingLeft, 0u) << report;
    const std::string line = std::to_string(result.fixes.selfIntersectingLeft) +
                             " triangles still pass through others - fixed again.\r\n";
    EXPECT_EQ(Occurrences(report, line), 1u) << report;
    EXPECT_EQ(Occurrences(report, "fixed again"), 1u) << report;
    EXPECT_EQ(Occurrences(report, "nothing a slicer would refuse.\r\n"), 2u) << report;
    EXPECT_EQ(std::count(stages.begin(), stages.end(), "Fixing what the reading found..."), 1);
    EXPECT_EQ(std::count(stages.begin(), stages.end(), "Reading the file back as a slicer will..."), 2);
    EXPECT_FALSE(result.checksPassed) << report;
}

TEST(ExportCheckWorker, StopEndsAtTheNextRoundOrBeforeTheCheck) {
    ExportCheckInputs inputs;
    // Set while the first round reads back: the second round never starts.
    const CheckRun midway = RunCheck(OpenTopBox(), inputs, true, true, "Reading the file back as a slicer will...");
    EXPECT_TRUE(midway.result.stopped);
    EXPECT_EQ(midway.checks, 0);
    EXPECT_TRUE(midway.result.report.empty());
    EXPECT_EQ(std::count(midway.stages.begin(), midway.stages.end(), "Fixing what the reading found..."), 0);

    // A clean part ends its rounds at once; the stop is seen before the check.
    inputs.fixes = kNoFixes;
    const CheckRun beforeCheck =
        RunCheck(test::MakeBox({0, 0, 0}, {1, 1, 1}), inputs, true, true, "Reading the file back as a slicer will...");
    EXPECT_TRUE(beforeCheck.result.stopped);
    EXPECT_EQ(beforeCheck.checks, 0);
    EXPECT_EQ(beforeCheck.stages.back(), "Reading the file back as a slicer will...");

    std::atomic<bool> stopped{true};
    int checks = 0;
    const ExportCheckResult early = RunExportCheck(
        test::MakeBox({0, 0, 0}, {1, 1, 1}), inputs, nullptr,
        [&](const mesh::TriangleMesh&, std::wstring&) { return ++checks > 0; }, stopped);
    EXPECT_TRUE(early.stopped);
    EXPECT_EQ(checks, 0);
    EXPECT_TRUE(early.mesh.vertices.empty());
}

TEST(ExportCheckWorker, TheCheckReportOnTheResultOfARelief) {
    // A torus relief with a ripple, standing on its flat side at z = -5.
    mesh::TriangleMesh torus = test::MakeTorus(20.0f, 5.0f, 96, 48);
    for (mesh::Vertex& v : torus.vertices) v.position += v.normal * (0.1f * std::sin(3.0f * v.position.x));
    torus.RecomputeBounds();
    ExportCheckInputs inputs;
    inputs.weldToleranceMillimetres = 2.5e-5f;
    inputs.bodyCount = 1;
    mesh::DisplacementBase base;
    base.enabled = true;
    base.planeMillimetres = torus.boundsMin.z;
    std::atomic<bool> stop{false};
    const ExportCheckResult result = RunExportCheck(
        torus, inputs, nullptr,
        [&](const mesh::TriangleMesh& m, std::wstring& text) { return ExportCheckReport(m, base, text); }, stop);
    const std::string report = Utf8FromWide(result.report);
    EXPECT_NE(report.find("\r\n\r\nBefore saving:\r\n  ok      0 open edges (watertight when zero)\r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("  ok      nothing below the base plane\r\n"), std::string::npos) << report;
    EXPECT_TRUE(result.checksPassed) << report;
    EXPECT_TRUE(EveryLineEndsInCrLf(report));
}

}  // namespace
}  // namespace ridgeforge
