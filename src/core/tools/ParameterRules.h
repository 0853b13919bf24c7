#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/link/LinkRequest.h"
#include "core/link/ParameterTable.h"
#include "core/text/Translation.h"
#include "core/tools/TimerAction.h"

namespace tervo {

inline constexpr const char* kWriteDoneText = TERVO_TR_NOOP("core", "修改成功！！！");
inline constexpr const char* kWriteRefusedText = TERVO_TR_NOOP("core", "修改失败！！！");
inline constexpr const char* kLinkErrorText = TERVO_TR_NOOP("core", "通信错误！！！");
// The caption of the parameter window while reading has failed.
inline constexpr const char* kLinkErrorCaption = TERVO_TR_NOOP("core", "通信错误");

// What the three combos of a view say: port and baud rate as selected positions (-1 when the
// text typed is no entry), the address as the integer value of its text.
struct LinkSelection {
    int port = 0;
    int baud = kDefaultBaudIndex;
    int address = 0;

    bool operator==(const LinkSelection&) const = default;
};

// The first half of a tick of timer 1.
struct ParameterTickPlan {
    // The selection changed: every row back to its label and 0, the window caption back
    // to its title, the auto-read button pressed.
    bool resetList = false;
    // The read to carry out; without one the tick has failed already. Either way the window
    // calls finishTick next (with the read's result, or with no result).
    std::optional<LinkRequest> read;
};

struct ParameterTickOutcome {
    bool failed = false;  // caption kLinkErrorCaption, auto-read button released
    int row = -1;         // the row read, whose text is now rowText(row, value)
    double value = 0.0;
    bool armTimer = false;  // start timer 1 again with kIntervalMs
};

struct AutoReadOutcome {
    bool pressed = false;  // how the auto-read button shows
    TimerAction timer = TimerAction::Keep;
};

// A list row selected: the fields take its value and its whole label.
struct RowPick {
    std::string valueText;
    std::string mnemonicText;  // UTF-8
};

// The write command. Without a write there is either a message to show at once or nothing.
struct WritePlan {
    std::optional<LinkRequest> write;
    std::string message;
};

// The rules of the parameter view: one controller's 49 parameters read one row per tick of
// a 500 ms timer, and the write of a typed value to a typed or selected mnemonic. A failed
// read enters the communication-error state, in which the timer keeps running but nothing is
// read until the port, baud rate or address changes. The window carries out the exchanges
// (on its port's link thread) and hands the results back; the timer is armed again only when
// the tick's read has come back, so a silent controller stretches the tick by its attempts.
class ParameterRules {
public:
    static constexpr int kIntervalMs = 500;
    static constexpr size_t kLabelBytes = 25;
    static constexpr size_t kValueBytes = 10;

    explicit ParameterRules(const LinkSelection& initial);

    // A row's text: the label padded with blanks to 25 GBK bytes, then the value with
    // "%0.2f"; before the row has been read the label alone. UTF-8.
    static std::string rowText(int row);
    static std::string rowText(int row, double value);

    ParameterTickPlan beginTick(const LinkSelection& selection);
    // `result` is the read's; without a read it is ignored and the tick fails.
    ParameterTickOutcome finishTick(const std::optional<LinkResult>& result = std::nullopt);
    // The auto-read button. While a tick's read is under way the timer is left stopped and the
    // end of the tick follows the button.
    AutoReadOutcome toggleAutoRead();
    // Any notification from the list about `row` (0..48).
    RowPick selectRow(int row);

    // The write button. Nothing happens while an earlier write is under way, or when the
    // mnemonic field does not begin with two characters from '!' to 'z'.
    WritePlan beginWrite(const std::string& mnemonicUtf8, const std::string& valueUtf8,
                         const LinkSelection& selection);
    // The message for the write's result ("修改成功！！！" makes the selected row the next read).
    std::string finishWrite(const LinkResult& result);

    bool autoRead() const { return m_autoRead; }
    bool communicationError() const { return m_commError; }
    bool tickUnderway() const { return m_tickUnderway; }
    bool writeUnderway() const { return m_writeUnderway; }
    int nextRow() const { return m_nextRow; }
    int selectedRow() const { return m_selectedRow; }
    double value(int row) const { return m_values[static_cast<size_t>(row)]; }

private:
    LinkSelection m_last;
    std::array<double, kParameterCount> m_values{};
    int m_nextRow = 0;
    int m_selectedRow = -1;
    bool m_commError = false;
    bool m_autoRead = true;
    bool m_tickUnderway = false;
    int m_readRow = -1;   // the row of the open tick's read, -1 when it reads nothing
    bool m_rearm = true;  // whether the open tick ends by starting the timer
    bool m_writeUnderway = false;
};

}  // namespace tervo
