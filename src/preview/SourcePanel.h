#pragma once
// The left pane of the window: the theme screen view (Image2) and the two menu icon rows, drawn
// from the numbered BMP files that the bitmap number fields name.
#include "preview/PreviewPictures.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

// Redraws everything the window shows of a theme: first the preview picture with
// DrawTargetPreview, then Image2, menu and submenu (each filled with window.faceColour() first).
// Drives the progress bar: maximum 100, position 0, then 5 more after each of the fifteen items
// (whether or not its file exists), each followed by window.processMessages(), and finally
// position 0.
//
// Errors are those of DrawTargetPreview, which end the redraw before the panel or the progress
// bar is touched, and the same errors for an item here, which end the redraw at that item: what
// was drawn stays and the progress bar stays where it was.
void DrawSourcePanel(const Workspace& workspace, WindowSeam& window, PreviewPictures& pictures);

} // namespace vexaro
