#include "preview/TargetPreview.h"

namespace vexaro {

FieldBitmapLoader WorkspaceLoader(const Workspace& workspace, const WindowSeam& window)
{
    return [&workspace, &window](int n, Bitmap& loader) {
        return workspace.loadSourceBitmap(window.fieldText(n), loader);
    };
}

void DrawTargetPreview(const Workspace& workspace, WindowSeam& window, Bitmap& image1)
{
    ComposeTargetPreview(
        WorkspaceLoader(workspace, window),
        [&window](Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style) {
            window.drawCaption(picture, x, y, text, style);
        },
        image1);
}

} // namespace vexaro
