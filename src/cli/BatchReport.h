#pragma once
// The page a batch conversion leaves for people to look at: one HTML file with a summary at the
// top and a card per theme: its preview, name, status, what is missing, the --set line a look
// inside suggests, links to the Siemens files it built (none for a theme that failed), and its
// contact sheet, folded. It needs no server, no network and no script: styles are inside the
// page and every link is relative to the page's folder.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Batch.h"

namespace vexaro::cli {

// The page for the report file `reportFile` (its links are made relative to its folder).
std::string BatchReportHtml(const std::filesystem::path& reportFile, const std::vector<BatchTheme>& themes,
                            const std::vector<ThemeOutcome>& outcomes);

// Writes that page to `reportFile`. Throws Error("Cannot create file ...") when it cannot.
void WriteBatchReport(const std::filesystem::path& reportFile, const std::vector<BatchTheme>& themes,
                      const std::vector<ThemeOutcome>& outcomes);

// `text` with &, <, >, " and ' as character references.
std::string HtmlEscaped(std::string_view text);

// A link from a page in `fromFolder` to `to` (both in full): relative where one exists, with
// every byte but letters, digits, "-._~/" percent-encoded; else a file:// address.
std::string RelativeLink(const std::filesystem::path& fromFolder, const std::filesystem::path& to);

} // namespace vexaro::cli
