#include <gtest/gtest.h>

#include <cmath>

#include "core/work/Events.h"

using namespace tervo;

namespace {

EventInfo event(int32_t type, int32_t compare, int32_t data1, int32_t data2, double b,
                int32_t data3 = 0, double c = 0.0) {
    EventInfo e;
    e.type = type;
    e.compare = compare;
    e.data1 = data1;
    e.data2 = data2;
    e.data2Constant = b;
    e.data3 = data3;
    e.data3Constant = c;
    return e;
}

// Runs one cycle and tells which events fired, by index.
std::vector<int32_t> cycle(const std::vector<EventInfo>& events, std::vector<double> values,
                           EventMemory& memory, OccurrenceStore& store) {
    const size_t before = store.count();
    evaluateEvents(events, values.data(), values.size(), memory, 1000, store);
    std::vector<int32_t> fired;
    for (size_t i = before; i < store.count(); ++i) {
        fired.push_back(store[i].event);
    }
    return fired;
}

using Fired = std::vector<int32_t>;

}  // namespace

TEST(Events, ValueComparisonIsLevelTriggered) {
    const std::vector<EventInfo> events{event(0, 0, 0, 0, 100.0)};
    EventMemory memory;
    memory.reset(1);
    OccurrenceStore store;
    EXPECT_EQ(cycle(events, {100.0}, memory, store), Fired{});
    EXPECT_EQ(cycle(events, {100.1}, memory, store), Fired{0});
    EXPECT_EQ(cycle(events, {150.0}, memory, store), Fired{0});
    EXPECT_EQ(cycle(events, {100.0}, memory, store), Fired{});
    EXPECT_EQ(store[0].time, 1000);
}

TEST(Events, DifferenceAndIntegralStartFromZero) {
    const std::vector<EventInfo> events{event(1, 0, 0, 255, 2.0), event(2, 0, 0, 0, 30.0)};
    EventMemory memory;
    memory.reset(1);
    OccurrenceStore store;
    // The first difference is taken against zero, so 10 itself is a rise of 10.
    EXPECT_EQ(cycle(events, {10.0}, memory, store), Fired{0});
    EXPECT_EQ(cycle(events, {11.0}, memory, store), Fired{}) << "difference 1, integral 21";
    EXPECT_EQ(cycle(events, {14.0}, memory, store), (Fired{0, 1})) << "difference 3, integral 35";
    EXPECT_EQ(memory.integrals[0], 35.0);
    EXPECT_EQ(memory.previous[0], 14.0);
}

TEST(Events, TwoOperandTypesAndSelectors) {
    EventMemory memory;
    memory.reset(2);
    OccurrenceStore store;
    const std::vector<EventInfo> sum{event(3, 0, 0, 2, 0.0, 0, 50.0)};  // ch0 + ch1 > 50
    EXPECT_EQ(cycle(sum, {20.0, 30.0}, memory, store), Fired{});
    EXPECT_EQ(cycle(sum, {20.0, 30.5}, memory, store), Fired{0});

    const std::vector<EventInfo> quotient{event(6, 1, 0, 0, 2.0, 255, 10.0)};  // ch0 / 2 < 10
    EXPECT_EQ(cycle(quotient, {19.9, 0.0}, memory, store), Fired{0});
    EXPECT_EQ(cycle(quotient, {20.0, 0.0}, memory, store), Fired{});

    const std::vector<EventInfo> difference{event(4, 1, 1, 1, 0.0, 0, 5.0)};  // ch1 - ch0 < 5
    EXPECT_EQ(cycle(difference, {10.0, 14.0}, memory, store), Fired{0});
    const std::vector<EventInfo> product{event(5, 0, 0, 2, 0.0, 2, 0.0)};  // ch1 * ch0 > ch1
    EXPECT_EQ(cycle(product, {3.0, 2.0}, memory, store), Fired{0});

    const std::vector<EventInfo> both{event(0, 0, 1, 0, 1.0), event(0, 0, 0, 0, 1.0)};
    EXPECT_EQ(cycle(both, {5.0, 5.0}, memory, store), (Fired{0, 1})) << "lower index first";
}

TEST(Events, IeeeSemanticsAndTheMarker) {
    EventMemory memory;
    memory.reset(1);
    OccurrenceStore store;
    const std::vector<EventInfo> greater{event(6, 0, 0, 0, 0.0, 0, 1e300)};
    const std::vector<EventInfo> less{event(6, 1, 0, 0, 0.0, 0, -1e300)};
    EXPECT_EQ(cycle(greater, {5.0}, memory, store), Fired{0}) << "+inf beats any finite value";
    EXPECT_EQ(cycle(greater, {0.0}, memory, store), Fired{}) << "NaN never fires 大于";
    EXPECT_EQ(cycle(less, {0.0}, memory, store), Fired{}) << "NaN < -1e300 is false, too";
    // The 小于 case of 0 / 0: a NaN against a NaN right side.
    const std::vector<EventInfo> nanRight{event(6, 1, 0, 0, 0.0, 1, 0.0)};
    EXPECT_EQ(cycle(nanRight, {0.0}, memory, store), Fired{});

    const std::vector<EventInfo> failed{event(0, 1, 0, 0, -9999998.0)};
    EXPECT_EQ(cycle(failed, {kNoValue}, memory, store), Fired{0})
        << "a failed reading compares as -9999999";
}

TEST(Events, OddRecordsNeverReadPastTheChannels) {
    EventMemory memory;
    memory.reset(2);
    OccurrenceStore store;
    const std::vector<EventInfo> odd{
        event(0, 0, 2, 0, -1e9),          // data 1 names no channel
        event(0, 0, -1, 0, -1e9),         // negative channel
        event(0, 0, 0, 3, -1e9),          // selector beyond N
        event(3, 0, 0, 0, 0.0, 7, 0.0),   // data 3 beyond N
        event(0, 2, 0, 0, -1e9),          // compare type 2 never fires
        event(9, 0, 0, 0, 2.0, 0, 1.0),   // type above 6 reads as the quotient: 5 / 2 > 1
        event(0, 0, 0, 2, 1.0, 99, 0.0),  // data 3 is not used by type 0
    };
    EXPECT_EQ(cycle(odd, {5.0, 3.0}, memory, store), (Fired{5, 6}));
}

TEST(Events, StoreGrowsByHundredsAndKeepsItsCapacity) {
    OccurrenceStore store;
    EXPECT_EQ(store.capacity(), 0u);
    for (int i = 0; i < 150; ++i) {
        ASSERT_TRUE(store.append(i, i % 3));
        if (i == 99) {
            EXPECT_EQ(store.capacity(), 100u);
        }
    }
    EXPECT_EQ(store.capacity(), 200u) << "grown twice";
    EXPECT_EQ(store[149].time, 149);
    EXPECT_EQ(store[0].event, 0);
    store.clear();
    EXPECT_EQ(store.count(), 0u);
    EXPECT_EQ(store.capacity(), 200u);

    OccurrenceStore tight(100);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(tight.append(i, 0));
    }
    EXPECT_FALSE(tight.append(100, 0)) << "cannot grow: the occurrence is lost";
    EXPECT_EQ(tight.count(), 100u);
    EXPECT_EQ(tight[99].time, 99);
}
