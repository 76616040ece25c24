#pragma once
// The Siemens theme as pictures: what each of the three Siemens files holds, the pictures the
// builds compose from the theme's bitmaps, and their compilation into the files' bytes as the
// converter compiles them. Nothing here writes a file or runs a process: the save command
// (siemens/ThemeBuild.h) writes these pictures as BMP files for the converter, a conversion in
// memory compiles them itself, and both get the same bytes.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bitmap/Bitmap.h"
#include "mbm/MbmReduce.h"
#include "tool/FieldDefaults.h"

namespace vexaro {

// The three working bitmaps the builds share for one save: what one build leaves in them is
// where the next one starts.
struct WorkingBitmaps {
    Bitmap loader;  // receives each source bitmap
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
    bool built = false;                 // the file was made
    std::vector<MissingBitmap> missing; // its fields without a bitmap: white there, or not built
    std::string converterMessages;      // what the converter said when it did not build it
};

// The three files as the system names them, in build order.
inline constexpr const char* kSiemensFileNames[] = {"Siemens\\Backgroundimage.mbm", "Siemens\\EidPic.mbm",
                                                    "Siemens\\Menu_Folders.mbm"};

// The three files in build order: Backgroundimage, EidPic, Menu_Folders.
struct SaveOutcome {
    std::array<TargetOutcome, 3> targets;

    // All three built from every bitmap their fields name.
    bool complete() const;
    // For the user, one line per target that is not complete:
    // "Menu_Folders.mbm: no bitmap 165 (field 4), 167 (field 10)", "EidPic.mbm: not built: ...".
    std::string problems() const;
};

// One source bitmap of a Siemens file, as the build's command file lists it: the converter's depth
// option and the BMP file the build composes it into.
struct SiemensSource {
    mbm::DepthOption depth;
    std::string file; // "Siemens\Backgroundimage.bmp"
};

// A Siemens file and its sources in the order the file holds its bitmaps.
struct SiemensFile {
    std::string file; // "Siemens\Backgroundimage.mbm"
    std::vector<SiemensSource> sources;
};

// The three files in build order:
//   "Siemens\Backgroundimage.mbm"  /c24 Backgroundimage.bmp, /1 BBackgroundimage.bmp
//   "Siemens\EidPic.mbm"           /c16 EidPicTop.bmp, /c24 EidPic.bmp four times
//   "Siemens\Menu_Folders.mbm"     /c24 menu0.bmp, /1 menu1.bmp, ... /c24 menu22.bmp, /1 menu23.bmp
std::array<SiemensFile, 3> SiemensFiles();

// The command file's line of a source: its option written directly before its file
// ("/c24Siemens\Backgroundimage.bmp").
std::string CommandLineOf(const SiemensSource& source);

// The background build's pictures, into bitmaps.canvas. The mask: the empty canvas grown to
// 1 x 1, one white pixel.
void ComposeBackgroundMask(WorkingBitmaps& bitmaps);
// The picture: rows 18 to 149 of the main area resized to 176 x 150, on white where the theme
// has no main area (176 x 132).
void ComposeBackgroundPicture(WorkingBitmaps& bitmaps, const FieldBitmapLoader& load);
// The idle picture, on the canvas the background left: its top 68 rows, the status area resized
// to 176 x 50 over rows 0 to 49 and rows 0 to 17 of the resized main area over rows 50 to 67,
// each where the theme has it.
void ComposeIdlePicture(WorkingBitmaps& bitmaps, const FieldBitmapLoader& load);
// Menu icon `field`: false when the theme has none; else the icon is in bitmaps.loader and its
// mask in bitmaps.canvas.
bool ComposeMenuIcon(WorkingBitmaps& bitmaps, const FieldBitmapLoader& load, int field);
// Where the icon of `icon` stands in "Menu_Folders.mbm": its colour bitmap at this index and its
// mask at the next (4 per column, the first form before the second).
int MenuIconIndex(const ThemeField& icon);

// The built-in 176 x 12 strip picture: (222, 222, 238) with five black chevrons.
Bitmap StripPicture();

// The mask of an icon: 1 bit per pixel, white where the pixel equals the top-left pixel's
// colour exactly, black elsewhere. An empty picture gives an empty mask.
Bitmap IconMask(const Bitmap& icon);

// The bytes of a Siemens file compiled from `pictures`, one for each of `file`'s sources in order,
// as the converter compiles the BMP files of that file's command file: each reduced to its
// source's depth, into a compressed file store. Throws Error as the converter's compile fails.
std::vector<std::uint8_t> CompileSiemensFile(const SiemensFile& file, std::span<const Bitmap* const> pictures);

} // namespace vexaro
