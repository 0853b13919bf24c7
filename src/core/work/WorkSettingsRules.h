#pragma once

#include <string>
#include <vector>

#include "core/text/Translation.h"
#include "core/work/WorkDefinition.h"

namespace tervo {

// The texts of the channel, event and sampling settings, each shown captioned "提示" with the
// exclamation icon (the delete question with Yes/No and the information icon).
inline constexpr const char* kInputErrorText = TERVO_TR_NOOP("core", "输入错误！！！");
inline constexpr const char* kNameTooLongText = TERVO_TR_NOOP("core", "文件名太长！！！");
inline constexpr const char* kAddedText = TERVO_TR_NOOP("core", "添加成功！！！");
inline constexpr const char* kDeletedText = TERVO_TR_NOOP("core", "删除成功！！！");
inline constexpr const char* kDeleteQuestionText =
    TERVO_TR_NOOP("core", "是否要删除此记录，这样将同时删除所有“事件记录”！！！");
inline constexpr const char* kChannelsFullText =
    TERVO_TR_NOOP("core", "通道数已满（最多20个）！！！");
inline constexpr const char* kEventsFullText =
    TERVO_TR_NOOP("core", "事件数已满（最多20个）！！！");
inline constexpr int kTreeLimit = 100;  // the trees show at most this many records

// What the channel settings read from their controls. Texts are GBK; a selection is the
// chosen list entry or -1 when none is chosen (typed text that is no entry).
struct ChannelForm {
    std::string name;
    int parameter = 0;             // "采样选择："
    std::string parameterText;     // its edit text, for a typed mnemonic
    int port = 0;                  // "串口号："
    int baud = kDefaultBaudIndex;  // "波特率："
    int address = 0;
    double displayCoefficient = 1.0;
    double offsetCoefficient = 0.0;
    bool download = false;
    std::string curvePath;
};

struct AddOutcome {
    bool added = false;
    std::string message;  // empty: nothing to say
};

// "添加通道": checks the form and appends the channel. A full list (20), a curve path of 50
// bytes or more, or a parameter that is neither an entry nor two typed characters from '!'
// to 'z' adds nothing and says why.
AddOutcome addChannel(WorkDefinition& work, const ChannelForm& form);
// "删除通道": removes channel `index` and every event, whose data name channel positions.
void deleteChannel(WorkDefinition& work, size_t index);
// The detail lines under a channel in the tree (UTF-8).
std::vector<std::string> channelDetailLines(const ChannelInfo& channel);

struct EventForm {
    std::string name;
    int type = 0;     // "事件类型："
    int compare = 0;  // "比较类型："
    int data1 = -1;   // "数据1：" channel
    int data2 = 0;    // "数据2：" entry: 0 "常数", k = channel k-1, -1 typed
    std::string data2Text;
    int data3 = 0;
    std::string data3Text;
};

// "添加通道" of the event settings: the first three lists need an entry; a typed operand is
// the constant (selector 255). No message on success.
AddOutcome addEvent(WorkDefinition& work, const EventForm& form);
void deleteEvent(WorkDefinition& work, size_t index);
// The detail lines under an event (UTF-8), naming channels by their names.
std::vector<std::string> eventDetailLines(const EventInfo& event,
                                          const std::vector<ChannelInfo>& channels);

// The number at the start of an operand text (at most its first 10 characters), 0.0 when it
// does not start with one.
double numberAtStart(const std::string& text);

// "确定退出" of the sampling parameters: neither period may be 0.
bool samplingAccepted(long long samplingPeriod, long long displayPeriod);

}  // namespace tervo
