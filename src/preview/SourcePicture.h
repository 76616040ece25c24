#pragma once
// The pictures of the window's left pane, the theme screen view (Image2) and the two menu icon
// rows, composed from the theme's bitmaps however they are had: the numbered BMP files of a
// workspace (preview/SourcePanel.h) or a theme in memory.
#include <functional>

#include "preview/PreviewPictures.h"
#include "tool/FieldDefaults.h"

namespace vexaro {

// Repaints Image2, menu and submenu of `pictures` (each sized and filled with `face` first) from
// the bitmaps the fifteen fields name, loaded through `load`, and calls `afterItem` after each of
// the fifteen items, whether or not the theme has its bitmap. A field whose bitmap the theme
// lacks is skipped; what `load` throws ends the redraw at that item, and what was painted so far
// stays.
void ComposeSourcePanel(const FieldBitmapLoader& load, Rgb face, PreviewPictures& pictures,
                        const std::function<void()>& afterItem = {});

} // namespace vexaro
