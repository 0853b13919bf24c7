#include "core/sim/PanelRules.h"

#include "core/link/ParameterTable.h"
#include "core/text/ValueText.h"

namespace tervo {

namespace {

constexpr KeyArea kKeys[] = {
    {14, 113, 50, 127, 13, 112},     // 通信
    {14, 145, 50, 159, 13, 144},     // 参数
    {118, 139, 134, 153, 117, 138},  // up
    {151, 139, 167, 153, 150, 138},  // down
};

struct Strip {
    int glyphWidth;
    int minusX;
    int blankX;
    int pointX;
    int emptyPointX;
    int pointWidth;
};
constexpr Strip kRed{26, 260, 286, 312, 321, 9};
constexpr Strip kGreen{19, 190, 209, 228, 234, 6};
constexpr int kRedEX = 330;
constexpr int kRedRX = 356;

int glyphX(char c, DisplayKind kind) {
    const Strip& s = kind == DisplayKind::Red ? kRed : kGreen;
    if (c >= '0' && c <= '9') {
        return (c - '0') * s.glyphWidth;
    }
    if (c == '-') {
        return s.minusX;
    }
    if (c == ' ') {
        return s.blankX;
    }
    if (kind == DisplayKind::Red && c == 'E') {
        return kRedEX;
    }
    if (kind == DisplayKind::Red && c == 'r') {
        return kRedRX;
    }
    return (static_cast<unsigned char>(c) & 0x0F) * s.glyphWidth;
}

}  // namespace

const KeyArea& keyArea(PanelKey key) {
    return kKeys[static_cast<int>(key) - 1];
}

PanelKey keyAt(const SimInstrument& panel, int px, int py) {
    const int64_t dx = int64_t{px} - panel.x;
    const int64_t dy = int64_t{py} - panel.y;
    for (int k = 1; k <= 4; ++k) {
        const KeyArea& a = kKeys[k - 1];
        if (dx >= a.left && dx <= a.right && dy >= a.top && dy <= a.bottom) {
            return static_cast<PanelKey>(k);
        }
    }
    return PanelKey::None;
}

CanvasRect panelRect(const SimInstrument& panel) {
    return {panel.x, panel.y, SimInstrument::kWidth, SimInstrument::kHeight};
}

std::vector<DisplayCell> displayCells(const DisplayText& text, DisplayKind kind) {
    const Strip& s = kind == DisplayKind::Red ? kRed : kGreen;
    const DisplayCell point{s.pointX, s.pointWidth};
    const DisplayCell emptyPoint{s.emptyPointX, s.pointWidth};
    std::vector<DisplayCell> cells;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            cells.push_back(point);
            continue;
        }
        if (i > 0 && text[i - 1] != '.') {
            cells.push_back(emptyPoint);
        }
        cells.push_back({glyphX(c, kind), s.glyphWidth});
    }
    if (text.back() != '.') {
        cells.push_back(emptyPoint);
    }
    return cells;
}

DisplayText stepSetValue(DisplayText text, bool up) {
    for (size_t i = text.size(); i-- > 0;) {
        char& c = text[i];
        if (c == ' ') {
            c = '0';
        }
        if (c < '0' || c > '9') {
            continue;
        }
        if (up) {
            if (c == '9') {
                c = '0';
                continue;
            }
            ++c;
        } else {
            if (c == '0') {
                c = '9';
                continue;
            }
            --c;
        }
        break;
    }
    return text;
}

PanelRules::PanelRules(SimTemplate simTemplate) : m_template(std::move(simTemplate)) {}

void PanelRules::templateChanged() {
    ++m_generation;
}

void PanelRules::restartAtActive() {
    m_counter = m_template.isPanel(m_active) ? 2 * m_active : 0;
    m_counterSet = m_busy;
}

std::optional<PollPlan> PanelRules::beginPoll() {
    if (m_template.count() == 0 || m_busy || !pollingAllowed()) {
        return std::nullopt;
    }
    m_busy = true;
    m_counterSet = false;
    if (m_counter >= 2 * m_template.count()) {
        m_counter = 0;
    }
    m_polledPanel = m_counter / 2;
    m_polledSp = m_counter % 2 == 1;
    m_polledGeneration = m_generation;
    const SimInstrument& p = m_template.panel(m_polledPanel);
    return PollPlan{m_polledPanel,
                    LinkRequest::poll(p.port, p.baud, p.address, m_polledSp ? kSP : kPV)};
}

PollOutcome PanelRules::finishPoll(const LinkResult& result) {
    PollOutcome outcome;
    if (!m_busy) {
        return outcome;
    }
    m_busy = false;
    outcome.armTimer = pollingAllowed();
    if (!m_counterSet) {
        ++m_counter;
    }
    m_counterSet = false;
    if (m_polledGeneration != m_generation || !m_template.isPanel(m_polledPanel)) {
        return outcome;
    }
    SimInstrument& p = m_template.panel(m_polledPanel);
    const std::vector<uint8_t>& reply = result.exchange.reply;
    // A reply too short to hold the value field says no more than silence does.
    if (result.exchange.status != LinkStatus::Ok || reply.size() < 8) {
        p.pvText = displayText(kPollErrorText);
    } else {
        DisplayText text{};
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char>(reply[3 + i]);
        }
        // A set value being stepped by a held key stays as the operator sees it.
        const bool stepping = heldKey() != PanelKey::None && m_active == m_polledPanel;
        if (!m_polledSp) {
            p.pvText = text;
        } else if (!stepping) {
            p.svText = text;
        }
    }
    outcome.panel = m_polledPanel;
    return outcome;
}

MouseOutcome PanelRules::mouseMove(int px, int py) {
    MouseOutcome outcome;
    if (m_mode == MouseMode::Dragging) {
        if (m_template.isPanel(m_template.current())) {
            SimInstrument& p = m_template.panel(m_template.current());
            p.x = clampToInt32(px - m_dragX);
            p.y = clampToInt32(py - m_dragY);
            outcome.redrawAll = true;
        }
        return outcome;
    }
    if (m_mode != MouseMode::Idle) {
        return outcome;
    }
    const int hit = m_template.hitPanel(px, py);
    if (hit < 0) {
        return outcome;
    }
    const bool otherPanel = hit != m_active;
    m_active = hit;
    const PanelKey key = keyAt(m_template.panel(hit), px, py);
    if (key != m_hovered) {
        m_hovered = key;
        // A highlight left on the panel before goes too.
        if (otherPanel) {
            outcome.redrawAll = true;
        } else {
            outcome.redraw = panelRect(m_template.panel(hit));
        }
    }
    return outcome;
}

MouseOutcome PanelRules::mouseDown(int px, int py) {
    MouseOutcome outcome;
    outcome.redrawAll = true;
    const int hit = m_template.hitPanel(px, py);
    if (hit < 0) {
        return outcome;
    }
    m_template.setCurrent(hit);
    const SimInstrument& p = m_template.panel(hit);
    const PanelKey key = keyAt(p, px, py);
    if (key == PanelKey::None) {
        m_mode = MouseMode::Dragging;
        m_dragX = int64_t{px} - p.x;
        m_dragY = int64_t{py} - p.y;
        return outcome;
    }
    m_mode = MouseMode::KeyHeld;
    m_held = key;
    m_active = hit;
    outcome.stopPolling = true;
    outcome.startRepeat = key == PanelKey::Up || key == PanelKey::Down;
    return outcome;
}

ReleaseOutcome PanelRules::mouseUp(int px, int py) {
    ReleaseOutcome outcome;
    const bool valid = m_template.isPanel(m_active);
    if (m_mode == MouseMode::KeyHeld && valid &&
        keyAt(m_template.panel(m_active), px, py) == m_held) {
        const SimInstrument& p = m_template.panel(m_active);
        outcome.panel = m_active;
        switch (m_held) {
            case PanelKey::Link:
                outcome.action = KeyAction::LinkSettings;
                break;
            case PanelKey::Parameters:
                outcome.action = KeyAction::Parameters;
                break;
            case PanelKey::Up:
            case PanelKey::Down:
                outcome.action = KeyAction::WriteSetValue;
                outcome.write = LinkRequest::write(p.port, p.baud, p.address, kSL,
                                                   padValueText(toString(p.svText)));
                break;
            case PanelKey::None:
                break;
        }
    }
    m_mode = MouseMode::Idle;
    m_hovered = PanelKey::None;
    m_held = PanelKey::None;
    if (valid) {
        outcome.redraw = panelRect(m_template.panel(m_active));
    }
    if (outcome.write) {
        ++m_writes;
    }
    outcome.armTimer = pollingAllowed();
    restartAtActive();
    return outcome;
}

bool PanelRules::writeDone() {
    if (m_writes == 0) {
        return false;
    }
    --m_writes;
    return pollingAllowed();
}

std::optional<CanvasRect> PanelRules::repeatStep() {
    const PanelKey key = heldKey();
    if ((key != PanelKey::Up && key != PanelKey::Down) || !m_template.isPanel(m_active)) {
        return std::nullopt;
    }
    SimInstrument& p = m_template.panel(m_active);
    p.svText = stepSetValue(p.svText, key == PanelKey::Up);
    return panelRect(p);
}

void PanelRules::addPanel() {
    m_template.addInstrument(m_template.nextLink());
    if (!m_template.isPanel(m_active)) {
        m_active = 0;
    }
    restartAtActive();
}

void PanelRules::removeCurrent() {
    const int removed = m_template.current();
    if (!m_template.isPanel(removed)) {
        return;
    }
    m_template.removeCurrent();
    templateChanged();
    if (m_active > removed) {
        --m_active;
    }
    if (!m_template.isPanel(m_active)) {
        m_active = 0;
    }
    m_hovered = PanelKey::None;
    restartAtActive();
}

void PanelRules::rearrange() {
    m_template.rearrange();
    templateChanged();
}

void PanelRules::replacePanels(const std::vector<PanelLink>& found) {
    m_template.clear();
    for (const PanelLink& link : found) {
        m_template.addInstrument(link);
    }
    templateChanged();
    m_active = 0;
    m_hovered = PanelKey::None;
    restartAtActive();
}

void PanelRules::setLink(int panel, const PanelLink& link) {
    if (!m_template.isPanel(panel)) {
        return;
    }
    SimInstrument& p = m_template.panel(panel);
    p.port = link.port;
    p.baud = link.baud;
    p.address = link.address;
}

}  // namespace tervo
