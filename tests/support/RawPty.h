#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tervo::testing {

// A bare pseudo-terminal for tests that play the far end of a serial line themselves. The
// test holds the master; the slave path is what the code under test opens. The slave is kept
// open here too, so the line stays up between the other side's opens.
class RawPty {
public:
    RawPty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(m_master);
        unlockpt(m_master);
        char name[PATH_MAX];
        ptsname_r(m_master, name, sizeof name);
        m_path = name;
        m_keep = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~RawPty() {
        ::close(m_keep);
        ::close(m_master);
    }
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;

    const std::string& path() const { return m_path; }
    int master() const { return m_master; }
    int slave() const { return m_keep; }

    void send(const std::vector<uint8_t>& bytes) {
        if (!bytes.empty()) {
            (void)!::write(m_master, bytes.data(), bytes.size());
        }
    }

    // Everything that arrives within `quiet` of the previous byte (or of the call).
    std::vector<uint8_t> receive(std::chrono::milliseconds quiet) {
        std::vector<uint8_t> got;
        for (;;) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) {
                return got;
            }
            uint8_t buffer[256];
            ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) {
                return got;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
    }

private:
    int m_master = -1;
    int m_keep = -1;
    std::string m_path;
};

// A fresh directory under `base` (the system's temporary directory unless told), removed with
// everything in it.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::string pattern = (base / "tervo-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a directory under " + base.string());
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace tervo::testing
