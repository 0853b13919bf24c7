#pragma once

#include <csignal>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/link/LinkReason.h"
#include "core/text/Translation.h"

namespace tervo::cli {

// Shown through translated("cli", ...).
inline constexpr const char* kCommError = TERVO_TR_NOOP("cli", "通信错误！！！");
inline constexpr const char* kFileError = TERVO_TR_NOOP("cli", "文件错误！！！");

struct Options {
    std::map<std::string, std::string> flags;
    std::set<std::string> switches;  // options without a value, such as --force
    std::vector<std::string> positional;
};

inline constexpr const char* kUsageHint = TERVO_TR_NOOP("cli", "用法：tervo-cli --help");

// A command line that cannot be carried out (exit 2). The message goes out on one line with
// kUsageHint below it; a plain one (an unknown parameter) goes out as it stands.
class UsageError {
public:
    explicit UsageError(std::string message, bool plain = false)
        : m_message(std::move(message)), m_plain(plain) {}
    const std::string& message() const { return m_message; }
    bool plain() const { return m_plain; }

private:
    std::string m_message;
    bool m_plain;
};

// Set by Ctrl-C or a polite kill while a StopSignals lives.
extern volatile std::sig_atomic_t g_stopRequested;

// Lets Ctrl-C (and a polite kill) end a long command between two exchanges; the old handlers
// come back when it ends.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();

private:
    void (*m_int)(int);
    void (*m_term)(int);
};

// Failures counted by reason: "失败次数：无应答 6，校验错误 2" (empty when none failed).
class ReasonCounts {
public:
    void add(LinkReason reason) {
        if (isFailure(reason)) {
            ++m_counts[reason];
        }
    }
    bool empty() const { return m_counts.empty(); }
    std::string line() const;

private:
    std::map<LinkReason, uint64_t> m_counts;
};

// A translated form with %1, %2... replaced by values in turn: filled(TERVO_TR("cli", "行：%1"),
// {n}).
std::string filled(std::string form, std::initializer_list<std::string> values);

Options parseOptions(const std::vector<std::string>& arguments, size_t from,
                     const std::vector<std::string>& allowed,
                     const std::vector<std::string>& switches = {});
int parseInt(const std::string& text, const std::string& what);
// A non-negative number of seconds, fractions allowed.
double parseSeconds(const std::string& text, const std::string& what);

}  // namespace tervo::cli
