#include <gtest/gtest.h>

#include "core/text/Gbk.h"
#include "core/work/DisplaySettingsRules.h"
#include "core/work/WorkSettingsRules.h"

using namespace tervo;

namespace {

ChannelForm listedChannel(const std::string& name) {
    ChannelForm form;
    form.name = utf8ToGbk(name);
    form.parameter = 0;
    form.parameterText = "PV";
    return form;
}

EventForm eventOn(const std::string& name, int data1) {
    EventForm form;
    form.name = name;
    form.data1 = data1;
    form.data2Text = "常数";
    return form;
}

}  // namespace

TEST(WorkSettingsRules, AddChannel) {
    WorkDefinition work;
    // "SL" typed with COM2 and 9600: code 0x4C53, S in the low byte.
    ChannelForm typed = listedChannel("炉温");
    typed.parameter = -1;
    typed.parameterText = "SL";
    typed.port = 1;
    typed.baud = 5;
    typed.address = 7;
    AddOutcome outcome = addChannel(work, typed);
    EXPECT_TRUE(outcome.added);
    EXPECT_EQ(outcome.message, "添加成功！！！");
    ASSERT_EQ(work.channels.size(), 1u);
    EXPECT_EQ(work.channels[0].parameterCode, 0x4C53);
    EXPECT_EQ(work.channels[0].port, 1);
    EXPECT_EQ(work.channels[0].address, 7);
    const std::vector<std::string> lines = channelDetailLines(work.channels[0]);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "读取参数");
    EXPECT_EQ(lines[1], "通信端口  COM2");
    EXPECT_EQ(lines[2], "波特率    9600");
    EXPECT_EQ(lines[3], "仪表地址  7");
    EXPECT_EQ(lines[4], "通信选择  SL");
    EXPECT_EQ(lines[5], "显示系数  1.00");
    EXPECT_EQ(lines[6], "平移系数  0.00");

    // A single typed character, a space, or characters beyond 'z' are refused.
    for (const char* text : {"S", " L", "S ", "{a", ""}) {
        typed.parameterText = text;
        outcome = addChannel(work, typed);
        EXPECT_FALSE(outcome.added) << text;
        EXPECT_EQ(outcome.message, "输入错误！！！") << text;
    }
    EXPECT_EQ(work.channels.size(), 1u);
    // A listed parameter with no port chosen is refused too.
    ChannelForm noPort = listedChannel("a");
    noPort.port = -1;
    EXPECT_EQ(addChannel(work, noPort).message, "输入错误！！！");

    // Curve paths: 50 bytes refused, 40 kept whole.
    ChannelForm curve = listedChannel("曲线");
    curve.download = true;
    curve.curvePath = std::string(50, 'a');
    EXPECT_EQ(addChannel(work, curve).message, "文件名太长！！！");
    curve.curvePath = std::string(40, 'b');
    curve.parameter = 2;
    EXPECT_TRUE(addChannel(work, curve).added);
    EXPECT_EQ(work.channels[1].curvePathText(), std::string(40, 'b'));
    EXPECT_EQ(channelDetailLines(work.channels[1])[0], "设置参数");
    EXPECT_EQ(channelDetailLines(work.channels[1])[4], "通信选择  SP 运行目标值（只读）");
    EXPECT_EQ(channelDetailLines(work.channels[1])[5], "设置曲线  " + std::string(40, 'b'));
    EXPECT_EQ(channelDetailLines(work.channels[1]).size(), 6u);

    // Names keep their first 10 bytes.
    EXPECT_TRUE(addChannel(work, listedChannel("一二三四五六")).added);
    EXPECT_EQ(gbkToUtf8(work.channels[2].nameGbk()), "一二三四五");

    // Twenty at most.
    while (work.channels.size() < 20) {
        ASSERT_TRUE(addChannel(work, listedChannel("x")).added);
    }
    outcome = addChannel(work, listedChannel("x"));
    EXPECT_FALSE(outcome.added);
    EXPECT_EQ(outcome.message, "通道数已满（最多20个）！！！");
    EXPECT_EQ(work.channels.size(), 20u);
}

TEST(WorkSettingsRules, DeleteAndEvents) {
    WorkDefinition work;
    for (const char* name : {"a", "b", "c"}) {
        addChannel(work, listedChannel(name));
    }
    for (const char* name : {"e1", "e2", "e3", "e4", "e5"}) {
        ASSERT_TRUE(addEvent(work, eventOn(name, 0)).added);
    }
    // Deleting the 3rd of 5 events keeps 1, 2, 4, 5 in that order.
    deleteEvent(work, 2);
    ASSERT_EQ(work.events.size(), 4u);
    EXPECT_EQ(work.events[0].nameGbk(), "e1");
    EXPECT_EQ(work.events[1].nameGbk(), "e2");
    EXPECT_EQ(work.events[2].nameGbk(), "e4");
    EXPECT_EQ(work.events[3].nameGbk(), "e5");
    EXPECT_EQ(work.channels.size(), 3u);

    // Operands: a typed number is the constant (selector 255); "常数" stores 0 and 0.0; a channel
    // entry k names channel k - 1.
    EventForm form = eventOn("t", 1);
    form.type = 3;
    form.data2 = -1;
    form.data2Text = "37.5";
    form.data3 = 1;
    form.data3Text = "a";
    ASSERT_TRUE(addEvent(work, form).added);
    const EventInfo& e = work.events.back();
    EXPECT_EQ(e.data2, 255);
    EXPECT_DOUBLE_EQ(e.data2Constant, 37.5);
    EXPECT_EQ(e.data3, 1);
    EXPECT_DOUBLE_EQ(e.data3Constant, 0.0);
    const std::vector<std::string> lines = eventDetailLines(e, work.channels);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "事件类型  和比较");
    EXPECT_EQ(lines[1], "比较类型  大于");
    EXPECT_EQ(lines[2], "数值1     b");
    EXPECT_EQ(lines[3], "数值2     37.50");
    EXPECT_EQ(lines[4], "数值3     a");
    EXPECT_EQ(eventDetailLines(work.events[0], work.channels).size(), 4u);  // type 0: no data 3
    EXPECT_EQ(work.events[0].data2, 0);
    EXPECT_DOUBLE_EQ(work.events[0].data2Constant, 0.0);

    // The first three lists need an entry.
    form.data1 = -1;
    EXPECT_EQ(addEvent(work, form).message, "输入错误！！！");
    form = eventOn("x", 0);
    form.compare = -1;
    EXPECT_EQ(addEvent(work, form).message, "输入错误！！！");
    while (work.events.size() < 20) {
        ASSERT_TRUE(addEvent(work, eventOn("x", 0)).added);
    }
    EXPECT_EQ(addEvent(work, eventOn("x", 0)).message, "事件数已满（最多20个）！！！");

    // Deleting a channel deletes every event.
    deleteChannel(work, 1);
    EXPECT_TRUE(work.events.empty());
    ASSERT_EQ(work.channels.size(), 2u);
    EXPECT_EQ(work.channels[1].nameGbk(), "c");

    EXPECT_DOUBLE_EQ(numberAtStart("12.5abc"), 12.5);
    EXPECT_DOUBLE_EQ(numberAtStart("abc"), 0.0);
    EXPECT_DOUBLE_EQ(numberAtStart("12345678901234"), 1234567890.0);  // ten characters
    EXPECT_FALSE(samplingAccepted(0, 360));
    EXPECT_FALSE(samplingAccepted(5, 0));
    EXPECT_TRUE(samplingAccepted(1, 1));
}

TEST(DisplaySettingsRules, ColourScrolling) {
    EXPECT_EQ(scrollColour(7, ColourScroll::PageLeft), 0);
    EXPECT_EQ(scrollColour(11, ColourScroll::PageLeft), 1);
    EXPECT_EQ(scrollColour(10, ColourScroll::PageLeft), 0);
    EXPECT_EQ(scrollColour(250, ColourScroll::PageRight), 255);
    EXPECT_EQ(scrollColour(244, ColourScroll::PageRight), 254);
    EXPECT_EQ(scrollColour(0, ColourScroll::LineLeft), 0);
    EXPECT_EQ(scrollColour(255, ColourScroll::LineRight), 255);
    EXPECT_EQ(scrollColour(100, ColourScroll::LineLeft), 99);
    EXPECT_EQ(scrollColour(100, ColourScroll::Thumb, 37), 37);
    EXPECT_EQ(scrollColour(100, ColourScroll::Other, 37), 100);
    EXPECT_EQ(colourRefOf(0x12, 0x34, 0x56), 0x563412u);
}

TEST(DisplaySettingsRules, PanelHits) {
    DisplaySettings s;
    s.channelCount = 3;
    // Strictly inside the 12 x 12 box: 1..11 right of and below its corner.
    EXPECT_EQ(boxAt(20, 46, 3).target, PanelTarget::ChannelBox);
    EXPECT_EQ(boxAt(30, 56, 3).channel, 0);
    EXPECT_EQ(boxAt(19, 46, 3).target, PanelTarget::Nothing);
    EXPECT_EQ(boxAt(31, 46, 3).target, PanelTarget::Nothing);
    EXPECT_EQ(boxAt(20, 146, 3).channel, 2);
    EXPECT_EQ(boxAt(20, 196, 3).target, PanelTarget::Nothing);  // below the last row
    EXPECT_EQ(boxAt(253, 96, 3).target, PanelTarget::ValueMinorBox);
    EXPECT_EQ(swatchAt(20, 20, 3).target, PanelTarget::ChannelSwatch);
    EXPECT_EQ(swatchAt(68, 43, 3).channel, 0);
    EXPECT_EQ(swatchAt(69, 43, 3).target, PanelTarget::Nothing);
    EXPECT_EQ(swatchAt(215, 170, 3).target, PanelTarget::TimeAxisSwatch);
    // Rows 8 to 20 in the second column.
    EXPECT_EQ(channelSwatchAt(7).x, 419);
    EXPECT_EQ(channelSwatchAt(7).y, 19);
    EXPECT_EQ(swatchAt(420, 20, 20).channel, 7);
    EXPECT_EQ(swatchAt(420, 20, 7).target, PanelTarget::Nothing);

    EXPECT_TRUE(toggleAt(s, 20, 96));  // channel 1's box
    EXPECT_TRUE(s.visible[1]);
    EXPECT_TRUE(toggleAt(s, 220, 320));
    EXPECT_FALSE(s.options.relativeTime);
    EXPECT_TRUE(toggleAt(s, 220, 355));  // the coordinates row toggles even without a box
    EXPECT_FALSE(s.options.axisOption);
    EXPECT_FALSE(toggleAt(s, 300, 300));
}
