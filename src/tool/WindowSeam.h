#pragma once
// What the commands need from the main window. The Qt window implements it; tests implement
// it with recorders; the command line with a quiet or terminal version.
#include <string>

#include "bitmap/Bitmap.h"

namespace vexaro {

// Style of the preview captions: face, character cell height, bold, text and cell colours.
struct CaptionStyle {
    std::string face = "MS Sans Serif";
    int cellHeight = 15;
    bool bold = true;
    Rgb text{255, 134, 46};
    Rgb background{46, 46, 46};
};

class WindowSeam {
public:
    virtual ~WindowSeam() = default;

    // Progress bar ProgressBar1.
    virtual void setProgressMax(int max) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual int progressPosition() const = 0;
    virtual void setProgressStep(int step) = 0;
    virtual void stepProgress() = 0;

    // Caption of the Open button, which carries the Open command's progress text.
    virtual void setOpenCaption(const std::string& caption) = 0;

    // Let pending window messages run.
    virtual void processMessages() = 0;

    // Text of bitmap number field `n` (1 to 15), read at the moment of use.
    virtual std::string fieldText(int n) const = 0;

    // A plain message box (no error icon): "File temp.mbm damaged !".
    virtual void showMessage(const std::string& text) = 0;

    // The window's face colour, read each time.
    virtual Rgb faceColour() const = 0;

    // Draws one caption onto `picture` with its top-left corner at (x, y).
    virtual void drawCaption(Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style) = 0;

    // One line of a command's account of itself (what it ran, how that ended, how long it took),
    // for a user who asked for it. The window keeps none.
    virtual void note(const std::string&) {}
};

} // namespace vexaro
