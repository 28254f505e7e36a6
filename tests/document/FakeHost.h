// A scripted stand-in for the desktop shell: it records what the document
// logs and shows, answers questions and pickers from queues, and runs the
// procedural texture dialog through a callback.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "document/DocumentHost.h"
#include "document/RidgeforgeDoc.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge::test {

struct LogLine {
    CString text;
    LogKind kind;
};

struct InfoMessage {
    CString text;
    InfoKind kind;
};

class FakeHost : public DocumentHost {
public:
    // The document OpenDocumentFile works on.
    CRidgeforgeDoc* document = nullptr;

    std::vector<LogLine> log;
    std::vector<InfoMessage> info;
    std::vector<CString> questions;
    std::deque<QuestionAnswer> answers;
    // Used when the queue is empty.
    QuestionAnswer defaultAnswer = QuestionAnswer::Cancel;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
    std::deque<std::optional<CString>> openChoices;
    std::deque<std::optional<CString>> saveChoices;
    std::function<bool(mesh::procedural::ProceduralTexture&)> proceduralDialog;
    int proceduralDialogRuns = 0;
    std::vector<CString> recentFiles;
    bool detailedLog = false;
    int logClears = 0;
    int waitDepth = 0;

    void AddLogLine(const CString& text, LogKind kind) override { log.push_back({text, kind}); }
    void ClearLog() override {
        ++logClears;
        log.clear();
    }
    void ShowOutputPane() override {}
    void ShowInformation(const CString& text, InfoKind kind) override { info.push_back({text, kind}); }
    void BeginWaitCursor() override { ++waitDepth; }
    void EndWaitCursor() override { --waitDepth; }
    QuestionAnswer AskQuestion(const CString& text, QuestionButtons, QuestionIcon) override {
        questions.push_back(text);
        if (answers.empty()) return defaultAnswer;
        const QuestionAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<CString> ChooseFileToOpen(const FileDialogRequest& request) override {
        openRequests.push_back(request);
        if (openChoices.empty()) return std::nullopt;
        std::optional<CString> choice = openChoices.front();
        openChoices.pop_front();
        return choice;
    }
    std::optional<CString> ChooseFileToSave(const FileDialogRequest& request) override {
        saveRequests.push_back(request);
        if (saveChoices.empty()) return std::nullopt;
        std::optional<CString> choice = saveChoices.front();
        saveChoices.pop_front();
        return choice;
    }
    bool RunExportDialog(const ExportDialogRequest&, ExportDialogResult&) override { return false; }
    bool RunRemeshInputDialog(const mesh::RemeshSettings&, const mesh::TriangleMesh&, std::uint64_t,
                              mesh::RemeshSettings&) override {
        return false;
    }
    bool RunProceduralTextureDialog(mesh::procedural::ProceduralTexture& texture) override {
        ++proceduralDialogRuns;
        return proceduralDialog ? proceduralDialog(texture) : false;
    }
    bool DetailedLog() const override { return detailedLog; }
    bool OpenDocumentFile(const CString& path) override {
        if (document == nullptr || !document->SaveModified()) return false;
        if (!document->OnOpenDocument(path)) return false;
        document->SetPathName(path, true);
        return true;
    }
    void AddToRecentFiles(const CString& path) override { recentFiles.push_back(path); }
    void WaitForJob(const std::function<bool()>& finished, const std::function<void()>& tick,
                    std::atomic<bool>&) override {
        while (!finished()) {
            if (tick) tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Whether a logged line contains the text.
    bool Logged(const CString& part) const {
        for (const LogLine& line : log) {
            if (line.text.find(part) != CString::npos) return true;
        }
        return false;
    }
    int CountLogged(const CString& part) const {
        int count = 0;
        for (const LogLine& line : log) count += line.text.find(part) != CString::npos ? 1 : 0;
        return count;
    }
    const InfoMessage* LastInfo() const { return info.empty() ? nullptr : &info.back(); }
};

// A document with the fake host wired both ways.
struct HostedDocument {
    FakeHost host;
    CRidgeforgeDoc doc{&host};
    HostedDocument() { host.document = &doc; }
};

// Polls as the idle handler would until a result was applied; false after a minute.
inline bool PollUntilApplied(CRidgeforgeDoc& doc) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (doc.PollPipeline()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// The test cube with the first procedural texture, 2 mm triangles and the
// mesh method at 0.5 mm, simplify off; the settings applied, not processed.
inline void TextureTheTestCube(CRidgeforgeDoc& doc) {
    doc.OnTestCube();
    doc.remeshSettings.targetEdgeMillimetres = 2.0f;
    doc.simplifyEnabled = false;
    doc.displacementSettings.method = mesh::DisplacementMethod::Mesh;
    doc.displacementSettings.strengthMillimetres = 0.5f;
    doc.ApplyProceduralTexture(mesh::procedural::CreateTexture(mesh::procedural::TextureNames().front()), L"");
    doc.OnSettingsChanged();
}

}  // namespace ridgeforge::test
