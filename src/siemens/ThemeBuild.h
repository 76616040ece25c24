#pragma once
// The target theme build on a workspace: the three Siemens multi-bitmap files and the save
// command that builds them all.
//
// Each build writes its command file "Siemens\mbm.txt", composes its BMP files (siemens/
// ThemeCompose.h) from the numbered BMP files of the unpacked theme, and runs "bmconv.exe
// Siemens\mbm.txt". The field texts are read through the window at the moment of use. Failures
// (a source that is no valid BMP, a file that cannot be written, a converter that cannot be run)
// throw vexaro::Error and end the save command; files already written stay. The converter runs
// only on the command file its build has just written.
#include "siemens/ThemeCompose.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

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
// came out empty. The progress bar ends at 0 on every path. Returns how each file came out; a
// converter run that fails is reported there with its messages, never passed over.
SaveOutcome SaveTheme(const Workspace& workspace, WindowSeam& window);

} // namespace vexaro
