#include "emu/ValueField.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "core/text/ValueText.h"

namespace tervo::emu {

std::string formatValueField(double value) {
    if (!std::isfinite(value)) {
        value = 0.0;
    }
    value = std::clamp(value, -9999.0, 99999.0);
    for (const char* format : {"%.3f", "%.2f", "%.1f"}) {
        std::string s = formatDouble(format, value);
        if (s.size() > 5) {
            continue;
        }
        while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') {
            s.pop_back();
        }
        if (s == "-0.0") {
            s = "0.0";
        }
        return std::string(5 - s.size(), ' ') + s;
    }
    const std::string whole = formatDouble("%.0f", value) + ".";
    if (whole.size() <= 5) {
        return std::string(5 - whole.size(), ' ') + whole;
    }
    return formatDouble("%5.0f", value).substr(0, 5);
}

bool parseWrittenValue(const std::string& field, bool statusParameter, double& value) {
    size_t i = 0;
    while (i < field.size() && field[i] == ' ') {
        ++i;
    }
    size_t end = field.size();
    while (end > i && field[end - 1] == ' ') {
        --end;
    }
    std::string_view body(field.data() + i, end - i);
    if (statusParameter && !body.empty() && body.front() == '>') {
        body.remove_prefix(1);
        if (body.empty()) {
            return false;
        }
        int status = 0;
        for (char c : body) {
            if (c < '0' || c > '9') {
                return false;
            }
            status = status * 10 + (c - '0');
        }
        value = status;
        return true;
    }
    bool negative = false;
    if (!body.empty() && body.front() == '-') {
        negative = true;
        body.remove_prefix(1);
    }
    bool point = false;
    int digits = 0;
    double result = 0.0;
    double weight = 0.1;
    for (char c : body) {
        if (c == '.') {
            if (point) {
                return false;
            }
            point = true;
        } else if (c >= '0' && c <= '9') {
            ++digits;
            if (point) {
                result += (c - '0') * weight;
                weight /= 10.0;
            } else {
                result = result * 10.0 + (c - '0');
            }
        } else {
            return false;
        }
    }
    if (digits == 0) {
        return false;
    }
    value = negative ? -result : result;
    return true;
}

std::string formatStatusField(int status) {
    char text[16];
    std::snprintf(text, sizeof text, ">%04d", std::clamp(status, 0, 9999));
    return text;
}

}  // namespace tervo::emu
