#pragma once

#include <ctime>
#include <string>

namespace tervo {

// The lock file by which the Linux serial tools (minicom, picocom, cu and the like) keep each
// other off a port: "LCK..ttyUSB0" in /run/lock or /var/lock, holding the owner's process id
// in ASCII. Ours has a second line naming the program ("tervo"), as some UUCP tools add, so
// that another Tervo process can tell a Tervo exchange (worth a short wait) from another
// program's hold. The environment variable TERVO_LOCK_DIR names one other folder instead
// (tests).
//
// A lock counts while it names a running process. One that names a process that has ended is
// stale and removed. One that names no process at all (empty, no number, unreadable) is stale
// too, as liblockdev takes it, once it is kWritingGraceMs old: younger, it may be another tool's
// lock whose number is being written this very moment. A stale lock that cannot be removed (a
// sticky folder, another user's file) is passed over, so it never keeps a port refused.
class UucpLock {
public:
    static constexpr int kWritingGraceMs = 1000;

    // Takes the lock of the device `devicePath` names (links followed). A lock of a live
    // process is left alone and heldByOther() says so. When no lock folder can be written,
    // nothing is taken, and no other program following the convention could have taken one
    // either.
    explicit UucpLock(const std::string& devicePath);
    // Removes the lock file, if it is still this process's.
    ~UucpLock();
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    bool heldByOther() const { return m_heldByOther; }
    // Whether another Tervo process waiting for the port asked for its turn (askForTurn) since
    // the lock was taken: then the port is worth leaving free for a moment once given back.
    bool turnAsked() const;
    const std::string& file() const { return m_file; }  // empty when none was taken

    // "LCK..ttyUSB0"; a device in a folder below /dev has its slashes as underscores
    // ("LCK..pts_3"); a device outside /dev is named by its last component.
    static std::string fileName(const std::string& devicePath);
    // Whether the device's lock is a running Tervo process's (this one's included).
    static bool heldByTervo(const std::string& devicePath);
    // Who holds the device's lock, when it names a running process other than this one:
    // "minicom 1234" (the program's name as the system knows it, else the lock's second line);
    // "tervo 1234" for another Tervo process; empty when no lock names a holder.
    static std::string holderOf(const std::string& devicePath);
    // Asks the Tervo process whose lock holds the device for the port's next turn: the lock
    // file's time of change is moved on, which its holder sees as it gives the port back.
    static void askForTurn(const std::string& devicePath);
    // Whether a lock could be taken at all: some lock folder is there to be written.
    static bool canLock();

private:
    bool m_heldByOther = false;
    std::string m_file;
    timespec m_written{};  // the lock file's time of change as we wrote it
};

}  // namespace tervo
