#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/link/LinkRequest.h"
#include "core/tools/ReceiveScreen.h"
#include "core/tools/TimerAction.h"

namespace tervo {

// The selected positions of the serial test view's five line-format combos, -1 where the
// text typed is no entry: port "COMM1".., baud "300 bps".., data bits "4位".."8位", parity
// "无校验" "偶校验" "奇校验", stop bits "1位" "1位半" "2位".
struct LineSelection {
    int port = 0;
    int baud = kDefaultBaudIndex;
    int dataBits = 3;
    int parity = 1;
    int stopBits = 0;
};

// A reply shown: the screen changes and the counter label's new text.
struct SendOutcome {
    ReceiveScreen::Damage damage;
    std::string counters;  // UTF-8
};

struct AutoSendToggle {
    bool checked = false;  // how the auto-send button shows
    TimerAction timer = TimerAction::Keep;
    int timerMs = 0;  // with Start
};

struct AutoStepOutcome {
    int indicator = 0;         // the send indicator's image: 0 left, 1 right
    bool clearButton = false;  // the interval was 0 or less: the button shows released
    TimerAction timer = TimerAction::Keep;
    int timerMs = 0;
};

// The rules of the serial test view: raw frames typed as hexadecimal text go out in one
// exchange with the chosen line format, and the reply is written on the receive screen with
// counters of bytes sent and received. Auto send repeats the exchange from a timer: the first
// one after 50 ms, then each one the chosen interval after the previous one came back.
class SerialTestRules {
public:
    static constexpr size_t kMaxSendCharacters = 99;
    static constexpr int kFirstAutoSendMs = 50;

    // "发送数据：%7d         接收数据：%7d", the sent count first. UTF-8.
    static std::string counterText(uint32_t sent, uint32_t received);
    // The bytes a send text stands for: its first 99 characters (GBK bytes) read as
    // hexadecimal.
    static std::vector<uint8_t> sendBytes(const std::string& textGbk);
    // The line format the combos stand for; nullopt when any of them has no selection.
    static std::optional<LineFormat> lineFormat(const LineSelection& selection);

    // The exchange of one send, nullopt when a combo has no selection (then nothing happens
    // at all). The bytes count as sent at once, whatever the exchange brings.
    std::optional<LinkRequest> send(const LineSelection& selection, const std::string& textGbk);
    // The result of a send: every reply byte on the screen (as hexadecimal or as characters),
    // the counters updated.
    SendOutcome finishSend(const LinkResult& result, bool hex);
    void clearScreen() { m_screen.clear(); }
    std::string resetCounters();

    // The auto-send button.
    AutoSendToggle toggleAutoSend();
    // Timer 1: false when a step is already under way (nothing to do). Otherwise the window
    // sends once (with `interval`, the interval combo's value, kept for the step's end) and
    // calls finishAutoStep when that send has come back, or at once when it made no exchange.
    bool beginAutoStep(int interval);
    AutoStepOutcome finishAutoStep();

    const ReceiveScreen& screen() const { return m_screen; }
    uint32_t sent() const { return m_sent; }
    uint32_t received() const { return m_received; }
    bool autoSending() const { return m_autoSend; }
    bool autoStepUnderway() const { return m_stepUnderway; }
    int indicator() const { return m_indicator; }

private:
    ReceiveScreen m_screen;
    uint32_t m_sent = 0;
    uint32_t m_received = 0;
    bool m_autoSend = false;
    bool m_stepUnderway = false;
    int m_stepInterval = 0;
    int m_indicator = 0;
};

}  // namespace tervo
