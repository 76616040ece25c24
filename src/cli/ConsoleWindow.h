#pragma once
// The commands' window for a program without one: the bitmap number fields are a fixed set of
// texts, messages are kept for the caller to report, captions are drawn with the carried face,
// and progress goes to a stream (a terminal's standard error) or nowhere.
#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "tool/FieldDefaults.h"
#include "tool/WindowSeam.h"

namespace vexaro::cli {

class ConsoleWindow : public WindowSeam {
public:
    // `progress`: where to draw a one-line progress display, or nullptr for none; `notes`: where
    // the commands' notes go, a line each, or nullptr for nowhere.
    ConsoleWindow(FieldTexts fields, std::ostream* progress, std::ostream* notes = nullptr)
        : fields_(std::move(fields)), progress_(progress), notes_(notes)
    {
    }
    ~ConsoleWindow() override { endProgress(); }

    // The name shown before the percentage ("save").
    void setActivity(const std::string& activity) { activity_ = activity; }
    // Clears the progress line, if one was drawn.
    void endProgress();

    const std::vector<std::string>& messages() const { return messages_; }

    void setProgressMax(int max) override { max_ = max; }
    void setProgressPosition(int position) override;
    int progressPosition() const override { return position_; }
    void setProgressStep(int step) override { step_ = step; }
    void stepProgress() override { setProgressPosition(position_ + step_); }
    void setOpenCaption(const std::string& caption) override;
    void processMessages() override {}
    std::string fieldText(int n) const override;
    void showMessage(const std::string& text) override { messages_.push_back(text); }
    Rgb faceColour() const override { return Rgb{212, 208, 200}; }
    void drawCaption(Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style) override;
    void note(const std::string& line) override;

private:
    void draw();

    FieldTexts fields_;
    std::ostream* progress_;
    std::ostream* notes_;
    std::string activity_;
    std::vector<std::string> messages_;
    int max_ = 100;
    int position_ = 0;
    int step_ = 10;
    std::size_t drawnWidth_ = 0;
};

} // namespace vexaro::cli
