#include "core/work/WorkSettingsRules.h"

#include <cstdio>
#include <cstdlib>

#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"
#include "core/link/SerialLink.h"
#include "core/text/Gbk.h"
#include "core/text/Translation.h"
#include "core/text/ValueText.h"

namespace tervo {

namespace {

bool mnemonicCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x21 && u <= 0x7A;
}

std::string format(const char* pattern, const std::string& value) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, value.c_str());
    return text;
}

std::string twoDecimals(double value) {
    return valueText(value);
}

std::string channelName(const std::vector<ChannelInfo>& channels, int index) {
    return index >= 0 && static_cast<size_t>(index) < channels.size()
               ? gbkToUtf8(channels[static_cast<size_t>(index)].nameGbk())
               : std::string();
}

std::string operandText(int selector, double constant, const std::vector<ChannelInfo>& channels) {
    return selector == 0 || selector == 255 ? twoDecimals(constant)
                                            : channelName(channels, selector - 1);
}

}  // namespace

AddOutcome addChannel(WorkDefinition& work, const ChannelForm& form) {
    if (work.channels.size() >= static_cast<size_t>(kMaxChannels)) {
        return {false, kChannelsFullText};
    }
    if (form.curvePath.size() >= 50) {
        return {false, kNameTooLongText};
    }
    const bool listed = form.parameter >= 0 && form.parameter <= 247 && form.port >= 0 &&
                        form.port <= 240 && form.baud >= 0 && form.baud <= 240;
    const std::string typed = form.parameterText.substr(0, 10);
    const bool mnemonic = form.parameter < 0 && typed.size() >= 2 && mnemonicCharacter(typed[0]) &&
                          mnemonicCharacter(typed[1]);
    if (!listed && !mnemonic) {
        return {false, kInputErrorText};
    }
    ChannelInfo c;
    c.setNameGbk(form.name);
    c.parameterCode =
        listed ? form.parameter
               : static_cast<unsigned char>(typed[0]) + 256 * static_cast<unsigned char>(typed[1]);
    // A missing port or baud selection with a typed mnemonic is kept as 255, which the link
    // refuses when the channel is sampled.
    c.port = static_cast<uint8_t>(form.port & 0xFF);
    c.baud = static_cast<uint8_t>(form.baud & 0xFF);
    c.address = static_cast<uint8_t>(form.address);
    c.displayCoefficient = form.displayCoefficient;
    c.offsetCoefficient = form.offsetCoefficient;
    c.downloadFlag = form.download ? 1 : 0;
    c.setCurvePath(form.curvePath);
    work.channels.push_back(c);
    return {true, kAddedText};
}

void deleteChannel(WorkDefinition& work, size_t index) {
    if (index >= work.channels.size()) {
        return;
    }
    work.channels.erase(work.channels.begin() + static_cast<std::ptrdiff_t>(index));
    work.events.clear();
}

std::vector<std::string> channelDetailLines(const ChannelInfo& c) {
    std::vector<std::string> lines;
    lines.push_back(c.isCurveChannel() ? TERVO_TR("core", "设置参数")
                                       : TERVO_TR("core", "读取参数"));
    lines.push_back(
        format(TERVO_TR("core", "通信端口  %s").c_str(), c.port < 6 ? portName(c.port) : ""));
    lines.push_back(format(TERVO_TR("core", "波特率    %s").c_str(),
                           c.baud < kBaudCount ? baudText(c.baud) : ""));
    char address[64];
    std::snprintf(address, sizeof address, TERVO_TR("core", "仪表地址  %d").c_str(), c.address);
    lines.push_back(address);
    std::string parameter;
    if (c.parameterCode >= 0 && c.parameterCode < kParameterCount) {
        parameter = translated("core", std::string(parameterLabelUtf8(c.parameterCode)).c_str());
    } else if (c.parameterCode > 255) {
        parameter += static_cast<char>(c.parameterCode & 0xFF);
        parameter += static_cast<char>((c.parameterCode >> 8) & 0xFF);
    }
    lines.push_back(format(TERVO_TR("core", "通信选择  %s").c_str(), parameter));
    if (c.isCurveChannel()) {
        lines.push_back(
            format(TERVO_TR("core", "设置曲线  %s").c_str(), gbkToUtf8(c.curvePathText())));
    } else {
        lines.push_back(TERVO_TR("core", "显示系数  ") + twoDecimals(c.displayCoefficient));
        lines.push_back(TERVO_TR("core", "平移系数  ") + twoDecimals(c.offsetCoefficient));
    }
    return lines;
}

AddOutcome addEvent(WorkDefinition& work, const EventForm& form) {
    if (work.events.size() >= static_cast<size_t>(kMaxEvents)) {
        return {false, kEventsFullText};
    }
    auto chosen = [](int selection) { return selection >= 0 && selection <= 240; };
    if (!chosen(form.type) || !chosen(form.compare) || !chosen(form.data1)) {
        return {false, kInputErrorText};
    }
    EventInfo e;
    e.setNameGbk(form.name);
    e.type = form.type;
    e.compare = form.compare;
    e.data1 = form.data1;
    e.data2 = form.data2 & 0xFF;
    e.data2Constant = numberAtStart(form.data2Text);
    e.data3 = form.data3 & 0xFF;
    e.data3Constant = numberAtStart(form.data3Text);
    work.events.push_back(e);
    return {true, std::string()};
}

void deleteEvent(WorkDefinition& work, size_t index) {
    if (index < work.events.size()) {
        work.events.erase(work.events.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

std::vector<std::string> eventDetailLines(const EventInfo& e,
                                          const std::vector<ChannelInfo>& channels) {
    std::vector<std::string> lines;
    lines.push_back(TERVO_TR("core", "事件类型  ") + translated("core", eventTypeText(e.type)));
    lines.push_back(TERVO_TR("core", "比较类型  ") +
                    translated("core", compareTypeText(e.compare)));
    lines.push_back(TERVO_TR("core", "数值1     ") + channelName(channels, e.data1));
    lines.push_back(TERVO_TR("core", "数值2     ") +
                    operandText(e.data2, e.data2Constant, channels));
    if (e.type >= 3) {
        lines.push_back(TERVO_TR("core", "数值3     ") +
                        operandText(e.data3, e.data3Constant, channels));
    }
    return lines;
}

double numberAtStart(const std::string& text) {
    const std::string head = text.substr(0, 10);
    return parseDouble(head.c_str());
}

bool samplingAccepted(long long samplingPeriod, long long displayPeriod) {
    return samplingPeriod != 0 && displayPeriod != 0;
}

}  // namespace tervo
