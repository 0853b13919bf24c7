#include <gtest/gtest.h>

#include <climits>

#include "core/link/ParameterTable.h"
#include "core/tools/AutoSearch.h"
#include "support/FakeSerial.h"
#include "support/InstantBus.h"

using namespace tervo;
using tervo::testing::FakeOpener;
using tervo::testing::InstantBus;

namespace {

struct Sweep {
    std::vector<std::string> lines;
    int polls = 0;
    bool finished = false;
};

// Drives a started search to its end the way the dialog does, one poll per tick.
Sweep runToEnd(AutoSearch& search, SerialOpener& opener) {
    Sweep sweep;
    while (std::optional<LinkRequest> poll = search.beginTick()) {
        ++sweep.polls;
        EXPECT_FALSE(search.beginTick());  // ticks do not pile up
        const SearchStepOutcome outcome = search.finishTick(perform(*poll, opener));
        if (outcome.line) {
            sweep.lines.push_back(*outcome.line);
        }
        sweep.finished = outcome.finished;
        EXPECT_EQ(outcome.armTimer, !outcome.finished);
    }
    return sweep;
}

}  // namespace

TEST(AutoSearch, ResultLinesAndRefusedChoices) {
    EXPECT_EQ(AutoSearch::resultLine({1, 6, 5}), "串口： COM2 , 波特率：19200 , 仪表地址： 5");
    EXPECT_EQ(AutoSearch::resultLine({0, 0, 42}), "串口： COM1 , 波特率：  300 , 仪表地址：42");

    AutoSearch search;
    EXPECT_EQ(search.start({-1, 6, true, 0}).message, "串口设置错误！！！");
    EXPECT_EQ(search.start({1, -1, true, 0}).message, "波特率设置错误！！！");
    EXPECT_EQ(search.start({1, 6, false, 100}).message, "仪表地址设置错误！！！");
    EXPECT_EQ(search.start({1, 6, false, -1}).message, "仪表地址设置错误！！！");
    EXPECT_FALSE(search.running());
    EXPECT_FALSE(search.beginTick());
    const SearchStart ok = search.start({1, 6, false, 99});
    EXPECT_TRUE(ok.started);
    EXPECT_TRUE(ok.message.empty());
    // The last entries of the port and rate lists, and one past them.
    EXPECT_TRUE(search.start({6, 7, true, 0}).started);
    EXPECT_EQ(search.start({7, 6, true, 0}).message, "串口设置错误！！！");
    EXPECT_EQ(search.start({1, 8, true, 0}).message, "波特率设置错误！！！");

    // A typed fixed address counts by its last two digits.
    for (const auto& [typed, address] :
         std::vector<std::pair<int, int>>{{7, 7}, {123, 23}, {-5, 5}, {INT_MIN, 48}}) {
        EXPECT_EQ(AutoSearch::typedAddress(typed), address) << typed;
    }
}

TEST(AutoSearch, FullSweepPolls1400CombinationsPortsOutermost) {
    FakeOpener silent;  // every port opens, nothing answers
    AutoSearch search;
    ASSERT_TRUE(search.start({0, 0, true, 0}).started);
    EXPECT_EQ(search.portBar(), (SearchBar{2, 1}));
    EXPECT_EQ(search.baudBar(), (SearchBar{7, 1}));
    EXPECT_EQ(search.addressBar(), (SearchBar{100, 1}));
    std::vector<std::tuple<int, int, int>> order;
    while (std::optional<LinkRequest> poll = search.beginTick()) {
        order.emplace_back(poll->port, poll->format.baud, poll->address);
        EXPECT_EQ(poll->kind, LinkRequest::Kind::Poll);
        EXPECT_EQ(poll->parameterCode, static_cast<uint32_t>(kPV));
        const SearchStepOutcome outcome = search.finishTick(perform(*poll, silent));
        EXPECT_FALSE(outcome.line);
        if (order.size() == 150) {  // after COM1 at 600 baud, address 49
            EXPECT_EQ(search.addressBar().position, 51);
            EXPECT_EQ(search.baudBar().position, 2);
            EXPECT_EQ(search.portBar().position, 1);
        }
    }
    ASSERT_EQ(order.size(), 1400u);
    EXPECT_EQ(silent.written.size(), 1400u);
    EXPECT_EQ(order[0], std::make_tuple(0, 0, 0));
    EXPECT_EQ(order[99], std::make_tuple(0, 0, 99));
    EXPECT_EQ(order[100], std::make_tuple(0, 1, 0));
    EXPECT_EQ(order[699], std::make_tuple(0, 6, 99));
    EXPECT_EQ(order[700], std::make_tuple(1, 0, 0));
    EXPECT_EQ(order[1399], std::make_tuple(1, 6, 99));
    // The wire sees each rate of the table and the address digits doubled.
    EXPECT_EQ(silent.written[1399],
              (std::vector<uint8_t>{kEOT, '9', '9', '9', '9', 'P', 'V', kENQ}));
    EXPECT_FALSE(search.running());
    EXPECT_TRUE(search.found().empty());
}

TEST(AutoSearch, FindsTheControllersThatAnswerInOrder) {
    InstantBus bus;
    bus.addPort("COM1", {0, 3});
    bus.addPort("COM2", {5});
    AutoSearch search;
    ASSERT_TRUE(search.start({0, 6, true, 0}).started);  // both ports at 9600
    Sweep sweep = runToEnd(search, bus);
    EXPECT_EQ(sweep.polls, 200);
    EXPECT_TRUE(sweep.finished);
    EXPECT_EQ(sweep.lines,
              (std::vector<std::string>{"串口： COM1 , 波特率： 9600 , 仪表地址： 0",
                                        "串口： COM1 , 波特率： 9600 , 仪表地址： 3",
                                        "串口： COM2 , 波特率： 9600 , 仪表地址： 5"}));
    EXPECT_EQ(search.found(), (std::vector<FoundInstrument>{{0, 5, 0}, {0, 5, 3}, {1, 5, 5}}));

    // Everything fixed: one poll, and the search ends at once.
    ASSERT_TRUE(search.start({2, 6, false, 5}).started);
    EXPECT_TRUE(search.found().empty());
    EXPECT_EQ(search.portBar(), (SearchBar{1, 1}));
    bus.written.clear();
    sweep = runToEnd(search, bus);
    EXPECT_EQ(sweep.polls, 1);
    EXPECT_TRUE(sweep.finished);
    EXPECT_EQ(sweep.lines.size(), 1u);
    EXPECT_EQ(bus.written["COM2"].size(), 1u);

    // Any reply byte is an answer, even one no read would accept.
    FakeOpener garbage;
    garbage.replies.push_back({0x7F});
    ASSERT_TRUE(search.start({1, 6, false, 12}).started);
    sweep = runToEnd(search, garbage);
    EXPECT_EQ(sweep.lines,
              (std::vector<std::string>{"串口： COM1 , 波特率： 9600 , 仪表地址：12"}));

    // A port that cannot be opened is simply passed over.
    FakeOpener absent;
    absent.failAt = FakeOpener::kOpen;
    ASSERT_TRUE(search.start({1, 0, false, 1}).started);
    sweep = runToEnd(search, absent);
    EXPECT_EQ(sweep.polls, 7);
    EXPECT_TRUE(sweep.lines.empty());
}

TEST(AutoSearch, StopKeepsWhatWasFoundAndForgetsThePollUnderWay) {
    InstantBus bus;
    bus.addPort("COM1", {0, 1, 2});
    AutoSearch search;
    ASSERT_TRUE(search.start({1, 6, true, 0}).started);
    for (int i = 0; i < 2; ++i) {
        const std::optional<LinkRequest> poll = search.beginTick();
        search.finishTick(perform(*poll, bus));
    }
    const std::optional<LinkRequest> underway = search.beginTick();
    ASSERT_TRUE(underway);
    EXPECT_EQ(search.stop(), "搜索停止！！！");
    const SearchStepOutcome late = search.finishTick(perform(*underway, bus));
    EXPECT_FALSE(late.line);
    EXPECT_FALSE(late.armTimer);
    EXPECT_EQ(search.found(), (std::vector<FoundInstrument>{{0, 5, 0}, {0, 5, 1}}));
    EXPECT_FALSE(search.beginTick());
}
