#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tervo {

// Little-endian reading and writing of fixed layouts, one field at a time. The byte order is
// fixed by the type: every multi-byte value in Tervo's files is little-endian.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : m_out(out) {}

    void u8(uint8_t v) { m_out.push_back(v); }
    void u32(uint32_t v) {
        uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
        m_out.insert(m_out.end(), b, b + 4);
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f64(double v) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        u32(static_cast<uint32_t>(bits));
        u32(static_cast<uint32_t>(bits >> 32));
    }
    void bytes(const void* data, size_t length) {
        if (length == 0) {
            return;  // `data` may be null
        }
        const auto* p = static_cast<const uint8_t*>(data);
        m_out.insert(m_out.end(), p, p + length);
    }
    // A run of doubles, as stored in memory row after row.
    void f64s(const double* values, size_t count) {
        if constexpr (std::endian::native == std::endian::little) {
            bytes(values, count * sizeof(double));
        } else {
            for (size_t i = 0; i < count; ++i) {
                f64(values[i]);
            }
        }
    }

private:
    std::vector<uint8_t>& m_out;
};

// Reads from a buffer; every read past the end fails and leaves the reader failed, so a
// layout can be read straight through and checked once.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit ByteReader(const std::vector<uint8_t>& data) : ByteReader(data.data(), data.size()) {}

    bool ok() const { return m_ok; }
    size_t position() const { return m_pos; }
    size_t remaining() const { return m_size - m_pos; }

    bool bytes(void* out, size_t length) {
        // An empty run may come with a null destination (an empty array): the C library's
        // copies must never see one, even for no bytes.
        if (!take(length)) {
            if (length > 0) {
                std::memset(out, 0, length);
            }
            return false;
        }
        if (length > 0) {
            std::memcpy(out, m_data + m_pos - length, length);
        }
        return true;
    }
    uint8_t u8() { return take(1) ? m_data[m_pos - 1] : 0; }
    uint32_t u32() {
        if (!take(4)) {
            return 0;
        }
        const uint8_t* p = m_data + m_pos - 4;
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    double f64() {
        const uint64_t low = u32();
        const uint64_t high = u32();
        return std::bit_cast<double>(low | (high << 32));
    }
    bool f64s(double* out, size_t count) {
        if (count > remaining() / sizeof(double)) {
            m_ok = false;
            return false;
        }
        if constexpr (std::endian::native == std::endian::little) {
            return bytes(out, count * sizeof(double));
        } else {
            for (size_t i = 0; i < count; ++i) {
                out[i] = f64();
            }
            return m_ok;
        }
    }

private:
    bool take(size_t length) {
        if (!m_ok || length > m_size - m_pos) {
            m_ok = false;
            return false;
        }
        m_pos += length;
        return true;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

}  // namespace tervo
