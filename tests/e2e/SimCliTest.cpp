#include <gtest/gtest.h>

#include "core/sim/SimTemplate.h"
#include "support/Process.h"
#include "support/RawPty.h"

using tervo::testing::Child;
using tervo::testing::run;
using tervo::testing::RunResult;
using tervo::testing::TempDir;
using tervo::testing::waitForPath;

namespace {

RunResult cli(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), TERVO_CLI);
    return run(args, dir.path());
}

}  // namespace

// qt570-emu with controllers 0..3 at 9600 as COM1, controller 3 silent.
TEST(SimCli, SearchPrintsTheDialogsLines) {
    TempDir dir;
    Child emu({QT570_EMU, "--link", dir / "com1", "--addresses", "0-3", "--fault", "3:silent"},
              dir.path());
    ASSERT_TRUE(emu.started());
    ASSERT_TRUE(waitForPath(dir / "com1"));
    setenv("TERVO_COM1", (dir / "com1").c_str(), 1);

    // Every rate for address 2: only 9600 is heard.
    RunResult r = cli(dir, {"search", "--port", "COM1", "--baud", "auto", "--addr", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "串口： COM1 , 波特率： 9600 , 仪表地址： 2\n搜索完毕！！！\n");

    r = cli(dir, {"search", "--addr", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "搜索完毕！！！\n");

    r = cli(dir, {"search", "--addr", "100"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "仪表地址设置错误！！！\n");
    r = cli(dir, {"search", "--port", "COM9"});
    EXPECT_EQ(r.status, 2);
    unsetenv("TERVO_COM1");
}

TEST(SimCli, DumpListsTheTemplatesPanels) {
    TempDir dir;
    tervo::SimTemplate t;
    t.addInstrument({0, 5, 7});
    t.addInstrument({1, 6, 12});
    t.panel(1).x = -20;
    ASSERT_EQ(t.save(dir / "wall.sim"), tervo::SimStatus::Ok);
    RunResult r = cli(dir, {"dump", dir / "wall.sim"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "仪表模板 " + (dir / "wall.sim").string() +
                         "\n仪表 2 台\n"
                         "  1  x 0  y 0  COM1  9600 bps  地址 7\n"
                         "  2  x -20  y 0  COM2  19200 bps  地址 12\n");

    std::vector<uint8_t> bytes = t.bytes();
    bytes.push_back(0);
    FILE* f = std::fopen((dir / "long.sim").c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    r = cli(dir, {"dump", dir / "long.sim"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "文件错误！！！\n");
}
