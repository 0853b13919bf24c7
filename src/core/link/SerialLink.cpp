#include "link/SerialLink.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "link/ParameterTable.h"
#include "link/PortMap.h"
#include "link/PosixSerialDevice.h"

namespace tervo {

namespace {

constexpr uint32_t kBauds[kBaudCount] = {300, 600, 1200, 2400, 4800, 9600, 19200};
constexpr const char* kBaudTexts[kBaudCount] = {"300",  "600",  "1200", "2400",
                                                "4800", "9600", "19200"};
constexpr int kAttempts = 5;

uint8_t xorOf(const uint8_t* bytes, size_t first, size_t last) {
    uint8_t bcc = 0;
    for (size_t i = first; i <= last; ++i) {
        bcc ^= bytes[i];
    }
    return bcc;
}

}  // namespace

uint32_t baudOfIndex(int baudIndex) {
    return baudIndex >= 0 && baudIndex < kBaudCount ? kBauds[baudIndex] : 0;
}

int baudIndexOf(uint32_t baud) {
    for (int i = 0; i < kBaudCount; ++i) {
        if (kBauds[i] == baud) {
            return i;
        }
    }
    return -1;
}

const char* baudText(int baudIndex) {
    return baudIndex >= 0 && baudIndex < kBaudCount ? kBaudTexts[baudIndex] : "";
}

SerialOpener& SerialLink::defaultOpener() {
    return defaultSerialOpener();
}

SerialLink::SerialLink(int interCharTimeout, SerialOpener& opener)
    : m_interCharTimeout(interCharTimeout <= 20 ? 20 : interCharTimeout), m_opener(opener) {}

SerialLink::~SerialLink() = default;

int SerialLink::transact() {
    if (m_port > 5) {
        return kLinkBadPort;
    }
    if (m_baud > 6) {
        return kLinkBadBaud;
    }
    std::unique_ptr<SerialDevice> device = m_opener.open(portName(m_port));
    if (!device) {
        return kLinkOpenFailed;
    }
    SerialTimeouts timeouts;
    if (!device->getTimeouts(timeouts)) {
        return kLinkGetTimeoutsFailed;
    }
    timeouts.readInterval = static_cast<uint32_t>(m_interCharTimeout);
    timeouts.readTotalMultiplier = 1;
    timeouts.readTotalConstant = 50;
    timeouts.writeTotalMultiplier = 1;
    timeouts.writeTotalConstant = 50;
    device->setTimeouts(timeouts);

    LineSettings line;
    if (!device->getLineSettings(line)) {
        return kLinkGetStateFailed;
    }
    line.baud = kBauds[m_baud];
    line.dataBits = m_dataBits;
    line.parity = m_parity;
    line.stopBits = m_stopBits;
    if (!device->setLineSettings(line)) {
        return kLinkSetStateFailed;
    }

    const size_t length =
        static_cast<size_t>(std::clamp<int32_t>(m_transmitLength, 0, kBufferSize));
    device->write(m_transmit, length);
    m_transferred = static_cast<uint32_t>(device->read(m_receive, kReadSize));
    device.reset();
    return m_transferred == 0 ? kLinkNoReply : kLinkOk;
}

void SerialLink::putAddress(uint8_t* out, uint8_t address) {
    const uint8_t tens = static_cast<uint8_t>('0' + (address / 10) % 10);
    const uint8_t units = static_cast<uint8_t>('0' + address % 10);
    out[0] = tens;
    out[1] = tens;
    out[2] = units;
    out[3] = units;
}

bool SerialLink::buildHeader(uint8_t address, uint32_t parameterCode, bool select) {
    // Codes 49..256 name no parameter. Sending them would mean reading past the table, so no
    // frame is built and the operation fails as a silent controller would.
    const std::string mnemonic = mnemonicOfCode(parameterCode);
    if (mnemonic.size() != 2) {
        return false;
    }
    m_transmit[0] = kEOT;
    putAddress(m_transmit + 1, address);
    const size_t at = select ? 6 : 5;
    m_transmit[at] = static_cast<uint8_t>(mnemonic[0]);
    m_transmit[at + 1] = static_cast<uint8_t>(mnemonic[1]);
    return true;
}

int SerialLink::pollParam(uint8_t port, uint8_t baud, uint8_t address, int tableIndex) {
    m_port = port;
    m_baud = baud;
    m_address = address;
    const auto code = static_cast<uint32_t>(tableIndex);
    if (!isTableIndex(code) || !buildHeader(address, code, false)) {
        return kLinkNoReply;  // only table indices are polled; nothing else goes on the wire
    }
    m_transmit[7] = kENQ;
    m_transmitLength = 8;
    return transact();
}

uint8_t SerialLink::writeParam(uint8_t port, uint8_t baud, uint8_t address, uint32_t parameterCode,
                                std::string_view valueText) {
    m_port = port;
    m_baud = baud;
    m_address = address;
    if (!buildHeader(address, parameterCode, true)) {
        return 0;
    }
    m_transmit[5] = kSTX;
    for (size_t i = 0; i < 5; ++i) {
        // Callers pad to ten characters; a shorter text is padded here rather than read past.
        m_transmit[8 + i] = i < valueText.size() ? static_cast<uint8_t>(valueText[i]) : ' ';
    }
    m_transmit[13] = kETX;
    m_transmit[14] = xorOf(m_transmit, 6, 13);
    m_transmitLength = 15;
    m_receive[0] = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (transact() == kLinkOk) {
            break;
        }
    }
    return m_receive[0];
}

double SerialLink::parseValueField(const uint8_t* field) {
    double value = 0.0;
    double sign = 1.0;
    double weight = 0.1;
    bool point = false;
    for (int i = 0; i < 5; ++i) {
        const uint8_t c = field[i];
        if (c >= '0' && c <= '9') {
            const int digit = c - '0';
            if (point) {
                value += digit * weight;
                weight /= 10.0;
            } else {
                value = value * 10.0 + digit;
            }
        } else if (c == '-') {
            sign = -1.0;
        } else if (c == '.') {
            point = true;
        }
    }
    return sign * value;
}

int SerialLink::readParam(const ReadRequest& request, double& value) {
    m_port = request.port;
    m_baud = request.baud;
    m_address = request.address;
    if (!buildHeader(request.address, request.parameterCode, false)) {
        return 1;
    }
    m_transmit[7] = kENQ;
    m_transmitLength = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (transact() != kLinkOk) {
            continue;
        }
        if (m_transferred != 10 || xorOf(m_receive, 1, 8) != m_receive[9]) {
            continue;
        }
        value = parseValueField(m_receive + 3);
        return 0;
    }
    return 1;
}

ExchangeResult SerialLink::exchange(const uint8_t* bytes, size_t length) {
    length = std::min(length, kBufferSize);
    if (length > 0) {
        std::memcpy(m_transmit, bytes, length);
    }
    m_transmitLength = static_cast<int32_t>(length);
    ExchangeResult result;
    result.status = transact();
    if (result.status == kLinkOk) {
        result.reply.assign(m_receive, m_receive + m_transferred);
    }
    return result;
}

}  // namespace tervo
