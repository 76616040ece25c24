#pragma once
// Extraction of a package into the workspace: every file of the package written into the source
// folder, as the Open command does before the unpacking (the reading is import/SisPackage.h).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteReader.h"
#include "base/Files.h"
#include "base/Folder.h"
#include "import/SisPackage.h"
#include "tool/WindowSeam.h"

namespace vexaro {

// Extracts the package at `packagePath` into `sourceFolder`, an existing folder whose path ends
// with a separator. Every file is written directly in that folder under its display name (the
// source name after its last "\", "/" or ":"); a name with the extension ".mbm" (exact case)
// becomes "temp.mbm". Files are written in table order; a later file replaces an earlier one of
// the same name (the earlier file is removed, never written through). The whole package is read
// and checked before anything is written (see SisExtraction); every entry is then copied or
// inflated in chunks of kChunkBytes, the multi-bitmap file written from the bytes checked.
//
// Returns the files left out, one line each ("NAME": REASON): an entry whose name the reader
// refuses (".", "..", a control character, a Windows device name, "MBM") or whose file cannot
// be made (a name too long for the file system, a folder of that name). An entry without a
// name is left out without a word.
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
//   "Error\nPackage "NAME" is damaged: file record I (DISPLAY): the compressed data ..."
//                                         a zlib stream that is corrupt (zlib's reason follows),
//                                         ends early or yields more than its original length
//   "Cannot read file "PATH". REASON"     the package cannot be read
// Throws Error part-way, after the caption of the failing entry; the files of the entries before
// it stay, and no file is left under that entry's name:
//   "Cannot create file "PATH". REASON"   the multi-bitmap file cannot be made, or a file cannot
//                                         be written (a read-only or full disk)
//   "Cannot read file "PATH". REASON"     the package cannot be read any more
// std::bad_alloc passes through.
std::vector<std::string> ExtractSisPackage(const std::string& packagePath, const std::string& sourceFolder,
                                           WindowSeam& window);

// A package read through before anything of it is written: header, table and names (as
// ParseSisPackage), then the data of every entry, compressed entries inflated and dropped, and
// the theme's multi-bitmap file (the entry extraction leaves as "temp.mbm") kept in memory, at
// most kMaxUnpackedBytes. The constructor throws what ExtractSisPackage throws before writing.
class SisExtraction {
public:
    explicit SisExtraction(const std::string& packagePath);
    // The package whose bytes are `bytes`, called `packageName`; the bytes must outlive it.
    SisExtraction(std::span<const std::uint8_t> bytes, const std::string& packageName);
    SisExtraction(const SisExtraction&) = delete;
    SisExtraction& operator=(const SisExtraction&) = delete;

    // The theme's multi-bitmap file; nothing when the package holds none.
    const std::optional<std::vector<std::uint8_t>>& multiBitmap() const { return multiBitmap_; }
    // Writes the files into `folder` as ExtractSisPackage does, and returns the files left out.
    std::vector<std::string> writeInto(const Folder& folder, WindowSeam& window) const;

private:
    std::string packageName_;
    PositionedFile file_;
    std::optional<ByteReader> reader_;
    sis::SisPackage package_;
    std::optional<std::size_t> theme_;
    std::optional<std::vector<std::uint8_t>> multiBitmap_;

    // Reads the package through `reader_`.
    void readThrough();
};

namespace sis {

// The name the entry is written under in the source folder, or "" when it writes no file
// (empty, ".", "..", a control character or one of < > " | ? *, a Windows device name such
// as "CON" or "nul.txt", or "MBM" in any case, the unpacked bitmaps folder's name).
std::string OutputName(std::string_view sourceName);

} // namespace sis
} // namespace vexaro
