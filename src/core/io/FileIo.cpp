#include "core/io/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <random>

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

namespace {

// Opened without blocking, so that a FIFO or a device named by mistake is refused at once
// instead of waiting for a writer that never comes; -1 for anything but a regular file.
int openRegularFile(const std::string& path, struct stat& st) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Up to `limit` bytes from the start; false on a read error.
bool readUpTo(int fd, size_t limit, size_t expected, std::vector<uint8_t>& out) {
    out.clear();
    out.resize(std::min(limit, expected));
    size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            if (got >= limit) {
                break;
            }
            out.resize(std::min(limit, out.size() + 65536));  // the file grew since fstat
        }
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
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

}  // namespace

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    struct stat st {};
    Descriptor fd(openRegularFile(path, st));
    return fd.get() >= 0 && readUpTo(fd.get(), SIZE_MAX, static_cast<size_t>(st.st_size), out);
}

bool readFileHead(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                  uint64_t* fileSize) {
    struct stat st {};
    Descriptor fd(openRegularFile(path, st));
    if (fd.get() < 0) {
        return false;
    }
    if (fileSize != nullptr) {
        *fileSize = static_cast<uint64_t>(st.st_size);
    }
    return readUpTo(fd.get(), limit, static_cast<size_t>(st.st_size), out);
}

namespace {

constexpr const char* kTemporaryMark = ".tervo-";
constexpr size_t kTemporaryRandom = 6;

// The file a path names: symbolic links are followed to the end, even to a file that does not
// exist yet, so that the link keeps pointing where it pointed.
std::string followLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlink(current.c_str(), target.data(), target.size());
        if (n <= 0) {
            break;
        }
        target.resize(static_cast<size_t>(n));
        current = target[0] == '/' ? target : directoryOf(current) + "/" + target;
    }
    return current;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isTemporaryOf(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + kTemporaryRandom || name.compare(0, prefix.size(), prefix)) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Temporaries of `path` that a killed write left behind. A live write holds a lock on its
// temporary, so only abandoned ones are taken away.
void removeLeftovers(const std::string& path) {
    const std::string directory = directoryOf(path);
    const std::string prefix = baseName(path) + kTemporaryMark;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!isTemporaryOf(name, prefix)) {
            continue;
        }
        const std::string leftover = directory + "/" + name;
        Descriptor fd(::open(leftover.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (fd.get() >= 0 && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(leftover.c_str());
        }
    }
    closedir(dir);
}

// A new sibling temporary "<path>.tervo-XXXXXX", created with the mode a new file gets (the
// process's umask applied by the system), locked while it is being written.
int createTemporary(const std::string& path, std::string& name) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + kTemporaryMark;
        for (size_t i = 0; i < kTemporaryRandom; ++i) {
            name += kChars[random() % (sizeof kChars - 1)];
        }
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    name.clear();
    return -1;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& chosen) : m_path(followLinks(chosen)) {
    // The replace must do no more than truncating the file would: a target that exists must
    // be a regular file (never a device, FIFO or directory, which a rename would destroy) that
    // could be opened for writing.
    struct stat target {};
    const bool exists = stat(m_path.c_str(), &target) == 0;
    if (!exists && errno != ENOENT) {
        return;
    }
    if (exists) {
        if (!S_ISREG(target.st_mode)) {
            return;
        }
        Descriptor probe(::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (probe.get() < 0 || fstat(probe.get(), &target) != 0 || !S_ISREG(target.st_mode)) {
            return;
        }
    }
    removeLeftovers(m_path);
    m_fd = createTemporary(m_path, m_temporary);
    if (m_fd < 0 || !exists) {
        return;
    }
    // The new file is the old one's successor: the same owner where we may set it (only a
    // privileged process may give a file away), then the same mode (set after the owner,
    // whose change clears set-id bits).
    (void)!fchown(m_fd, target.st_uid, target.st_gid);
    if (fchmod(m_fd, target.st_mode & 07777) != 0) {
        m_failed = true;
    }
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
    // Renamed while still open and locked, so no other writer takes it for a leftover.
    if (rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        return false;
    }
    m_committed = true;
    ::close(m_fd);
    m_fd = -1;
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
