#include "emu/PtyBus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/link/SerialLink.h"

namespace tervo::emu {

namespace {

constexpr size_t kPollFrameLength = 8;
constexpr size_t kSelectFrameLength = 15;
constexpr auto kStaleFrame = std::chrono::milliseconds(200);
constexpr auto kIdleRelease = std::chrono::seconds(1);

speed_t speedOf(uint32_t baud) {
    switch (baud) {
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        default:
            return B9600;
    }
}

void fail(std::string* error, const std::string& what) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(errno);
    }
}

}  // namespace

PtyBus::PtyBus(BusOptions options)
    : m_options(std::move(options)),
      m_bus(m_options.addresses, m_options.faults),
      m_charTime(std::chrono::microseconds(10'000'000 / std::max<uint32_t>(1, m_options.baud))) {}

PtyBus::~PtyBus() {
    stop();
}

bool PtyBus::start(std::string* error) {
    if (m_running) {
        return true;
    }
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        fail(error, "cannot create a pseudo-terminal");
        stop();
        return false;
    }
    char name[PATH_MAX];
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        fail(error, "cannot name the pseudo-terminal");
        stop();
        return false;
    }
    m_devicePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        fail(error, "cannot open " + m_devicePath);
        stop();
        return false;
    }
    termios t{};
    tcgetattr(m_slave, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speedOf(m_options.baud));
    cfsetospeed(&t, speedOf(m_options.baud));
    tcsetattr(m_slave, TCSANOW, &t);

    if (!m_options.linkPath.empty()) {
        struct stat st {};
        if (lstat(m_options.linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            fail(error, "will not replace " + m_options.linkPath);
            stop();
            return false;
        }
        const std::string temporary = m_options.linkPath + ".new" + std::to_string(getpid());
        ::unlink(temporary.c_str());
        if (symlink(m_devicePath.c_str(), temporary.c_str()) != 0 ||
            rename(temporary.c_str(), m_options.linkPath.c_str()) != 0) {
            fail(error, "cannot link " + m_options.linkPath);
            ::unlink(temporary.c_str());
            stop();
            return false;
        }
    }
    m_plantTime = Clock::now();
    m_running = true;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void PtyBus::stop() {
    m_running = false;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (!m_options.linkPath.empty() && !m_devicePath.empty()) {
        char target[PATH_MAX];
        ssize_t n = readlink(m_options.linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == m_devicePath) {
            ::unlink(m_options.linkPath.c_str());
        }
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyBus::setFaults(int address, const Faults& faults) {
    std::lock_guard lock(m_mutex);
    m_bus.setFaults(address, faults);
}

double PtyBus::value(int address, int index) {
    std::lock_guard lock(m_mutex);
    const Controller* c = m_bus.controller(address);
    return c == nullptr ? 0.0 : c->value(index);
}

void PtyBus::setValue(int address, int index, double value) {
    std::lock_guard lock(m_mutex);
    if (Controller* c = m_bus.controller(address)) {
        c->setValue(index, value);
    }
}

Controller::ProgramState PtyBus::programState(int address) {
    std::lock_guard lock(m_mutex);
    const Controller* c = m_bus.controller(address);
    return c == nullptr ? Controller::ProgramState::Stopped : c->programState();
}

uint64_t PtyBus::framesHeard(int address) {
    std::lock_guard lock(m_mutex);
    return m_bus.framesHeard(address);
}

void PtyBus::advancePlants(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - m_plantTime).count();
    m_plantTime = now;
    std::lock_guard lock(m_mutex);
    m_bus.advance(seconds * m_options.speed);
}

bool PtyBus::lineMatchesBaud() {
    termios t{};
    return tcgetattr(m_slave, &t) == 0 && cfgetospeed(&t) == speedOf(m_options.baud);
}

void PtyBus::serve() {
    std::vector<uint8_t> pending;
    Clock::time_point pendingAt{};
    Clock::time_point lastTraffic = Clock::now();
    bool released = false;
    while (m_running) {
        auto now = Clock::now();
        advancePlants(now);

        int timeout = 50;
        if (!pending.empty()) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(pendingAt - now).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, 50));
        }
        pollfd p{m_master, POLLIN, 0};
        int ready = poll(&p, 1, timeout);
        now = Clock::now();
        if (ready > 0 && (p.revents & POLLIN)) {
            uint8_t buffer[256];
            ssize_t n = ::read(m_master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                // A new request on the half-duplex line before we answered: the answer is
                // dropped, as a controller that hears its line busy would.
                if (buffer[i] == kEOT && !pending.empty() && m_frame.empty()) {
                    pending.clear();
                }
                onByte(buffer[i], now);
                if (m_frame.empty() && !m_reply.empty()) {
                    pending.swap(m_reply);
                    m_reply.clear();
                    pendingAt = m_replyAt;
                }
            }
            if (n > 0) {
                lastTraffic = now;
                released = false;
            }
        }
        if (!m_frame.empty() && now - m_lastByte > kStaleFrame) {
            m_frame.clear();
        }
        if (!pending.empty() && now >= pendingAt) {
            sendPaced(pending);
            pending.clear();
        }
        // A client killed in the middle of an exchange leaves the line in exclusive mode, and
        // we keep the line open, so nothing would clear it: release it once the line is idle.
        if (!released && now - lastTraffic > kIdleRelease) {
            ioctl(m_slave, TIOCNXCL);
            released = true;
        }
    }
}

void PtyBus::onByte(uint8_t byte, Clock::time_point at) {
    const bool selectBccPosition = m_frame.size() == kSelectFrameLength - 1 && m_frame[5] == kSTX;
    if (byte == kEOT && !selectBccPosition) {
        m_frame.assign(1, kEOT);
        m_frameStart = at;
        m_lastByte = at;
        return;
    }
    if (m_frame.empty()) {
        return;  // noise between frames
    }
    m_frame.push_back(byte);
    m_lastByte = at;
    const bool select = m_frame.size() >= 6 && m_frame[5] == kSTX;
    if ((select && m_frame.size() == kSelectFrameLength) ||
        (!select && m_frame.size() == kPollFrameLength)) {
        handleFrame(at);
        m_frame.clear();
    }
}

void PtyBus::handleFrame(Clock::time_point lastByteAt) {
    // Frames sent at another rate are noise to these controllers.
    if (!lineMatchesBaud()) {
        return;
    }
    std::optional<Answer> answer;
    {
        std::lock_guard lock(m_mutex);
        answer = m_bus.answer(m_frame);
    }
    if (!answer) {
        return;
    }
    // The request reaches the controllers only after its line time.
    const auto heardAt =
        std::max(lastByteAt, m_frameStart + m_charTime * static_cast<long>(m_frame.size()));
    m_replyAt = heardAt + std::chrono::milliseconds(m_options.turnaroundMs + answer->extraDelayMs);
    m_reply = std::move(answer->bytes);
}

void PtyBus::sendPaced(const std::vector<uint8_t>& bytes) {
    const auto start = Clock::now();
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::this_thread::sleep_until(start + m_charTime * static_cast<long>(i));
        if (::write(m_master, &bytes[i], 1) != 1) {
            return;  // nobody is draining the line; the rest is lost as on a real wire
        }
    }
}

}  // namespace tervo::emu
