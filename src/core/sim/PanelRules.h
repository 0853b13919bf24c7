#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/link/LinkRequest.h"
#include "core/sim/SimTemplate.h"

namespace tervo {

// A panel's keys: 1 "通信", 2 "参数", 3 up, 4 down; 0 none.
enum class PanelKey : int { None = 0, Link = 1, Parameters = 2, Up = 3, Down = 4 };

struct KeyArea {
    int left, top, right, bottom;  // inclusive, relative to the panel's origin
    int imageX, imageY;            // where its highlight and pressed images go
};
// The area of key 1..4.
const KeyArea& keyArea(PanelKey key);
// The key of `panel` under a point of the canvas.
PanelKey keyAt(const SimInstrument& panel, int px, int py);

// A rectangle of the canvas to draw again.
struct CanvasRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const CanvasRect&) const = default;
};
CanvasRect panelRect(const SimInstrument& panel);

// One cell of a seven-segment display: the part of the digit strip copied, from `stripX`,
// `width` pixels wide, at the next position from the left.
struct DisplayCell {
    int stripX = 0;
    int width = 0;
    bool operator==(const DisplayCell&) const = default;
};
enum class DisplayKind { Red, Green };  // PV on the red strip, SV on the green one
// The cells a five-character text takes: every glyph is followed by one point cell (the point
// or an empty one). "0".."9", "-" and blank have their glyphs, the red strip also "E" and "r";
// any other character shows the glyph of its low four bits.
std::vector<DisplayCell> displayCells(const DisplayText& text, DisplayKind kind);
inline constexpr int kPvDisplayX = 51, kPvDisplayY = 22;
inline constexpr int kSvDisplayX = 91, kSvDisplayY = 84;
inline constexpr int kAddressX = 19, kAddressY = 80;

// One step of a held up or down key on a set-value text: counted as a decimal number from the
// last character to the first, blanks reached becoming "0", other characters passed over.
DisplayText stepSetValue(DisplayText text, bool up);

inline constexpr const char* kPollErrorText = " Err.";

struct PollPlan {
    int panel = -1;
    LinkRequest poll;
};

struct PollOutcome {
    int panel = -1;  // the panel whose display changed (-1: none, the template changed meanwhile)
    bool armTimer = false;  // start timer 1 again with kPollIntervalMs
};

enum class MouseMode : int { Idle = 0, Dragging = 1, KeyHeld = 2 };

struct MouseOutcome {
    bool redrawAll = false;
    std::optional<CanvasRect> redraw;  // a panel's rectangle
    bool stopPolling = false;          // stop timer 1
    bool startRepeat = false;          // start timer 2 with kRepeatIntervalMs
};

enum class KeyAction { None, LinkSettings, Parameters, WriteSetValue };

struct ReleaseOutcome {
    KeyAction action = KeyAction::None;
    int panel = -1;                    // the panel the action is for
    std::optional<LinkRequest> write;  // WriteSetValue: "SL" with the panel's set-value text
    std::optional<CanvasRect> redraw;
    // Timers 1 and 2 stop; timer 1 starts again with kPollIntervalMs now, or after a write
    // when its result is back (writeDone).
    bool armTimer = false;
};

// The rules of the simulation view: polling every panel's "PV" and "SP" in turn, one poll per
// tick of timer 1 while no poll is under way, the mouse on panels and keys, key repeat and the
// template commands. The window carries out the polls and writes on the link threads and hands
// the results back; a result for a panel that a command removed or moved meanwhile changes no
// display.
class PanelRules {
public:
    static constexpr int kPollIntervalMs = 200;
    static constexpr int kRepeatIntervalMs = 100;

    explicit PanelRules(SimTemplate simTemplate = {});

    const SimTemplate& simTemplate() const { return m_template; }
    int pollCounter() const { return m_counter; }
    bool pollBusy() const { return m_busy; }
    int activePanel() const { return m_active; }
    PanelKey hoveredKey() const { return m_hovered; }
    // The key held down, None unless the mouse mode is KeyHeld.
    PanelKey heldKey() const { return m_mode == MouseMode::KeyHeld ? m_held : PanelKey::None; }
    MouseMode mouseMode() const { return m_mode; }

    // Timer 1. Nothing to do (an empty template, a poll under way, a key held, a set-value write
    // on the line) gives nullopt. Otherwise the timer stays stopped until finishPoll.
    std::optional<PollPlan> beginPoll();
    PollOutcome finishPoll(const LinkResult& result);

    MouseOutcome mouseMove(int px, int py);
    MouseOutcome mouseDown(int px, int py);
    ReleaseOutcome mouseUp(int px, int py);
    // The result of a release's set-value write is back: true when timer 1 starts again, so the
    // next poll comes a whole interval after the write, however long its attempts took.
    bool writeDone();
    // Timer 2: one step of the held up or down key; the rectangle to draw again.
    std::optional<CanvasRect> repeatStep();

    // The "add" command: a panel with the next settings; the next poll reads the active
    // panel's "PV".
    void addPanel();
    void removeCurrent();
    void rearrange();
    // The panels an automatic search found, in its order, in place of all panels.
    void replacePanels(const std::vector<PanelLink>& found);
    // The answer of the communication settings dialog for `panel`.
    void setLink(int panel, const PanelLink& link);
    // Whether timer 1 may run now (no key held, no set-value write on the line).
    bool pollingAllowed() const { return m_mode != MouseMode::KeyHeld && m_writes == 0; }

private:
    void templateChanged();
    // The next poll reads the active panel's "PV", even when a poll is under way now.
    void restartAtActive();

    SimTemplate m_template;
    int m_counter = 0;
    bool m_busy = false;
    bool m_counterSet = false;  // a command set the counter while a poll was under way
    int m_polledPanel = -1;
    bool m_polledSp = false;
    uint64_t m_generation = 0;  // bumped whenever panels go or move in the order
    uint64_t m_polledGeneration = 0;
    int m_active = 0;
    PanelKey m_hovered = PanelKey::None;
    PanelKey m_held = PanelKey::None;
    MouseMode m_mode = MouseMode::Idle;
    int m_writes = 0;  // set-value writes posted whose results are not back
    int64_t m_dragX = 0;
    int64_t m_dragY = 0;
};

}  // namespace tervo
