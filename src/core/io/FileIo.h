#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervo {

// The whole file into memory; false when it cannot be opened or read, or is not a regular
// file (a FIFO or device is refused at once, never waited on).
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out);
// At most the first `limit` bytes of the file, with the same refusals: what a reader that
// needs no more than that takes, so a huge file costs it nothing. `fileSize`, when given, gets
// the file's length.
bool readFileHead(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                  uint64_t* fileSize = nullptr);

// A file written whole and then put in place of `path` at once: the bytes go to a sibling
// temporary file ("<path>.tervo-XXXXXX"), which commit() syncs to disk and renames over the
// target. A crash at any moment leaves either the old file or the new one, never a torn one;
// an uncommitted or failed file leaves the target untouched and removes the temporary, and
// the temporaries a killed process left are removed at the next write of the same file.
//
// The replace does what truncating the file in place would, and no more: a symbolic link is
// followed to the file it names (the link stays); a target that exists must be a regular file
// that could be opened for writing (a device, FIFO or directory is refused, never replaced);
// the new file keeps the old one's mode and, where the process may set it, its owner. A hard
// link is not followed: the name given gets the new file, other names keep the old one.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return m_fd >= 0 && !m_failed; }
    void write(const void* data, size_t size);
    bool commit();

private:
    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
    size_t m_written = 0;
    bool m_failed = false;
    bool m_committed = false;
};

// Replaces the file at `path` with `bytes` so that a crash at any moment leaves either the old
// file or the new one, never a torn one: a sibling temporary file is written, flushed to disk
// and renamed over the target. False (with the target untouched) when any step fails.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace tervo
