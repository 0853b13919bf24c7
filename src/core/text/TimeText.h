#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tervo {

// "20YY/MM/DD hh:mm:ss" from calendar seconds, in local time. The century is written as "20"
// whatever the year, as every time stamp of the system is.
std::string timeStampText(int64_t seconds);
std::string timeStampText(const std::tm& local);

// "YYMMDDhhmmss", the digits of a proposed file name.
std::string fileStampText(const std::tm& local);

}  // namespace tervo
