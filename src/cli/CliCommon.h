#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tervo::cli {

inline constexpr const char* kCommError = "通信错误！！！";
inline constexpr const char* kFileError = "文件错误！！！";

struct Options {
    std::map<std::string, std::string> flags;
    std::set<std::string> switches;  // options without a value, such as --force
    std::vector<std::string> positional;
};

// A command line that cannot be carried out; the message goes out with the usage text.
class UsageError {
public:
    explicit UsageError(std::string message) : m_message(std::move(message)) {}
    const std::string& message() const { return m_message; }

private:
    std::string m_message;
};

Options parseOptions(const std::vector<std::string>& arguments, size_t from,
                     const std::vector<std::string>& allowed,
                     const std::vector<std::string>& switches = {});
int parseInt(const std::string& text, const std::string& what);
// A non-negative number of seconds, fractions allowed.
double parseSeconds(const std::string& text, const std::string& what);

}  // namespace tervo::cli
