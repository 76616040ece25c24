#include "preview/SourcePicture.h"

#include <array>

#include "preview/SourceItem.h"

namespace vexaro {

namespace {

using detail::SourceItem;

enum class Panel { Screen, Menu, Submenu };

struct PanelItem {
    Panel picture;
    SourceItem item;
};

// The first-form icons sit 47 pixels apart, the second-form icons 49; both rows start at (0, 0).
constexpr std::array<PanelItem, 15> kItems = {{
    {Panel::Screen, {1, 0, 0}},
    {Panel::Screen, {2, 0, 50}},
    {Panel::Screen, {3, 0, 200}},
    {Panel::Menu, {4, 0, 0}},
    {Panel::Menu, {5, 47, 0}},
    {Panel::Menu, {6, 94, 0}},
    {Panel::Menu, {7, 141, 0}},
    {Panel::Menu, {8, 188, 0}},
    {Panel::Menu, {9, 235, 0}},
    {Panel::Submenu, {10, 0, 0}},
    {Panel::Submenu, {11, 49, 0}},
    {Panel::Submenu, {12, 98, 0}},
    {Panel::Submenu, {13, 147, 0}},
    {Panel::Submenu, {14, 196, 0}},
    {Panel::Submenu, {15, 245, 0}},
}};

// Items after this one (the control area) are drawn transparent.
constexpr int kLastOpaqueItem = 3;

void FillPicture(Bitmap& picture, int width, int height, Rgb colour)
{
    if (picture.width() != width || picture.height() != height)
        picture.reset(width, height, PixelFormat::Bits24);
    picture.fill(colour);
}

Bitmap& PictureOf(PreviewPictures& pictures, Panel panel)
{
    switch (panel) {
    case Panel::Screen: return pictures.image2;
    case Panel::Menu: return pictures.menu;
    case Panel::Submenu: return pictures.submenu;
    }
    return pictures.image2;
}

} // namespace

void ComposeSourcePanel(const FieldBitmapLoader& load, Rgb face, PreviewPictures& pictures,
                        const std::function<void()>& afterItem)
{
    using P = PreviewPictures;
    FillPicture(pictures.image2, P::kScreenWidth, P::kScreenHeight, face);
    FillPicture(pictures.menu, P::kMenuWidth, P::kMenuHeight, face);
    FillPicture(pictures.submenu, P::kSubmenuWidth, P::kSubmenuHeight, face);

    detail::WorkingBitmaps work;
    for (const PanelItem& entry : kItems) {
        detail::DrawSourceItem(load, work, PictureOf(pictures, entry.picture), entry.item);
        if (afterItem)
            afterItem();
        if (entry.item.field == kLastOpaqueItem)
            work.transparent = true;
    }
}

} // namespace vexaro
