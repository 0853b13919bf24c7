#include "core/text/HexText.h"

namespace tervo {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::vector<uint8_t> parseHexText(std::string_view text) {
    std::vector<uint8_t> bytes;
    bool pending = false;
    int kept = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            if (pending) {
                bytes.push_back(static_cast<uint8_t>(kept));
            }
            pending = false;
        } else if (pending) {
            bytes.push_back(static_cast<uint8_t>(kept * 16 + digit));
            pending = false;
        } else {
            kept = digit;
            pending = true;
        }
    }
    if (pending) {
        bytes.push_back(static_cast<uint8_t>(kept));
    }
    return bytes;
}

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

}  // namespace tervo
