#include "core/link/SerialLink.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"

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

// Why a read reply (the bytes that came back for a poll of `mnemonic`) is not taken.
LinkReason readReplyReason(const std::vector<uint8_t>& reply, const char* mnemonic) {
    if (reply.empty()) {
        return LinkReason::NoReply;
    }
    uint8_t bcc = 0;
    for (size_t i = 1; i < 9 && i < reply.size(); ++i) {
        bcc ^= reply[i];
    }
    if (reply.size() == 10 && bcc == reply[9]) {
        // The start byte and the echo are not checked: the reply is the controller's answer.
        const bool sameEcho = reply[1] == static_cast<uint8_t>(mnemonic[0]) &&
                              reply[2] == static_cast<uint8_t>(mnemonic[1]);
        return sameEcho ? LinkReason::None : LinkReason::OtherParameter;
    }
    if (reply.size() == 1 && reply[0] == kEOT) {
        return LinkReason::Eot;
    }
    if (reply.size() == 1 && reply[0] == kNAK) {
        return LinkReason::Nak;
    }
    if (reply[0] != kSTX) {
        return LinkReason::Garbled;
    }
    if (reply.size() < 10) {
        return LinkReason::ReplyTooShort;
    }
    if (reply.size() > 10) {
        return LinkReason::ReplyTooLong;
    }
    return LinkReason::BadBlockCheck;
}

// Why a write reply is not an ACK.
LinkReason writeReplyReason(const std::vector<uint8_t>& reply) {
    if (reply.empty()) {
        return LinkReason::NoReply;
    }
    switch (reply[0]) {
        case kACK:
            return LinkReason::None;
        case kNAK:
            return LinkReason::Nak;
        case kEOT:
            return LinkReason::Eot;
        default:
            return LinkReason::Garbled;
    }
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

const char* statusMeaning(LinkStatus status) {
    switch (status) {
        case LinkStatus::Ok:
            return "exchange done";
        case LinkStatus::SetStateFailed:
            return "the line settings could not be applied";
        case LinkStatus::GetStateFailed:
            return "the line settings could not be read";
        case LinkStatus::GetTimeoutsFailed:
            return "the port is not a serial device";
        case LinkStatus::OpenFailed:
            return "the port is absent or in use";
        case LinkStatus::NoReply:
            return "no reply within the timeouts";
        case LinkStatus::BadPort:
            return "bad port";
        case LinkStatus::BadBaud:
            return "bad baud rate";
    }
    return "unknown";
}

SerialLink::SerialLink(int interCharTimeout, SerialOpener& opener)
    : m_opener(opener), m_interCharTimeout(interCharTimeout <= 20 ? 20 : interCharTimeout) {}

const std::string& SerialLink::holder() const {
    static const std::string none;
    return m_exchanges.empty() ? none : m_exchanges.back().holder;
}

void SerialLink::beginOperation() {
    m_exchanges.clear();
    m_reason = LinkReason::None;
}

LinkStatus SerialLink::transact(uint8_t port, const LineFormat& format, size_t length,
                                int address) {
    m_transferred = 0;
    ExchangeRecord& record = m_exchanges.emplace_back();
    record.port = port;
    record.address = address;
    const size_t sent = std::min(length, kBufferSize);
    record.sent.assign(m_transmit, m_transmit + sent);
    record.startedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    const auto started = std::chrono::steady_clock::now();
    auto done = [&](LinkStatus status, LinkReason reason) {
        record.reason = reason;
        record.roundTripMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count();
        m_reason = reason;
        return status;
    };
    if (port > 5) {
        return done(LinkStatus::BadPort, LinkReason::BadPort);
    }
    if (format.baud > 6) {
        return done(LinkStatus::BadBaud, LinkReason::BadBaud);
    }
    SerialOpener::Refusal refusal;
    std::unique_ptr<SerialDevice> device = m_opener.openExplained(portName(port), refusal);
    if (!device) {
        record.holder = refusal.holder;
        return done(LinkStatus::OpenFailed, refusal.reason);
    }
    SerialTimeouts timeouts;
    if (!device->getTimeouts(timeouts)) {
        return done(LinkStatus::GetTimeoutsFailed, LinkReason::NotSerial);
    }
    timeouts.readInterval = static_cast<uint32_t>(m_interCharTimeout);
    timeouts.readTotalMultiplier = 1;
    timeouts.readTotalConstant = 50;
    timeouts.writeTotalMultiplier = 1;
    timeouts.writeTotalConstant = 50;
    device->setTimeouts(timeouts);

    LineSettings line;
    if (!device->getLineSettings(line)) {
        return done(LinkStatus::GetStateFailed, LinkReason::NotSerial);
    }
    line.baud = kBauds[format.baud];
    line.dataBits = format.dataBits;
    line.parity = format.parity;
    line.stopBits = format.stopBits;
    if (!device->setLineSettings(line)) {
        return done(LinkStatus::SetStateFailed, LinkReason::LineSettingsRefused);
    }

    device->write(m_transmit, sent);
    m_transferred = device->read(m_receive, kReadSize);
    device.reset();
    record.received.assign(m_receive, m_receive + m_transferred);
    return m_transferred == 0 ? done(LinkStatus::NoReply, LinkReason::NoReply)
                              : done(LinkStatus::Ok, LinkReason::None);
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

ExchangeResult SerialLink::pollParam(uint8_t port, uint8_t baud, uint8_t address, int tableIndex) {
    beginOperation();
    ExchangeResult result;
    const auto code = static_cast<uint32_t>(tableIndex);
    if (!isTableIndex(code) || !buildHeader(address, code, false)) {
        result.status = LinkStatus::NoReply;  // only table indices are polled
        m_reason = LinkReason::UnknownCode;
        return result;
    }
    m_transmit[7] = kENQ;
    result.status = transact(port, LineFormat{baud}, 8, address);
    if (result.status == LinkStatus::Ok) {
        result.reply.assign(m_receive, m_receive + m_transferred);
        // The reply goes back as it came; the reason says what a read would make of it.
        m_reason = m_exchanges.back().reason =
            readReplyReason(result.reply, reinterpret_cast<const char*>(m_transmit + 5));
    }
    return result;
}

uint8_t SerialLink::writeParam(uint8_t port, uint8_t baud, uint8_t address, uint32_t parameterCode,
                               std::string_view valueText) {
    beginOperation();
    if (!buildHeader(address, parameterCode, true)) {
        m_reason = LinkReason::UnknownCode;
        return 0;
    }
    m_transmit[5] = kSTX;
    for (size_t i = 0; i < 5; ++i) {
        // Callers pad to ten characters; a shorter text is padded here rather than read past.
        m_transmit[8 + i] = i < valueText.size() ? static_cast<uint8_t>(valueText[i]) : ' ';
    }
    m_transmit[13] = kETX;
    m_transmit[14] = xorOf(m_transmit, 6, 13);
    m_receive[0] = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (transact(port, LineFormat{baud}, 15, address) == LinkStatus::Ok) {
            ExchangeRecord& record = m_exchanges.back();
            m_reason = record.reason = writeReplyReason(record.received);
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

std::optional<double> SerialLink::readParam(const ReadRequest& request) {
    beginOperation();
    if (!buildHeader(request.address, request.parameterCode, false)) {
        m_reason = LinkReason::UnknownCode;
        return std::nullopt;
    }
    m_transmit[7] = kENQ;
    const char* mnemonic = reinterpret_cast<const char*>(m_transmit + 5);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (transact(request.port, LineFormat{request.baud}, 8, request.address) !=
            LinkStatus::Ok) {
            continue;
        }
        ExchangeRecord& record = m_exchanges.back();
        m_reason = record.reason = readReplyReason(record.received, mnemonic);
        if (m_transferred != 10 || xorOf(m_receive, 1, 8) != m_receive[9]) {
            continue;
        }
        return parseValueField(m_receive + 3);
    }
    return std::nullopt;
}

ExchangeResult SerialLink::exchange(uint8_t port, const LineFormat& format,
                                    std::span<const uint8_t> bytes) {
    beginOperation();
    const size_t length = std::min(bytes.size(), kBufferSize);
    std::copy_n(bytes.begin(), length, m_transmit);
    ExchangeResult result;
    result.status = transact(port, format, length);
    if (result.status == LinkStatus::Ok) {
        result.reply.assign(m_receive, m_receive + m_transferred);
    }
    return result;
}

}  // namespace tervo
