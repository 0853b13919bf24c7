#include <gtest/gtest.h>

#include "core/link/LinkRequest.h"
#include "core/link/ParameterTable.h"
#include "core/tools/ParameterRules.h"
#include "core/tools/SerialTestRules.h"
#include "support/FakeSerial.h"

using namespace tervo;
using tervo::testing::FakeOpener;
using tervo::testing::readReply;

namespace {

LinkResult readResult(double value) {
    LinkResult result;
    result.value = value;
    return result;
}

LinkResult writeResult(uint8_t reply) {
    LinkResult result;
    result.writeReply = reply;
    return result;
}

// The frame a request puts on the wire.
std::vector<uint8_t> frameOf(const LinkRequest& request) {
    FakeOpener opener;
    opener.replies.push_back({kACK});
    perform(request, opener);
    return opener.written.empty() ? std::vector<uint8_t>() : opener.written.front();
}

std::vector<uint8_t> writeFrame(const std::string& address, const std::string& mnemonic,
                                const std::string& field) {
    std::vector<uint8_t> frame{
        kEOT, uint8_t(address[0]),  uint8_t(address[0]), uint8_t(address[1]), uint8_t(address[1]),
        kSTX, uint8_t(mnemonic[0]), uint8_t(mnemonic[1])};
    for (char c : field) {
        frame.push_back(static_cast<uint8_t>(c));
    }
    frame.push_back(kETX);
    uint8_t bcc = 0;
    for (size_t i = 6; i < frame.size(); ++i) {
        bcc ^= frame[i];
    }
    frame.push_back(bcc);
    return frame;
}

std::string cells(const ReceiveScreen& screen, int line, int from, int count) {
    return screen.line(line).substr(static_cast<size_t>(from), static_cast<size_t>(count));
}

}  // namespace

TEST(ParameterRules, RowTextsPadTheLabelTo25GbkBytes) {
    EXPECT_EQ(ParameterRules::rowText(kSL, 123.4), "SL 基本设定值            123.40");
    EXPECT_EQ(ParameterRules::rowText(48, -7.5), "t8 平台8的运行时间       -7.50");
    EXPECT_EQ(ParameterRules::rowText(0), "PV 测量值（只读）        ");
    // "LC 曲线程序循环次数" is 19 bytes in GBK; a label of 25 bytes or more is not cut.
    EXPECT_EQ(ParameterRules::rowText(21, 1), "LC 曲线程序循环次数      1.00");
}

TEST(ParameterRules, ReadsOneRowPerTickAndWrapsAfterTheLast) {
    ParameterRules rules({1, 6, 5});
    ParameterTickPlan plan = rules.beginTick({1, 6, 5});
    EXPECT_FALSE(plan.resetList);
    ASSERT_TRUE(plan.read);
    EXPECT_EQ(plan.read->kind, LinkRequest::Kind::Read);
    EXPECT_EQ(plan.read->port, 1);
    EXPECT_EQ(plan.read->format.baud, 6);
    EXPECT_EQ(plan.read->address, 5);
    EXPECT_EQ(plan.read->parameterCode, 0u);
    EXPECT_TRUE(rules.tickUnderway());
    ParameterTickOutcome outcome = rules.finishTick(readResult(21.5));
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.row, 0);
    EXPECT_EQ(outcome.value, 21.5);
    EXPECT_TRUE(outcome.armTimer);
    EXPECT_FALSE(rules.tickUnderway());
    // A second result for the same tick changes nothing.
    EXPECT_EQ(rules.finishTick(readResult(1)).row, -1);

    for (int row = 1; row < kParameterCount; ++row) {
        plan = rules.beginTick({1, 6, 5});
        ASSERT_TRUE(plan.read);
        EXPECT_EQ(plan.read->parameterCode, uint32_t(row));
        EXPECT_EQ(rules.finishTick(readResult(row)).row, row);
    }
    EXPECT_EQ(rules.nextRow(), 0);
    EXPECT_EQ(rules.value(48), 48.0);
    EXPECT_EQ(rules.beginTick({1, 6, 5}).read->parameterCode, 0u);
}

TEST(ParameterRules, AFailedReadStopsReadingUntilTheSelectionChanges) {
    ParameterRules rules({0, 5, 1});
    rules.beginTick({0, 5, 1});
    rules.finishTick(readResult(1));
    rules.beginTick({0, 5, 1});
    ParameterTickOutcome failed = rules.finishTick(LinkResult{});
    EXPECT_TRUE(failed.failed);
    EXPECT_TRUE(failed.armTimer);  // the timer keeps running
    EXPECT_TRUE(rules.communicationError());
    EXPECT_FALSE(rules.autoRead());
    EXPECT_EQ(rules.nextRow(), 2);

    // The button pressed twice brings no read back; each tick fails again at once and still
    // moves on a row.
    EXPECT_EQ(rules.toggleAutoRead().timer, TimerAction::Start);
    EXPECT_TRUE(rules.autoRead());
    ParameterTickPlan plan = rules.beginTick({0, 5, 1});
    EXPECT_FALSE(plan.read);
    EXPECT_TRUE(rules.finishTick().failed);
    EXPECT_FALSE(rules.autoRead());
    rules.toggleAutoRead();
    EXPECT_FALSE(rules.beginTick({0, 5, 1}).read);
    EXPECT_TRUE(rules.finishTick().armTimer);
    EXPECT_EQ(rules.nextRow(), 4);

    // Address 01 to 00: the list starts over, reading resumes at row 0.
    plan = rules.beginTick({0, 5, 0});
    EXPECT_TRUE(plan.resetList);
    ASSERT_TRUE(plan.read);
    EXPECT_EQ(plan.read->parameterCode, 0u);
    EXPECT_EQ(plan.read->address, 0);
    EXPECT_FALSE(rules.communicationError());
    EXPECT_TRUE(rules.autoRead());
    EXPECT_EQ(rules.value(0), 0.0);
    EXPECT_FALSE(rules.finishTick(readResult(3)).failed);
    EXPECT_TRUE(rules.beginTick({0, 5, 1}).resetList);

    // Stopped by the button, the timer stops; pressed again it starts.
    rules.finishTick(readResult(3));
    AutoReadOutcome off = rules.toggleAutoRead();
    EXPECT_FALSE(off.pressed);
    EXPECT_EQ(off.timer, TimerAction::Stop);
    AutoReadOutcome on = rules.toggleAutoRead();
    EXPECT_TRUE(on.pressed);
    EXPECT_EQ(on.timer, TimerAction::Start);
}

TEST(ParameterRules, NoReadForWhatTheLinkCannotCarry) {
    for (LinkSelection bad :
         {LinkSelection{-1, 5, 0}, LinkSelection{0, -1, 0}, LinkSelection{6, 5, 0},
          LinkSelection{0, 7, 0}, LinkSelection{0, 5, 100}, LinkSelection{0, 5, -1}}) {
        ParameterRules rules({0, 5, 0});
        ParameterTickPlan plan = rules.beginTick(bad);
        EXPECT_FALSE(plan.read);
        EXPECT_TRUE(rules.finishTick().failed);
        EXPECT_TRUE(rules.communicationError());
    }
}

TEST(ParameterRules, TheButtonPressedWhileAReadIsUnderwayDecidesTheTimer) {
    ParameterRules rules({0, 5, 0});
    rules.beginTick({0, 5, 0});
    AutoReadOutcome off = rules.toggleAutoRead();
    EXPECT_FALSE(off.pressed);
    EXPECT_EQ(off.timer, TimerAction::Keep);  // the tick is under way: no second tick
    EXPECT_FALSE(rules.finishTick(readResult(1)).armTimer);

    rules.toggleAutoRead();
    rules.beginTick({0, 5, 0});
    rules.toggleAutoRead();
    AutoReadOutcome on = rules.toggleAutoRead();
    EXPECT_EQ(on.timer, TimerAction::Keep);
    EXPECT_TRUE(rules.finishTick(readResult(1)).armTimer);
}

TEST(ParameterRules, ASelectedRowFillsTheFieldsAndIsReadNext) {
    ParameterRules rules({0, 5, 0});
    for (int row = 0; row < 12; ++row) {
        rules.beginTick({0, 5, 0});
        rules.finishTick(readResult(row * 10.0));
    }
    RowPick pick = rules.selectRow(10);
    EXPECT_EQ(pick.valueText, "100.00");
    EXPECT_EQ(pick.mnemonicText, "Hb PID上分离带");
    EXPECT_EQ(rules.nextRow(), 10);
    EXPECT_EQ(rules.beginTick({0, 5, 0}).read->parameterCode, 10u);

    // Selected while a read is under way, the row is still the next one read.
    rules.selectRow(30);
    rules.finishTick(readResult(1));
    EXPECT_EQ(rules.nextRow(), 30);
    EXPECT_EQ(rules.value(10), 1.0);
    EXPECT_EQ(rules.selectRow(49).mnemonicText, "");
    EXPECT_EQ(rules.selectedRow(), 30);
}

TEST(ParameterRules, WriteSendsTheTypedMnemonicAndTheFirstFiveValueCharacters) {
    ParameterRules rules({0, 5, 0});
    WritePlan plan = rules.beginWrite("SL", "100", {2, 5, 37});
    ASSERT_TRUE(plan.write);
    EXPECT_TRUE(plan.message.empty());
    EXPECT_EQ(plan.write->port, 2);
    EXPECT_EQ(frameOf(*plan.write), writeFrame("37", "SL", "100  "));
    EXPECT_TRUE(rules.writeUnderway());
    // A second press while the write is under way does nothing.
    EXPECT_FALSE(rules.beginWrite("SL", "5", {0, 5, 0}).write);
    EXPECT_EQ(rules.finishWrite(writeResult(kACK)), "修改成功！！！");
    EXPECT_FALSE(rules.writeUnderway());

    // Only the first ten bytes of the value count, padded to ten; the link sends five.
    plan = rules.beginWrite("r1", "-12.5678901234", {0, 5, 0});
    EXPECT_EQ(plan.write->valueText, "-12.567890");
    EXPECT_EQ(frameOf(*plan.write), writeFrame("00", "r1", "-12.5"));
    EXPECT_EQ(rules.finishWrite(writeResult(kNAK)), "修改失败！！！");
    plan = rules.beginWrite("Hb", "7", {0, 5, 0});
    EXPECT_EQ(plan.write->valueText, "7         ");
    EXPECT_EQ(frameOf(*plan.write), writeFrame("00", "Hb", "7    "));
    EXPECT_EQ(rules.finishWrite(LinkResult{}), "通信错误！！！");
    rules.beginWrite("Hb", "7", {0, 5, 0});
    EXPECT_EQ(rules.finishWrite(writeResult('x')), "通信错误！！！");

    // Not two characters from '!' to 'z': nothing at all.
    for (const char* mnemonic : {"参数名称：", "", "S", " L", "S\tL", "{L", "S参"}) {
        const WritePlan none = rules.beginWrite(mnemonic, "1", {0, 5, 0});
        EXPECT_FALSE(none.write) << mnemonic;
        EXPECT_TRUE(none.message.empty()) << mnemonic;
    }
    // No port, rate or address the link can carry: "通信错误！！！" without an exchange.
    for (LinkSelection bad :
         {LinkSelection{-1, 5, 0}, LinkSelection{0, -1, 0}, LinkSelection{0, 5, 105}}) {
        const WritePlan refused = rules.beginWrite("SL", "77", bad);
        EXPECT_FALSE(refused.write);
        EXPECT_EQ(refused.message, "通信错误！！！");
        EXPECT_FALSE(rules.writeUnderway());
    }
}

TEST(ParameterRules, ALabelFromTheListWritesItsOwnRow) {
    ParameterRules rules({0, 5, 0});
    // Rows 10 and 21 begin with letters that are not their mnemonics ("Hb" for "HB", "LC"
    // for "Lc"): the label unchanged sends the row's own mnemonic.
    for (int row : {10, 21, 3, 48}) {
        const RowPick pick = rules.selectRow(row);
        WritePlan plan = rules.beginWrite(pick.mnemonicText, "7", {0, 5, 0});
        ASSERT_TRUE(plan.write);
        EXPECT_EQ(frameOf(*plan.write),
                  writeFrame("00", std::string(parameterMnemonic(row)), "7    "))
            << row;
        EXPECT_EQ(rules.finishWrite(writeResult(kACK)), "修改成功！！！");
        EXPECT_EQ(rules.nextRow(), row);
    }
    // Edited, the field goes out as typed: its first two characters.
    rules.selectRow(10);
    WritePlan typed = rules.beginWrite("Hb PID上分离带 ", "7", {0, 5, 0});
    EXPECT_EQ(frameOf(*typed.write), writeFrame("00", "Hb", "7    "));
    rules.finishWrite(writeResult(kACK));
    // Another row's label is text like any other.
    rules.selectRow(3);
    typed = rules.beginWrite(std::string(parameterLabelUtf8(21)), "7", {0, 5, 0});
    EXPECT_EQ(frameOf(*typed.write), writeFrame("00", "LC", "7    "));
    rules.finishWrite(writeResult(kNAK));
    // A refused write leaves the next row alone.
    EXPECT_EQ(rules.nextRow(), 3);
}

TEST(SerialTestRules, SendTextBecomesBytes) {
    const struct {
        const char* text;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"04 30 30 30 30 50 56 05", {0x04, 0x30, 0x30, 0x30, 0x30, 0x50, 0x56, 0x05}},
        {"4 30", {0x04, 0x30}},
        {"123", {0x12, 0x03}},
        {"a,Bc;d", {0x0A, 0xBC, 0x0D}},
        {"", {}},
    };
    SerialTestRules rules;
    for (const auto& c : cases) {
        EXPECT_EQ(SerialTestRules::sendBytes(c.text), c.bytes) << c.text;
        const std::optional<LinkRequest> request = rules.send(LineSelection{}, c.text);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->kind, LinkRequest::Kind::Raw);
        EXPECT_EQ(request->bytes, c.bytes);
    }
    // Only the first 99 characters are read.
    const std::vector<uint8_t> long120 = SerialTestRules::sendBytes(std::string(120, '1'));
    EXPECT_EQ(long120.size(), 50u);
    EXPECT_EQ(long120.back(), 0x01);
    EXPECT_EQ(rules.sent(), 8u + 2 + 2 + 3);
}

TEST(SerialTestRules, LineFormatFromTheCombos) {
    EXPECT_EQ(SerialTestRules::lineFormat(LineSelection{}), (LineFormat{5, 7, 2, 0}));
    EXPECT_EQ(SerialTestRules::lineFormat({3, 6, 4, 0, 2}), (LineFormat{6, 8, 0, 2}));
    EXPECT_EQ(SerialTestRules::lineFormat({0, 0, 0, 2, 1}), (LineFormat{0, 4, 1, 1}));
    SerialTestRules rules;
    const std::optional<LinkRequest> request = rules.send({3, 6, 4, 0, 2}, "01");
    EXPECT_EQ(request->port, 3);
    EXPECT_EQ(request->format, (LineFormat{6, 8, 0, 2}));

    // A combo with typed text instead of an entry: nothing happens, nothing is counted.
    for (LineSelection bad : {LineSelection{-1, 5, 3, 1, 0}, LineSelection{0, -1, 3, 1, 0},
                              LineSelection{0, 5, -1, 1, 0}, LineSelection{0, 5, 3, -1, 0},
                              LineSelection{0, 5, 3, 1, -1}, LineSelection{6, 5, 3, 1, 0}}) {
        EXPECT_FALSE(rules.send(bad, "04 30"));
    }
    EXPECT_EQ(rules.sent(), 1u);
}

TEST(SerialTestRules, RepliesFillTheScreenAndTheCounters) {
    EXPECT_EQ(SerialTestRules::counterText(0, 0), "发送数据：      0         接收数据：      0");
    SerialTestRules rules;
    FakeOpener opener;
    opener.replies.push_back(readReply("PV", " 25.0"));
    SendOutcome shown =
        rules.finishSend(perform(*rules.send({}, "04 30 30 30 30 50 56 05"), opener), false);
    EXPECT_EQ(shown.counters, "发送数据：      8         接收数据：     10");
    EXPECT_EQ(shown.damage.cells.size(), 10u);
    EXPECT_FALSE(shown.damage.whole);
    // 0x02 shows as a space, the rest as characters.
    EXPECT_EQ(cells(rules.screen(), 0, 0, 9), " PV 25.0 ");

    // No answer, or no port: the sent count still grows.
    EXPECT_EQ(rules.finishSend(perform(*rules.send({}, "04 30 30 30 30 50 56 05"), opener), false)
                  .counters,
              "发送数据：     16         接收数据：     10");
    opener.failAt = FakeOpener::kOpen;
    EXPECT_EQ(rules.finishSend(perform(*rules.send({}, "04 30 30 30 30 50 56 05"), opener), false)
                  .counters,
              "发送数据：     24         接收数据：     10");
    opener.failAt = FakeOpener::kNone;

    // A reply of more than 20 bytes shows its first 20.
    std::vector<uint8_t> longReply;
    for (int i = 0; i < 25; ++i) {
        longReply.push_back(static_cast<uint8_t>('a' + i));
    }
    opener.replies.push_back(longReply);
    shown = rules.finishSend(perform(*rules.send({}, "04 30 30 30 30 50 56 05"), opener), false);
    EXPECT_EQ(cells(rules.screen(), 0, 10, 21), "abcdefghijklmnopqrst ");
    EXPECT_EQ(shown.counters, "发送数据：     32         接收数据：     30");

    // As hexadecimal: 0x02 shows as 0 and 2 followed by a space.
    opener.replies.push_back({0x02, 0xAF, 0x30});
    rules.finishSend(perform(*rules.send({}, ""), opener), true);
    EXPECT_EQ(cells(rules.screen(), 0, 30, 9), "02 AF 30 ");
    EXPECT_EQ(rules.screen().cursorColumn(), 39);

    EXPECT_EQ(rules.resetCounters(), "发送数据：      0         接收数据：      0");
    rules.clearScreen();
    EXPECT_EQ(rules.screen().line(0), std::string(79, ' '));
    EXPECT_EQ(rules.screen().cursorColumn(), 0);
}

TEST(SerialTestRules, AutoSendRepeatsWhenEachSendHasComeBack) {
    SerialTestRules rules;
    AutoSendToggle on = rules.toggleAutoSend();
    EXPECT_TRUE(on.checked);
    EXPECT_EQ(on.timer, TimerAction::Start);
    EXPECT_EQ(on.timerMs, 50);
    EXPECT_TRUE(rules.beginAutoStep(100));
    EXPECT_FALSE(rules.beginAutoStep(100));  // one step at a time
    AutoStepOutcome step = rules.finishAutoStep();
    EXPECT_EQ(step.indicator, 1);
    EXPECT_FALSE(step.clearButton);
    EXPECT_EQ(step.timer, TimerAction::Start);
    EXPECT_EQ(step.timerMs, 100);
    rules.beginAutoStep(1000);
    step = rules.finishAutoStep();
    EXPECT_EQ(step.indicator, 0);
    EXPECT_EQ(step.timerMs, 1000);

    // Switched off while a send is under way: the step ends without arming the timer.
    rules.beginAutoStep(100);
    AutoSendToggle off = rules.toggleAutoSend();
    EXPECT_FALSE(off.checked);
    EXPECT_EQ(off.timer, TimerAction::Stop);
    step = rules.finishAutoStep();
    EXPECT_EQ(step.timer, TimerAction::Keep);
    EXPECT_EQ(step.indicator, 1);
    // Switched on while one is under way: the step's end arms it.
    rules.beginAutoStep(500);
    on = rules.toggleAutoSend();
    EXPECT_TRUE(on.checked);
    EXPECT_EQ(on.timer, TimerAction::Keep);
    EXPECT_EQ(rules.finishAutoStep().timerMs, 500);

    // An interval of 0 sends once and clears the button; auto sending stays on, so the next
    // press only switches it off.
    rules.beginAutoStep(0);
    step = rules.finishAutoStep();
    EXPECT_TRUE(step.clearButton);
    EXPECT_EQ(step.timer, TimerAction::Keep);
    EXPECT_TRUE(rules.autoSending());
    off = rules.toggleAutoSend();
    EXPECT_FALSE(off.checked);
    EXPECT_EQ(off.timer, TimerAction::Stop);
    EXPECT_FALSE(rules.autoSending());
}

TEST(ReceiveScreen, WrapsAndClearsWhenTheLastCellIsWritten) {
    ReceiveScreen screen;
    for (int i = 0; i < 1500; ++i) {
        const ReceiveScreen::Damage damage = screen.putCharacter('A' + i % 26);
        ASSERT_FALSE(damage.whole);
        ASSERT_EQ(damage.cells.size(), 1u);
    }
    EXPECT_EQ(screen.cursorLine(), 18);
    EXPECT_EQ(screen.cursorColumn(), 78);
    EXPECT_EQ(screen.at(1, 0), uint8_t('A' + 79 % 26));
    EXPECT_EQ(screen.at(18, 77), uint8_t('A' + 1499 % 26));
    // The 1501st character fills the last cell, and the whole screen clears at once.
    EXPECT_TRUE(screen.putCharacter('#').whole);
    for (int line = 0; line < ReceiveScreen::kLines; ++line) {
        EXPECT_EQ(screen.line(line), std::string(79, ' '));
    }
    screen.putCharacter('Z');
    EXPECT_EQ(screen.at(0, 0), uint8_t('Z'));
    EXPECT_EQ(screen.cursorColumn(), 1);

    // Control bytes up to 9 show as spaces; 10 and above as themselves.
    screen.clear();
    screen.putCharacter(9);
    screen.putCharacter(10);
    screen.putCharacter(0);
    EXPECT_EQ(cells(screen, 0, 0, 3), " \n ");

    // Hexadecimal pairs never split: at the last column a space goes first.
    screen.clear();
    for (int i = 0; i < 26; ++i) {
        screen.putHex(0x5A);
    }
    EXPECT_EQ(screen.cursorColumn(), 78);
    screen.putHex(0x02);
    EXPECT_EQ(cells(screen, 0, 75, 4), "5A  ");
    EXPECT_EQ(cells(screen, 1, 0, 3), "02 ");
    // A pair that ends on the last column wraps without a space.
    screen.clear();
    screen.putCharacter('x');
    screen.putCharacter('y');
    for (int i = 0; i < 25; ++i) {
        screen.putHex(0x11);
    }
    EXPECT_EQ(screen.cursorColumn(), 77);
    screen.putHex(0xC3);
    EXPECT_EQ(cells(screen, 0, 77, 2), "C3");
    EXPECT_EQ(screen.cursorLine(), 1);
    EXPECT_EQ(screen.cursorColumn(), 0);
    screen.putHex(0x01);
    EXPECT_EQ(cells(screen, 1, 0, 3), "01 ");
}
