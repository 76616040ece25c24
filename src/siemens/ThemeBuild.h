#pragma once
// The target theme build: the three Siemens multi-bitmap files and the save command that
// builds them all.
//
// Each build writes its command file "Siemens\mbm.txt", composes its BMP files from the
// numbered BMP files of the unpacked theme, and runs "bmconv.exe Siemens\mbm.txt". The field
// texts are read through the window at the moment of use. Failures (a source that is no valid
// BMP, a file that cannot be written, a converter that cannot be run) throw vexaro::Error and
// end the save command; files already written stay. The converter runs only on the command
// file its build has just written.
#include <array>
#include <string>
#include <vector>

#include "bitmap/Bitmap.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

// The three working bitmaps the builds share for one save command.
struct WorkingBitmaps {
    Bitmap loader;  // receives each source BMP file
    Bitmap resized; // receives each averaging resize
    Bitmap canvas;  // the picture or mask being composed; carries the background into the idle picture
};

// A field whose bitmap the theme lacks (or whose text names no file in "Nokia\MBM\").
struct MissingBitmap {
    int field = 0;    // 1 to 15
    std::string text; // the field's text as it was read
};

// How one of the three Siemens files came out.
struct TargetOutcome {
    std::string file;                   // "Siemens\Backgroundimage.mbm"
    bool built = false;                 // the converter wrote it
    std::vector<MissingBitmap> missing; // its fields without a bitmap: white there, or not built
    std::string converterMessages;      // what the converter said when it did not build it
};

// The three files in build order: Backgroundimage, EidPic, Menu_Folders.
struct SaveOutcome {
    std::array<TargetOutcome, 3> targets;

    // All three built from every bitmap their fields name.
    bool complete() const;
    // For the user, one line per target that is not complete:
    // "Menu_Folders.mbm: no bitmap 165 (field 4), 167 (field 10)", "EidPic.mbm: not built: ...".
    std::string problems() const;
};

// "Siemens\Backgroundimage.mbm": rows 18 to 149 of the main area resized to 176 x 150, and a
// one-pixel white mask. Advances the progress bar 4 times.
TargetOutcome BuildBackgroundImage(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps);

// "Siemens\EidPic.mbm": the strip picture and four copies of the idle picture (the status area
// resized to 176 x 50 above rows 0 to 17 of the resized main area). Continues on the canvas
// that BuildBackgroundImage left. Advances the progress bar 3 times.
TargetOutcome BuildIdlePicture(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps);

// "Siemens\Menu_Folders.mbm": the twelve menu icons, each as colour bitmap and as mask.
// Advances the progress bar 13 times.
TargetOutcome BuildMenuFolderIcons(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps);

// The theme save command: clears and recreates "Siemens\" (a "Siemens" that is a link goes as a
// link and a real folder takes its place), runs the three builds, and deletes any target that
// came out empty. With no theme open ("Nokia\MBM\" holds no numbered bitmap) it changes nothing
// and throws Error(NoThemeOpenMessage). The progress bar ends at 0 on every path. Returns how each file came out; a
// converter run that fails is reported there with its messages, never passed over.
SaveOutcome SaveTheme(const Workspace& workspace, WindowSeam& window);

// The built-in 176 x 12 strip picture: (222, 222, 238) with five black chevrons.
Bitmap StripPicture();

// The mask of an icon: 1 bit per pixel, white where the pixel equals the top-left pixel's
// colour exactly, black elsewhere. An empty picture gives an empty mask.
Bitmap IconMask(const Bitmap& icon);

} // namespace vexaro
