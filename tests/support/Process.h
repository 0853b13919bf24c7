#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tervo::testing {

// A child process of a real binary, its output captured in files of a scratch directory.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::filesystem::path& scratch) {
        static int serial = 0;
        const std::string tag = std::to_string(getpid()) + "-" + std::to_string(++serial);
        m_outPath = scratch / ("out-" + tag);
        m_errPath = scratch / ("err-" + tag);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (m_pid > 0 && !m_done) {
            kill(m_pid, SIGKILL);
            wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return m_pid > 0; }
    void signal(int number) { kill(m_pid, number); }

    // The exit status, or 128 + the signal that ended it.
    int wait() {
        if (!m_done && m_pid > 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            m_done = true;
        }
        return m_status;
    }
    // The exit status if the child ends within `limit`; nullopt (and the child still running)
    // otherwise, so a test can tell a hang from an answer.
    std::optional<int> waitFor(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!m_done && m_pid > 0) {
            int status = 0;
            const pid_t done = waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                m_done = true;
                break;
            }
            if (std::chrono::steady_clock::now() >= until) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return m_status;
    }
    // Waits (generously) until the child's standard output holds `text`; false if it never
    // does or the child ends first.
    bool waitForOutput(const std::string& text,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            if (out().find(text) != std::string::npos) {
                return true;
            }
            if (waitFor(std::chrono::milliseconds(0))) {
                return out().find(text) != std::string::npos;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    std::string out() const { return slurp(m_outPath); }
    std::string err() const { return slurp(m_errPath); }

private:
    static std::string slurp(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    pid_t m_pid = -1;
    bool m_done = false;
    int m_status = -1;
    std::filesystem::path m_outPath;
    std::filesystem::path m_errPath;
};

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

inline RunResult run(const std::vector<std::string>& argv, const std::filesystem::path& scratch) {
    Child child(argv, scratch);
    const int status = child.wait();
    return {status, child.out(), child.err()};
}

// Waits (generously) until `path` exists; false if it never does.
inline bool waitForPath(const std::filesystem::path& path,
                        std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace tervo::testing
