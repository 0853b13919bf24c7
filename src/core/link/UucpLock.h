#pragma once

#include <string>

namespace tervo {

// The lock file by which the Linux serial tools (minicom, picocom, cu and the like) keep each
// other off a port: "LCK..ttyUSB0" in /run/lock or /var/lock, holding the owner's process id
// in ASCII. The environment variable TERVO_LOCK_DIR names one other folder instead (tests).
class UucpLock {
public:
    // Takes the lock of the device `devicePath` names (links followed). A lock of a process
    // that no longer runs is removed first; a lock of a live process is left alone and
    // heldByOther() says so. When no lock folder can be written, nothing is taken, and no
    // other program following the convention could have taken one either.
    explicit UucpLock(const std::string& devicePath);
    // Removes the lock file, if it is still this process's.
    ~UucpLock();
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    bool heldByOther() const { return m_heldByOther; }
    const std::string& file() const { return m_file; }  // empty when none was taken

    // "LCK..ttyUSB0"; a device in a folder below /dev has its slashes as underscores
    // ("LCK..pts_3").
    static std::string fileName(const std::string& devicePath);

private:
    bool m_heldByOther = false;
    std::string m_file;
};

}  // namespace tervo
