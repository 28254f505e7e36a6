// What the dialog tests share: a shown owner frame that is destroyed (and
// its closing let happen) after each test, the controls of a dialog found
// by id, and a button pressed as a click would press it.
#pragma once

#include <gtest/gtest.h>
#include <wx/event.h>
#include <wx/frame.h>

#include "tests/support/ui/WxTest.h"

namespace ridgeforge::testing {

class DialogTest : public ::testing::Test {
protected:
    explicit DialogTest(wxSize ownerSize = wxSize(1200, 780)) : ownerSize_(ownerSize) {}

    void SetUp() override {
        owner_ = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), ownerSize_);
        owner_->Show();
    }
    void TearDown() override {
        owner_->Destroy();
        PumpEvents(20);
    }

    template <class T>
    static T* Control(const wxWindow& dialog, int id) {
        return static_cast<T*>(dialog.FindWindow(id));
    }

    // Presses the button as a click would.
    static void Press(wxWindow& dialog, int id) {
        wxWindow* button = dialog.FindWindow(id);
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(click);
    }

    wxFrame* owner_ = nullptr;

private:
    wxSize ownerSize_;
};

}  // namespace ridgeforge::testing
