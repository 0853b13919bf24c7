#include "core/work/WorkFiles.h"

#include <new>

#include "core/work/RecordWriter.h"

namespace tervo {

namespace {

class ImageSource : public RecordSource {
public:
    explicit ImageSource(const RecordImage& image) : m_image(image) {}
    uint64_t size() const override { return m_image.size(); }
    bool read(uint64_t offset, uint8_t* out, size_t size) const override {
        return m_image.read(offset, out, size);
    }

private:
    const RecordImage& m_image;
};

}  // namespace

FileStatus readRecording(const std::string& path, Recording& out) {
    try {
        // The journal that a recorder holds, or that its crash left, is laid over what is
        // read, so the file reads as its last complete image; replaying a crash's journal on
        // disk is left to the caller (it writes and syncs what may be hundreds of megabytes).
        // The rows go straight from the file into the arrays, a megabyte at a time.
        FileStatus status = FileStatus::Bad;
        Recording rec;
        switch (useStableRecordImage(path, [&](const RecordImage& image) {
            rec = Recording{};
            status = parseRecording(ImageSource(image), rec);
            rec.foreignJournal = image.foreignJournal();
            rec.journalLeft = image.journalBeside();
        })) {
            case StableRead::Read:
                break;
            case StableRead::CannotOpen:
                return FileStatus::CannotOpen;
            case StableRead::KeptChanging:
                return FileStatus::Busy;
        }
        if (status == FileStatus::Ok) {
            out = std::move(rec);
        }
        return status;
    } catch (const std::bad_alloc&) {
        return FileStatus::Bad;
    }
}

}  // namespace tervo
