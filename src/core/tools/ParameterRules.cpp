#include "core/tools/ParameterRules.h"

#include "core/link/AddressList.h"
#include "core/text/Gbk.h"
#include "core/text/Translation.h"
#include "core/text/ValueText.h"

namespace tervo {

namespace {

std::string label(int row) {
    return translated("core", std::string(parameterLabelUtf8(row)).c_str());
}

// Port, baud rate and address the link can carry; anything else fails without an exchange,
// as the link would refuse it before opening a port.
bool reachable(const LinkSelection& s) {
    return s.port >= 0 && s.port < 6 && s.baud >= 0 && s.baud < kBaudCount &&
           isStationAddress(s.address);
}

bool printable(char c) {
    return c >= '!' && c <= 'z';
}

}  // namespace

ParameterRules::ParameterRules(const LinkSelection& initial) : m_last(initial) {}

std::string ParameterRules::rowText(int row) {
    std::string text = label(row);
    const size_t bytes = utf8ToGbk(text).size();
    if (bytes < kLabelBytes) {
        text.append(kLabelBytes - bytes, ' ');
    }
    return text;
}

std::string ParameterRules::rowText(int row, double value) {
    return rowText(row) + valueText(value);
}

ParameterTickPlan ParameterRules::beginTick(const LinkSelection& selection) {
    ParameterTickPlan plan;
    m_tickUnderway = true;
    m_rearm = true;
    if (!(selection == m_last)) {
        m_last = selection;
        m_values.fill(0.0);
        m_commError = false;
        m_autoRead = true;
        m_nextRow = 0;
        plan.resetList = true;
    }
    // The next row is decided now, so that a selection or a write made while the read is under
    // way decides it as it would after the tick.
    const int row = m_nextRow;
    m_nextRow = (row + 1) % kParameterCount;
    m_readRow = -1;
    if (!m_commError && reachable(selection)) {
        m_readRow = row;
        plan.read = LinkRequest::read(ReadRequest{
            static_cast<uint32_t>(row), static_cast<uint8_t>(selection.port),
            static_cast<uint8_t>(selection.baud), static_cast<uint8_t>(selection.address)});
    }
    return plan;
}

ParameterTickOutcome ParameterRules::finishTick(const std::optional<LinkResult>& result) {
    ParameterTickOutcome outcome;
    if (!m_tickUnderway) {
        return outcome;
    }
    m_tickUnderway = false;
    outcome.armTimer = m_rearm;
    const std::optional<double> value =
        m_readRow >= 0 && result ? result->value : std::optional<double>();
    if (!value) {
        outcome.failed = true;
        m_commError = true;
        m_autoRead = false;
        return outcome;
    }
    m_values[static_cast<size_t>(m_readRow)] = *value;
    outcome.row = m_readRow;
    outcome.value = *value;
    return outcome;
}

AutoReadOutcome ParameterRules::toggleAutoRead() {
    m_autoRead = !m_autoRead;
    AutoReadOutcome outcome;
    outcome.pressed = m_autoRead;
    if (m_tickUnderway) {
        m_rearm = m_autoRead;
    } else {
        outcome.timer = m_autoRead ? TimerAction::Start : TimerAction::Stop;
    }
    return outcome;
}

RowPick ParameterRules::selectRow(int row) {
    if (row < 0 || row >= kParameterCount) {
        return {};
    }
    m_selectedRow = row;
    m_nextRow = row;
    return {valueText(m_values[static_cast<size_t>(row)]), label(row)};
}

WritePlan ParameterRules::beginWrite(const std::string& mnemonicUtf8, const std::string& valueUtf8,
                                     const LinkSelection& selection) {
    // UTF-8 continuation and lead bytes all lie above 'z', so a Chinese character fails the
    // test as it would character by character.
    if (m_writeUnderway || mnemonicUtf8.size() < 2 || !printable(mnemonicUtf8[0]) ||
        !printable(mnemonicUtf8[1])) {
        return {};
    }
    // A label copied from the list goes out as its row's own mnemonic: the leading
    // letters of "Hb PID上分离带" and "LC 曲线程序循环次数" are not what the controller calls
    // those parameters ("HB", "Lc"). Two characters typed by the operator go out as typed.
    const uint32_t code = m_selectedRow >= 0 && mnemonicUtf8 == label(m_selectedRow)
                              ? static_cast<uint32_t>(m_selectedRow)
                              : literalCode(mnemonicUtf8[0], mnemonicUtf8[1]);
    if (!reachable(selection)) {
        return {std::nullopt, kLinkErrorText};
    }
    const std::string value = padValueText(utf8ToGbk(valueUtf8).substr(0, kValueBytes));
    m_writeUnderway = true;
    return {LinkRequest::write(static_cast<uint8_t>(selection.port),
                               static_cast<uint8_t>(selection.baud),
                               static_cast<uint8_t>(selection.address), code, value),
            {}};
}

std::string ParameterRules::finishWrite(const LinkResult& result) {
    m_writeUnderway = false;
    if (result.writeReply == kACK) {
        if (m_selectedRow >= 0) {
            m_nextRow = m_selectedRow;
        }
        return kWriteDoneText;
    }
    return result.writeReply == kNAK ? kWriteRefusedText : kLinkErrorText;
}

}  // namespace tervo
