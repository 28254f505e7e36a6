// Numbers in dialog fields: written as "%g" and read back in the "C" locale
// whatever the user's regional settings, keeping the caller's value for a
// field that holds no finite number.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace ridgeforge::ui {

// "%g" of the value (six significant digits, a point as decimal separator):
// 0.1 gives "0.1", 1234567 gives "1.23457e+06".
wxString FormatFloatField(float value);

// The number at the start of the trimmed text ("  2.5 mm" gives 2.5, "1,5"
// gives 1); `fallback` for an empty text, one without a number, or one
// whose number is infinite or not a number.
float ParseFloatField(const wxString& text, float fallback);

// FormatFloatField into the text of the child of `dialog` with that id.
void SetDlgItemFloat(wxWindow* dialog, int id, float value);

// ParseFloatField of the text of the child of `dialog` with that id;
// `fallback` when there is no such child.
float GetDlgItemFloat(const wxWindow* dialog, int id, float fallback);

}  // namespace ridgeforge::ui
