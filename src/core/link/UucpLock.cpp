#include "link/UucpLock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tervo {

namespace {

std::vector<std::string> lockDirectories() {
    if (const char* dir = std::getenv("TERVO_LOCK_DIR"); dir != nullptr && *dir != '\0') {
        return {dir};
    }
    return {"/run/lock", "/var/lock"};
}

// The process id a lock file names: ASCII (the usual form, "%10d\n") or the four binary
// bytes some old tools wrote. 0 when the file holds neither, -1 when it cannot be read.
pid_t ownerOf(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n == 4 && !std::isdigit(static_cast<unsigned char>(text[3])) && text[3] != ' ' &&
        text[3] != '\n') {
        int32_t binary = 0;
        std::memcpy(&binary, text, 4);
        return binary > 0 ? binary : 0;
    }
    const char* p = text;
    while (*p == ' ') {
        ++p;
    }
    char* end = nullptr;
    const long pid = std::strtol(p, &end, 10);
    return end != p && pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

bool isRunning(pid_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

std::string UucpLock::fileName(const std::string& devicePath) {
    std::string device = devicePath;
    if (char* resolved = realpath(devicePath.c_str(), nullptr)) {
        device = resolved;
        std::free(resolved);
    }
    if (device.rfind("/dev/", 0) == 0) {
        device.erase(0, 5);
    } else if (const size_t slash = device.find_last_of('/'); slash != std::string::npos) {
        device.erase(0, slash + 1);
    }
    for (char& c : device) {
        if (c == '/') {
            c = '_';
        }
    }
    return "LCK.." + device;
}

UucpLock::UucpLock(const std::string& devicePath) {
    const std::string name = fileName(devicePath);
    const std::vector<std::string> directories = lockDirectories();
    for (const std::string& directory : directories) {
        const std::string file = directory + "/" + name;
        const pid_t owner = ownerOf(file);
        if (owner < 0) {
            continue;  // no lock there
        }
        // A file naming no process is taken as held: it may be another tool's lock that is
        // being written this very moment.
        if (owner == 0 || (owner != getpid() && isRunning(owner))) {
            m_heldByOther = true;
            return;
        }
        ::unlink(file.c_str());  // left by a process that has ended (or by an earlier us)
    }
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
    for (const std::string& directory : directories) {
        const std::string file = directory + "/" + name;
        const int fd =
            ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) {
                m_heldByOther = true;  // another took it since we looked
                return;
            }
            continue;  // this folder is missing or not ours to write
        }
        const bool written = ::write(fd, text, static_cast<size_t>(length)) == length;
        ::close(fd);
        if (written) {
            m_file = file;
            return;
        }
        ::unlink(file.c_str());
    }
}

UucpLock::~UucpLock() {
    if (!m_file.empty() && ownerOf(m_file) == getpid()) {
        ::unlink(m_file.c_str());
    }
}

}  // namespace tervo
