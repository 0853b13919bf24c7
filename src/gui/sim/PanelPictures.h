#pragma once

#include <QPixmap>

namespace tervo::gui {

// The twelve pictures of the simulation view, drawn in code at these sizes: the front
// panel and the current panel (200 x 180), the red digit strip (382 x 41: glyphs 26 wide, "0"
// to "9", minus at 260, blank at 286, point at 312, empty point at 321, "E" at 330, "r" at
// 356), the green digit strip (240 x 30: glyphs 19 wide, minus at 190, blank at 209, point at
// 228, empty point at 234), and a highlight and a pressed image of each key (39 x 17 for
// "通信" and "参数", 19 x 17 for up and down).
enum class PanelPicture {
    Panel,
    CurrentPanel,
    RedStrip,
    GreenStrip,
    LinkHighlight,
    LinkPressed,
    ParametersHighlight,
    ParametersPressed,
    UpHighlight,
    UpPressed,
    DownHighlight,
    DownPressed,
};

const QPixmap& panelPicture(PanelPicture picture);

// The toolbar strip (bitmap 224): four images of kToolbarImageWidth x kToolbarImageHeight with
// their captions, "添加仪表", "删除仪表", "重新排列", "自动搜索", for buttons 67 pixels wide.
constexpr int kToolbarImageWidth = 63;
constexpr int kToolbarImageHeight = 18;
const QPixmap& panelToolbar();
// Image `index` (0..3) of the toolbar strip.
QPixmap panelToolbarImage(int index);
// The highlight (or pressed) image of key 1..4.
const QPixmap& keyPicture(int key, bool pressed);

}  // namespace tervo::gui
