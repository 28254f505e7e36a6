// A running application object for window tests: a scratch profile and home
// folder, a document whose file opening and pipeline the test scripts, and
// idle passes driven by the test harness's application.
#pragma once

#include <gtest/gtest.h>
#include <wx/app.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/app/ShellDocument.h"
#include "document/RidgeforgeDoc.h"
#include "ui/framework/App.h"
#include "ui/framework/StartupMarks.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge::testing {

// A document that records what the shell asks of it.
class ScriptedDocument : public ShellDocument, public DocumentBase {
public:
    explicit ScriptedDocument(DocumentHost& host) : DocumentBase(&host) {}

    DocumentBase& Base() override { return *this; }
    bool PollPipeline() override {
        ++polls;
        if (finishDue) {
            finishDue = false;
            running = false;
            return true;
        }
        return false;
    }
    bool PipelineRunning() const override { return running; }
    mesh::PipelineStatus PipelineStatus() const override { return status; }
    bool LoadHeightMap(const CString& path) override {
        textures.push_back(path);
        return true;
    }
    bool OnNewDocument() override {
        ++newDocuments;
        return DocumentBase::OnNewDocument();
    }
    bool OnOpenDocument(const CString& path) override {
        opened.push_back(path);
        if (onOpen) onOpen(path);
        if (!std::filesystem::exists(path)) {
            Host()->AddLogLine(L"The file could not be opened: " + path, LogKind::Error);
            return false;
        }
        return DocumentBase::OnOpenDocument(path);
    }

    std::vector<CString> opened;
    std::vector<CString> textures;
    std::function<void(const CString&)> onOpen;
    int newDocuments = 0;
    long polls = 0;
    bool running = false;
    bool finishDue = false;
    mesh::PipelineStatus status;
};

class ShellTest : public ::testing::Test {
protected:
    ShellTest() : scratch_("shell") {
        environment_.Set("XDG_CONFIG_HOME", (scratch_.Path() / "config").string());
        environment_.Set("HOME", (scratch_.Path() / "home").string());
        environment_.Unset("XDG_DOCUMENTS_DIR");
        std::filesystem::create_directories(scratch_.Path() / "home");
        std::filesystem::create_directories(ProgramFolder());
    }
    ~ShellTest() override { Stop(); }

    std::filesystem::path ProgramFolder() const { return scratch_.Path() / "program"; }
    const test::TempDir& Scratch() const { return scratch_; }

    // Starts the application with the command line's arguments after the
    // program name; returns what InitInstance returned.
    bool Start(std::vector<std::wstring> arguments = {}) {
        CRidgeforgeApp::Options options;
        options.arguments.push_back(L"ridgeforge");
        for (auto& argument : arguments) options.arguments.push_back(argument);
        options.programFolder = ProgramFolder();
        if (makeView_) options.makeView = makeView_;
        if (makeDocument_)
            options.makeDocument = makeDocument_;
        else if (programDocument_)
            options.makeDocument = MakeRidgeforgeDocument;
        else
            options.makeDocument = [this](DocumentHost& host) {
                auto document = std::make_unique<ScriptedDocument>(host);
                document_ = document.get();
                if (onDocument_) onDocument_(*document);
                return document;
            };
        ui::ClearStartupPhases();
        app_ = std::make_unique<CRidgeforgeApp>(std::move(options));
        idle_ = std::make_unique<ui::IdleDriver>(*app_);
        const bool started = app_->InitInstance();
        if (started && app_->Frame() != nullptr) {
            if (!keepStartPlace_) app_->Frame()->SetSize(wxRect(0, 0, 1280, 800));
            PumpEvents(300);
        }
        return started;
    }

    // Ends the application as the program does: the window closes, then
    // ExitInstance.
    void Stop() {
        if (!app_) return;
        if (app_->Frame() != nullptr) {
            app_->Frame()->Destroy();
            PumpEvents(50);
        }
        app_->ExitInstance();
        idle_.reset();
        app_.reset();
        document_ = nullptr;
        PumpEvents(20);
    }

    CRidgeforgeApp& App() { return *app_; }
    CMainFrame& Frame() { return *app_->Frame(); }
    ScriptedDocument& Document() { return *document_; }

    std::vector<std::wstring> LogLines() {
        std::vector<std::wstring> lines;
        IOutputLog& log = Frame().OutputLog();
        for (std::size_t index = 0; index < log.LineCount(); ++index) lines.push_back(log.LineText(index));
        return lines;
    }
    bool Logged(const std::wstring& line) {
        for (const auto& each : LogLines())
            if (each == line) return true;
        return false;
    }

    test::ScopedEnvironment environment_;
    test::TempDir scratch_;
    std::function<void(ScriptedDocument&)> onDocument_;
    CRidgeforgeApp::ViewFactory makeView_;
    // The program's own document instead of the scripted one (Document()
    // is then not usable; App().Document()->RidgeforgeDoc() is).
    bool programDocument_ = false;
    // The window keeps the size and place the program gave it at start
    // (otherwise it is put at 0, 0 and made 1280 x 800).
    bool keepStartPlace_ = false;
    // Builds the document in place of both; for a program document over a
    // host of the test's own that answers in place of the toolkit's boxes.
    CRidgeforgeApp::DocumentFactory makeDocument_;

private:
    std::unique_ptr<CRidgeforgeApp> app_;
    std::unique_ptr<ui::IdleDriver> idle_;
    ScriptedDocument* document_ = nullptr;
};

// The whole program with its own document, started before the test body;
// `settle` more milliseconds of events after the start-up's own.
class ProgramShellTest : public ShellTest {
protected:
    explicit ProgramShellTest(int settle = 0) {
        programDocument_ = true;
        started_ = Start();
        if (started_) PumpEvents(settle);
    }
    CRidgeforgeDoc& Doc() { return *App().Document()->RidgeforgeDoc(); }

    bool started_ = false;
};

}  // namespace ridgeforge::testing
