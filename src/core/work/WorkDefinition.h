#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/NoValue.h"
#include "core/link/SerialLink.h"

namespace tervo {

constexpr int kMaxChannels = 20;
constexpr int kMaxEvents = 20;
constexpr size_t kNameBytes = 10;  // five Chinese characters of GBK

// One sampled channel: 96 bytes on file. Text fields are GBK; reserved bytes are kept exactly
// as read.
struct ChannelInfo {
    static constexpr size_t kSize = 96;
    static constexpr size_t kCurvePathBytes = 48;

    std::array<char, 12> name{};         // offset 0
    int32_t parameterCode = 0;           // 12: table index 0..48, or two literal characters
    uint8_t port = 0;                    // 16: 0..5 = COM1..COM6
    uint8_t baud = kDefaultBaudIndex;    // 17: index into the baud table
    uint8_t address = 0;                 // 18
    std::array<uint8_t, 5> reserved1{};  // 19
    double displayCoefficient = 1.0;     // 24
    double offsetCoefficient = 0.0;      // 32
    uint8_t downloadFlag = 0;            // 40: 1 = curve channel
    std::array<char, 50> curvePath{};    // 41..90; the system always writes a NUL at 90
    std::array<uint8_t, 5> reserved2{};  // 91

    bool isCurveChannel() const { return downloadFlag != 0; }
    std::string nameGbk() const;
    std::string curvePathText() const;
    // Names keep their first 10 bytes of GBK, even when that splits a character.
    void setNameGbk(std::string_view gbk);
    // Paths keep their first 48 bytes.
    void setCurvePath(std::string_view path);
    ReadRequest readRequest() const;
};

// One event: 56 bytes on file.
struct EventInfo {
    static constexpr size_t kSize = 56;

    std::array<char, 16> name{};        // 0
    int32_t type = 0;                   // 16: 0..6
    int32_t compare = 0;                // 20: 0 greater than, 1 less than
    int32_t data1 = 0;                  // 24: channel index
    int32_t data2 = 0;                  // 28: 0 or 255 = constant, k = channel k-1
    double data2Constant = 0.0;         // 32
    int32_t data3 = 0;                  // 40
    std::array<uint8_t, 4> reserved{};  // 44
    double data3Constant = 0.0;         // 48

    std::string nameGbk() const;
    void setNameGbk(std::string_view gbk);
};

struct ChannelStyle {
    uint32_t colour = 0;  // COLORREF 0x00BBGGRR
    int32_t penWidth = 0;
};

struct WorkTiming {
    int32_t samplingPeriod = 5;   // seconds from one cycle's start to the next
    int32_t displayPeriod = 360;  // seconds shown per turn / per period
};

std::array<ChannelStyle, kMaxChannels> defaultChannelStyles();

struct WorkDefinition {
    double valueMin = 0.0;
    double valueMax = 100.0;
    WorkTiming timing;
    uint32_t backgroundColour = 0xFFFFD1;
    uint32_t timeAxisColour = 0xC6C8FF;
    uint32_t timeRulerColour = 0x8C8AFF;
    uint32_t valueAxisColour = 0xFFC8C6;
    uint32_t valueRulerColour = 0xFF9C9F;
    std::array<ChannelStyle, kMaxChannels> styles = defaultChannelStyles();
    std::vector<ChannelInfo> channels;
    std::vector<EventInfo> events;
};

// The event type and compare type as the settings list them.
const char* eventTypeText(int32_t type);  // "数值比较" .. "商比较"; types above 5 read as 6
const char* compareTypeText(int32_t type);  // "大于", "小于", or "" for any other

}  // namespace tervo
