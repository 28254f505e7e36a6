// What the view's "Relief...", "Simplify..." and "Seamless..." commands do
// with their dialogs: fill them from the document, run them, and hand what
// changed back in the order the document expects. The view redraws after
// them (uploading the mesh and its overlays again).
#pragma once

class wxWindow;

namespace ridgeforge {

class CRidgeforgeDoc;

// The relief and simplify settings dialog on page 1 (relief) or 2
// (simplify). After OK every changed record and limit is written back in
// one edit of the document, so the OK is one undo step; a changed display
// limit also gets a full refresh. True when the dialog ended with OK.
bool RunReliefSettingsCommand(CRidgeforgeDoc& doc, wxWindow* parent, int page);

// The seamless dialog on the texture's image as loaded, with its current
// method and values; after OK the texture settings with the chosen method
// and values go to ApplyTextureSettings. Nothing without an image; true
// when the dialog ended with OK.
bool RunSeamlessCommand(CRidgeforgeDoc& doc, wxWindow* parent);

// Whether Seamless... may be chosen: an image texture with pixels, not a
// procedural one.
bool CanRunSeamlessCommand(const CRidgeforgeDoc& doc);

}  // namespace ridgeforge
