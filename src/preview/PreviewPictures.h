#pragma once
// The four off-screen pictures that the window shows of a theme. They live as long as the
// window; DrawSourcePanel and DrawTargetPreview repaint them.
#include "bitmap/Bitmap.h"

namespace vexaro {

struct PreviewPictures {
    static constexpr int kScreenWidth = 176, kScreenHeight = 220;   // Image2
    static constexpr int kMenuWidth = 281, kMenuHeight = 29;        // menu
    static constexpr int kSubmenuWidth = 281, kSubmenuHeight = 44;  // submenu
    static constexpr int kPreviewWidth = 280, kPreviewHeight = 385; // Image1

    PreviewPictures()
    {
        image2.setSize(kScreenWidth, kScreenHeight);
        menu.setSize(kMenuWidth, kMenuHeight);
        submenu.setSize(kSubmenuWidth, kSubmenuHeight);
        image1.setSize(kPreviewWidth, kPreviewHeight);
    }

    Bitmap image2;  // theme screen view: status, main and control area stacked
    Bitmap menu;    // the six first-form menu icons
    Bitmap submenu; // the six second-form menu icons
    Bitmap image1;  // preview of the target screen, also what the preview export writes
};

} // namespace vexaro
