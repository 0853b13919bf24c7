#include "core/work/WorkDefinition.h"

#include <algorithm>
#include <cstring>

#include "core/text/Translation.h"

namespace tervo {

namespace {

template <size_t N>
std::string textOf(const std::array<char, N>& field, size_t limit = N) {
    const size_t n = std::min(limit, N);
    return std::string(field.data(), strnlen(field.data(), n));
}

template <size_t N>
void setText(std::array<char, N>& field, std::string_view text, size_t limit) {
    field.fill(0);
    std::memcpy(field.data(), text.data(), std::min({text.size(), limit, N - 1}));
}

}  // namespace

std::string ChannelInfo::nameGbk() const {
    return textOf(name);
}

void ChannelInfo::setNameGbk(std::string_view gbk) {
    setText(name, gbk, kNameBytes);
}

std::string ChannelInfo::curvePathText() const {
    return textOf(curvePath);
}

void ChannelInfo::setCurvePath(std::string_view path) {
    setText(curvePath, path, kCurvePathBytes);
}

ReadRequest ChannelInfo::readRequest() const {
    return ReadRequest{static_cast<uint32_t>(parameterCode), port, baud, address};
}

std::string EventInfo::nameGbk() const {
    return textOf(name);
}

void EventInfo::setNameGbk(std::string_view gbk) {
    setText(name, gbk, kNameBytes);
}

std::array<ChannelStyle, kMaxChannels> defaultChannelStyles() {
    static constexpr uint32_t kColours[kMaxChannels] = {
        0x0000FF, 0x00FF00, 0x000000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x00FF00,
        0x00007F, 0x007F00, 0x7F0000, 0x007F7F, 0x7F007F, 0x7F7F00, 0x00003F,
        0x003F00, 0x3F0000, 0x003F3F, 0x3F3F00, 0x3F003F, 0x3F3F3F};
    std::array<ChannelStyle, kMaxChannels> styles{};
    for (int i = 0; i < kMaxChannels; ++i) {
        styles[i].colour = kColours[i];
    }
    return styles;
}

const char* eventTypeText(int32_t type) {
    static const char* const kTypes[] = {
        TERVO_TR_NOOP("core", "数值比较"), TERVO_TR_NOOP("core", "差分比较"),
        TERVO_TR_NOOP("core", "积分比较"), TERVO_TR_NOOP("core", "和比较"),
        TERVO_TR_NOOP("core", "差比较"),   TERVO_TR_NOOP("core", "积比较"),
        TERVO_TR_NOOP("core", "商比较")};
    return kTypes[type >= 0 && type <= 5 ? type : 6];
}

const char* compareTypeText(int32_t type) {
    return type == 0   ? TERVO_TR_NOOP("core", "大于")
           : type == 1 ? TERVO_TR_NOOP("core", "小于")
                       : "";
}

}  // namespace tervo
