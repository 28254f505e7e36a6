// Dialogs laid out the way their templates are drawn: in dialog units,
// turned into pixels by the dialog's own font, and static texts that wrap
// to the width they were given.
#pragma once

#include <wx/gdicmn.h>
#include <wx/string.h>

#include <string>

#include "text/Utf8.h"

class wxStaticText;
class wxWindow;

namespace ridgeforge {

// The dialog-unit rectangle in the window's pixels.
wxRect DialogRect(const wxWindow& window, int x, int y, int width, int height);

// Sets the text and breaks it into lines at the control's width; the
// control keeps its size.
void SetWrappedText(wxStaticText& control, const wxString& text);

// Sets the text and breaks it into lines at the control's width; when the
// lines need more height than the control was made with, the control grows
// down, the controls below it in the same window move down as far, those
// beside it that reach below it grow as far, and the window grows as far
// (and shrinks back when a later text needs less).
void SetGrowingWrappedText(wxStaticText& control, const wxString& text);

// The text of a control with the line breaks that wrapping put in turned
// back into spaces.
wxString UnwrappedLabel(const wxWindow& control);

// UTF-8 to the windows' text.
// Broken UTF-8 (a file name in an error text) is mended rather than lost.
inline wxString FromUtf8(const std::string& text) { return wxString(WideFromUtf8(text)); }

}  // namespace ridgeforge
