#pragma once
// The preview picture of the Siemens target screen (Image1, 280 x 385): the status, main and
// control area of the source theme, the twelve menu icons in two rows, on a dark fill with four
// orange captions.
#include <string_view>

#include "bitmap/Bitmap.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

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

// Repaints `image1` (sized to 280 x 385 first if it is not) from the numbered BMP files that the
// fifteen bitmap number fields name, each field read at the moment its item is drawn. The
// captions are drawn through window.drawCaption with the default CaptionStyle, the first only
// when there is a web address to show. Moves no
// progress bar and lets no window messages run.
//
// A field whose file is missing is skipped. A file that cannot be opened, or that is not a valid
// BMP, ends the redraw at that item with the Error that LoadBmpFile throws; what was painted so
// far stays in `image1`.
void DrawTargetPreview(const Workspace& workspace, WindowSeam& window, Bitmap& image1);

} // namespace vexaro
