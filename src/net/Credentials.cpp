#include "net/Credentials.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tervo::net {

namespace {

// Passwords are short; a larger file is not a password file.
constexpr size_t kMaxPassword = 4096;

// The file's text without its one trailing line end; nullopt (and `error`) when it cannot be
// read, is not a regular file or is too long to be a password.
std::optional<std::string> readSecret(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<size_t>(st.st_size) > kMaxPassword) {
        const int failed = fd < 0 ? errno : 0;
        if (fd >= 0) {
            ::close(fd);
        }
        error = "cannot read the password file " + path +
                (failed != 0 ? std::string(": ") + std::strerror(failed)
                             : std::string(": not a short regular file"));
        return std::nullopt;
    }
    std::string text(kMaxPassword + 1, '\0');
    size_t got = 0;
    for (ssize_t n;
         got < text.size() && (n = ::read(fd, text.data() + got, text.size() - got)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = "cannot read the password file " + path + ": " + std::strerror(errno);
            ::close(fd);
            return std::nullopt;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    if (text.ends_with('\n')) {
        text.pop_back();
        if (text.ends_with('\r')) {
            text.pop_back();
        }
    }
    return text;
}

}  // namespace

PasswordLookup lookUpMqttPassword(const std::optional<std::string>& file) {
    PasswordLookup found;
    if (file) {
        found.password = readSecret(*file, found.error);
        return found;
    }
    if (const char* given = std::getenv("TERVO_MQTT_PASSWORD")) {
        found.password = given;
        // Nothing started later inherits it.
        unsetenv("TERVO_MQTT_PASSWORD");
        return found;
    }
    if (const char* directory = std::getenv("CREDENTIALS_DIRECTORY");
        directory != nullptr && *directory != '\0') {
        const std::string path = std::string(directory) + "/" + kMqttPasswordCredential;
        if (::access(path.c_str(), F_OK) == 0) {
            found.password = readSecret(path, found.error);
            if (found.password && found.password->empty()) {
                found.password.reset();  // the unit's empty default: no password given
            }
        }
    }
    return found;
}

}  // namespace tervo::net
