#include "core/tools/AutoSearch.h"

#include <cstdio>

#include "core/link/AddressList.h"
#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"
#include "core/text/Translation.h"

namespace tervo {

std::string AutoSearch::resultLine(const FoundInstrument& found) {
    char line[128];
    std::snprintf(line, sizeof line,
                  TERVO_TR("core", "串口：%5s , 波特率：%5s , 仪表地址：%2d").c_str(),
                  portName(found.port).c_str(), baudText(found.baud), found.address);
    return line;
}

int AutoSearch::typedAddress(int value) {
    const int digits = value % kAddresses;
    return digits < 0 ? -digits : digits;
}

SearchStart AutoSearch::start(const SearchChoice& choice) {
    SearchStart outcome;
    if (choice.portEntry < 0 || choice.portEntry > kPortCount) {
        outcome.message = kPortChoiceError;
        return outcome;
    }
    if (choice.baudEntry < 0 || choice.baudEntry > kBaudCount) {
        outcome.message = kBaudChoiceError;
        return outcome;
    }
    // An address no controller can have would only put a malformed frame on the bus.
    if (!choice.sweepAddress && !isStationAddress(choice.address)) {
        outcome.message = kAddressChoiceError;
        return outcome;
    }
    m_sweepPort = choice.portEntry == 0;
    m_port = m_sweepPort ? 0 : choice.portEntry - 1;
    m_portBar = {m_sweepPort ? kSweptPorts : 1, 1};
    m_sweepBaud = choice.baudEntry == 0;
    m_baud = m_sweepBaud ? 0 : choice.baudEntry - 1;
    m_baudBar = {m_sweepBaud ? kBaudCount : 1, 1};
    m_sweepAddress = choice.sweepAddress;
    m_address = m_sweepAddress ? 0 : choice.address;
    m_addressBar = {m_sweepAddress ? kAddresses : 1, 1};
    m_found.clear();
    m_running = true;
    m_underway = false;
    outcome.started = true;
    return outcome;
}

std::optional<LinkRequest> AutoSearch::beginTick() {
    if (!m_running || m_underway) {
        return std::nullopt;
    }
    m_underway = true;
    return LinkRequest::poll(static_cast<uint8_t>(m_port), static_cast<uint8_t>(m_baud),
                             static_cast<uint8_t>(m_address), kPV);
}

SearchStepOutcome AutoSearch::finishTick(const LinkResult& result) {
    SearchStepOutcome outcome;
    if (!m_running || !m_underway) {
        return outcome;
    }
    m_underway = false;
    // Any reply byte is an answer, checked or not.
    if (result.exchange.status == LinkStatus::Ok) {
        const FoundInstrument found{m_port, m_baud, m_address};
        m_found.push_back(found);
        outcome.line = resultLine(found);
    }
    if (advance()) {
        outcome.armTimer = true;
    } else {
        m_running = false;
        outcome.finished = true;
    }
    return outcome;
}

bool AutoSearch::advance() {
    if (m_sweepAddress) {
        if (++m_address < kAddresses) {
            m_addressBar.position = m_address + 1;
            return true;
        }
        m_address = 0;
        m_addressBar.position = 1;
    }
    if (m_sweepBaud) {
        if (++m_baud < kBaudCount) {
            m_baudBar.position = m_baud + 1;
            return true;
        }
        m_baud = 0;
        m_baudBar.position = 1;
    }
    if (m_sweepPort) {
        if (++m_port < kSweptPorts) {
            m_portBar.position = m_port + 1;
            return true;
        }
        m_portBar.position = m_port + 1;
    }
    return false;
}

std::string AutoSearch::stop() {
    m_running = false;
    m_underway = false;
    return kSearchStoppedText;
}

}  // namespace tervo
