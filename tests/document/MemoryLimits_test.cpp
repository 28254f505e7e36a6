// Running out of memory in a command ends the command, not the program, and
// leaves the document as it was. Each case runs in a child process whose
// address space is capped a little above what it already uses, so that the
// operation cannot get the memory it wants. Everything, the document
// included, is made in the child: the parallel pool does not survive a
// fork, so the parent never starts it.
//
// The sanitizers reserve terabytes of address space for their shadow
// memory, so under them the cap cannot be set: the cases skip there and run
// from the plain build instead.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <execution>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "mesh/AabbTree.h"
#include "testing/Shapes.h"
#include "tests/document/FakeHost.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RIDGEFORGE_ADDRESS_SPACE_RESERVED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define RIDGEFORGE_ADDRESS_SPACE_RESERVED 1
#endif
#endif

namespace ridgeforge {
namespace {

using test::HostedDocument;

#ifdef RIDGEFORGE_ADDRESS_SPACE_RESERVED
#define SKIP_UNDER_SANITIZERS() GTEST_SKIP() << "the sanitizers' shadow memory rules out an address-space limit"
#else
#define SKIP_UNDER_SANITIZERS() (void)0
#endif

constexpr std::uint64_t kMiB = 1024 * 1024;

// The process's address space now (VmSize), in bytes; 0 when unknown.
std::uint64_t AddressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
}

// Caps the address space at what is in use plus `headroom` (the soft
// limit, so that Uncap can lift it again).
bool CapAddressSpace(std::uint64_t headroom) {
    const std::uint64_t inUse = AddressSpaceInUse();
    rlimit limit{};
    if (inUse == 0 || getrlimit(RLIMIT_AS, &limit) != 0) return false;
    limit.rlim_cur = inUse + headroom;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

void Uncap() {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_AS, &limit);
}

// Starts the parallel pool's threads (and their stacks and heaps) before the
// cap, as a running program has long done.
void WarmThePool() {
    std::vector<int> values(1 << 16);
    std::iota(values.begin(), values.end(), 0);
    std::sort(std::execution::par, values.rbegin(), values.rend());
}

// Runs `body` in a child process; its text is empty when every check held.
// A child that dies (an uncaught exception aborts it) is reported as such.
std::string InChild(const std::function<std::string()>& body) {
    int channel[2];
    if (pipe(channel) != 0) return "no pipe";
    const pid_t child = fork();
    if (child < 0) return "no fork";
    if (child == 0) {
        close(channel[0]);
        const std::string failure = body();
        const ssize_t written = write(channel[1], failure.data(), failure.size());
        _exit(written == static_cast<ssize_t>(failure.size()) ? 0 : 3);
    }
    close(channel[1]);
    std::string text;
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return "the child was ended by signal " + std::to_string(WTERMSIG(status)) + "; " + text;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child failed; " + text;
    return text;
}

// What the Information pane said last says that memory ran out.
std::string SaysNotEnoughMemory(const test::FakeHost& host) {
    if (host.LastInfo() == nullptr) return "nothing was shown. ";
    const std::string text = CStringToUtf8(host.LastInfo()->text);
    if (text.find("not enough memory") == std::string::npos) return "shown: \"" + text + "\". ";
    return {};
}

// A flat sheet of `cells` x `cells` squares, two triangles each, as binary STL
// written a facet at a time.
bool WriteSheetStl(const std::filesystem::path& path, std::uint32_t cells) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    char header[80] = {};
    std::fwrite(header, 1, sizeof header, file);
    const std::uint32_t count = cells * cells * 2;
    std::fwrite(&count, 4, 1, file);
    const auto facet = [&](float ax, float ay, float bx, float by, float cx, float cy) {
        const float values[12] = {0, 0, 1, ax, ay, 0, bx, by, 0, cx, cy, 0};
        const std::uint16_t attribute = 0;
        std::fwrite(values, 4, 12, file);
        std::fwrite(&attribute, 2, 1, file);
    };
    for (std::uint32_t j = 0; j < cells; ++j) {
        for (std::uint32_t i = 0; i < cells; ++i) {
            const auto x = static_cast<float>(i) * 0.1f, y = static_cast<float>(j) * 0.1f;
            facet(x, y, x + 0.1f, y, x + 0.1f, y + 0.1f);
            facet(x, y, x + 0.1f, y + 0.1f, x, y + 0.1f);
        }
    }
    return std::fclose(file) == 0;
}

// A part of half a million triangles, written before the cap and refused
// after it: the cube that was open stays, whole. Reading and checking the
// part need memory at different steps, so the cap is tried at several
// heights: each must end in a refusal or in the whole part, never in a lost
// cube or an abort. How much the check needs depends on how many threads
// take part, so only the lowest caps must refuse; at a higher one the part
// may fit, and then it must be there whole.
TEST(MemoryLimits, ImportWithoutMemoryKeepsTheOpenPart) {
    SKIP_UNDER_SANITIZERS();
    test::TempDir dir("limits-import");
    const std::filesystem::path big = dir / "big.stl";
    const std::string failure = InChild([&]() -> std::string {
        if (!WriteSheetStl(big, 500)) return "the part was not written";
        HostedDocument d;
        d.doc.OnTestCube();
        WarmThePool();
        std::string problems;
        for (const std::uint64_t headroom : {24 * kMiB, 48 * kMiB, 72 * kMiB, 96 * kMiB}) {
            const std::string at = "at " + std::to_string(headroom / kMiB) + " MiB: ";
            if (!CapAddressSpace(headroom)) return "no cap";
            const bool opened = d.doc.ImportPart(WideFromPath(big));
            Uncap();
            if (opened && headroom > 48 * kMiB) {
                if (d.doc.workingPart.TriangleCount() != 500000) problems += at + "the part opened, not whole. ";
                break;
            }
            if (opened) problems += at + "the part opened. ";
            const std::string said = SaysNotEnoughMemory(d.host);
            if (!said.empty()) problems += at + said;
            if (d.doc.partName != L"Test Cube") problems += at + "the open part's name changed. ";
            if (d.doc.workingPart.TriangleCount() != 12 || d.doc.partAsLoaded.TriangleCount() != 12) {
                problems += at + "the open part changed. ";
            }
        }
        return problems;
    });
    EXPECT_EQ(failure, "");
}

// An image within the pixel budget whose decoding still needs more memory
// than there is.
TEST(MemoryLimits, TextureLoadWithoutMemoryKeepsTheTexture) {
    SKIP_UNDER_SANITIZERS();
    test::TempDir dir("limits-texture");
    const std::string failure = InChild([&]() -> std::string {
        if (!test::WriteUniformGreyPng(dir / "small.png", 7, 3, 90)) return "no small image";
        if (!test::WriteUniformGreyPng(dir / "large.png", 8000, 8000, 90)) return "no large image";
        HostedDocument d;
        d.doc.SetUserDataRoots({LibraryRoot{dir.Path() / "user", true}});
        d.doc.OnTestCube();
        if (!d.doc.LoadHeightMap(WideFromPath(dir / "small.png"))) return "the small image did not load";
        WarmThePool();
        const std::uint32_t revision = d.doc.textureRevision;
        if (!CapAddressSpace(160 * kMiB)) return "no cap";
        const bool loaded = d.doc.LoadHeightMap(WideFromPath(dir / "large.png"));
        std::string problems;
        if (loaded) problems += "the large image loaded. ";
        problems += SaysNotEnoughMemory(d.host);
        if (d.doc.texture.width != 7 || d.doc.texture.height != 3 || d.doc.textureRevision != revision) {
            problems += "the texture changed. ";
        }
        return problems;
    });
    EXPECT_EQ(failure, "");
}

// A remesh finer than memory allows, under the triangle limit: Process
// fails with the out-of-memory words and the part is still shown.
TEST(MemoryLimits, ProcessWithoutMemoryFailsAndKeepsThePart) {
    SKIP_UNDER_SANITIZERS();
    const std::string failure = InChild([&]() -> std::string {
        HostedDocument d;
        d.doc.OnTestCube();
        d.doc.displacementEnabled = false;
        d.doc.simplifyEnabled = false;
        d.doc.remeshSettings.targetEdgeMillimetres = 0.025f;
        d.doc.OnSettingsChanged();
        WarmThePool();
        if (!CapAddressSpace(200 * kMiB)) return "no cap";
        d.doc.OnProcess();
        if (!test::PollUntilApplied(d.doc)) return "the run never ended";
        std::string problems;
        const mesh::PipelineStatus status = d.doc.pipeline.GetStatus();
        if (!status.failed) problems += "the run did not fail. ";
        if (status.message.find("memory") == std::string::npos) problems += "said: \"" + status.message + "\". ";
        if (d.doc.ShownMesh().TriangleCount() != 12) problems += "the part is not what is shown. ";
        if (d.doc.workingPart.TriangleCount() != 12) problems += "the part changed. ";
        return problems;
    });
    EXPECT_EQ(failure, "");
}

// Remesh Input Mesh runs its job on a thread of its own; the lack of memory
// comes back from there.
TEST(MemoryLimits, MeshToolWithoutMemoryKeepsThePart) {
    SKIP_UNDER_SANITIZERS();
    const std::string failure = InChild([&]() -> std::string {
        HostedDocument d;
        d.doc.OnTestCube();
        mesh::RemeshSettings fine = d.doc.remeshSettings;
        fine.targetEdgeMillimetres = 0.025f;
        WarmThePool();
        if (!CapAddressSpace(200 * kMiB)) return "no cap";
        const bool changed = d.doc.RemeshInputMesh(fine);
        std::string problems;
        if (changed) problems += "the part was remeshed. ";
        problems += SaysNotEnoughMemory(d.host);
        if (d.doc.partAsLoaded.TriangleCount() != 12 || d.doc.partChanged) problems += "the part changed. ";
        return problems;
    });
    EXPECT_EQ(failure, "");
}

// Saving a project writes a changed part beside it; a part too large to
// encode in the memory left is not saved, and neither is the project.
TEST(MemoryLimits, SaveWithoutMemorySavesNothing) {
    SKIP_UNDER_SANITIZERS();
    test::TempDir dir("limits-save");
    const std::string failure = InChild([&]() -> std::string {
        if (!WriteSheetStl(dir / "sheet.stl", 500)) return "the part was not written";
        HostedDocument d;
        if (!d.doc.ImportPart(WideFromPath(dir / "sheet.stl"))) return "the part did not open";
        d.doc.partChanged = true;
        WarmThePool();
        if (!CapAddressSpace(16 * kMiB)) return "no cap";
        const bool saved = d.doc.SaveProject(WideFromPath(dir / "p.rgproj"));
        std::string problems;
        if (saved) problems += "the project was saved. ";
        if (d.host.LastInfo() == nullptr ||
            CStringToUtf8(d.host.LastInfo()->text).find("memory") == std::string::npos) {
            problems += "nothing said memory ran out. ";
        }
        if (std::filesystem::exists(dir / "p.rgproj")) problems += "a project file is there. ";
        if (!d.doc.partChanged || !d.doc.projectPath.empty()) problems += "the document changed. ";
        return problems;
    });
    EXPECT_EQ(failure, "");
}

// With no room for another thread's stack, work that would run on a thread
// of its own runs where it was asked for: a part's box tree large enough to
// build its halves side by side comes out as it does without the limit.
TEST(MemoryLimits, WorkWithoutRoomForAThreadIsDoneInPlace) {
    SKIP_UNDER_SANITIZERS();
    const std::string failure = InChild([&]() -> std::string {
        // 145,800 triangles: the tree's two top halves are large enough to
        // be built side by side.
        const mesh::TriangleMesh sheet = test::MakeGridPlate(27.0f, 270);
        WarmThePool();
        mesh::AabbTree tree;
        // Room for the tree's own lists (about 5 MiB), not for a stack of 8.
        // (The tree to compare with is built afterwards: the stacks of
        // threads that have ended are kept for the next ones.)
        if (!CapAddressSpace(7 * kMiB)) return "no cap";
        std::string problems;
        try {
            tree.Build(sheet);
        } catch (const std::exception& error) {
            problems += std::string("the build failed: ") + error.what() + ". ";
        }
        Uncap();
        mesh::AabbTree expected;
        expected.Build(sheet);
        if (tree.triangleOrder != expected.triangleOrder || tree.nodes.size() != expected.nodes.size() ||
            tree.depth != expected.depth) {
            problems += "the tree differs. ";
        }
        return problems;
    });
    EXPECT_EQ(failure, "");
}

}  // namespace
}  // namespace ridgeforge
