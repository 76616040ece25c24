#include "cli/BatchReport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "base/Error.h"
#include "tool/Workspace.h"
#include "base/Unicode.h"

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 24px; background: #f2f2f2; color: #222; }
h1 { font-size: 150%; margin: 0 0 8px; }
.summary { font-size: 110%; margin: 0 0 20px; }
.cards { display: flex; flex-wrap: wrap; gap: 16px; }
.card { background: #fff; border-radius: 6px; box-shadow: 0 1px 3px rgba(0,0,0,.25); width: 280px; padding: 10px; }
.card img, .noimage { width: 280px; height: 385px; display: block; background: #2e2e2e; }
.noimage { display: flex; align-items: center; justify-content: center; color: #bbb; }
.card h2 { font-size: 105%; margin: 8px 0 4px; overflow-wrap: anywhere; }
.status { display: inline-block; padding: 1px 8px; border-radius: 9px; color: #fff; font-size: 90%; }
.converted { background: #2e7d32; } .partial { background: #b26a00; } .failed { background: #c62828; }
.problems { margin: 6px 0; padding-left: 18px; font-size: 85%; color: #6d4c00; overflow-wrap: anywhere; }
.failed-card .problems { color: #9a1b1b; }
.files { font-size: 85%; margin: 6px 0 0; }
.files a, .files span { display: block; }
.absent { color: #999; text-decoration: line-through; }
.set { font-size: 85%; margin: 6px 0; }
.set code { display: block; background: #f4f4f4; border: 1px solid #ddd; padding: 4px; user-select: all; }
.set code span { white-space: nowrap; }
details { font-size: 85%; margin: 6px 0 0; }
details img { width: 100%; display: block; margin-top: 4px; }
)";

bool Unreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

std::string PercentEncoded(const std::string& text, bool keepColon)
{
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (Unreserved(u) || (keepColon && c == ':')) {
            out += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", u);
            out += escape;
        }
    }
    return out;
}

std::string FileLinks(const fs::path& reportFolder, const BatchTheme& theme, const ThemeOutcome& outcome)
{
    std::string html = "<p class=\"files\">";
    for (std::size_t i = 0; i < outcome.built.size(); ++i) {
        const fs::path file = NativePath(kSiemensFileNames[i]);
        const std::string name = HtmlEscaped(file.filename().string());
        if (outcome.built[i])
            html +=
                "<a href=\"" + HtmlEscaped(RelativeLink(reportFolder, theme.fullFolder / file)) + "\">" + name + "</a>";
        else
            html += "<span class=\"absent\" title=\"not built\">" + name + "</span>";
    }
    return html + "</p>\n";
}

// The --set line to copy, on every card of a theme that lacked bitmaps.
std::string SuggestedSet(const ThemeOutcome& outcome)
{
    if (!outcome.suggestedSet.empty()) {
        // Each "--set N=TEXT" stays on one line.
        std::string options;
        for (std::size_t start = 0; start < outcome.suggestedSet.size();) {
            std::size_t end = outcome.suggestedSet.find(" --", start);
            end = end == std::string::npos ? outcome.suggestedSet.size() : end;
            options += (start == 0 ? "<span>" : " <span>") +
                       HtmlEscaped(outcome.suggestedSet.substr(start, end - start)) + "</span>";
            start = end + 1;
        }
        return "<p class=\"set\">Try these numbers:<code>" + options + "</code></p>\n";
    }
    if (outcome.status == ThemeStatus::Partial)
        return "<p class=\"set\">No other bitmaps would serve the fields; pick them by eye below.</p>\n";
    return "";
}

std::string Sheet(const fs::path& reportFolder, const BatchTheme& theme, const ThemeOutcome& outcome)
{
    if (!outcome.sheet)
        return "";
    const std::string link = HtmlEscaped(RelativeLink(reportFolder, theme.fullFolder / kSheetName));
    return "<details><summary>Every bitmap with its number</summary><a href=\"" + link + "\"><img src=\"" + link +
           "\" alt=\"contact sheet\" loading=\"lazy\"></a></details>\n";
}

std::string Card(const fs::path& reportFolder, const BatchTheme& theme, const ThemeOutcome& outcome)
{
    const std::string status = StatusWord(outcome.status);
    const std::string name = HtmlEscaped(PathFromUtf8(theme.file).filename().string());
    std::string html = "<div class=\"card " + status + "-card\">\n";
    if (outcome.preview)
        html += "<img src=\"" + HtmlEscaped(RelativeLink(reportFolder, theme.fullFolder / kConvertPreviewName)) +
                "\" alt=\"preview of " + name + "\">\n";
    else
        html += "<div class=\"noimage\">no preview</div>\n";
    html += "<h2 title=\"" + HtmlEscaped(theme.file) + "\">" + name + "</h2>\n";
    html += "<span class=\"status " + status + "\">" + status + "</span>\n";
    if (outcome.status != ThemeStatus::Converted && !outcome.problems.empty()) {
        html += "<ul class=\"problems\">\n";
        for (const std::string& problem : outcome.problems)
            html += "<li>" + HtmlEscaped(problem) + "</li>\n";
        html += "</ul>\n";
    }
    html += SuggestedSet(outcome);
    // A theme that failed built nothing to use, whatever files it left.
    if (outcome.status != ThemeStatus::Failed)
        html += FileLinks(reportFolder, theme, outcome);
    return html + Sheet(reportFolder, theme, outcome) + "</div>\n";
}

std::string Summary(const std::vector<ThemeOutcome>& outcomes)
{
    std::string html =
        "<p class=\"summary\">" + std::to_string(outcomes.size()) + (outcomes.size() == 1 ? " theme:" : " themes:");
    for (const ThemeStatus status : {ThemeStatus::Converted, ThemeStatus::Partial, ThemeStatus::Failed}) {
        const auto count =
            std::count_if(outcomes.begin(), outcomes.end(), [&](const ThemeOutcome& o) { return o.status == status; });
        html += std::string(" <span class=\"status ") + StatusWord(status) + "\">" + std::to_string(count) + " " +
                StatusWord(status) + "</span>";
    }
    return html + "</p>\n";
}

} // namespace

std::string HtmlEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string RelativeLink(const fs::path& fromFolder, const fs::path& to)
{
    const fs::path relative = to.lexically_normal().lexically_relative(fromFolder.lexically_normal());
    if (!relative.empty())
        return PercentEncoded(relative.generic_string(), false);
    std::string absolute = to.lexically_normal().generic_string();
    if (absolute.empty() || absolute.front() != '/')
        absolute.insert(absolute.begin(), '/'); // a drive letter: file:///C:/...
    return "file://" + PercentEncoded(absolute, true);
}

std::string BatchReportHtml(const fs::path& reportFile, const std::vector<BatchTheme>& themes,
                            const std::vector<ThemeOutcome>& outcomes)
{
    const fs::path folder = reportFile.parent_path();
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Vexaro: " + TallyText(outcomes) +
        "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>Vexaro: Nokia themes for Siemens phones</h1>\n";
    html += Summary(outcomes) + "<div class=\"cards\">\n";
    for (std::size_t i = 0; i < themes.size() && i < outcomes.size(); ++i)
        html += Card(folder, themes[i], outcomes[i]);
    return html + "</div>\n</body>\n</html>\n";
}

void WriteBatchReport(const fs::path& reportFile, const std::vector<BatchTheme>& themes,
                      const std::vector<ThemeOutcome>& outcomes)
{
    std::error_code ec;
    const fs::path full = fs::absolute(reportFile, ec);
    const std::string html = BatchReportHtml(full, themes, outcomes);
    fs::create_directories(full.parent_path(), ec);
    errno = 0;
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << html;
    out.close();
    if (!out)
        throw Error("Cannot create file " + Quoted(full.string()) + ". " + SystemReason(errno != 0 ? errno : EIO));
}

} // namespace vexaro::cli
