#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/work/LiveViewRules.h"

namespace tervo {

// The display environment settings as the live and the history charts hand them over: per
// channel colour, visibility and line width, the five chart colours, the nine options, the
// expand period and the value range. Names are UTF-8 (shown only).
struct DisplaySettings {
    int channelCount = 0;  // at most 20 rows are used
    std::array<std::string, kMaxChannels> names{};
    std::array<uint32_t, kMaxChannels> colours{};
    std::array<bool, kMaxChannels> visible{};
    std::array<int32_t, kMaxChannels> widths{};  // 0..2: the lists "1", "2", "3"
    uint32_t backgroundColour = 0;
    uint32_t valueAxisColour = 0;
    uint32_t valueRulerColour = 0;
    uint32_t timeAxisColour = 0;
    uint32_t timeRulerColour = 0;
    DisplayOptions options;
    uint32_t period = 0;
    double minimum = 0.0;
    double maximum = 100.0;
    bool periodMode = false;          // the caller shows a period chart: the period is edited
    bool coordinatesOffered = false;  // standard or floating coordinates may be chosen
};

// The panel of the display settings. Channel rows are 50 pixels apart from y = 19; the panel
// shows seven, and rows 8 to 14 and 15 to 20 continue in panels of their own to the right
// (x + 400, x + 800), so all twenty are reachable without scrolling or overlapping.
constexpr int kRowsPerColumn = 7;
constexpr int kColumnShift = 400;
// The number of panels `channelCount` rows take: 1 to 3.
int panelColumns(int channelCount);

// Top-left corners, in dialog client pixels.
struct PanelPoint {
    int x;
    int y;
};
PanelPoint channelSwatchAt(int row);     // (19, 50 i + 19)
PanelPoint channelBoxAt(int row);        // (19, 50 i + 45)
PanelPoint channelNameAt(int row);       // (120, 50 i + 29)
PanelPoint channelWidthListAt(int row);  // (73, 50 i + 20)

// What a click or double-click lands on.
enum class PanelTarget {
    Nothing,
    ChannelSwatch,
    ChannelBox,
    BackgroundSwatch,
    ValueAxisSwatch,
    ValueRulerSwatch,
    TimeAxisSwatch,
    TimeRulerSwatch,
    ValueGridBox,
    ValueMinorBox,
    ValueCursorBox,
    TimeGridBox,
    TimeMinorBox,
    TimeCursorBox,
    LegendRow,
    RelativeTimeRow,
    CoordinatesRow,
};
struct PanelHit {
    PanelTarget target = PanelTarget::Nothing;
    int channel = -1;
};
// A box is hit strictly inside its 12 x 12 square (1..11 right of and below its corner).
PanelHit boxAt(int x, int y, int channelCount);
// A swatch is hit strictly inside its 50 x 25 rectangle.
PanelHit swatchAt(int x, int y, int channelCount);
// A click: toggles the flag it lands on; false when it lands on none.
bool toggleAt(DisplaySettings& settings, int x, int y);

// The colour dialog's scroll bars: one byte of red, green or blue.
enum class ColourScroll { LineLeft, LineRight, PageLeft, PageRight, Thumb, Other };
// A line step moves 1 and stops at 0 and 255; a page step moves 10, going to 0 from below 11
// and to 255 from above 244; the thumb sets its position; anything else keeps the value.
int scrollColour(int value, ColourScroll action, int thumbPosition = 0);
uint32_t colourRefOf(int red, int green, int blue);

}  // namespace tervo
