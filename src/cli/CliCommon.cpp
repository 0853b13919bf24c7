#include "cli/CliCommon.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "core/text/ValueText.h"

namespace tervo::cli {

volatile std::sig_atomic_t g_stopRequested = 0;

namespace {

void requestStop(int) {
    g_stopRequested = 1;
}

}  // namespace

StopSignals::StopSignals() {
    g_stopRequested = 0;
    m_int = std::signal(SIGINT, requestStop);
    m_term = std::signal(SIGTERM, requestStop);
}

StopSignals::~StopSignals() {
    std::signal(SIGINT, m_int);
    std::signal(SIGTERM, m_term);
}

std::string ReasonCounts::line() const {
    std::string text;
    for (const auto& [reason, count] : m_counts) {
        text += (text.empty() ? TERVO_TR("cli", "失败次数：") : TERVO_TR("cli", "，")) +
                translated("core", reasonText(reason)) + " " + std::to_string(count);
    }
    return text;
}

std::string filled(std::string form, std::initializer_list<std::string> values) {
    std::string text;
    for (size_t i = 0; i < form.size(); ++i) {
        const size_t n = i + 1 < form.size() && form[i] == '%'
                             ? static_cast<size_t>(form[i + 1] - '1')
                             : values.size();
        if (n < values.size()) {
            text += values.begin()[n];
            ++i;
        } else {
            text += form[i];
        }
    }
    return text;
}

Options parseOptions(const std::vector<std::string>& arguments, size_t from,
                     const std::vector<std::string>& allowed,
                     const std::vector<std::string>& switches) {
    Options options;
    for (size_t i = from; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (std::find(switches.begin(), switches.end(), a) != switches.end()) {
            options.switches.insert(a);
        } else if (a.size() > 2 && a.rfind("--", 0) == 0) {
            if (std::find(allowed.begin(), allowed.end(), a) == allowed.end()) {
                throw UsageError("unknown option " + a);
            }
            if (i + 1 >= arguments.size()) {
                throw UsageError("missing value after " + a);
            }
            options.flags[a] = arguments[++i];
        } else {
            options.positional.push_back(a);
        }
    }
    return options;
}

int parseInt(const std::string& text, const std::string& what) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        throw UsageError("bad " + what + ": " + text);
    }
    return value;
}

double parseSeconds(const std::string& text, const std::string& what) {
    char* end = nullptr;
    const double value = parseDouble(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0.0) || value > 1e9) {
        throw UsageError("bad " + what + ": " + text);
    }
    return value;
}

}  // namespace tervo::cli
