#pragma once
// What the benchmark programs share: a quiet window and a workspace holding a generated theme.
#include <filesystem>
#include <string>

#include <unistd.h>

#include "tool/QuietWindow.h"
#include "ThemePainter.h"
#include "tool/Workspace.h"

namespace vexaro::bench {

namespace fs = std::filesystem;
using vexaro::QuietWindow;

// A workspace in the temporary folder holding the generated theme, removed at the end.
class BenchWorkspace {
public:
    explicit BenchWorkspace(const std::string& tag)
        : folder_(fs::temp_directory_path() / ("vexaro-bench-" + tag + "-" + std::to_string(::getpid()))),
          workspace_(folder_)
    {
        fs::create_directories(folder_);
        vexaro::test::PaintTheme(workspace_);
    }
    ~BenchWorkspace()
    {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    BenchWorkspace(const BenchWorkspace&) = delete;
    BenchWorkspace& operator=(const BenchWorkspace&) = delete;
    const vexaro::Workspace& workspace() const { return workspace_; }
    const fs::path& folder() const { return folder_; }

private:
    fs::path folder_;
    vexaro::Workspace workspace_;
};

} // namespace vexaro::bench
