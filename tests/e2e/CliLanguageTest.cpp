// tervo-cli in English (--lang en, TERVO_LANG=en): its own texts and core's come from the table
// built out of i18n/tervo_en.ts; without either every text stays the Chinese one, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "cli/TranslationTable.h"
#include "support/Process.h"
#include "support/RawPty.h"

using tervo::testing::Child;
using tervo::testing::run;
using tervo::testing::RunResult;
using tervo::testing::TempDir;

namespace {

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

// qt570-emu with controllers 0..3, 3 silent, linked as COM1.
class CliInEnglish : public ::testing::Test {
protected:
    void SetUp() override {
        m_emu = std::make_unique<Child>(
            std::vector<std::string>{QT570_EMU, "--link", m_dir / "com1", "--addresses", "0-3",
                                     "--speed", "60", "--fault", "3:silent"},
            m_dir.path());
        ASSERT_TRUE(m_emu->started());
        ASSERT_TRUE(m_emu->waitForOutput("qt570-emu: controllers")) << m_emu->err();
        setenv("TERVO_COM1", (m_dir / "com1").c_str(), 1);
        unsetenv("TERVO_LANG");
    }
    void TearDown() override {
        unsetenv("TERVO_COM1");
        unsetenv("TERVO_LANG");
    }
    RunResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), TERVO_CLI);
        return run(args, m_dir.path());
    }

    TempDir m_dir;
    std::unique_ptr<Child> m_emu;
};

}  // namespace

TEST_F(CliInEnglish, EnglishOnRequestChineseByDefault) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string chineseErr;
        std::string englishErr;
    };
    const Case cases[] = {
        {{"read", "--port", "COM9", "PV"},
         2,
         "tervo-cli: bad port (COM1..COM6): COM9\n用法：tervo-cli --help\n",
         "tervo-cli: bad port (COM1..COM6): COM9\nUsage: tervo-cli --help\n"},
        {{"write", "hb", "5"},
         2,
         "未知参数：hb（`tervo-cli params` 列出全部）\n是否指 HB 或 Hb？\n",
         "Unknown parameter: hb (`tervo-cli params` lists them all)\nDid you mean HB or Hb?\n"},
        {{"read", "--addr", "3", "PV"},
         1,
         "PV 通信错误！！！（无应答）\n",
         "PV Communication error! (no reply)\n"},
        {{"write", "--addr", "2", "PV", "-12.5"}, 1, "修改失败！！！\n", "Change failed!\n"},
        {{"search", "--addr", "3"}, 1, "失败次数：无应答 1\n", "Failures: no reply 1\n"},
    };
    for (const Case& c : cases) {
        const RunResult zh = cli(c.args);
        EXPECT_EQ(zh.status, c.status) << c.args[0];
        EXPECT_EQ(zh.err, c.chineseErr);
        std::vector<std::string> english = c.args;
        english.insert(english.begin(), {"--lang", "en"});
        const RunResult en = cli(english);
        EXPECT_EQ(en.status, c.status) << c.args[0];
        EXPECT_EQ(en.err, c.englishErr);
        EXPECT_TRUE(isAscii(en.out)) << en.out;
    }
    // core's texts too: the search's closing line and the parameter table's labels.
    const RunResult search = cli({"search", "--addr", "3", "--lang", "en"});
    EXPECT_FALSE(search.out.empty());
    EXPECT_TRUE(isAscii(search.out)) << search.out;
    const RunResult params = cli({"params", "--lang", "en"});
    EXPECT_EQ(std::count(params.out.begin(), params.out.end(), '\n'), 49);
    EXPECT_TRUE(isAscii(params.out)) << params.out;
}

TEST_F(CliInEnglish, TheOptionOverTheEnvironmentAndUnknownCodesPassedOver) {
    const std::vector<std::string> silent = {"read", "--addr", "3", "PV"};
    setenv("TERVO_LANG", "en_GB.UTF-8", 1);
    EXPECT_EQ(cli(silent).err, "PV Communication error! (no reply)\n");
    std::vector<std::string> args = silent;
    args.insert(args.end(), {"--lang", "zh"});
    EXPECT_EQ(cli(args).err, "PV 通信错误！！！（无应答）\n");
    setenv("TERVO_LANG", "fr", 1);
    args = silent;
    args.insert(args.begin(), {"--lang", "xx"});
    EXPECT_EQ(cli(args).err,
              "tervo-cli: no interface language \"xx\" (zh or en); passed over\n"
              "tervo-cli: no interface language \"fr\" (zh or en); passed over\n"
              "PV 通信错误！！！（无应答）\n");
}

// The generated table: sorted, so every entry is found; XML entities read back; an unknown
// text has none.
TEST(CliTranslationTable, EveryEntryIsFoundAndEntitiesAreRead) {
    using namespace tervo::cli;
    ASSERT_GT(kEnglishTextsCount, 600u);
    for (size_t i = 0; i < kEnglishTextsCount; ++i) {
        const TranslationEntry& e = kEnglishTexts[i];
        ASSERT_EQ(englishText(e.context, e.source), e.translation) << e.context << " " << e.source;
    }
    EXPECT_STREQ(englishText("core", "须为一个对象 {\"version\": 1, \"channels\": [...]}"),
                 "must be an object {\"version\": 1, \"channels\": [...]}");
    EXPECT_STREQ(englishText("cli", "\n是否指 "), "\nDid you mean ");
    EXPECT_EQ(englishText("cli", "没有这句话"), nullptr);
    EXPECT_EQ(englishText("gui", "无应答"), nullptr) << "a text is looked up in its context";
    EXPECT_EQ(translateEnglish("cli", "没有这句话"), "没有这句话");

    const std::pair<const char*, std::optional<CliLanguage>> codes[] = {
        {"en", CliLanguage::English},
        {"EN_us.UTF-8", CliLanguage::English},
        {"zh_CN", CliLanguage::Chinese},
        {"de", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [code, language] : codes) {
        EXPECT_EQ(cliLanguageFromCode(code), language) << code;
    }
}
