#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/LinkReason.h"
#include "core/link/SerialDevice.h"

namespace tervo {

// The result of one exchange. The numbers are the ones operators and the command line see.
enum class LinkStatus : int {
    Ok = 0,  // exchange done, at least one reply byte received
    SetStateFailed = 1,
    GetStateFailed = 2,
    GetTimeoutsFailed = 3,
    OpenFailed = 4,  // absent, or held by any other handle
    NoReply = 5,
    BadPort = 10,
    BadBaud = 20,
};

constexpr int statusNumber(LinkStatus status) {
    return static_cast<int>(status);
}

// What a status means, in a few English words for the command line.
const char* statusMeaning(LinkStatus status);

// Control characters of the controller protocol.
constexpr uint8_t kEOT = 0x04;
constexpr uint8_t kENQ = 0x05;
constexpr uint8_t kSTX = 0x02;
constexpr uint8_t kETX = 0x03;
constexpr uint8_t kACK = 0x06;
constexpr uint8_t kNAK = 0x15;

constexpr int kBaudCount = 7;
constexpr int kDefaultBaudIndex = 5;  // 9600
uint32_t baudOfIndex(int baudIndex);  // 0 when the index is not 0..6
int baudIndexOf(uint32_t baud);       // -1 when the rate is not in the table
const char* baudText(int baudIndex);  // "300".."19200"

// The line an exchange runs on. Parity: 0 none, 1 odd, 2 even, 3 mark, 4 space. Stop bits:
// 0 one, 1 one and a half, 2 two. The controllers speak 7E1, the default.
struct LineFormat {
    uint8_t baud = kDefaultBaudIndex;  // index into the baud table
    uint8_t dataBits = 7;
    uint8_t parity = 2;
    uint8_t stopBits = 0;

    bool operator==(const LineFormat&) const = default;
};

// What readParam needs to know: the same four items a channel carries.
struct ReadRequest {
    uint32_t parameterCode = 0;
    uint8_t port = 0;
    uint8_t baud = kDefaultBaudIndex;
    uint8_t address = 0;
};

struct ExchangeResult {
    LinkStatus status = LinkStatus::Ok;
    std::vector<uint8_t> reply;  // empty unless status is Ok
};

// The one piece of code that talks to a serial port. Each exchange opens the port, sets the
// timeouts and the line format, writes, reads one reply and closes again, so nothing holds a
// port between exchanges. An object is used from one thread at a time.
class SerialLink {
public:
    static constexpr size_t kBufferSize = 104;  // the most one exchange sends
    static constexpr size_t kReadSize = 20;     // the most one exchange reads

    // The inter-character timeout is never below 20 ms.
    explicit SerialLink(int interCharTimeout = 0, SerialOpener& opener = defaultSerialOpener());

    // One exchange of raw bytes on port 0..5 ("COM1".."COM6"). Bytes beyond 104 are not sent.
    ExchangeResult exchange(uint8_t port, const LineFormat& format, std::span<const uint8_t> bytes);
    // One poll of table index `tableIndex` in 7E1, the reply as it came (not checked). A code
    // that is not a table index puts nothing on the wire and gives NoReply.
    ExchangeResult pollParam(uint8_t port, uint8_t baud, uint8_t address, int tableIndex);
    // Returns the first reply byte (ACK 6, NAK 21, or whatever came), 0 when no exchange got
    // through in five attempts. Value texts are padded to ten characters by callers; the first
    // five are sent.
    uint8_t writeParam(uint8_t port, uint8_t baud, uint8_t address, uint32_t parameterCode,
                       std::string_view valueText);
    // The value, after up to five attempts each checked for length and block check; nullopt
    // when none was good.
    std::optional<double> readParam(const ReadRequest& request);

    int interCharTimeout() const { return m_interCharTimeout; }

    // The exchanges of the last operation, one per attempt, each with its reason.
    const std::vector<ExchangeRecord>& exchanges() const { return m_exchanges; }
    // Why the last operation failed: its last attempt's reason (UnknownCode when nothing was
    // sent). None after a success; OtherParameter when the value taken came with another echo.
    LinkReason reason() const { return m_reason; }
    // The holder of the port when the reason is PortHeld, as its lock file names it.
    const std::string& holder() const;

    // The value field rule: digits before and after '.', '-' anywhere negates, all else skipped.
    static double parseValueField(const uint8_t* field);
    static void putAddress(uint8_t* out, uint8_t address);

private:
    // Sends the first `length` bytes of the transmit buffer and reads into the receive buffer.
    // Each call adds an exchange record for `address` (-1: raw bytes).
    LinkStatus transact(uint8_t port, const LineFormat& format, size_t length, int address = -1);
    // Starts the records of a new operation.
    void beginOperation();
    // Fills bytes 0..4 and the mnemonic; false for a code that names no parameter.
    bool buildHeader(uint8_t address, uint32_t parameterCode, bool select);

    SerialOpener& m_opener;
    int m_interCharTimeout;
    uint8_t m_transmit[kBufferSize] = {};
    uint8_t m_receive[kBufferSize] = {};
    size_t m_transferred = 0;
    std::vector<ExchangeRecord> m_exchanges;
    LinkReason m_reason = LinkReason::None;
};

}  // namespace tervo
