#include "core/sim/SimTemplate.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "core/io/ByteIo.h"
#include "core/io/FileIo.h"
#include "core/text/Gbk.h"

namespace tervo {

namespace {

constexpr size_t kHeaderBytes = 24;
constexpr int kRowHeight = 196;
constexpr int kFitHeight = 540;
constexpr int kColumnStep = 202;
constexpr int kPerRow = 5;
constexpr int kLastColumnX = 700;

const std::string& templateHeader() {
    static const std::string header = utf8ToGbk("Quorvex5控制软件模板文件");
    return header;
}

}  // namespace

int32_t clampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

DisplayText displayText(const char* fiveCharacters) {
    DisplayText text{};
    std::memcpy(text.data(), fiveCharacters, text.size());
    return text;
}

std::string toString(const DisplayText& text) {
    return std::string(text.data(), text.size());
}

int SimTemplate::addInstrument(const PanelLink& link) {
    SimInstrument panel;
    if (!m_panels.empty()) {
        const SimInstrument& last = m_panels.back();
        if (last.x <= kLastColumnX) {
            panel.x = last.x + SimInstrument::kWidth;
            panel.y = last.y;
        } else {
            panel.x = 0;
            panel.y = clampToInt32(int64_t{last.y} + SimInstrument::kHeight);
        }
    }
    panel.port = link.port;
    panel.baud = link.baud;
    panel.address = link.address;
    m_panels.push_back(panel);
    m_current = count() - 1;
    return m_current;
}

PanelLink SimTemplate::nextLink() const {
    if (m_panels.empty()) {
        return PanelLink{};
    }
    const SimInstrument& last = m_panels.back();
    return PanelLink{last.port, last.baud, static_cast<uint8_t>((last.address + 1) % 100)};
}

void SimTemplate::removeCurrent() {
    if (!isPanel(m_current)) {
        return;
    }
    m_panels.erase(m_panels.begin() + m_current);
    if (m_current == count()) {
        m_current = 0;
    }
}

void SimTemplate::rearrange() {
    for (size_t i = 0; i + 1 < m_panels.size(); ++i) {
        for (size_t j = i + 1; j < m_panels.size(); ++j) {
            if (m_panels[j].address < m_panels[i].address) {
                std::swap(m_panels[i], m_panels[j]);
            }
        }
    }
    const int n = count();
    const int rowHeight = n <= 15 ? kRowHeight : kFitHeight / ((n + 4) / kPerRow);
    for (int i = 0; i < n; ++i) {
        m_panels[static_cast<size_t>(i)].x = (i % kPerRow) * kColumnStep;
        m_panels[static_cast<size_t>(i)].y = (i / kPerRow) * rowHeight;
    }
}

int SimTemplate::hitPanel(int px, int py) const {
    // Origins read from a file may lie anywhere in the 32-bit range.
    const int64_t x = px;
    const int64_t y = py;
    if (isPanel(m_current)) {
        const SimInstrument& p = panel(m_current);
        if (x >= p.x && x <= int64_t{p.x} + SimInstrument::kWidth && y >= p.y &&
            y <= int64_t{p.y} + SimInstrument::kHeight) {
            return m_current;
        }
    }
    for (int i = count() - 1; i >= 0; --i) {
        const SimInstrument& p = panel(i);
        if (x > p.x && x < int64_t{p.x} + SimInstrument::kWidth && y > p.y &&
            y < int64_t{p.y} + SimInstrument::kHeight) {
            return i;
        }
    }
    return -1;
}

void SimTemplate::clear() {
    m_panels.clear();
    m_current = 0;
}

std::vector<uint8_t> SimTemplate::bytes() const {
    std::vector<uint8_t> out;
    out.reserve(kHeadBytes + m_panels.size() * SimInstrument::kBytes);
    ByteWriter w(out);
    w.bytes(templateHeader().data(), kHeaderBytes);
    w.i32(count());
    for (const SimInstrument& p : m_panels) {
        w.i32(p.x);
        w.i32(p.y);
        w.u8(p.port);
        w.u8(p.baud);
        w.u8(p.address);
        w.u8(0);
        w.i32(0);
        w.bytes(p.pvText.data(), p.pvText.size());
        w.bytes(p.svText.data(), p.svText.size());
        w.u8(0);
        w.u8(0);
    }
    return out;
}

SimStatus SimTemplate::parse(const std::vector<uint8_t>& bytes) {
    ByteReader r(bytes);
    uint8_t header[kHeaderBytes];
    r.bytes(header, kHeaderBytes);  // never compared
    const int32_t n = r.i32();
    // The file is exactly its counted records, so a damaged count is refused before anything
    // is reserved for it.
    if (!r.ok() || n < 0 || r.remaining() / SimInstrument::kBytes < static_cast<size_t>(n) ||
        r.remaining() != static_cast<size_t>(n) * SimInstrument::kBytes) {
        return SimStatus::Bad;
    }
    std::vector<SimInstrument> panels(static_cast<size_t>(n));
    for (SimInstrument& p : panels) {
        p.x = r.i32();
        p.y = r.i32();
        p.port = r.u8();
        p.baud = r.u8();
        p.address = r.u8();
        uint8_t ignored[17];
        r.bytes(ignored, sizeof ignored);  // reserved, the two texts, reserved
    }
    m_panels = std::move(panels);
    m_current = 0;
    return SimStatus::Ok;
}

SimStatus SimTemplate::load(const std::string& path) {
    // The file is exactly its counted panels: the count is checked against the file's length
    // before the panels are read, so a huge file with a wrong count costs nothing.
    constexpr size_t kHead = kHeaderBytes + 4;
    std::vector<uint8_t> bytes;
    uint64_t size = 0;
    if (!readFileHead(path, kHead, bytes, &size)) {
        return SimStatus::CannotOpen;
    }
    if (bytes.size() < kHead) {
        return parse(bytes);
    }
    ByteReader r(bytes.data() + kHeaderBytes, 4);
    const int32_t n = r.i32();
    if (n < 0 || size != kHead + uint64_t(n) * SimInstrument::kBytes) {
        return SimStatus::Bad;
    }
    if (!readFileHead(path, static_cast<size_t>(size), bytes)) {
        return SimStatus::CannotOpen;
    }
    return parse(bytes);
}

SimStatus SimTemplate::save(const std::string& path) const {
    return writeFileAtomically(path, bytes()) ? SimStatus::Ok : SimStatus::CannotWrite;
}

}  // namespace tervo
