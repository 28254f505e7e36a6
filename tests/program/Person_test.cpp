// A person at the program: the whole application in this process, driven
// through random sequences of what a person does (parts good, broken and
// large, test shapes, textures, mapping, masks, settings dialogs answered OK
// or Cancel, Process and Stop at random moments, the input-mesh tools, Lay on
// Face, Undo and Redo, Save STL through the export check, projects, New).
//
// After every step the program must be alive and its document sane: the
// shown mesh is a valid mesh, the footer says what the document says, and an
// emptied or freshly loaded document shows no red message. GLib and GTK
// warnings and criticals abort the process (the step list printed so far says
// how to get there), and so do the sanitizers.
//
// Each session starts the application afresh from a seed, so a seed and a
// step count replay a session. Every step is printed before it runs. The
// environment chooses the sessions:
//   RIDGEFORGE_PERSON_SEEDS    "7,12,40" seeds to run, or "N+K" for K seeds from N
//   RIDGEFORGE_PERSON_STEPS    steps in each session
//   RIDGEFORGE_PERSON_SECONDS  time after which no new step starts
// Without them a short run of the fixed seeds below fits in CI.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/timer.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ui/app/LeftPane.h"
#include "ui/app/MainFrame.h"
#include "ui/commands/CommandIds.h"
#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "ui/framework/Commands.h"
#include "ui/framework/DocView.h"
#include "testing/Shapes.h"
#include "tests/ui/app/ShellFixture.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestImages.h"
#include "ui/view/RidgeforgeView.h"


namespace ridgeforge::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kGlibLevelCritical = 1 << 3;
constexpr int kGlibLevelWarning = 1 << 4;

// GLib's own switch, found in the toolkit's GLib (its headers are not
// installed): from now on a warning or a critical from any domain ends the
// process. False when it is not there.
bool MakeToolkitWarningsFatal() {
    using SetAlwaysFatal = int (*)(int);
    auto* set = reinterpret_cast<SetAlwaysFatal>(dlsym(RTLD_DEFAULT, "g_log_set_always_fatal"));
    if (set == nullptr) return false;
    set(kGlibLevelCritical | kGlibLevelWarning);
    return true;
}

// Seeds that once found a fault; they run in every CI run.
struct SessionSeed {
    std::uint64_t seed = 0;
    // Steps of this session; 0 for the plan's count.
    int steps = 0;
};

// Seeds that once found a fault, with the steps that reached it; they run
// first in every CI run.
// 203 (68 steps): a red "This file could not be opened" stood after File > New.
// 306 (84 steps): a red "This image could not be loaded" stood after File > New.
const std::vector<SessionSeed> kFixedSeeds = {{203, 68}, {306, 84}};

struct SessionPlan {
    std::vector<SessionSeed> seeds;
    int steps = 30;
    double seconds = 120.0;
};

SessionPlan PlanFromEnvironment() {
    SessionPlan plan;
    plan.seeds = kFixedSeeds;
    for (std::uint64_t seed : {1u, 2u, 3u}) plan.seeds.push_back({seed, 0});
    if (const char* seeds = std::getenv("RIDGEFORGE_PERSON_SEEDS"); seeds != nullptr && *seeds != '\0') {
        plan.seeds.clear();
        const std::string text = seeds;
        if (const std::size_t plus = text.find('+'); plus != std::string::npos) {
            const std::uint64_t first = std::stoull(text.substr(0, plus));
            const std::uint64_t count = std::stoull(text.substr(plus + 1));
            for (std::uint64_t k = 0; k < count; ++k) plan.seeds.push_back({first + k, 0});
        } else {
            std::stringstream list(text);
            std::string item;
            while (std::getline(list, item, ',')) plan.seeds.push_back({std::stoull(item), 0});
        }
    }
    if (const char* steps = std::getenv("RIDGEFORGE_PERSON_STEPS")) plan.steps = std::atoi(steps);
    if (const char* seconds = std::getenv("RIDGEFORGE_PERSON_SECONDS")) plan.seconds = std::atof(seconds);
    return plan;
}

void Say(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Narrow(const CString& text) { return CStringToUtf8(text); }

// Ends the process when one step takes longer than a person would wait, so
// that a hang says where it hung instead of running into the CI timeout.
class Watchdog {
public:
    explicit Watchdog(int seconds) : limit_(seconds), thread_([this] { Watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Step(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        step_ = what;
        started_ = Clock::now();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            wake_.wait_for(lock, std::chrono::seconds(1));
            if (!done_ && Clock::now() - started_ > std::chrono::seconds(limit_)) {
                std::fprintf(stderr, "PERSON TEST HUNG for %d s in: %s\n", limit_, step_.c_str());
                std::fflush(stderr);
                std::abort();
            }
        }
    }
    int limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::string step_ = "start";
    Clock::time_point started_ = Clock::now();
    std::thread thread_;
};

// The program's own host, except for the toolkit's message boxes and file
// pickers, which the person answers here (a native box cannot be ended from
// a timer).
class PersonHost : public DocumentHost {
public:
    DocumentHost* inner = nullptr;
    std::function<QuestionAnswer(const CString&, QuestionButtons)> answer;
    std::function<std::optional<CString>(const FileDialogRequest&, bool save)> pick;

    void AddLogLine(const CString& text, LogKind kind) override { inner->AddLogLine(text, kind); }
    void ClearLog() override { inner->ClearLog(); }
    void ShowOutputPane() override { inner->ShowOutputPane(); }
    void ShowInformation(const CString& text, InfoKind kind) override { inner->ShowInformation(text, kind); }
    void BeginWaitCursor() override { inner->BeginWaitCursor(); }
    void EndWaitCursor() override { inner->EndWaitCursor(); }
    QuestionAnswer AskQuestion(const CString& text, QuestionButtons buttons, QuestionIcon) override {
        return answer(text, buttons);
    }
    std::optional<CString> ChooseFileToOpen(const FileDialogRequest& request) override { return pick(request, false); }
    std::optional<CString> ChooseFileToSave(const FileDialogRequest& request) override { return pick(request, true); }
    bool RunExportDialog(const ExportDialogRequest& request, ExportDialogResult& result) override {
        return inner->RunExportDialog(request, result);
    }
    bool RunRemeshInputDialog(const mesh::RemeshSettings& start, const mesh::TriangleMesh& part,
                              std::uint64_t triangleLimit, mesh::RemeshSettings& chosen) override {
        return inner->RunRemeshInputDialog(start, part, triangleLimit, chosen);
    }
    bool RunProceduralTextureDialog(mesh::procedural::ProceduralTexture& texture) override {
        return inner->RunProceduralTextureDialog(texture);
    }
    bool DetailedLog() const override { return inner->DetailedLog(); }
    bool OpenDocumentFile(const CString& path) override { return inner->OpenDocumentFile(path); }
    void AddToRecentFiles(const CString& path) override { inner->AddToRecentFiles(path); }
    void WaitForJob(const std::function<bool()>& finished, const std::function<void()>& tick,
                    std::atomic<bool>& stop) override {
        inner->WaitForJob(finished, tick, stop);
    }
};

// Ends every modal dialog of the program the way a person does: after a
// moment, with its OK (or its own affirmative button) or with Cancel. An OK
// that is not enabled yet (the export check still running) is waited for.
class ModalCloser : public wxTimer {
public:
    explicit ModalCloser(std::mt19937_64& random) : random_(random) {}

    void Notify() override {
        wxDialog* dialog = TopModal();
        if (dialog == nullptr) {
            current_ = nullptr;
            return;
        }
        if (dialog != current_) {
            current_ = dialog;
            ticks_ = 0;
            due_ = 1 + static_cast<int>(random_() % 12);
            ok_ = random_() % 3 != 0;
            Say(std::string("    dialog \"") + dialog->GetTitle().utf8_string() + "\": " + (ok_ ? "OK" : "Cancel"));
        }
        if (++ticks_ < due_) return;
        const int affirmative = dialog->GetAffirmativeId();
        const int escape = dialog->GetEscapeId() == wxID_ANY ? wxID_CANCEL : dialog->GetEscapeId();
        if (Press(*dialog, ok_ ? affirmative : escape)) return;
        // No such button, or OK still greyed out after half a minute.
        if (!ok_ || ticks_ > due_ + 600) {
            Say("    dialog closed without its button");
            dialog->EndModal(wxID_CANCEL);
            current_ = nullptr;
        }
    }

private:
    static wxDialog* TopModal() {
        for (wxWindow* window : wxTopLevelWindows) {
            auto* dialog = dynamic_cast<wxDialog*>(window);
            if (dialog != nullptr && dialog->IsModal()) return dialog;
        }
        return nullptr;
    }
    bool Press(wxDialog& dialog, int id) {
        wxWindow* button = dialog.FindWindow(id);
        if (button == nullptr || !button->IsEnabled() || !button->IsShown()) return false;
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(click);
        current_ = nullptr;
        return true;
    }

    std::mt19937_64& random_;
    wxDialog* current_ = nullptr;
    int ticks_ = 0;
    int due_ = 0;
    bool ok_ = true;
};

void WriteStl(const fs::path& path, const mesh::TriangleMesh& mesh) {
    const std::vector<std::uint8_t> bytes = test::BinaryStl(test::FacetsOf(mesh));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Why the shown mesh is not a mesh, or empty.
std::string MeshFault(const mesh::TriangleMesh& mesh) {
    if (mesh.indices.size() % 3 != 0) return "index count not a multiple of 3";
    for (std::uint32_t index : mesh.indices)
        if (index >= mesh.vertices.size()) return "index past the vertices";
    for (const auto& vertex : mesh.vertices) {
        const mesh::Vec3f& p = vertex.position;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return "a vertex is not finite";
    }
    return {};
}

class PersonTest : public ShellTest {
protected:
    PersonTest() {
        makeDocument_ = [this](DocumentHost& host) {
            host_.inner = &host;
            return MakeRidgeforgeDocument(host_);
        };
        host_.answer = [this](const CString& text, QuestionButtons buttons) { return Answer(text, buttons); };
        host_.pick = [this](const FileDialogRequest& request, bool save) { return Pick(request, save); };
        PrepareFiles();
    }

    CRidgeforgeDoc& Doc() { return *App().Document()->RidgeforgeDoc(); }

    void PrepareFiles() {
        parts_ = Scratch().Path() / "parts";
        out_ = Scratch().Path() / "out";
        fs::create_directories(parts_);
        fs::create_directories(out_);
        WriteStl(parts_ / "block.stl", test::MakeBox({0, 0, 0}, {30, 20, 10}));
        mesh::TriangleMesh holed = test::MakeGridBox({0, 0, 0}, {20, 14, 9}, 6);
        holed.indices.resize(holed.indices.size() - 3);
        WriteStl(parts_ / "missing triangle.stl", holed);
        WriteStl(parts_ / "torus.stl", test::MakeTorus(18.0f, 6.0f, 48, 24));
        test::WriteTextFile(parts_ / "garbage.stl", "this is no STL at all\n");
        test::WriteTextFile(parts_ / "empty.stl", "");
        std::vector<std::uint16_t> grey(64 * 64);
        for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint16_t>((i * 977) % 65536);
        test::WritePng(parts_ / "grey.png", 64, 64, 1, 16, grey);
        test::WritePng(parts_ / "broken.png", 64, 64, 1, 16, grey);
        test::TruncateFile(parts_ / "broken.png", 60);
        // A save over a link must land in the file the link names.
        test::WriteTextFile(out_ / "real.stl", "");
        fs::create_symlink("real.stl", out_ / "linked.stl");
        for (const auto& entry : fs::directory_iterator(parts_)) userFiles_.emplace_back(entry.path(), entry.file_size());
    }

    // Why the person's own files are not as they were, or empty: the program
    // writes only where it is told to and never replaces a link by a file.
    std::string LostWork() const {
        for (const auto& [path, size] : userFiles_) {
            std::error_code error;
            if (fs::file_size(path, error) != size || error) return "the user's file " + path.string() + " changed";
        }
        if (!fs::is_symlink(fs::symlink_status(out_ / "linked.stl"))) return "a save replaced the link linked.stl";
        return {};
    }

    // The 1M-triangle part, made the first time a person opens it.
    fs::path LargePart() {
        const fs::path path = parts_ / "large.stl";
        if (!fs::exists(path)) WriteStl(path, test::MakeTorus(40.0f, 12.0f, 1000, 500));
        return path;
    }

    QuestionAnswer Answer(const CString& text, QuestionButtons buttons) {
        const int choices = buttons == QuestionButtons::YesNoCancel ? 3 : 2;
        const auto answer = static_cast<QuestionAnswer>(random_() % choices);
        static const char* const kNames[] = {"Yes", "No", "Cancel"};
        Say(std::string("    asked \"") + Narrow(text.substr(0, text.find(L'\n'))) + "\": " +
            kNames[static_cast<int>(answer)]);
        return answer;
    }

    std::optional<CString> Pick(const FileDialogRequest& request, bool save) {
        std::optional<CString> choice;
        const bool project = request.defaultExtension == L"rgproj";
        const bool image = request.filter.find(L"png") != CString::npos || request.filter.find(L"PNG") != CString::npos;
        if (random_() % 6 == 0) {
            choice = std::nullopt;
        } else if (save) {
            static const char* const kStl[] = {"saved.stl", "linked.stl", "saved ascii.stl"};
            static const char* const kProject[] = {"one.rgproj", "two.rgproj"};
            choice = WideFromPath(out_ / (project ? kProject[random_() % 2] : kStl[random_() % 3]));
        } else if (project) {
            std::vector<fs::path> projects;
            for (const auto& entry : fs::directory_iterator(out_))
                if (entry.path().extension() == ".rgproj") projects.push_back(entry.path());
            if (!projects.empty()) choice = WideFromPath(projects[random_() % projects.size()]);
        } else if (image) {
            choice = WideFromPath(parts_ / (random_() % 4 == 0 ? "broken.png" : "grey.png"));
        } else {
            choice = WideFromPath(parts_ / "block.stl");
        }
        Say("    picked " + (choice ? Narrow(*choice) : std::string("Cancel")));
        return choice;
    }

    void Command(CommandId id) { ui::SendCommand(&Frame(), id); }

    // Lets the program run for a moment, as a person looks at it.
    void Look(int upTo = 300) { PumpEvents(static_cast<int>(random_() % static_cast<unsigned>(upTo + 1))); }

    void WaitForProcessing() {
        PumpUntil([this] { return !App().Document()->PipelineRunning(); }, 150000);
    }

    struct Action {
        const char* name;
        int weight;
        std::function<void()> run;
    };

    std::vector<Action> Actions() {
        std::vector<Action> a;
        const auto command = [this](CommandId id) { return [this, id] { Command(id); }; };
        a.push_back({"open block.stl", 4, [this] { App().OpenDocumentFile(WideFromPath(parts_ / "block.stl")); }});
        a.push_back({"open missing triangle.stl", 4,
                     [this] { App().OpenDocumentFile(WideFromPath(parts_ / "missing triangle.stl")); }});
        a.push_back({"open torus.stl", 2, [this] { App().OpenDocumentFile(WideFromPath(parts_ / "torus.stl")); }});
        a.push_back({"open garbage.stl", 1, [this] { App().OpenDocumentFile(WideFromPath(parts_ / "garbage.stl")); }});
        a.push_back({"open empty.stl", 1, [this] { App().OpenDocumentFile(WideFromPath(parts_ / "empty.stl")); }});
        a.push_back({"open a missing file", 1, [this] { App().OpenDocumentFile(WideFromPath(parts_ / "gone.stl")); }});
        a.push_back({"open the large part", largeWeight_, [this] { App().OpenDocumentFile(WideFromPath(LargePart())); }});
        a.push_back({"test cube", 3, command(ID_TEST_CUBE)});
        a.push_back({"test cylinder", 2, command(ID_TEST_CYLINDER)});
        a.push_back({"test sphere", 2, command(ID_TEST_SPHERE)});
        a.push_back({"new", 2, command(ID_FILE_NEW)});
        a.push_back({"procedural pattern", 4, [this] {
                         const CommandId count = ID_PROCEDURAL_PATTERN_LAST - ID_PROCEDURAL_PATTERN_FIRST + 1;
                         Command(ID_PROCEDURAL_PATTERN_FIRST + static_cast<CommandId>(random_() % count));
                     }});
        a.push_back({"edit procedural texture", 1, command(ID_PROCEDURAL_SETTINGS)});
        a.push_back({"texture from disk", 2, command(ID_TEXTURE_LOAD_FROM_DISK)});
        a.push_back({"texture settings", 2, command(ID_TEXTURE_SETTINGS)});
        a.push_back({"seamless", 1, command(ID_TEXTURE_SEAMLESS)});
        a.push_back({"texture invert", 1, command(ID_TEXTURE_INVERT)});
        a.push_back({"texture tiles", 1, command(ID_TEXTURE_TILES)});
        a.push_back({"texture auto levels", 1, command(ID_TEXTURE_AUTO_LEVELS)});
        a.push_back({"reload textures", 1, command(ID_RELOAD_TEXTURES)});
        a.push_back({"mapping type", 3, [this] {
                         const CommandId ids[] = {ID_MAPPING_BOX, ID_MAPPING_PLANE, ID_MAPPING_CYLINDER,
                                                  ID_MAPPING_SPHERE};
                         Command(ids[random_() % 4]);
                     }});
        a.push_back({"mapping side or axis", 2, [this] {
                         const CommandId ids[] = {ID_SIDES_ALL,     ID_SIDES_NONE,    ID_SIDES_INVERT,
                                                  ID_AXIS_X,        ID_AXIS_Y,        ID_AXIS_Z,
                                                  ID_SURFACES_ALL,  ID_SURFACES_OUTER, ID_SURFACES_INNER,
                                                  ID_MAPPING_SIDE_FIRST};
                         Command(ids[random_() % 10]);
                     }});
        a.push_back({"fit to model", 1, command(ID_MAPPING_FIT)});
        a.push_back({"edit per side", 1, command(ID_EDIT_PER_SIDE)});
        a.push_back({"place on all sides", 1, command(ID_PLACE_ALL_SIDES)});
        a.push_back({"reset placement", 1, command(ID_RESET_PLACEMENT)});
        a.push_back({"mapping settings", 2, command(ID_MAPPING_SETTINGS)});
        a.push_back({"tool", 3, [this] {
                         const CommandId ids[] = {ID_TOOL_NONE,      ID_TOOL_MOVE_TEXTURE, ID_TOOL_ROTATE_TEXTURE,
                                                  ID_TOOL_ZOOM_TEXTURE, ID_TOOL_MOVE_CAGE, ID_TOOL_ROTATE_CAGE,
                                                  ID_TOOL_MOVE_MASK, ID_TOOL_ROTATE_MASK,  ID_TOOL_SCALE_MASK};
                         Command(ids[random_() % 9]);
                     }});
        a.push_back({"add mask", 2, [this] {
                         const CommandId ids[] = {ID_MASK_ADD_BOX, ID_MASK_ADD_CYLINDER, ID_MASK_ADD_SPHERE};
                         Command(ids[random_() % 3]);
                     }});
        a.push_back({"edit masks", 1, command(ID_MASK_EDIT)});
        a.push_back({"duplicate or delete mask", 1, [this] { Command(random_() % 2 ? ID_MASK_DUPLICATE : ID_MASK_DELETE); }});
        a.push_back({"relief settings", 2, command(ID_RELIEF_SETTINGS)});
        a.push_back({"simplify settings", 1, command(ID_SIMPLIFY_SETTINGS)});
        a.push_back({"process", 5, [this] {
                         Command(ID_PROCESS);
                         Look(1500);
                     }});
        a.push_back({"process and stop", 3, [this] {
                         Command(ID_PROCESS);
                         Look(800);
                         Command(ID_STOP_PROCESSING);
                     }});
        a.push_back({"process and wait", 3, [this] {
                         Command(ID_PROCESS);
                         WaitForProcessing();
                     }});
        a.push_back({"validate", 1, command(ID_MESH_VALIDATE)});
        a.push_back({"check printability", 1, command(ID_MESH_CHECK_PRINTABILITY)});
        a.push_back({"print check grid", 1, [this] {
                         const CommandId ids[] = {ID_OCCUPANCY_128, ID_OCCUPANCY_256, ID_OCCUPANCY_512};
                         Command(ids[random_() % 3]);
                     }});
        a.push_back({"repair", 3, command(ID_MESH_REPAIR)});
        a.push_back({"simplify input mesh", 2, command(ID_MESH_SIMPLIFY_INPUT)});
        a.push_back({"remesh input mesh", 2, command(ID_MESH_REMESH_INPUT)});
        a.push_back({"lay on face", 2, [this] {
                         Command(ID_LAY_ON_FACE);
                         auto* view = dynamic_cast<CRidgeforgeView*>(&App().DocManager()->GetView());
                         if (view != nullptr && view->IsActive() && !Doc().components.empty()) {
                             view->ApplyFace(static_cast<std::int32_t>(random_() % Doc().components.size()));
                         }
                     }});
        a.push_back({"undo", 3, command(ID_EDIT_UNDO)});
        a.push_back({"redo", 2, command(ID_EDIT_REDO)});
        a.push_back({"save stl", 3, command(ID_FILE_SAVE_STL)});
        a.push_back({"save ascii stl", 1, command(ID_FILE_SAVE_ASCII_STL)});
        a.push_back({"save project", 2, command(ID_FILE_SAVE_PROJECT)});
        a.push_back({"save project as", 1, command(ID_FILE_SAVE_PROJECT_AS)});
        a.push_back({"open project", 2, command(ID_FILE_OPEN_PROJECT)});
        a.push_back({"view", 2, [this] {
                         const CommandId ids[] = {ID_VIEW_RESET,       ID_VIEW_ISOMETRIC,      ID_VIEW_TOP,
                                                  ID_VIEW_ORTHOGRAPHIC, ID_SHADING_WIREFRAME,  ID_SHADING_SMOOTH,
                                                  ID_SURFACE_CHECKERBOARD, ID_SURFACE_HEIGHT_MAP, ID_SURFACE_PLAIN,
                                                  ID_SHOW_OPEN_EDGES,  ID_SHOW_COMPONENTS,     ID_SHOW_PRINT_CHECK,
                                                  ID_SHOW_CLIPPING_PLANE, ID_DISPLAY_SLICED,   ID_MESH_INFORMATION,
                                                  ID_DETAILED_LOG};
                         Command(ids[random_() % 16]);
                     }});
        return a;
    }

    // Why the program is not in a sane state after `step`, or empty.
    std::string Fault(const std::string& step) {
        if (App().Frame() == nullptr || App().Document() == nullptr) return "the main window or document is gone";
        CRidgeforgeDoc& doc = Doc();
        if (std::string lost = LostWork(); !lost.empty()) return lost;
        if (App().Document()->PipelineRunning()) return {};
        if (std::string fault = MeshFault(doc.ShownMesh()); !fault.empty()) return "shown mesh: " + fault;
        // The footer follows the document within a refresh of the left pane.
        const auto footerMatches = [&] {
            return !App().Document()->PipelineRunning() &&
                   Frame().LeftPane().Footer().Values().status == doc.ProcessStatusText();
        };
        if (!PumpUntil(footerMatches, 3000) && !App().Document()->PipelineRunning()) {
            return "footer says \"" + Narrow(Frame().LeftPane().Footer().Values().status) + "\", the document \"" +
                   Narrow(doc.ProcessStatusText()) + "\"";
        }
        const bool red = Frame().Information().MessageKind() == InfoKind::Problem &&
                         !Frame().Information().Message().empty();
        const bool fresh = (step == "new" && !doc.HasPart()) || (step.rfind("test ", 0) == 0 && !doc.testShape.empty() &&
                                                                  !doc.IsModified() && lastShape_ != doc.meshSerial);
        if (red && fresh) {
            return "red message outlives its cause: \"" + Narrow(Frame().Information().Message()) + "\"";
        }
        return {};
    }

    // Runs one session; false (after saying why) when the program failed.
    bool Session(std::uint64_t seed, int steps, Clock::time_point deadline, Watchdog& watchdog, int& stepsRun) {
        random_.seed(seed);
        if (!Start()) {
            ADD_FAILURE() << "seed " << seed << ": the program did not start";
            return false;
        }
        ModalCloser closer(random_);
        closer.Start(50);
        const auto sessionStart = Clock::now();
        const std::vector<Action> actions = Actions();
        int total = 0;
        for (const Action& action : actions) total += action.weight;
        bool fine = true;
        for (int step = 0; step < steps && fine && Clock::now() < deadline; ++step) {
            int pick = static_cast<int>(random_() % static_cast<unsigned>(total));
            const Action* chosen = &actions.front();
            for (const Action& action : actions) {
                if (pick < action.weight) {
                    chosen = &action;
                    break;
                }
                pick -= action.weight;
            }
            const std::string label = "seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " +
                                      chosen->name;
            char clock[32];
            std::snprintf(clock, sizeof clock, "[%7.1f s] ",
                          std::chrono::duration<double>(Clock::now() - sessionStart).count());
            Say(clock + label);
            watchdog.Step(label);
            lastShape_ = Doc().meshSerial;
            chosen->run();
            Look();
            ++stepsRun;
            const std::string fault = Fault(chosen->name);
            if (!fault.empty()) {
                ADD_FAILURE() << label << ": " << fault << "\n(replay: RIDGEFORGE_PERSON_SEEDS=" << seed
                              << " RIDGEFORGE_PERSON_STEPS=" << step + 1 << ")";
                fine = false;
            }
        }
        watchdog.Step("seed " + std::to_string(seed) + ": closing");
        closer.Stop();
        // A person waits for a run before closing the window.
        WaitForProcessing();
        Stop();
        return fine;
    }

    PersonHost host_;
    std::mt19937_64 random_;
    fs::path parts_;
    fs::path out_;
    std::vector<std::pair<fs::path, std::uintmax_t>> userFiles_;
    std::uint64_t lastShape_ = 0;
    int largeWeight_ = 1;
};

TEST_F(PersonTest, RandomSessionsLeaveTheProgramAliveAndItsDocumentSane) {
    ASSERT_TRUE(MakeToolkitWarningsFatal());
    const SessionPlan plan = PlanFromEnvironment();
    Watchdog watchdog(240);
    const auto start = Clock::now();
    int stepsRun = 0;
    int sessions = 0;
    int failed = 0;
    // A failed session has said why and closed its program; the next seed
    // starts afresh.
    const auto deadline = start + std::chrono::milliseconds(static_cast<std::int64_t>(plan.seconds * 1000.0));
    for (const SessionSeed& each : plan.seeds) {
        if (Clock::now() >= deadline) break;
        ++sessions;
        if (!Session(each.seed, each.steps > 0 ? each.steps : plan.steps, deadline, watchdog, stepsRun)) ++failed;
    }
    Say("person test: " + std::to_string(sessions) + " sessions, " + std::to_string(stepsRun) + " steps, " +
        std::to_string(failed) + " failed");
    EXPECT_GT(stepsRun, 0);
}

}  // namespace
}  // namespace ridgeforge::testing
