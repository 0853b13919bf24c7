#include "text/Gbk.h"

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

}  // namespace tervo
