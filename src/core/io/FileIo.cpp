#include "io/FileIo.h"

#include <fcntl.h>
#include <stdlib.h>
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

AtomicFile::AtomicFile(const std::string& chosen) : m_path(chosen) {
    // A link keeps pointing where it pointed: the file it names is the one replaced.
    struct stat st {};
    if (lstat(chosen.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* target = realpath(chosen.c_str(), nullptr)) {
            m_path = target;
            free(target);
        }
    }
    m_temporary = m_path + ".XXXXXX";
    m_fd = mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    // The new file takes the usual permissions for a file the user creates.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(m_fd, 0666 & ~mask);
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed && !m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

void AtomicFile::write(const void* data, size_t size) {
    if (!ok()) {
        return;
    }
    if (!writeAll(m_fd, static_cast<const uint8_t*>(data), size)) {
        m_failed = true;
        return;
    }
    // Start writing the new pages out now, so the final sync overlaps with producing the
    // rest of the file instead of waiting for all of it.
    sync_file_range(m_fd, static_cast<off_t>(m_written), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
    m_written += size;
}

bool AtomicFile::commit() {
    if (!ok() || fdatasync(m_fd) != 0) {
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 || rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        return false;
    }
    m_committed = true;
    // The rename itself is made durable by syncing the directory that holds it.
    Descriptor dir(::open(directoryOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        fsync(dir.get());
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    AtomicFile file(path);
    file.write(bytes.data(), bytes.size());
    return file.commit();
}

}  // namespace tervo
