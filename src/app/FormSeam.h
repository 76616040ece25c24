#pragma once
// The window side of the commands' seam: progress bar, Open caption, pending messages, field
// texts, plain messages, face colour and caption drawing, all on the controls of TForm1.
#include "tool/WindowSeam.h"

namespace vexaro::app {

class TForm1;
class MessageBoxes;

class FormSeam : public vexaro::WindowSeam {
public:
    FormSeam(TForm1& form, MessageBoxes& boxes) : form_(form), boxes_(boxes) {}

    void setProgressMax(int max) override;
    void setProgressPosition(int position) override;
    int progressPosition() const override;
    void setProgressStep(int step) override { step_ = step; }
    void stepProgress() override;
    void setOpenCaption(const std::string& caption) override;
    void processMessages() override;
    std::string fieldText(int n) const override;
    void showMessage(const std::string& text) override;
    vexaro::Rgb faceColour() const override;
    void drawCaption(vexaro::Bitmap& picture, int x, int y, const std::string& text,
                     const vexaro::CaptionStyle& style) override;

private:
    TForm1& form_;
    MessageBoxes& boxes_;
    int step_ = 10;
};

} // namespace vexaro::app
