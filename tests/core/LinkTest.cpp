#include <gtest/gtest.h>

#include "link/ParameterTable.h"
#include "link/SerialLink.h"
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
