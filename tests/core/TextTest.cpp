#include <gtest/gtest.h>

#include <cstdlib>

#include "core/link/AddressList.h"
#include "core/link/PortMap.h"
#include "core/link/SerialLink.h"
#include "core/text/Gbk.h"
#include "core/text/HexText.h"
#include "core/text/TimeText.h"
#include "core/text/ValueText.h"

using namespace tervo;
using Bytes = std::vector<uint8_t>;

TEST(HexText, PendingNibbleRule) {
    EXPECT_EQ(parseHexText("04 30 30 30 30 50 56 05"),
              (Bytes{0x04, 0x30, 0x30, 0x30, 0x30, 0x50, 0x56, 0x05}));
    EXPECT_EQ(parseHexText("4 30"), (Bytes{0x04, 0x30}));
    EXPECT_EQ(parseHexText("123"), (Bytes{0x12, 0x03}));
    EXPECT_EQ(parseHexText(""), Bytes{});
    EXPECT_EQ(parseHexText("a,Bc;;f"), (Bytes{0x0A, 0xBC, 0x0F}));
    EXPECT_EQ(parseHexText("xyz"), Bytes{});
    EXPECT_EQ(hexBytes({0x02, 0x50, 0xAF}), "02 50 AF");
    EXPECT_EQ(hexBytes({}), "");
}

TEST(Gbk, ConvertsBothWaysAndSurvivesBrokenBytes) {
    EXPECT_EQ(utf8ToGbk("测量"), "\xB2\xE2\xC1\xBF");
    EXPECT_EQ(gbkToUtf8("\xB2\xE2\xC1\xBF"), "测量");
    EXPECT_EQ(gbkToUtf8("ab\xB2"), "ab\xEF\xBF\xBD") << "a character cut at the end";
    EXPECT_EQ(gbkToUtf8("\xB2\xE2x\xFFy"), "测x\xEF\xBF\xBDy");
    EXPECT_EQ(utf8ToGbk("a\xF0\x9F\x98\x80"
                        "b"),
              "a?b")
        << "one mark per character";
}

TEST(Gbk, PrintableUtf8KeepsWellFormedTextAndEscapesTheRest) {
    EXPECT_EQ(printableUtf8("记录/r.alt"), "记录/r.alt");
    EXPECT_EQ(printableUtf8("\xFF\xFE.alt"), "\\xFF\\xFE.alt");
    EXPECT_EQ(printableUtf8("a\xF0\x9F\x98\x80!"), "a\xF0\x9F\x98\x80!") << "four bytes";
    EXPECT_EQ(printableUtf8("\xB2\xE2.alt"), "\\xB2\\xE2.alt") << "a GBK name";
    EXPECT_EQ(printableUtf8("\xE6\xB5"), "\\xE6\\xB5") << "a character cut short";
    EXPECT_EQ(printableUtf8("\xC0\xAF"), "\\xC0\\xAF") << "an overlong '/'";
    EXPECT_EQ(printableUtf8("\xED\xA0\x80"), "\\xED\\xA0\\x80") << "a surrogate";
    EXPECT_EQ(printableUtf8("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80") << "above U+10FFFF";
    EXPECT_EQ(printableUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(ValueText, FormsOfValues) {
    EXPECT_EQ(valueText(25.0), "25.00");
    EXPECT_EQ(valueText(-12.345), "-12.35");
    // Whole, however long: 1e300 has 301 digits before the point.
    const std::string huge = valueText(1e300);
    EXPECT_EQ(huge.size(), 304u);
    EXPECT_EQ(huge.substr(0, 5), "10000");
    EXPECT_EQ(huge.substr(301), ".00");
    EXPECT_EQ(formatDouble("%f", -1.5e308).size(), 317u);
    EXPECT_EQ(padValueText("100.0"), "100.0     ");
    EXPECT_EQ(padValueText("12345678901"), "12345678901");
}

TEST(TimeText, LocalTimeStamp) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(timeStampText(1078414200), "2004/03/04 15:30:00");
}

TEST(AddressList, RangesAndLists) {
    std::vector<int> a;
    EXPECT_TRUE(parseAddressList("0-3", a));
    EXPECT_EQ(a, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(parseAddressList("5,2,5,0-1", a));
    EXPECT_EQ(a, (std::vector<int>{5, 2, 0, 1}));
    for (const char* bad : {"", "3-1", "100", "-1", "1,", "a", "1-", "0-99x"}) {
        EXPECT_FALSE(parseAddressList(bad, a)) << bad;
    }
}

TEST(PortMap, NamesDefaultsAndOverrides) {
    EXPECT_EQ(portName(0), "COM1");
    EXPECT_EQ(portIndexOfName("COM6"), 5);
    EXPECT_EQ(portIndexOfName("COM7"), -1);
    EXPECT_EQ(portIndexOfName("com1"), -1);
    unsetenv("TERVO_COM2");
    EXPECT_EQ(portPath(1), "/dev/ttyUSB1");
    setPortPath(1, "/dev/serial/by-id/usb-adapter");
    EXPECT_EQ(portPath(1), "/dev/serial/by-id/usb-adapter");
    setenv("TERVO_COM2", "/tmp/bus", 1);
    EXPECT_EQ(portPath(1), "/tmp/bus") << "the environment wins";
    unsetenv("TERVO_COM2");
    setPortPath(1, "");
    EXPECT_EQ(portPath(1), "/dev/ttyUSB1");
    EXPECT_EQ(baudOfIndex(5), 9600u);
    EXPECT_EQ(baudIndexOf(19200), 6);
    EXPECT_EQ(baudIndexOf(115200), -1);
    EXPECT_STREQ(baudText(0), "300");
}
