#pragma once
// Extraction of a package into the workspace: every file of the package written into the source
// folder, as the Open command does before the unpacking (the reading is import/SisPackage.h).
#include <string>
#include <string_view>

#include "import/SisPackage.h"
#include "tool/WindowSeam.h"

namespace vexaro {

// Extracts the package at `packagePath` into `sourceFolder`, an existing folder whose path ends
// with a separator. Every file is written directly in that folder under its display name (the
// source name after its last "\", "/" or ":"); a name with the extension ".mbm" (exact case)
// becomes "temp.mbm". Files are written in table order; a later file replaces an earlier one of
// the same name (the earlier file is removed, never written through). An entry whose name the
// reader refuses (empty, ".", "..", a NUL character, a Windows device name) writes no file and
// no message. The package is read by positioned reads and every entry is copied or inflated in
// chunks of kChunkBytes, so extracting holds a few chunks in memory whatever the sizes.
//
// A file that cannot be opened (missing, no permission) or is shorter than 22 bytes extracts
// nothing and reports nothing (progress maximum 0). Every record counts one step of the progress
// bar and one caption "Process : <display name>".
// Throws Error, before anything is written or reported:
//   "Cannot open file "PATH". Not a regular file"          a folder, a FIFO, a device
//   "Symbian OS 9 packages are not supported"              UID1 is 0x10201A7A
//   "Package "NAME" announces N file records; ..."         more than kMaxFileRecords
//   "Package "NAME" is damaged: ..."                       an unknown record kind, a name or
//                                                          data outside the package, a name
//                                                          longer than kMaxNameBytes, or an
//                                                          original length no zlib stream of
//                                                          the stored length can produce
//   "Package "NAME" would unpack to N bytes; ..."          original lengths summing to more
//                                                          than kMaxUnpackedBytes
// Throws Error part-way, after the caption of the failing entry; the files of the entries before
// it stay, and no file is left under that entry's name:
//   "Error\nPackage "NAME" is damaged: file record I (DISPLAY): the compressed data ..."
//                                         a zlib stream that is corrupt (zlib's reason follows),
//                                         ends early or yields more than its original length
//   "Cannot create file "PATH". REASON"   the output file cannot be created or written (a
//                                         read-only or full disk, a folder in the way)
//   "Cannot read file "PATH". REASON"     the package cannot be read any more
// std::bad_alloc passes through.
void ExtractSisPackage(const std::string& packagePath, const std::string& sourceFolder, WindowSeam& window);

namespace sis {

// The name the entry is written under in the source folder, or "" when it writes no file
// (empty, ".", "..", a control character or one of < > " | ? *, or a Windows device name such
// as "CON" or "nul.txt").
std::string OutputName(std::string_view sourceName);

} // namespace sis
} // namespace vexaro
