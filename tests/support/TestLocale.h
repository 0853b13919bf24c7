#pragma once

#include <clocale>
#include <cstdlib>
#include <string>

namespace tervo::testing {

// The number tests run a second time with TERVO_TEST_LOCALE naming a locale that writes a
// decimal comma (de_DE.UTF-8, which scripts/bootstrap generates). The process then takes that
// locale, as a GUI process takes the user's; a locale that cannot be set, or that does not
// write a comma after all, is an error: a comma run that silently ran in "C" proves nothing.
// Returns the error, or an empty string.
inline std::string applyTestLocale() {
    const char* name = std::getenv("TERVO_TEST_LOCALE");
    if (name == nullptr || *name == '\0') {
        return {};
    }
    if (std::setlocale(LC_ALL, name) == nullptr) {
        return std::string("the locale ") + name + " is not installed (run scripts/bootstrap)";
    }
    if (std::string(std::localeconv()->decimal_point) != ",") {
        return std::string("the locale ") + name + " does not write a decimal comma";
    }
    return {};
}

}  // namespace tervo::testing
