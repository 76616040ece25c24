#pragma once
// The preview picture of the Siemens target screen (preview/PreviewPicture.h) drawn from the
// numbered BMP files of a workspace, as the window and the command line draw it.
#include "preview/PreviewPicture.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

// The workspace's bitmaps as the redraws take them: each field's text read through `window` at
// the moment of use, and the numbered BMP file it names (Workspace::loadSourceBitmap) loaded.
FieldBitmapLoader WorkspaceLoader(const Workspace& workspace, const WindowSeam& window);

// Repaints `image1` from the numbered BMP files that the fifteen bitmap number fields name, with
// the captions drawn through window.drawCaption (ComposeTargetPreview). Moves no progress bar and
// lets no window messages run. A file that cannot be opened, or that is not a valid BMP, ends the
// redraw at that item with the Error that LoadBmpFile throws.
void DrawTargetPreview(const Workspace& workspace, WindowSeam& window, Bitmap& image1);

} // namespace vexaro
