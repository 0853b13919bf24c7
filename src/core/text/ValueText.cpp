#include "text/ValueText.h"

#include <cstdio>

namespace tervo {

std::string valueText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%0.2f", value);
    return text;
}

std::string padValueText(const std::string& text) {
    return text.size() >= 10 ? text : text + std::string(10 - text.size(), ' ');
}

}  // namespace tervo
