#pragma once

#include <iconv.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// File bytes written and read by hand, little-endian, so the end-to-end tests check the
// layouts on disk independently of the readers and writers under test.
namespace tervo::testing {

// `utf8` in GBK, as the files hold their texts.
inline std::string gbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

struct ByteWriter {
    std::vector<uint8_t> b;
    void raw(const void* p, size_t n) {
        b.insert(b.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    }
    void le(uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void i32(int32_t v) { le(static_cast<uint32_t>(v), 4); }
    void f64(double v) { le(std::bit_cast<uint64_t>(v), 8); }
    // `s` in a field of `field` bytes, padded with zeros.
    void text(const std::string& s, size_t field) {
        std::string padded = s;
        padded.resize(field, '\0');
        raw(padded.data(), field);
    }
};

// The head of a work template as the end-to-end tests use it: the title, values 0..100, a
// one-second sampling period, a display period of 360 and the five colours.
inline void writeWorkHead(ByteWriter& o) {
    o.raw(gbk("Quorvex5工作模板").data(), 16);
    o.f64(0.0);
    o.f64(100.0);
    o.i32(1);
    o.i32(360);
    for (uint32_t c : {0xFFFFD1u, 0xC6C8FFu, 0x8C8AFFu, 0xFFC8C6u, 0xFF9C9Fu}) {
        o.le(c, 4);
    }
}

// The twenty channel styles (black, width 1), then the channel and event counts.
inline void writeStylesAndCounts(ByteWriter& o, int channels, int events) {
    for (int i = 0; i < 20; ++i) {
        o.le(0, 4);
        o.i32(1);
    }
    o.i32(channels);
    o.i32(events);
}

// A channel record reading parameter `code` of controller `address` on COM1 at 9600 baud,
// coefficient 1, offset 0.
inline void writeComOneChannel(ByteWriter& o, const std::string& utf8Name, int code, int address) {
    o.text(gbk(utf8Name), 12);
    o.i32(code);
    o.b.push_back(0);  // COM1
    o.b.push_back(5);  // 9600
    o.b.push_back(static_cast<uint8_t>(address));
    o.raw("\0\0\0\0\0", 5);
    o.f64(1.0);
    o.f64(0.0);
    o.b.push_back(0);
    o.text("", 50);
    o.raw("\0\0\0\0\0", 5);
}

struct ByteReader {
    const std::vector<uint8_t>& b;
    size_t at = 0;
    uint64_t le(int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            v |= uint64_t{b.at(at++)} << (8 * i);
        }
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(le(4)); }
    double f64() { return std::bit_cast<double>(le(8)); }
};

}  // namespace tervo::testing
