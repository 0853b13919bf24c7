#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "link/SerialDevice.h"

namespace tervo {

// Link status, the result of one exchange.
enum LinkStatus : int {
    kLinkOk = 0,  // exchange done, at least one reply byte received
    kLinkSetStateFailed = 1,
    kLinkGetStateFailed = 2,
    kLinkGetTimeoutsFailed = 3,
    kLinkOpenFailed = 4,  // absent, or held by any other handle
    kLinkNoReply = 5,
    kLinkBadPort = 10,
    kLinkBadBaud = 20,
};

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

// What readParam needs to know: the same four items a channel carries.
struct ReadRequest {
    uint32_t parameterCode = 0;
    uint8_t port = 0;
    uint8_t baud = kDefaultBaudIndex;
    uint8_t address = 0;
};

struct ExchangeResult {
    int status = kLinkOk;
    std::vector<uint8_t> reply;  // empty unless status is 0
};

// The one piece of code that talks to a serial port. Each exchange opens the port, sets the
// timeouts and the line format, writes, reads one reply and closes again, so nothing holds a
// port between exchanges. An object lives for one handler and is used from one thread.
class SerialLink {
public:
    static constexpr size_t kBufferSize = 104;
    static constexpr size_t kReadSize = 20;

    // The inter-character timeout is never below 20 ms.
    explicit SerialLink(int interCharTimeout = 0, SerialOpener& opener = defaultOpener());
    virtual ~SerialLink();

    int transact();
    int pollParam(uint8_t port, uint8_t baud, uint8_t address, int tableIndex);
    // Returns the first reply byte (ACK 6, NAK 21, or whatever came), 0 when no exchange got
    // through. Value texts are padded to ten characters by callers; the first five are sent.
    uint8_t writeParam(uint8_t port, uint8_t baud, uint8_t address, uint32_t parameterCode,
                       std::string_view valueText);
    // 0 with the value stored, 1 with the value untouched.
    int readParam(const ReadRequest& request, double& value);
    ExchangeResult exchange(const uint8_t* bytes, size_t length);

    // The value field rule: digits before and after '.', '-' anywhere negates, all else skipped.
    static double parseValueField(const uint8_t* field);
    static void putAddress(uint8_t* out, uint8_t address);

    uint8_t m_port = 0;
    uint8_t m_baud = kDefaultBaudIndex;
    uint8_t m_parity = 2;
    uint8_t m_stopBits = 0;
    uint8_t m_dataBits = 7;
    uint8_t m_address = 0;
    int32_t m_interCharTimeout = 20;
    uint8_t m_transmit[kBufferSize] = {};
    uint8_t m_receive[kBufferSize] = {};
    int32_t m_transmitLength = 0;
    uint32_t m_transferred = 0;

private:
    static SerialOpener& defaultOpener();
    // Fills bytes 0..4 and the mnemonic; false for a code that names no parameter.
    bool buildHeader(uint8_t address, uint32_t parameterCode, bool select);

    SerialOpener& m_opener;
};

}  // namespace tervo
