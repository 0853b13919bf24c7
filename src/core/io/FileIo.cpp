#include "io/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tervo {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    out.clear();
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            out.resize(out.size() + 65536);  // the file grew since fstat
        }
        const ssize_t n = ::read(fd.get(), out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return true;
}

bool writeFileAtomically(const std::string& chosen, const std::vector<uint8_t>& bytes) {
    // A link keeps pointing where it pointed: the file it names is the one replaced.
    std::string path = chosen;
    struct stat st {};
    if (lstat(chosen.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* target = realpath(chosen.c_str(), nullptr)) {
            path = target;
            free(target);
        }
    }
    std::string temporary = path + ".XXXXXX";
    Descriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    // The new file takes the usual permissions for a file the user creates.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd.get(), 0666 & ~mask);
    const bool written =
        writeAll(fd.get(), bytes.data(), bytes.size()) && fdatasync(fd.get()) == 0 && fd.close();
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself is made durable by syncing the directory that holds it.
    Descriptor dir(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        fsync(dir.get());
    }
    return true;
}

}  // namespace tervo
