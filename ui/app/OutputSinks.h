// What the shell and the document write to: the Output pane's log and the
// Information pane. The frame reaches both through these interfaces, so the
// panes' windows can be replaced without touching their callers.
#pragma once

#include <cstddef>

#include "document/DocumentHost.h"

namespace ridgeforge {

class IOutputLog {
public:
    virtual ~IOutputLog() = default;
    // Appends the text, one list line per "\n"-separated piece (a text
    // ending in a line break also adds an empty line), coloured by the kind
    // (Auto: worked out from the wording); follows the end of the log.
    virtual void AddLine(const CString& text, LogKind kind) = 0;
    // Empties the list.
    virtual void Clear() = 0;
    virtual std::size_t LineCount() const = 0;
    virtual CString LineText(std::size_t index) const = 0;
    // The window's DPI changed, or the system's fonts did.
    virtual void SetDpi(unsigned dpi) = 0;
    virtual void UpdateFonts() = 0;
};

class IInformationPane {
public:
    virtual ~IInformationPane() = default;
    // The outcome of the last command in green, amber or red; an empty text
    // hides it.
    virtual void ShowMessage(const CString& text, InfoKind kind) = 0;
    virtual CString Message() const = 0;
    virtual InfoKind MessageKind() const = 0;
    // The information text about the part (monospaced, scrolling).
    virtual void SetInformationText(const CString& text) = 0;
    virtual CString InformationText() const = 0;
    virtual void SetDpi(unsigned dpi) = 0;
};

}  // namespace ridgeforge
