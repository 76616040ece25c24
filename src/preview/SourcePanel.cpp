#include "preview/SourcePanel.h"

#include "preview/SourcePicture.h"
#include "preview/TargetPreview.h"

namespace vexaro {

namespace {

constexpr int kProgressMax = 100;
constexpr int kProgressStep = 5;

} // namespace

void DrawSourcePanel(const Workspace& workspace, WindowSeam& window, PreviewPictures& pictures)
{
    DrawTargetPreview(workspace, window, pictures.image1);

    window.setProgressMax(kProgressMax);
    window.setProgressPosition(0);
    ComposeSourcePanel(WorkspaceLoader(workspace, window), window.faceColour(), pictures, [&window] {
        window.setProgressPosition(window.progressPosition() + kProgressStep);
        window.processMessages();
    });
    window.setProgressPosition(0);
}

} // namespace vexaro
