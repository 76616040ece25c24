#pragma once
// What the benchmark programs share: a quiet window and a workspace holding a generated theme.
#include <filesystem>
#include <string>

#include <unistd.h>

#include "FieldDefaults.h"
#include "ThemePainter.h"
#include "WindowSeam.h"
#include "Workspace.h"

namespace vexaro::bench {

namespace fs = std::filesystem;

// A window that answers with the default field texts and does nothing else.
class QuietWindow : public vexaro::WindowSeam {
public:
    void setProgressMax(int) override {}
    void setProgressPosition(int p) override { position_ = p; }
    int progressPosition() const override { return position_; }
    void setProgressStep(int) override {}
    void stepProgress() override {}
    void setOpenCaption(const std::string&) override {}
    void processMessages() override {}
    std::string fieldText(int n) const override { return vexaro::FieldDefault(n); }
    void showMessage(const std::string&) override {}
    vexaro::Rgb faceColour() const override { return vexaro::Rgb{212, 208, 200}; }
    void drawCaption(vexaro::Bitmap&, int, int, const std::string&, const vexaro::CaptionStyle&) override {}

private:
    int position_ = 0;
};

// A workspace in the temporary folder holding the generated theme, removed at the end.
class BenchWorkspace {
public:
    explicit BenchWorkspace(const std::string& tag)
        : folder_(fs::temp_directory_path() / ("vexaro-bench-" + tag + "-" + std::to_string(::getpid()))), workspace_(folder_)
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
