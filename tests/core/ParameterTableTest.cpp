#include <gtest/gtest.h>

#include "core/link/ParameterTable.h"
#include "core/text/Gbk.h"

using namespace tervo;

TEST(ParameterTable, FortyNineEntriesInTableOrder) {
    EXPECT_EQ(parameterMnemonic(0), "PV");
    EXPECT_EQ(parameterMnemonic(48), "t8");
    EXPECT_EQ(parameterLabelUtf8(0), "PV 测量值（只读）");
    EXPECT_EQ(parameterLabelUtf8(48), "t8 平台8的运行时间");
    EXPECT_EQ(parameterLabelUtf8(1), "OP 输出功率（只读）");
    EXPECT_EQ(parameterLabelUtf8(2), "SP 运行目标值（只读）");
    int readOnly = 0;
    for (int i = 0; i < kParameterCount; ++i) {
        const std::string_view d = parameterLabelUtf8(i);
        EXPECT_EQ(d[2], ' ') << i;
        if (d.ends_with("（只读）")) {
            ++readOnly;
        }
        // Each label matches its mnemonic but for the two rows whose case differs.
        if (i != 10 && i != 21) {
            EXPECT_EQ(d.substr(0, 2), parameterMnemonic(i)) << i;
        }
    }
    EXPECT_EQ(readOnly, 3);
}

TEST(ParameterTable, EachArrayKeepsItsOwnCase) {
    EXPECT_EQ(parameterMnemonic(10), "HB");
    EXPECT_EQ(parameterLabelUtf8(10), "Hb PID上分离带");
    EXPECT_EQ(parameterMnemonic(20), "Hb");
    EXPECT_EQ(parameterLabelUtf8(20), "Hb 自动暂停带");
    EXPECT_EQ(parameterMnemonic(21), "Lc");
    EXPECT_EQ(parameterLabelUtf8(21), "LC 曲线程序循环次数");
    EXPECT_EQ(parameterIndexOfMnemonic("HB"), 10);
    EXPECT_EQ(parameterIndexOfMnemonic("Hb"), 20);
    EXPECT_EQ(parameterIndexOfMnemonic("LC"), -1);
    EXPECT_EQ(parameterIndexOfMnemonic("pv"), -1);
    EXPECT_EQ(parameterIndexOfMnemonic("OS"), kOS);
}

TEST(ParameterTable, LabelsAsGbkBytes) {
    const std::string& pv = parameterLabelGbk(0);
    // "PV " then 测 (B2 E2) 量 (C1 BF) 值 (D6 B5) and the full-width brackets.
    EXPECT_EQ(pv.substr(0, 9), std::string("PV \xB2\xE2\xC1\xBF\xD6\xB5"));
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(gbkToUtf8(parameterLabelGbk(i)), parameterLabelUtf8(i)) << i;
    }
}

TEST(ParameterTable, SegmentIndices) {
    EXPECT_EQ(segmentRampIndex(1), 25);
    EXPECT_EQ(segmentLevelIndex(1), 26);
    EXPECT_EQ(segmentDwellIndex(1), 27);
    EXPECT_EQ(segmentDwellIndex(8), 48);
    for (int n = 1; n <= 8; ++n) {
        const char digit = static_cast<char>('0' + n);
        EXPECT_EQ(parameterMnemonic(segmentRampIndex(n)), std::string({'r', digit}));
        EXPECT_EQ(parameterMnemonic(segmentLevelIndex(n)), std::string({'l', digit}));
        EXPECT_EQ(parameterMnemonic(segmentDwellIndex(n)), std::string({'t', digit}));
    }
}

TEST(ParameterTable, CodesAndTheirDisplay) {
    EXPECT_EQ(literalCode('p', 'v'), 'p' + 256u * 'v');
    EXPECT_EQ(mnemonicOfCode(literalCode('p', 'v')), "pv");
    EXPECT_EQ(mnemonicOfCode(3), "SL");
    EXPECT_EQ(mnemonicOfCode(49), "");
    EXPECT_EQ(mnemonicOfCode(256), "");
    EXPECT_FALSE(isValidParameterCode(100));
    EXPECT_TRUE(isValidParameterCode(257));
    EXPECT_EQ(parameterCodeDisplayUtf8(literalCode('Z', 'q')), "Zq");
    EXPECT_EQ(parameterCodeDisplayUtf8(3), "SL 基本设定值");
    EXPECT_EQ(parameterCodeDisplayUtf8(100), "?100") << "never read past the table";
}
