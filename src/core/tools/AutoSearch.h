#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/link/LinkRequest.h"
#include "core/text/Translation.h"

namespace tervo {

inline constexpr const char* kPortChoiceError = TERVO_TR_NOOP("core", "串口设置错误！！！");
inline constexpr const char* kBaudChoiceError = TERVO_TR_NOOP("core", "波特率设置错误！！！");
inline constexpr const char* kAddressChoiceError = TERVO_TR_NOOP("core", "仪表地址设置错误！！！");
inline constexpr const char* kSearchDoneText = TERVO_TR_NOOP("core", "搜索完毕！！！");
inline constexpr const char* kSearchStoppedText = TERVO_TR_NOOP("core", "搜索停止！！！");

// What the three combos of the search say. Port and baud: the selected entry, -1 for typed
// text, 0 for "自动搜索", n for the n-th value. Address: swept, or a fixed station address.
struct SearchChoice {
    int portEntry = 1;  // COM1
    int baudEntry = 6;  // 9600
    bool sweepAddress = true;
    int address = 0;
};

// An instrument that answered: port index, baud index, station address.
struct FoundInstrument {
    int port = 0;
    int baud = 0;
    int address = 0;
    bool operator==(const FoundInstrument&) const = default;
};

// A progress bar: its range is 0..maximum.
struct SearchBar {
    int maximum = 0;
    int position = 0;
    bool operator==(const SearchBar&) const = default;
};

struct SearchStart {
    std::string message;   // a refused choice; nothing started
    bool started = false;  // the result list is empty now; start timer 1 with kIntervalMs
};

struct SearchStepOutcome {
    std::optional<std::string> line;  // a controller answered: the result line to add
    bool finished = false;            // the last combination: show kSearchDoneText
    bool armTimer = false;
};

// The automatic search of the bus: every combination of the ports, rates and addresses left
// open, polled once each for "PV", ports outermost, then rates, then addresses, like an
// odometer with the address fastest. Ports sweep COM1..COM2, rates all seven, addresses 0..99.
// Each tick of the 100 ms timer makes one poll; the caller carries it out and hands the result
// back, and the next tick is armed only then.
class AutoSearch {
public:
    static constexpr int kIntervalMs = 100;
    static constexpr int kSweptPorts = 2;
    static constexpr int kAddresses = 100;

    // "串口：%5s , 波特率：%5s , 仪表地址：%2d"
    static std::string resultLine(const FoundInstrument& found);
    // The station address a number typed as the fixed address stands for: its last two
    // decimal digits, the ones the controllers are addressed by (123 is 23, -5 is 5).
    static int typedAddress(int value);

    // Start, from the first combination with an empty result. Restarts a running search.
    SearchStart start(const SearchChoice& choice);
    // The poll of the current combination; nullopt when no search runs or a poll is under way.
    std::optional<LinkRequest> beginTick();
    SearchStepOutcome finishTick(const LinkResult& result);
    // The stop button: the found instruments stay. A poll under way is forgotten.
    std::string stop();

    bool running() const { return m_running; }
    bool tickUnderway() const { return m_underway; }
    const std::vector<FoundInstrument>& found() const { return m_found; }
    const SearchBar& portBar() const { return m_portBar; }
    const SearchBar& baudBar() const { return m_baudBar; }
    const SearchBar& addressBar() const { return m_addressBar; }

private:
    // Moves to the next combination; false when the last one has been polled.
    bool advance();

    bool m_sweepPort = false;
    bool m_sweepBaud = false;
    bool m_sweepAddress = false;
    int m_port = 0;
    int m_baud = 0;
    int m_address = 0;
    bool m_running = false;
    bool m_underway = false;
    std::vector<FoundInstrument> m_found;
    SearchBar m_portBar;
    SearchBar m_baudBar;
    SearchBar m_addressBar;
};

}  // namespace tervo
