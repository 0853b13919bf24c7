#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The CLI's interface languages without Qt: i18n/tervo_en.ts is compiled at build time
// (tools/TsTable.cpp) into a table sorted by (context, source), and English installs its lookup
// as core's translate function (core/text/Translation.h).

namespace tervo::cli {

struct TranslationEntry {
    const char* context;
    const char* source;
    const char* translation;
};

// Generated from i18n/tervo_en.ts.
extern const TranslationEntry kEnglishTexts[];
extern const size_t kEnglishTextsCount;

enum class CliLanguage { Chinese, English };

// "zh", "en", "en_GB.UTF-8"...; nullopt for any other code.
std::optional<CliLanguage> cliLanguageFromCode(std::string_view code);

// The English text of (context, source), or nullptr when the table has none.
const char* englishText(const char* context, const char* source);

// The translate function English installs: the table's text, else the text as written.
std::string translateEnglish(const char* context, const char* source);

}  // namespace tervo::cli
