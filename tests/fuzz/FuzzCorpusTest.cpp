// Feeds every seed and every input that ever broke a reader to its target, so the ordinary
// suite (plain and sanitized) keeps them all refused or read soundly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/FuzzTargets.h"

namespace fs = std::filesystem;

TEST(FuzzCorpus, EveryTargetTakesEveryFileOfItsCorpus) {
    for (const tervo::fuzz::FuzzTarget& target : tervo::fuzz::kFuzzTargets) {
        const fs::path folder = fs::path(TERVO_FUZZ_CORPUS) / target.name;
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        int files = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
            SCOPED_TRACE(entry.path().string());
            target.run(bytes.data(), bytes.size());
            ++files;
        }
        EXPECT_GT(files, 0) << target.name << " has no corpus";
    }
}
