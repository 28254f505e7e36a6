// The wording rules of the log: which kind a line is when the caller gives
// none, and whether a labelled count is non-zero. Timings come out of lines
// on the document's side (RemoveTimingText in document/DocumentText.h), before
// a line reaches the pane.
//
// Classification lower-cases the line (ASCII only: every keyword is ASCII)
// and takes the first rule of an ordered keyword table that matches; errors
// come before warnings before good news, so that a line saying "saved, but
// could not ..." reads as the failure it reports.
#pragma once

#include "document/DocumentHost.h"

#include <string_view>

namespace ridgeforge {

// Plain, Good, Warning or Error (never Auto), from the wording.
LogKind ClassifyLogLine(std::wstring_view text);

// True when the first `label` in `text` is followed (after spaces) by a count
// with a digit other than '0' before its first character that is neither a
// digit nor a comma: "edges: 1,024" and "edges: 0,012" are non-zero, "edges: 0" is not.
bool CountAfterLabelIsNonZero(std::wstring_view text, std::wstring_view label);

}  // namespace ridgeforge
