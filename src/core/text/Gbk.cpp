#include "core/text/Gbk.h"

#include <iconv.h>

#include <cerrno>

namespace tervo {

namespace {

std::string convert(std::string_view in, const char* to, const char* from,
                    std::string_view replacement, bool skipContinuation) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(in);
    }
    out.reserve(in.size() * 3 / 2 + 4);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[256];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // An invalid or truncated sequence: mark it and go on after its first byte.
            out.append(replacement);
            do {
                ++src;
                --srcLeft;
            } while (skipContinuation && srcLeft > 0 &&
                     (static_cast<unsigned char>(*src) & 0xC0) == 0x80);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    return convert(gbk, "UTF-8", "GBK", "\xEF\xBF\xBD", false);
}

std::string utf8ToGbk(std::string_view utf8) {
    return convert(utf8, "GBK", "UTF-8", "?", true);
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none
// (a stray continuation byte, an overlong form, a surrogate, a code point above U+10FFFF or
// a sequence cut short).
size_t sequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80;  // the second byte's range, which rules out the bad forms
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string printableUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        size_t length = sequenceLength(text);
        if (length == 0) {
            static const char kDigits[] = "0123456789ABCDEF";
            const auto b = static_cast<unsigned char>(text[0]);
            out += "\\x";
            out += kDigits[b >> 4];
            out += kDigits[b & 15];
            length = 1;
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace tervo
