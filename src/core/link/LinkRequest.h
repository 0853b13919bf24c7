#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/link/SerialLink.h"

namespace tervo {

// One protocol operation, held as a value so that whoever owns the port (a window's
// link thread, the command line, a test) can carry it out and hand the result back.
struct LinkRequest {
    enum class Kind { Read, Write, Poll, Raw };

    Kind kind = Kind::Read;
    uint8_t port = 0;
    uint8_t address = 0;
    LineFormat format;           // the baud for every kind, the whole format for Raw
    uint32_t parameterCode = 0;  // Read and Write; the table index for Poll
    std::string valueText;       // Write: padded to ten characters, the first five are sent
    std::vector<uint8_t> bytes;  // Raw

    static LinkRequest read(const ReadRequest& request);
    static LinkRequest write(uint8_t port, uint8_t baud, uint8_t address, uint32_t parameterCode,
                             std::string valueText);
    static LinkRequest poll(uint8_t port, uint8_t baud, uint8_t address, int tableIndex);
    static LinkRequest raw(uint8_t port, const LineFormat& format, std::vector<uint8_t> bytes);
};

struct LinkResult {
    std::optional<double> value;  // Read: the checked value, nullopt after five failures
    uint8_t writeReply = 0;       // Write: the first reply byte, 0 when nothing got through
    ExchangeResult exchange;      // Poll and Raw: the status and the reply as it came
    // Why it failed (None after a success): the last attempt's reason.
    LinkReason reason = LinkReason::None;
    // Every exchange on the line, one per attempt, in order: what the bus monitor shows.
    std::vector<ExchangeRecord> exchanges;

    // "无应答", "端口被占用（minicom 1234）"; empty when nothing failed.
    std::string reasonLine() const;
};

// Carries out one request with a link of its own, waiting on the line as long as it takes.
LinkResult perform(const LinkRequest& request, SerialOpener& opener = defaultSerialOpener());

}  // namespace tervo
