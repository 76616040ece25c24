#pragma once
// A window that shows nothing: it answers with the design texts of the bitmap number fields and
// keeps the progress position, and drops everything else. For programs without a window.
#include <string>

#include "tool/FieldDefaults.h"
#include "tool/WindowSeam.h"

namespace vexaro {

class QuietWindow : public WindowSeam {
public:
    void setProgressMax(int) override {}
    void setProgressPosition(int p) override { position_ = p; }
    int progressPosition() const override { return position_; }
    void setProgressStep(int s) override { step_ = s; }
    void stepProgress() override { position_ += step_; }
    void setOpenCaption(const std::string&) override {}
    void processMessages() override {}
    std::string fieldText(int n) const override { return FieldDefault(n); }
    void showMessage(const std::string&) override {}
    Rgb faceColour() const override { return Rgb{212, 208, 200}; }
    void drawCaption(Bitmap&, int, int, const std::string&, const CaptionStyle&) override {}

private:
    int position_ = 0;
    int step_ = 10;
};

} // namespace vexaro
