#include "core/link/PosixSerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "core/link/PortMap.h"
#include "core/link/UucpLock.h"

namespace tervo {

namespace {

using Clock = std::chrono::steady_clock;

LinkReason openErrorReason(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return LinkReason::NoDevice;
        case EACCES:
        case EPERM:
        case EROFS:
            return LinkReason::PermissionDenied;
        default:
            return LinkReason::OpenFailed;
    }
}

int millisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool speedOfBaud(uint32_t baud, speed_t& speed) {
    switch (baud) {
        case 300:
            speed = B300;
            return true;
        case 600:
            speed = B600;
            return true;
        case 1200:
            speed = B1200;
            return true;
        case 2400:
            speed = B2400;
            return true;
        case 4800:
            speed = B4800;
            return true;
        case 9600:
            speed = B9600;
            return true;
        case 19200:
            speed = B19200;
            return true;
        case 38400:
            speed = B38400;
            return true;
        case 57600:
            speed = B57600;
            return true;
        case 115200:
            speed = B115200;
            return true;
        default:
            return false;
    }
}

uint32_t baudOfSpeed(speed_t speed) {
    static const speed_t speeds[] = {B300,  B600,   B1200,  B2400,  B4800,
                                     B9600, B19200, B38400, B57600, B115200};
    static const uint32_t bauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (size_t i = 0; i < sizeof speeds / sizeof speeds[0]; ++i) {
        if (speeds[i] == speed) {
            return bauds[i];
        }
    }
    return 0;
}

}  // namespace

bool applyLineSettings(termios& t, const LineSettings& settings) {
    speed_t speed;
    if (!speedOfBaud(settings.baud, speed)) {
        return false;
    }
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);

    t.c_cflag &= ~CSIZE;
    switch (settings.dataBits) {
        // termios has no four-bit characters; the port refuses such a format.
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return false;
    }

    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (settings.parity) {
        case 0:
            break;
        case 1:
            t.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            t.c_cflag |= PARENB;
            break;
        case 3:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 4:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            return false;
    }

    // POSIX knows one or two stop bits only; one and a half is sent as two, which every
    // receiver that expects one and a half accepts.
    switch (settings.stopBits) {
        case 0:
            t.c_cflag &= ~CSTOPB;
            break;
        case 1:
        case 2:
            t.c_cflag |= CSTOPB;
            break;
        default:
            return false;
    }

    // A binary line: no echo, no line editing, no signals, no character translation in
    // either direction. Flow control (IXON, IXOFF, CRTSCTS) stays as the driver has it.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return true;
}

namespace {

// When each port was last given back by this process, and whether a waiting Tervo process
// asked for its turn then, so that its next exchange lets that process have the port first.
class ReleaseTimes {
public:
    static ReleaseTimes& instance() {
        static ReleaseTimes times;
        return times;
    }
    void released(const std::string& path, bool turnOwed) {
        std::lock_guard lock(m_mutex);
        m_times[path] = Release{Clock::now(), turnOwed};
    }
    // The moment before which the port is left to a waiting process.
    Clock::time_point freeUntil(const std::string& path) {
        std::lock_guard lock(m_mutex);
        const auto it = m_times.find(path);
        if (it == m_times.end() || !it->second.turnOwed) {
            return Clock::time_point{};
        }
        return it->second.at + std::chrono::milliseconds(PosixSerialOpener::kCourtesyMs);
    }

private:
    struct Release {
        Clock::time_point at;
        bool turnOwed = false;
    };
    std::mutex m_mutex;
    std::map<std::string, Release> m_times;
};

class PosixSerialDevice : public SerialDevice {
public:
    PosixSerialDevice(int fd, std::string path, bool exclusive, std::unique_ptr<UucpLock> lock)
        : m_fd(fd), m_path(std::move(path)), m_exclusive(exclusive), m_lock(std::move(lock)) {}

    ~PosixSerialDevice() override {
        // Exclusive mode lives on the terminal, not on this descriptor: give back the one we
        // set, so the next opener is not locked out. Everything is given back before the flock,
        // so a Tervo process that gets the port next finds it as free as it is.
        if (m_exclusive) {
            ioctl(m_fd, TIOCNXCL);
        }
        // A waiting Tervo process asks for its turn through our lock file; without one it has
        // no way to ask, and the port is left free for a moment after every exchange.
        const bool turnOwed = m_lock->file().empty() || m_lock->turnAsked();
        m_lock.reset();
        flock(m_fd, LOCK_UN);
        ::close(m_fd);
        ReleaseTimes::instance().released(m_path, turnOwed);
    }

    // The timeouts are this object's own: poll() carries them out in read() and write(). Like
    // the comm-timeout call they stand for, reading them fails on a device that is no terminal.
    bool getTimeouts(SerialTimeouts& out) override {
        termios t{};
        if (tcgetattr(m_fd, &t) != 0) {
            return false;
        }
        out = m_timeouts;
        return true;
    }

    bool setTimeouts(const SerialTimeouts& timeouts) override {
        m_timeouts = timeouts;
        return true;
    }

    bool getLineSettings(LineSettings& out) override {
        if (tcgetattr(m_fd, &m_termios) != 0) {
            return false;
        }
        m_haveTermios = true;
        out.baud = baudOfSpeed(cfgetospeed(&m_termios));
        switch (m_termios.c_cflag & CSIZE) {
            case CS5:
                out.dataBits = 5;
                break;
            case CS6:
                out.dataBits = 6;
                break;
            case CS7:
                out.dataBits = 7;
                break;
            default:
                out.dataBits = 8;
                break;
        }
        if ((m_termios.c_cflag & PARENB) == 0) {
            out.parity = 0;
        } else if (m_termios.c_cflag & CMSPAR) {
            out.parity = (m_termios.c_cflag & PARODD) ? 3 : 4;
        } else {
            out.parity = (m_termios.c_cflag & PARODD) ? 1 : 2;
        }
        out.stopBits = (m_termios.c_cflag & CSTOPB) ? 2 : 0;
        return true;
    }

    bool setLineSettings(const LineSettings& settings) override {
        if (!m_haveTermios && tcgetattr(m_fd, &m_termios) != 0) {
            return false;
        }
        termios t = m_termios;
        if (!applyLineSettings(t, settings)) {
            return false;
        }
        // A pseudo-terminal carries bytes, not characters on a wire: it keeps eight bits
        // without parity whatever it is asked, and the C library reports that as a failure.
        // Ask it for what it can do; the format was checked above all the same.
        if (isPseudoTerminal()) {
            t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
            t.c_cflag |= CS8;
        }
        if (tcsetattr(m_fd, TCSANOW, &t) != 0) {
            return false;
        }

        // USB adapters hold short replies back for up to 16 ms unless asked not to; drivers
        // without the setting (pseudo-terminals among them) simply refuse, which is harmless.
        serial_struct serial{};
        if (ioctl(m_fd, TIOCGSERIAL, &serial) == 0 && !(serial.flags & ASYNC_LOW_LATENCY)) {
            serial.flags |= ASYNC_LOW_LATENCY;
            ioctl(m_fd, TIOCSSERIAL, &serial);
        }
        return true;
    }

    size_t write(const uint8_t* data, size_t length) override {
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(m_timeouts.writeTotalConstant +
                                                     m_timeouts.writeTotalMultiplier * length);
        size_t written = 0;
        while (written < length) {
            ssize_t n = ::write(m_fd, data + written, length - written);
            if (n > 0) {
                written += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break;
            }
            pollfd p{m_fd, POLLOUT, 0};
            if (poll(&p, 1, millisecondsUntil(deadline)) <= 0) {
                break;
            }
        }
        // The request is on its way once the driver has sent it out; waiting for that keeps the
        // reply's timeouts counted from the end of the request, as the controller sees it.
        int queued = 0;
        while (ioctl(m_fd, TIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < deadline) {
            pollfd p{m_fd, 0, 0};
            poll(&p, 1, 1);
        }
        return written;
    }

    size_t read(uint8_t* data, size_t length) override {
        const auto start = Clock::now();
        const auto totalDeadline =
            start + std::chrono::milliseconds(m_timeouts.readTotalConstant +
                                              m_timeouts.readTotalMultiplier * length);
        const auto interval = std::chrono::milliseconds(m_timeouts.readInterval);
        size_t received = 0;
        Clock::time_point lastByte{};
        while (received < length) {
            Clock::time_point deadline = totalDeadline;
            if (received > 0 && m_timeouts.readInterval > 0 && lastByte + interval < deadline) {
                deadline = lastByte + interval;
            }
            const int wait = millisecondsUntil(deadline);
            if (wait == 0) {
                break;
            }
            pollfd p{m_fd, POLLIN, 0};
            int ready = poll(&p, 1, wait);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                break;
            }
            ssize_t n = ::read(m_fd, data + received, length - received);
            if (n > 0) {
                received += static_cast<size_t>(n);
                lastByte = Clock::now();
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                break;  // hung up: nothing more will come
            }
        }
        return received;
    }

private:
    bool isPseudoTerminal() const {
        struct stat st {};
        const unsigned int major = fstat(m_fd, &st) == 0 ? ::major(st.st_rdev) : 0;
        return S_ISCHR(st.st_mode) && major >= 136 && major <= 143;
    }

    int m_fd;
    std::string m_path;
    bool m_exclusive;
    std::unique_ptr<UucpLock> m_lock;
    SerialTimeouts m_timeouts{};
    termios m_termios{};
    bool m_haveTermios = false;
};

// Opens the device and takes its flock. Busy (an open refused with EBUSY, as a process without
// CAP_SYS_ADMIN cannot open past another holder's exclusive mode, or the flock held) is worth
// waiting for up to the busy limit only while the holder is another Tervo process in an
// exchange, as its lock file says. A held flock without such a lock file is given the short
// grace in which a Tervo process has its flock but not yet its lock file (the whole busy limit
// when no lock file can be made here, so none tells); an exclusive mode without one belongs to
// another program, unless a Tervo holder let go just then, which one more open tells. -1 when
// the device is absent, refused or still busy at the limit, with `why` saying which.
int openAndLockForTervo(const std::string& path, LinkReason& why) {
    // Our own back-to-back exchanges leave a moment between them for a process that asked to
    // have the port next.
    const auto courtesy = ReleaseTimes::instance().freeUntil(path);
    if (Clock::now() < courtesy) {
        std::this_thread::sleep_until(courtesy);
    }
    const auto start = Clock::now();
    const auto tervoLimit = start + std::chrono::milliseconds(PosixSerialOpener::kBusyWaitMs);
    const auto unknownWait = std::chrono::milliseconds(PosixSerialOpener::kUnknownHolderMs);
    auto unknownLimit = UucpLock::canLock() ? start + unknownWait : tervoLimit;
    bool openedAgain = false;
    // A Tervo holder lets go in steps (exclusive mode, lock file, flock): in between the port
    // looks held by nobody known, so the short wait for an unknown holder starts again then.
    bool sawTervo = false;
    int fd = -1;
    for (;;) {
        if (fd < 0) {
            fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0 && errno != EBUSY) {
                why = openErrorReason(errno);
                return -1;
            }
        }
        if (fd >= 0) {
            if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
                return fd;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                ::close(fd);
                why = LinkReason::OpenFailed;
                return -1;
            }
        }
        const auto now = Clock::now();
        bool wait = false;
        if (UucpLock::heldByTervo(path)) {
            wait = now < tervoLimit;
            if (wait) {
                UucpLock::askForTurn(path);
            }
            sawTervo = true;
        } else if (sawTervo) {
            sawTervo = false;
            unknownLimit = std::max(unknownLimit, now + unknownWait);
            openedAgain = false;
            continue;
        } else if (fd >= 0) {
            wait = now < unknownLimit;
        } else if (!openedAgain) {
            openedAgain = true;
            continue;
        }
        if (!wait) {
            if (fd >= 0) {
                ::close(fd);
            }
            why = LinkReason::PortHeld;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

std::unique_ptr<SerialDevice> PosixSerialOpener::openPath(const std::string& path, Refusal* why) {
    Refusal refusal;
    Refusal& out = why != nullptr ? *why : refusal;
    out = Refusal{};
    auto held = [&] {
        out.reason = LinkReason::PortHeld;
        out.holder = UucpLock::holderOf(path);
    };
    // Exclusive among Tervo processes by flock, which another Tervo process holds only for one
    // exchange and is worth a short wait. Against other programs: their flock, their exclusive
    // mode (TIOCEXCL, which root opens past, hence the check) and their UUCP lock file, all
    // refused at once; then ours, so that they keep off while we have the port.
    const int fd = openAndLockForTervo(path, out.reason);
    if (fd < 0) {
        if (out.reason == LinkReason::PortHeld) {
            held();
        }
        return nullptr;
    }
    const bool terminal = isatty(fd);
    int exclusive = 0;
    if (terminal && ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        ::close(fd);
        held();
        return nullptr;
    }
    auto lock = std::make_unique<UucpLock>(path);
    if (lock->heldByOther()) {
        ::close(fd);
        held();
        return nullptr;
    }
    if (terminal) {
        ioctl(fd, TIOCEXCL);
        // A closed port hears nothing; bytes a pseudo-terminal kept while nobody had the port
        // open are not part of this exchange.
        tcflush(fd, TCIOFLUSH);
    }
    return std::make_unique<PosixSerialDevice>(fd, path, terminal, std::move(lock));
}

std::unique_ptr<SerialDevice> PosixSerialOpener::open(const std::string& portName) {
    Refusal why;
    return openExplained(portName, why);
}

std::unique_ptr<SerialDevice> PosixSerialOpener::openExplained(const std::string& portName,
                                                               Refusal& why) {
    const int index = portIndexOfName(portName);
    return openPath(index >= 0 ? portPath(index) : portName, &why);
}

SerialOpener& defaultSerialOpener() {
    static PosixSerialOpener opener;
    return opener;
}

}  // namespace tervo
