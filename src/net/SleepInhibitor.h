#pragma once

#include <string>

namespace tervo::net {

// Holds a systemd-logind sleep inhibitor ("Tervo is recording") for as long as the object
// lives; where there is no logind (or no system bus) it holds nothing and says nothing.
class SleepInhibitor {
public:
    SleepInhibitor();
    ~SleepInhibitor();
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

inline constexpr const char* kInhibitWho = "Tervo";
inline constexpr const char* kInhibitWhy = "Tervo is recording";

}  // namespace tervo::net
