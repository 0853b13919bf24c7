#include "cli/TranslationTable.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tervo::cli {

std::optional<CliLanguage> cliLanguageFromCode(std::string_view code) {
    while (!code.empty() && std::isspace(static_cast<unsigned char>(code.front()))) {
        code.remove_prefix(1);
    }
    std::string base(code.substr(0, code.find_first_of("._@ \t")));
    for (char& c : base) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (base == "zh") {
        return CliLanguage::Chinese;
    }
    if (base == "en") {
        return CliLanguage::English;
    }
    return std::nullopt;
}

const char* englishText(const char* context, const char* source) {
    if (context == nullptr || source == nullptr) {
        return nullptr;
    }
    const TranslationEntry* begin = kEnglishTexts;
    const TranslationEntry* end = kEnglishTexts + kEnglishTextsCount;
    // Sorted by bytes (unsigned), as strcmp compares.
    const auto less = [](const TranslationEntry& e, std::pair<const char*, const char*> key) {
        const int c = std::strcmp(e.context, key.first);
        return c < 0 || (c == 0 && std::strcmp(e.source, key.second) < 0);
    };
    const TranslationEntry* found = std::lower_bound(begin, end, std::pair(context, source), less);
    if (found == end || std::strcmp(found->context, context) != 0 ||
        std::strcmp(found->source, source) != 0) {
        return nullptr;
    }
    return found->translation;
}

std::string translateEnglish(const char* context, const char* source) {
    const char* english = englishText(context, source);
    return english != nullptr ? english : source != nullptr ? source : "";
}

}  // namespace tervo::cli
