#include "core/text/TimeText.h"

#include <cstdio>

namespace tervo {

std::string timeStampText(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return timeStampText(local);
}

std::string timeStampText(const std::tm& local) {
    char text[64];
    std::snprintf(text, sizeof text, "20%02d/%02d/%02d %02d:%02d:%02d", local.tm_year % 100,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string fileStampText(const std::tm& local) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", local.tm_year % 100,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace tervo
