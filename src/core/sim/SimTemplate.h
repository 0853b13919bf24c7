#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tervo {

// Five value characters as a display shows them, without a terminator.
using DisplayText = std::array<char, 5>;

DisplayText displayText(const char* fiveCharacters);
std::string toString(const DisplayText& text);
// Canvas arithmetic on origins read from a file stays within the 32-bit range.
int32_t clampToInt32(int64_t value);

// What a panel shows before its controller has answered.
inline constexpr const char* kUnpolledText = "8888.";

// One simulated front panel: 28 bytes in memory and in a template file. The reserved fields
// are written as zero and ignored when read.
struct SimInstrument {
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 180;
    static constexpr size_t kBytes = 28;

    int32_t x = 0;
    int32_t y = 0;
    uint8_t port = 0;
    uint8_t baud = 5;
    uint8_t address = 0;
    DisplayText pvText = displayText(kUnpolledText);
    DisplayText svText = displayText(kUnpolledText);

    bool operator==(const SimInstrument&) const = default;
};

enum class SimStatus {
    Ok,
    CannotOpen,
    Bad,  // a short head or record, a count below 0 or beyond the bytes, bytes after the last
    CannotWrite,
};

// Port index, baud index and address of a panel to add.
struct PanelLink {
    uint8_t port = 0;
    uint8_t baud = 5;
    uint8_t address = 0;

    bool operator==(const PanelLink&) const = default;
};

// An instrument template: panels on a 1024 x 768 canvas in drawing and polling order, and the
// current panel (0 after loading, the panel just added after an add).
class SimTemplate {
public:
    static constexpr size_t kHeadBytes = 28;

    const std::vector<SimInstrument>& panels() const { return m_panels; }
    SimInstrument& panel(int index) { return m_panels[static_cast<size_t>(index)]; }
    const SimInstrument& panel(int index) const { return m_panels[static_cast<size_t>(index)]; }
    int count() const { return static_cast<int>(m_panels.size()); }
    int current() const { return m_current; }
    // An index outside the panels is kept as it is; it names no panel.
    void setCurrent(int index) { m_current = index; }
    bool isPanel(int index) const { return index >= 0 && index < count(); }

    // Appends a panel right of the last one (or at the start of the next row when the last
    // lies beyond x 700) and makes it current. Returns its index.
    int addInstrument(const PanelLink& link);
    // The settings of a panel added by the operator: COM1, 9600, address 0 for the first; the
    // last panel's port and rate and its address + 1 (modulo 100) for every later one.
    PanelLink nextLink() const;
    // Removes the current panel; when that was the last one, panel 0 becomes current.
    void removeCurrent();
    // Sorts by ascending address (exchange sort, equal addresses keep their order) and puts the
    // panels in rows of five, 202 apart, 196 high up to 15 panels, otherwise fitting in 540.
    void rearrange();
    // The panel under a point: the current one first (edges included), then the last to the
    // first (edges excluded); -1 for none.
    int hitPanel(int px, int py) const;
    void clear();

    std::vector<uint8_t> bytes() const;
    // Any head; the count must be 0 or more and the file exactly the records it counts. The
    // display texts read become "8888." and panel 0 becomes current.
    SimStatus parse(const std::vector<uint8_t>& bytes);
    SimStatus load(const std::string& path);
    SimStatus save(const std::string& path) const;

private:
    std::vector<SimInstrument> m_panels;
    int m_current = 0;
};

}  // namespace tervo
