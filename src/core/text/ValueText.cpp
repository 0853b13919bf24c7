#include "text/ValueText.h"

#include <cstdio>

namespace tervo {

std::string formatDouble(const char* format, double value) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, format, value);
    if (length < 0) {
        return std::string();
    }
    if (static_cast<size_t>(length) < sizeof text) {
        return std::string(text, static_cast<size_t>(length));
    }
    std::string whole(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(whole.data(), whole.size(), format, value);
    whole.resize(static_cast<size_t>(length));
    return whole;
}

std::string valueText(double value) {
    return formatDouble("%0.2f", value);
}

std::string padValueText(const std::string& text) {
    return text.size() >= 10 ? text : text + std::string(10 - text.size(), ' ');
}

}  // namespace tervo
