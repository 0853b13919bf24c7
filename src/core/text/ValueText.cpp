#include "core/text/ValueText.h"

#include <locale.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace tervo {

namespace {

// The "C" locale for the calling thread for as long as it lives. uselocale changes only this
// thread, so other threads' texts are left alone.
class ClassicNumbers {
public:
    ClassicNumbers() : m_previous(m_classic != nullptr ? uselocale(m_classic) : nullptr) {}
    ~ClassicNumbers() {
        if (m_previous != nullptr) {
            uselocale(m_previous);
        }
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;

private:
    static inline const locale_t m_classic = newlocale(LC_ALL_MASK, "C", nullptr);
    locale_t m_previous;
};

}  // namespace

std::string formatDouble(const char* format, double value) {
    const ClassicNumbers classic;
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

double parseDouble(const char* text, char** end) {
    const ClassicNumbers classic;
    return std::strtod(text, end);
}

std::string valueText(double value) {
    return formatDouble("%0.2f", value);
}

std::string padValueText(const std::string& text) {
    return text.size() >= 10 ? text : text + std::string(10 - text.size(), ' ');
}

}  // namespace tervo
