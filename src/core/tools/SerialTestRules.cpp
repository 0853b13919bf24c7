#include "core/tools/SerialTestRules.h"

#include <cstdio>

#include "core/link/PortMap.h"
#include "core/text/HexText.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

// Line-setting codes of the parity entries (none, even, odd) and the stop-bit entries
// (1, 1.5, 2).
constexpr uint8_t kParityCodes[] = {0, 2, 1};
constexpr uint8_t kStopBitCodes[] = {0, 1, 2};

bool within(int selection, int count) {
    return selection >= 0 && selection < count;
}

}  // namespace

std::string SerialTestRules::counterText(uint32_t sent, uint32_t received) {
    char text[96];
    std::snprintf(text, sizeof text,
                  TERVO_TR("core", "发送数据：%7u         接收数据：%7u").c_str(), sent, received);
    return text;
}

std::vector<uint8_t> SerialTestRules::sendBytes(const std::string& textGbk) {
    return parseHexText(std::string_view(textGbk).substr(0, kMaxSendCharacters));
}

std::optional<LineFormat> SerialTestRules::lineFormat(const LineSelection& s) {
    if (!within(s.port, kPortCount) || !within(s.baud, kBaudCount) || !within(s.dataBits, 5) ||
        !within(s.parity, 3) || !within(s.stopBits, 3)) {
        return std::nullopt;
    }
    return LineFormat{static_cast<uint8_t>(s.baud), static_cast<uint8_t>(s.dataBits + 4),
                      kParityCodes[s.parity], kStopBitCodes[s.stopBits]};
}

std::optional<LinkRequest> SerialTestRules::send(const LineSelection& selection,
                                                 const std::string& textGbk) {
    const std::optional<LineFormat> format = lineFormat(selection);
    if (!format) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes = sendBytes(textGbk);
    m_sent += static_cast<uint32_t>(bytes.size());
    return LinkRequest::raw(static_cast<uint8_t>(selection.port), *format, std::move(bytes));
}

SendOutcome SerialTestRules::finishSend(const LinkResult& result, bool hex) {
    SendOutcome outcome;
    if (result.exchange.status == LinkStatus::Ok) {
        for (uint8_t byte : result.exchange.reply) {
            ReceiveScreen::Damage damage = m_screen.put(byte, hex);
            outcome.damage.whole = outcome.damage.whole || damage.whole;
            outcome.damage.cells.insert(outcome.damage.cells.end(), damage.cells.begin(),
                                        damage.cells.end());
        }
        m_received += static_cast<uint32_t>(result.exchange.reply.size());
    }
    outcome.counters = counterText(m_sent, m_received);
    return outcome;
}

std::string SerialTestRules::resetCounters() {
    m_sent = 0;
    m_received = 0;
    return counterText(0, 0);
}

AutoSendToggle SerialTestRules::toggleAutoSend() {
    AutoSendToggle toggle;
    m_autoSend = !m_autoSend;
    toggle.checked = m_autoSend;
    if (!m_autoSend) {
        toggle.timer = TimerAction::Stop;
    } else if (!m_stepUnderway) {
        // While a step is under way its end arms the timer.
        toggle.timer = TimerAction::Start;
        toggle.timerMs = kFirstAutoSendMs;
    }
    return toggle;
}

bool SerialTestRules::beginAutoStep(int interval) {
    if (m_stepUnderway) {
        return false;
    }
    m_stepUnderway = true;
    m_stepInterval = interval;
    return true;
}

AutoStepOutcome SerialTestRules::finishAutoStep() {
    AutoStepOutcome outcome;
    if (!m_stepUnderway) {
        outcome.indicator = m_indicator;
        return outcome;
    }
    m_stepUnderway = false;
    m_indicator = m_indicator == 0 ? 1 : 0;
    outcome.indicator = m_indicator;
    if (m_stepInterval <= 0) {
        // Auto sending stays on, so the next press of the button only switches it off.
        outcome.clearButton = true;
    } else if (m_autoSend) {
        outcome.timer = TimerAction::Start;
        outcome.timerMs = m_stepInterval;
    }
    return outcome;
}

}  // namespace tervo
