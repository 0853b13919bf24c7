#include "core/work/DisplaySettingsRules.h"

#include <algorithm>

namespace tervo {

namespace {

PanelPoint rowPoint(int row, int x, int y) {
    const int column = row / kRowsPerColumn;
    const int i = row % kRowsPerColumn;
    return {x + column * kColumnShift, 50 * i + y};
}

bool strictlyInside(int x, int y, PanelPoint corner, int width, int height) {
    return x - corner.x > 0 && x - corner.x < width && y - corner.y > 0 && y - corner.y < height;
}

bool inBox(int x, int y, PanelPoint corner) {
    return strictlyInside(x, y, corner, 12, 12);
}

}  // namespace

int panelColumns(int channelCount) {
    const int rows = std::clamp(channelCount, 1, kMaxChannels);
    return (rows + kRowsPerColumn - 1) / kRowsPerColumn;
}

PanelPoint channelSwatchAt(int row) {
    return rowPoint(row, 19, 19);
}
PanelPoint channelBoxAt(int row) {
    return rowPoint(row, 19, 45);
}
PanelPoint channelNameAt(int row) {
    return rowPoint(row, 120, 29);
}
PanelPoint channelWidthListAt(int row) {
    return rowPoint(row, 73, 20);
}

PanelHit boxAt(int x, int y, int channelCount) {
    const int rows = std::clamp(channelCount, 0, kMaxChannels);
    for (int i = 0; i < rows; ++i) {
        if (inBox(x, y, channelBoxAt(i))) {
            return {PanelTarget::ChannelBox, i};
        }
    }
    struct Box {
        PanelPoint at;
        PanelTarget target;
    };
    static const Box boxes[] = {
        {{214, 95}, PanelTarget::ValueGridBox},    {{252, 95}, PanelTarget::ValueMinorBox},
        {{214, 145}, PanelTarget::ValueCursorBox}, {{214, 195}, PanelTarget::TimeGridBox},
        {{252, 195}, PanelTarget::TimeMinorBox},   {{214, 245}, PanelTarget::TimeCursorBox},
        {{214, 280}, PanelTarget::LegendRow},      {{214, 315}, PanelTarget::RelativeTimeRow},
        {{214, 350}, PanelTarget::CoordinatesRow},
    };
    for (const Box& box : boxes) {
        if (inBox(x, y, box.at)) {
            return {box.target, -1};
        }
    }
    return {};
}

PanelHit swatchAt(int x, int y, int channelCount) {
    const int rows = std::clamp(channelCount, 0, kMaxChannels);
    for (int i = 0; i < rows; ++i) {
        if (strictlyInside(x, y, channelSwatchAt(i), 50, 25)) {
            return {PanelTarget::ChannelSwatch, i};
        }
    }
    struct Swatch {
        PanelPoint at;
        PanelTarget target;
    };
    static const Swatch swatches[] = {
        {{214, 19}, PanelTarget::BackgroundSwatch},  {{214, 69}, PanelTarget::ValueAxisSwatch},
        {{214, 119}, PanelTarget::ValueRulerSwatch}, {{214, 169}, PanelTarget::TimeAxisSwatch},
        {{214, 219}, PanelTarget::TimeRulerSwatch},
    };
    for (const Swatch& swatch : swatches) {
        if (strictlyInside(x, y, swatch.at, 50, 25)) {
            return {swatch.target, -1};
        }
    }
    return {};
}

bool toggleAt(DisplaySettings& s, int x, int y) {
    const PanelHit hit = boxAt(x, y, s.channelCount);
    DisplayOptions& o = s.options;
    switch (hit.target) {
        case PanelTarget::ChannelBox:
            s.visible[static_cast<size_t>(hit.channel)] =
                !s.visible[static_cast<size_t>(hit.channel)];
            return true;
        case PanelTarget::ValueGridBox:
            o.valueGrid = !o.valueGrid;
            return true;
        case PanelTarget::ValueMinorBox:
            o.valueMinorGrid = !o.valueMinorGrid;
            return true;
        case PanelTarget::ValueCursorBox:
            o.valueCursor = !o.valueCursor;
            return true;
        case PanelTarget::TimeGridBox:
            o.timeGrid = !o.timeGrid;
            return true;
        case PanelTarget::TimeMinorBox:
            o.timeMinorGrid = !o.timeMinorGrid;
            return true;
        case PanelTarget::TimeCursorBox:
            o.timeCursor = !o.timeCursor;
            return true;
        case PanelTarget::LegendRow:
            o.legend = !o.legend;
            return true;
        case PanelTarget::RelativeTimeRow:
            o.relativeTime = !o.relativeTime;
            return true;
        case PanelTarget::CoordinatesRow:
            o.axisOption = !o.axisOption;
            return true;
        default:
            return false;
    }
}

int scrollColour(int value, ColourScroll action, int thumbPosition) {
    switch (action) {
        case ColourScroll::LineLeft:
            return std::max(0, value - 1);
        case ColourScroll::LineRight:
            return std::min(255, value + 1);
        case ColourScroll::PageLeft:
            return value < 11 ? 0 : value - 10;
        case ColourScroll::PageRight:
            return value > 244 ? 255 : value + 10;
        case ColourScroll::Thumb:
            return std::clamp(thumbPosition, 0, 255);
        case ColourScroll::Other:
            break;
    }
    return value;
}

uint32_t colourRefOf(int red, int green, int blue) {
    return static_cast<uint32_t>(red & 0xFF) | static_cast<uint32_t>(green & 0xFF) << 8 |
           static_cast<uint32_t>(blue & 0xFF) << 16;
}

}  // namespace tervo
