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
        // An update that a crash cut short is redone on disk where we may, and in what is
        // read in any case, so the file reads as its last complete image. The rows go
        // straight from the file into the arrays, a megabyte at a time.
        recoverRecordFile(path);
        FileStatus status = FileStatus::Bad;
        Recording rec;
        if (!useStableRecordImage(path, [&](const RecordImage& image) {
                rec = Recording{};
                status = parseRecording(ImageSource(image), rec);
                rec.foreignJournal = image.foreignJournal();
            })) {
            return FileStatus::CannotOpen;
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
