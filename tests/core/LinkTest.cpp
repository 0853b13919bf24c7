#include <gtest/gtest.h>

#include "core/link/BusMonitor.h"
#include "core/link/LinkRequest.h"
#include "core/link/ParameterTable.h"
#include "core/link/SerialLink.h"
#include "support/FakeSerial.h"

using tervo::ExchangeResult;
using tervo::LineFormat;
using tervo::LinkStatus;
using tervo::ReadRequest;
using tervo::SerialLink;
using tervo::statusNumber;
using tervo::testing::FakeOpener;
using tervo::testing::readReply;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace

TEST(Exchange, EachFailingStepGivesItsStatusAndLeavesThePortClosed) {
    const std::pair<FakeOpener::Step, LinkStatus> cases[] = {
        {FakeOpener::kOpen, LinkStatus::OpenFailed},
        {FakeOpener::kGetTimeouts, LinkStatus::GetTimeoutsFailed},
        {FakeOpener::kGetLine, LinkStatus::GetStateFailed},
        {FakeOpener::kSetLine, LinkStatus::SetStateFailed},
    };
    const Bytes three = bytesOf("abc");
    for (auto [step, status] : cases) {
        FakeOpener fake;
        fake.failAt = step;
        fake.replies.push_back(bytesOf("x"));
        SerialLink link(0, fake);
        const ExchangeResult result = link.exchange(0, LineFormat{}, three);
        EXPECT_EQ(result.status, status) << "step " << step;
        EXPECT_TRUE(result.reply.empty());
        EXPECT_EQ(fake.openNow, 0);
        EXPECT_TRUE(fake.written.empty()) << "nothing is sent after a failed step";
    }
    EXPECT_EQ(statusNumber(LinkStatus::OpenFailed), 4);
    EXPECT_EQ(statusNumber(LinkStatus::GetTimeoutsFailed), 3);
    EXPECT_EQ(statusNumber(LinkStatus::GetStateFailed), 2);
    EXPECT_EQ(statusNumber(LinkStatus::SetStateFailed), 1);

    FakeOpener silent;
    SerialLink link(0, silent);
    EXPECT_EQ(link.exchange(0, LineFormat{}, Bytes{1, 2}).status, LinkStatus::NoReply);
    EXPECT_EQ(statusNumber(LinkStatus::NoReply), 5);
    EXPECT_EQ(silent.openNow, 0);
    EXPECT_EQ(silent.written, std::vector<Bytes>{Bytes({1, 2})});

    FakeOpener answering;
    answering.replies.push_back(bytesOf("\x06"));
    SerialLink ok(0, answering);
    const ExchangeResult result = ok.exchange(0, LineFormat{}, three);
    EXPECT_EQ(result.status, LinkStatus::Ok);
    EXPECT_EQ(result.reply, bytesOf("\x06"));
    EXPECT_EQ(answering.openNow, 0);
}

TEST(Exchange, BadPortOrBaudNeverTouchesTheDevice) {
    FakeOpener fake;
    SerialLink link(0, fake);
    const Bytes one{1};
    EXPECT_EQ(link.exchange(6, LineFormat{}, one).status, LinkStatus::BadPort);
    EXPECT_EQ(link.exchange(5, LineFormat{7}, one).status, LinkStatus::BadBaud);
    EXPECT_EQ(link.exchange(6, LineFormat{7}, one).status, LinkStatus::BadPort)
        << "the port is checked first";
    EXPECT_EQ(statusNumber(LinkStatus::BadPort), 10);
    EXPECT_EQ(statusNumber(LinkStatus::BadBaud), 20);
    EXPECT_TRUE(fake.portNames.empty());
}

TEST(Exchange, AppliesTimeoutsLineFormatAndReadsTwentyBytes) {
    FakeOpener fake;
    fake.replies.push_back(Bytes(30, 'a'));
    SerialLink link(0, fake);
    const ExchangeResult result = link.exchange(2, LineFormat{6}, bytesOf("x"));
    EXPECT_EQ(result.status, LinkStatus::Ok);
    EXPECT_EQ(fake.portNames, std::vector<std::string>{"COM3"});
    EXPECT_EQ(fake.timeouts.readInterval, 20u);
    EXPECT_EQ(fake.timeouts.readTotalMultiplier, 1u);
    EXPECT_EQ(fake.timeouts.readTotalConstant, 50u);
    EXPECT_EQ(fake.timeouts.writeTotalMultiplier, 1u);
    EXPECT_EQ(fake.timeouts.writeTotalConstant, 50u);
    EXPECT_EQ(fake.line.baud, 19200u);
    EXPECT_EQ(fake.line.dataBits, 7) << "7E1 unless told otherwise";
    EXPECT_EQ(fake.line.parity, 2);
    EXPECT_EQ(fake.line.stopBits, 0);
    EXPECT_EQ(fake.readSizes, std::vector<size_t>{20});
    EXPECT_EQ(result.reply.size(), 20u) << "a longer reply is cut at twenty bytes";

    link.exchange(0, LineFormat{0, 8, 1, 2}, bytesOf("x"));
    EXPECT_EQ(fake.line.baud, 300u);
    EXPECT_EQ(fake.line.dataBits, 8);
    EXPECT_EQ(fake.line.parity, 1);
    EXPECT_EQ(fake.line.stopBits, 2);
}

TEST(SerialLinkConstruction, InterCharacterTimeoutNeverBelowTwenty) {
    FakeOpener fake;
    EXPECT_EQ(SerialLink(0, fake).interCharTimeout(), 20);
    EXPECT_EQ(SerialLink(20, fake).interCharTimeout(), 20);
    EXPECT_EQ(SerialLink(-5, fake).interCharTimeout(), 20);
    EXPECT_EQ(SerialLink(21, fake).interCharTimeout(), 21);
    fake.replies.push_back(bytesOf("x"));
    SerialLink(35, fake).exchange(0, LineFormat{}, bytesOf("x"));
    EXPECT_EQ(fake.timeouts.readInterval, 35u);
}

TEST(PollParam, AddressDigitsGoOutTwiceEach) {
    const std::pair<int, std::string> cases[] = {{5, "0055"},   {99, "9999"}, {0, "0000"},
                                                 {123, "2233"}, {7, "0077"},  {12, "1122"}};
    for (auto [address, digits] : cases) {
        FakeOpener fake;
        SerialLink link(0, fake);
        EXPECT_EQ(link.pollParam(1, 5, static_cast<uint8_t>(address), 0).status,
                  LinkStatus::NoReply);
        ASSERT_EQ(fake.written.size(), 1u) << "one exchange, no retry";
        EXPECT_EQ(fake.written[0], bytesOf("\x04" + digits + "PV\x05")) << address;
        EXPECT_EQ(fake.portNames[0], "COM2");
    }
}

TEST(PollParam, LeavesTheRawReplyUnvalidated) {
    FakeOpener fake;
    fake.replies.push_back(bytesOf("\x02SP 25.0\x03X"));  // wrong BCC, still handed back
    SerialLink link(0, fake);
    const ExchangeResult result = link.pollParam(0, 5, 0, 2);
    EXPECT_EQ(result.status, LinkStatus::Ok);
    EXPECT_EQ(fake.written[0], bytesOf("\x04"
                                       "0000SP\x05"));
    EXPECT_EQ(result.reply, bytesOf("\x02SP 25.0\x03X"));
    // Only table indices are polled: neither a code naming nothing nor one carrying two
    // literal characters puts a frame on the wire.
    for (int code : {49, 256, 257, -1, static_cast<int>(tervo::literalCode('S', 'L')), 1 << 20}) {
        EXPECT_EQ(link.pollParam(0, 5, 0, code).status, LinkStatus::NoReply) << code;
    }
    EXPECT_EQ(fake.written.size(), 1u);
    EXPECT_EQ(fake.opens, 1);
}

TEST(WriteParam, SelectFrameForSlWithItsBlockCheck) {
    FakeOpener fake;
    fake.replies.push_back({0x06});
    SerialLink link(0, fake);
    EXPECT_EQ(link.writeParam(0, 5, 1, 3, "100.0     "), 0x06);
    const Bytes expectedBody = bytesOf("SL100.0\x03");
    uint8_t bcc = 0;
    for (uint8_t b : expectedBody) {
        bcc ^= b;
    }
    Bytes expected = bytesOf(
        "\x04"
        "0011\x02");
    expected.insert(expected.end(), expectedBody.begin(), expectedBody.end());
    expected.push_back(bcc);
    ASSERT_EQ(fake.written.size(), 1u);
    EXPECT_EQ(fake.written[0], expected);
    EXPECT_EQ(fake.written[0].size(), 15u);
}

TEST(WriteParam, RetriesOnlyTransportFailures) {
    FakeOpener nak;
    nak.replies.push_back({0x15});
    SerialLink link(0, nak);
    EXPECT_EQ(link.writeParam(0, 5, 0, 3, "1         "), 0x15);
    EXPECT_EQ(nak.written.size(), 1u) << "a NAK ends the loop at once";

    FakeOpener other;
    other.replies.push_back({'?', 0x06});
    SerialLink link2(0, other);
    EXPECT_EQ(link2.writeParam(0, 5, 0, 3, "1         "), '?');
    EXPECT_EQ(other.written.size(), 1u);

    FakeOpener silent;
    silent.replies.push_back({0x06});
    SerialLink link3(0, silent);
    EXPECT_EQ(link3.writeParam(0, 5, 0, 3, "1         "), 0x06);
    EXPECT_EQ(link3.writeParam(0, 5, 0, 3, "1         "), 0)
        << "the ACK left from the exchange before is cleared first";
    EXPECT_EQ(silent.written.size(), 6u);

    FakeOpener late;
    late.replies = {{}, {}, {0x06}};
    SerialLink link4(0, late);
    EXPECT_EQ(link4.writeParam(0, 5, 0, 3, "1         "), 0x06);
    EXPECT_EQ(late.written.size(), 3u);

    FakeOpener busy;
    busy.failAt = FakeOpener::kOpen;
    SerialLink link5(0, busy);
    EXPECT_EQ(link5.writeParam(0, 5, 0, 3, "1         "), 0);
    EXPECT_EQ(busy.portNames.size(), 5u);
}

TEST(WriteParam, ShortTextIsPaddedNotReadPast) {
    FakeOpener fake;
    fake.replies.push_back({0x06});
    SerialLink link(0, fake);
    link.writeParam(0, 5, 0, 3, "7");
    EXPECT_EQ(Bytes(fake.written[0].begin() + 8, fake.written[0].begin() + 13), bytesOf("7    "));
}

TEST(ReadParam, BadRepliesFailFiveTimesAndLeaveTheValue) {
    Bytes good = readReply("PV", " 25.0");
    Bytes shortReply(good.begin(), good.end() - 1);
    Bytes longReply = good;
    longReply.push_back(0x03);
    Bytes badBcc = good;
    badBcc[9] ^= 1;
    for (const Bytes& reply : {shortReply, longReply, badBcc}) {
        FakeOpener fake;
        for (int i = 0; i < 6; ++i) {
            fake.replies.push_back(reply);
        }
        SerialLink link(0, fake);
        EXPECT_EQ(link.readParam(ReadRequest{0, 0, 5, 0}), std::nullopt);
        EXPECT_EQ(fake.written.size(), 5u);
        for (const Bytes& w : fake.written) {
            EXPECT_EQ(w, bytesOf("\x04"
                                 "0000PV\x05"));
        }
    }
}

TEST(ReadParam, AcceptsOddStxAndEchoWhenLengthAndBccAreRight) {
    FakeOpener fake;
    Bytes reply = readReply("XX", "-12.5");
    reply[0] = 'Z';
    fake.replies.push_back(reply);
    SerialLink link(0, fake);
    EXPECT_EQ(link.readParam(ReadRequest{3, 0, 5, 0}), -12.5);
    EXPECT_EQ(fake.written[0], bytesOf("\x04"
                                       "0000SL\x05"));
}

TEST(ReadParam, SucceedsOnALaterAttempt) {
    FakeOpener fake;
    fake.replies = {{}, readReply("PV", "1234."), readReply("PV", "99999")};
    SerialLink link(0, fake);
    EXPECT_EQ(link.readParam(ReadRequest{0, 0, 5, 0}), 1234.0);
    EXPECT_EQ(fake.written.size(), 2u);
}

TEST(ReadParam, ValueFieldRule) {
    const std::pair<const char*, double> cases[] = {
        {"-12.5", -12.5}, {" 25.0", 25.0}, {"1234.", 1234.0}, {"0.125", 0.125}, {"  12-", -12.0},
        {"     ", 0.0},   {"1.2.3", 1.23}, {">0002", 2.0},    {"ab9 1", 91.0},  {"-0.00", -0.0},
    };
    for (auto [field, expected] : cases) {
        EXPECT_DOUBLE_EQ(SerialLink::parseValueField(reinterpret_cast<const uint8_t*>(field)),
                         expected)
            << field;
    }
}

TEST(ReadParam, MnemonicsFromTableOrLiteralCharacters) {
    FakeOpener fake;
    SerialLink link(0, fake);
    link.readParam(ReadRequest{tervo::literalCode('p', 'v'), 0, 5, 0});
    link.readParam(ReadRequest{10, 0, 5, 0});
    link.readParam(ReadRequest{20, 0, 5, 0});
    link.readParam(ReadRequest{21, 0, 5, 0});
    ASSERT_EQ(fake.written.size(), 20u);
    EXPECT_EQ(fake.written[0], bytesOf("\x04"
                                       "0000pv\x05"));
    EXPECT_EQ(fake.written[5], bytesOf("\x04"
                                       "0000HB\x05"));
    EXPECT_EQ(fake.written[10], bytesOf("\x04"
                                        "0000Hb\x05"));
    EXPECT_EQ(fake.written[15], bytesOf("\x04"
                                        "0000Lc\x05"));
}

TEST(ReadParam, CodesNamingNoParameterNeverReachTheWire) {
    for (uint32_t code : {49u, 200u, 255u, 256u}) {
        FakeOpener fake;
        fake.replies.push_back(readReply("PV", " 25.0"));
        SerialLink link(0, fake);
        EXPECT_EQ(link.readParam(ReadRequest{code, 0, 5, 0}), std::nullopt) << code;
        EXPECT_EQ(link.writeParam(0, 5, 0, code, "1         "), 0) << code;
        EXPECT_TRUE(fake.portNames.empty()) << code;
    }
}

TEST(ReadParam, HeldPortFailsAfterFiveAttempts) {
    FakeOpener fake;
    fake.failAt = FakeOpener::kOpen;
    SerialLink link(0, fake);
    EXPECT_EQ(link.readParam(ReadRequest{0, 0, 5, 0}), std::nullopt);
    EXPECT_EQ(fake.portNames.size(), 5u);
}

TEST(Exchange, CopiesAtMost104BytesAndHandsBackTheReply) {
    FakeOpener fake;
    fake.replies.push_back(
        bytesOf("\x02"
                "abc"));
    SerialLink link(0, fake);
    const Bytes big(200, 0x55);
    auto result = link.exchange(0, LineFormat{}, big);
    EXPECT_EQ(result.status, LinkStatus::Ok);
    EXPECT_EQ(result.reply, bytesOf("\x02"
                                    "abc"));
    EXPECT_EQ(fake.written[0].size(), 104u);

    auto silent = link.exchange(0, LineFormat{}, {});
    EXPECT_EQ(silent.status, LinkStatus::NoReply);
    EXPECT_TRUE(silent.reply.empty());
    EXPECT_TRUE(fake.written[1].empty()) << "an empty send still makes the exchange";
}

// Each failing step and each kind of bad reply gives its reason; every attempt keeps its own.
TEST(LinkReasons, EachStepAndReplyHasItsReasonAndRetriesKeepTheirs) {
    using tervo::LinkReason;
    using tervo::LinkRequest;
    using R = LinkReason;
    const Bytes good = readReply("PV", " 25.0");
    Bytes badBcc = good;
    badBcc[9] ^= 1;
    const struct {
        FakeOpener::Step failAt;
        std::vector<Bytes> replies;
        bool write;
        std::vector<R> attempts;
    } cases[] = {
        {FakeOpener::kOpen, {}, false, std::vector<R>(5, R::OpenFailed)},
        {FakeOpener::kGetTimeouts, {}, false, std::vector<R>(5, R::NotSerial)},
        {FakeOpener::kGetLine, {}, true, std::vector<R>(5, R::NotSerial)},
        {FakeOpener::kSetLine, {}, false, std::vector<R>(5, R::LineSettingsRefused)},
        {FakeOpener::kNone,
         {{}, Bytes(good.begin(), good.end() - 1), badBcc, Bytes(11, 0x02), bytesOf("xy")},
         false,
         {R::NoReply, R::ReplyTooShort, R::BadBlockCheck, R::ReplyTooLong, R::Garbled}},
        {FakeOpener::kNone,
         {{}, {0x04}},
         false,
         {R::NoReply, R::Eot, R::NoReply, R::NoReply, R::NoReply}},
        {FakeOpener::kNone, {{}, {0x15}}, true, {R::NoReply, R::Nak}},
        {FakeOpener::kNone, {{0x41, 0x06}}, true, {R::Garbled}},
        {FakeOpener::kNone, {{0x06}}, true, {R::None}},
        {FakeOpener::kNone, {{}, readReply("SP", " 30.0")}, false, {R::NoReply, R::OtherParameter}},
    };
    for (const auto& c : cases) {
        FakeOpener fake;
        fake.failAt = c.failAt;
        fake.replies.assign(c.replies.begin(), c.replies.end());
        const LinkRequest request = c.write ? LinkRequest::write(0, 5, 7, 0, "1         ")
                                            : LinkRequest::read(ReadRequest{0, 0, 5, 7});
        const tervo::LinkResult result = tervo::perform(request, fake);
        std::vector<R> attempts;
        for (const tervo::ExchangeRecord& e : result.exchanges) {
            attempts.push_back(e.reason);
            EXPECT_EQ(e.address, 7);
        }
        const std::string label = "case ending " + std::string(reasonKey(c.attempts.back()));
        EXPECT_EQ(attempts, c.attempts) << label;
        EXPECT_EQ(result.reason, c.attempts.back()) << label;
        const bool taken = !tervo::isFailure(c.attempts.back());
        EXPECT_EQ(result.reasonLine().empty(), taken) << label;
        if (!c.write) {
            EXPECT_EQ(result.value.has_value(), taken) << label;
        }
    }

    // A held port names its holder; a code naming no parameter sends nothing.
    EXPECT_EQ(tervo::reasonLine(R::PortHeld, "minicom 1234"), "端口被占用（minicom 1234）");
    FakeOpener fake;
    const tervo::LinkResult unknown =
        tervo::perform(LinkRequest::read(ReadRequest{99, 0, 5, 0}), fake);
    EXPECT_EQ(unknown.reason, R::UnknownCode);
    EXPECT_TRUE(unknown.exchanges.empty());
    EXPECT_EQ(unknown.reasonLine(), "参数代码无效");
}

// A scripted minute on COM1: controller 1 answers every second in 20 ms; controller 2 answers
// for half a minute, then goes silent (70 ms each); one held-port refusal on COM2. The monitor
// counts each station, keeps the last frames, and the status line names the latest failure
// until that controller answers again.
TEST(BusMonitor, CountsAScriptedMinuteAndKeepsTheLastFrames) {
    using tervo::ExchangeRecord;
    using tervo::LinkReason;
    const int64_t t0 = 1'700'000'000'000;
    tervo::BusMonitor monitor(50);
    tervo::FailureLine status;
    const Bytes poll = bytesOf(
        "\x04"
        "0022PV\x05");
    for (int second = 0; second < 60; ++second) {
        tervo::LinkResult result;
        result.exchanges.push_back(ExchangeRecord{
            0, 1, poll, readReply("PV", " 25.0"), LinkReason::None, {}, t0 + second * 1000, 20.0});
        const bool silent = second >= 30;
        result.exchanges.push_back(ExchangeRecord{0,
                                                  2,
                                                  poll,
                                                  silent ? Bytes{} : readReply("PV", " 30.0"),
                                                  silent ? LinkReason::NoReply : LinkReason::None,
                                                  {},
                                                  t0 + second * 1000 + 500,
                                                  silent ? 70.0 : 10.0});
        monitor.observe(result);
        status.observe(result);
    }
    tervo::LinkResult held;
    held.exchanges.push_back(
        ExchangeRecord{1, 5, {}, {}, LinkReason::PortHeld, "minicom 42", t0 + 60'000, 0.5});
    monitor.observe(held);
    status.observe(held);

    const auto& s = monitor.stations();
    ASSERT_EQ(s.size(), 3u);
    const tervo::BusStation& one = s.at({0, 1});
    EXPECT_EQ(one.exchanges, 60u);
    EXPECT_EQ(one.failures, 0u);
    EXPECT_FALSE(one.lastFailureMs);
    EXPECT_DOUBLE_EQ(one.meanRoundTripMs(), 20.0);
    const tervo::BusStation& two = s.at({0, 2});
    EXPECT_EQ(two.exchanges, 60u);
    EXPECT_EQ(two.failures, 30u);
    EXPECT_EQ(two.reasons, (std::map<LinkReason, uint64_t>{{LinkReason::NoReply, 30}}));
    EXPECT_EQ(two.lastFailureMs, t0 + 59'500);
    EXPECT_EQ(two.lastFailure, LinkReason::NoReply);
    EXPECT_DOUBLE_EQ(two.lastRoundTripMs, 70.0);
    EXPECT_DOUBLE_EQ(two.meanRoundTripMs(), 40.0);
    EXPECT_DOUBLE_EQ(two.worstRoundTripMs, 70.0);
    EXPECT_EQ(s.at({1, 5}).lastHolder, "minicom 42");

    EXPECT_EQ(monitor.observed(), 121u);
    ASSERT_EQ(monitor.log().size(), 50u) << "the last frames only";
    EXPECT_EQ(monitor.log().back().port, 1);
    // Filtered to controller 2: request and reply lines, the reason on a failed reply.
    const std::string two2 = monitor.logText({0, 2});
    const std::string stamp = tervo::BusMonitor::timeText(t0 + 59'500);
    EXPECT_NE(two2.find(stamp + "  COM1  地址 2  发送  04 30 30 32 32 50 56 05  .0022PV.\n"),
              std::string::npos)
        << two2;
    EXPECT_NE(two2.find("  COM1  地址 2  接收  —  无应答\n"), std::string::npos) << two2;
    EXPECT_EQ(two2.find("地址 1"), std::string::npos);
    EXPECT_EQ(stamp.size(), 12u);
    EXPECT_EQ(stamp.substr(8), ".500");
    EXPECT_NE(monitor.logText({}).find("  COM2  地址 5  端口被占用（minicom 42）\n"),
              std::string::npos);
    tervo::BusMonitor raw;
    raw.observe(ExchangeRecord{0, -1, {0x41}, {}, LinkReason::None, {}, t0, 1.0});
    EXPECT_NE(raw.logText({}).find("  COM1  地址 —  发送  41  A\n"), std::string::npos)
        << "a raw exchange keeps the columns in line: " << raw.logText({});

    EXPECT_EQ(status.text(), "COM2 地址 5：端口被占用（minicom 42）（1 次）");
    tervo::LinkResult back;
    back.exchanges.push_back(
        ExchangeRecord{1, 5, poll, readReply("PV", " 25.0"), LinkReason::None, {}, 0, 0.0});
    status.observe(back);
    EXPECT_EQ(status.text(), "COM1 地址 2：无应答（30 次）") << "the latest still failing";
    back.exchanges[0].port = 0;
    back.exchanges[0].address = 2;
    status.observe(back);
    EXPECT_EQ(status.text(), "") << "cleared by the next good answer";
}
