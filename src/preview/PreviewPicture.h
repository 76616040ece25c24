#pragma once
// The preview picture of the Siemens target screen (Image1, 280 x 385): the status, main and
// control area of the source theme, the twelve menu icons in two rows, on a dark fill with four
// orange captions. Composed from the theme's bitmaps however they are had: the numbered BMP
// files of a workspace (preview/TargetPreview.h) or a theme in memory.
#include <functional>
#include <string>
#include <string_view>

#include "bitmap/Bitmap.h"
#include "tool/FieldDefaults.h"
#include "tool/WindowSeam.h"

namespace vexaro {

inline constexpr Rgb kPreviewFill{46, 46, 46};

// The web address shown after "You will visit: ", as the build was told (VEXARO_PREVIEW_ADDRESS);
// empty when there is none to show, and the preview then has no such caption.
inline constexpr std::string_view kWebAddress = VEXARO_PREVIEW_ADDRESS;

// The four captions, blanks included, in the order they are drawn.
inline constexpr std::string_view kVisitCaptionLead = "You will visit: ";
inline constexpr std::string_view kImageCaption = "Image :";
inline constexpr std::string_view kMenuCaption = "Menu :";
inline constexpr std::string_view kMenuNamesCaption = "Camera Organ.   Music   Games  Extras  Setup";

// Draws one caption onto `picture` with its top-left corner at (x, y).
using CaptionPainter =
    std::function<void(Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style)>;

// Repaints `image1` (sized to 280 x 385 first if it is not) from the bitmaps that the fifteen
// bitmap number fields name, each loaded through `load` at the moment its item is drawn. The
// captions are drawn through `caption` with the default CaptionStyle, the first only when there
// is a web address to show.
//
// A field whose bitmap the theme lacks is skipped. What `load` throws ends the redraw at that
// item; what was painted so far stays in `image1`.
void ComposeTargetPreview(const FieldBitmapLoader& load, const CaptionPainter& caption, Bitmap& image1);

} // namespace vexaro
