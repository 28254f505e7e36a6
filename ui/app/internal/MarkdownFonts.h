// The help viewer's eight fonts at a DPI: sans body text at a 16-pixel cell,
// a monospace code font at 90 % of it, and three bold heading sizes.
#pragma once

#include "ui/app/internal/MarkdownMeasurer.h"

namespace ridgeforge {

MarkdownFontSet CreateMarkdownFonts(int dpi);

}  // namespace ridgeforge
