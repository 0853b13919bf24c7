#include <gtest/gtest.h>

#include "support/TestLocale.h"

namespace {

// Puts the process into TERVO_TEST_LOCALE before any test runs; a failure here fails the run.
class TestLocaleEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string error = tervo::testing::applyTestLocale();
        ASSERT_TRUE(error.empty()) << error;
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new TestLocaleEnvironment);

}  // namespace
