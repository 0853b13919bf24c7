#include "core/link/UucpLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace tervo {

namespace {

constexpr const char* kProgramLine = "tervo\n";

std::vector<std::string> lockDirectories() {
    if (const char* dir = std::getenv("TERVO_LOCK_DIR"); dir != nullptr && *dir != '\0') {
        return {dir};
    }
    return {"/run/lock", "/var/lock"};
}

// What a lock file says.
struct LockLook {
    enum Kind { Absent, NoProcess, Process };
    Kind kind = Absent;
    pid_t pid = 0;
    bool tervo = false;  // its second line names Tervo
    bool young = false;  // written less than the grace ago (or its time is not to be trusted)
};

bool isRunning(pid_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
}

// The process id in ASCII (the usual form, "%10d\n", perhaps a program name on the next line)
// or in the four binary bytes some old tools wrote.
LockLook look(const std::string& file) {
    LockLook l;
    struct stat st {};
    if (lstat(file.c_str(), &st) != 0) {
        return l;
    }
    l.kind = LockLook::NoProcess;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long ageMs = (static_cast<long long>(now.tv_sec) - st.st_mtim.tv_sec) * 1000 +
                            (now.tv_nsec - st.st_mtim.tv_nsec) / 1'000'000;
    l.young = ageMs > -UucpLock::kWritingGraceMs && ageMs < UucpLock::kWritingGraceMs;

    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return l;
    }
    char text[64] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n == 4 && !std::isdigit(static_cast<unsigned char>(text[3])) && text[3] != ' ' &&
        text[3] != '\n') {
        int32_t binary = 0;
        std::memcpy(&binary, text, 4);
        if (binary > 0) {
            l.kind = LockLook::Process;
            l.pid = binary;
        }
        return l;
    }
    const char* p = text;
    while (*p == ' ') {
        ++p;
    }
    char* end = nullptr;
    const long pid = std::strtol(p, &end, 10);
    if (end == p || pid <= 0 || pid > INT_MAX) {
        return l;
    }
    l.kind = LockLook::Process;
    l.pid = static_cast<pid_t>(pid);
    l.tervo = *end == '\n' && std::strcmp(end + 1, kProgramLine) == 0;
    return l;
}

// Whether the lock keeps the port: a running process other than this one, or a lock that
// names none but may still be being written.
bool holds(const LockLook& l) {
    return (l.kind == LockLook::Process && l.pid != getpid() && isRunning(l.pid)) ||
           (l.kind == LockLook::NoProcess && l.young);
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

bool UucpLock::heldByTervo(const std::string& devicePath) {
    const std::string name = fileName(devicePath);
    for (const std::string& directory : lockDirectories()) {
        const LockLook l = look(directory + "/" + name);
        if (l.kind == LockLook::Process && l.tervo && (l.pid == getpid() || isRunning(l.pid))) {
            return true;
        }
    }
    return false;
}

std::string UucpLock::holderOf(const std::string& devicePath) {
    const std::string name = fileName(devicePath);
    for (const std::string& directory : lockDirectories()) {
        const LockLook l = look(directory + "/" + name);
        if (l.kind != LockLook::Process || l.pid == getpid() || !isRunning(l.pid)) {
            continue;
        }
        std::string program = l.tervo ? "tervo" : "";
        if (FILE* comm = std::fopen(("/proc/" + std::to_string(l.pid) + "/comm").c_str(), "r")) {
            char text[64] = {};
            if (std::fgets(text, sizeof text, comm) != nullptr) {
                program = text;
                while (!program.empty() && (program.back() == '\n' || program.back() == ' ')) {
                    program.pop_back();
                }
            }
            std::fclose(comm);
        }
        return (program.empty() ? "" : program + " ") + std::to_string(l.pid);
    }
    return {};
}

void UucpLock::askForTurn(const std::string& devicePath) {
    const std::string name = fileName(devicePath);
    for (const std::string& directory : lockDirectories()) {
        const std::string file = directory + "/" + name;
        const LockLook l = look(file);
        if (l.kind == LockLook::Process && l.tervo && l.pid != getpid()) {
            utimensat(AT_FDCWD, file.c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
        }
    }
}

bool UucpLock::turnAsked() const {
    struct stat st {};
    return !m_file.empty() && lstat(m_file.c_str(), &st) == 0 &&
           (st.st_mtim.tv_sec != m_written.tv_sec || st.st_mtim.tv_nsec != m_written.tv_nsec);
}

bool UucpLock::canLock() {
    for (const std::string& directory : lockDirectories()) {
        if (access(directory.c_str(), W_OK | X_OK) == 0) {
            return true;
        }
    }
    return false;
}

UucpLock::UucpLock(const std::string& devicePath) {
    const std::string name = fileName(devicePath);
    const std::vector<std::string> directories = lockDirectories();
    for (const std::string& directory : directories) {
        const std::string file = directory + "/" + name;
        const LockLook l = look(file);
        if (holds(l)) {
            m_heldByOther = true;
            return;
        }
        if (l.kind != LockLook::Absent) {
            // Stale: of a process that has ended (or an earlier us), or naming none for long.
            ::unlink(file.c_str());
        }
    }
    char text[32];
    const int length =
        std::snprintf(text, sizeof text, "%10d\n%s", static_cast<int>(getpid()), kProgramLine);
    for (const std::string& directory : directories) {
        const std::string file = directory + "/" + name;
        const int fd =
            ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST && holds(look(file))) {
                m_heldByOther = true;  // another took it since we looked
                return;
            }
            continue;  // this folder is missing or not ours to write, or a stale lock stays
        }
        struct stat st {};
        const bool written =
            ::write(fd, text, static_cast<size_t>(length)) == length && fstat(fd, &st) == 0;
        ::close(fd);
        m_written = st.st_mtim;
        if (written) {
            m_file = file;
            return;
        }
        ::unlink(file.c_str());
    }
}

UucpLock::~UucpLock() {
    if (m_file.empty()) {
        return;
    }
    const LockLook l = look(m_file);
    if (l.kind == LockLook::Process && l.pid == getpid()) {
        ::unlink(m_file.c_str());
    }
}

}  // namespace tervo
