// The kind of a log line, which decides its colour and marker bar. Stored
// with each line; Auto asks the pane to work the kind out from the wording.
#pragma once

namespace ridgeforge {

enum class LogKind : int { Auto = 0, Plain = 1, Good = 2, Warning = 3, Error = 4 };

}  // namespace ridgeforge
