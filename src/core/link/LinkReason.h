#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervo {

// Why an exchange failed, beside the link status the protocol operations return. Each step of
// an exchange that can go wrong has its reason: the port, the line and the reply.
enum class LinkReason : uint8_t {
    None = 0,             // the exchange went through and its reply was good
    BadPort,              // port index above 5
    BadBaud,              // baud index above 6
    OpenFailed,           // the port could not be opened, cause unknown
    NoDevice,             // no such device
    PermissionDenied,     // not allowed to open the device
    PortHeld,             // another program (or another Tervo) holds the port
    NotSerial,            // the device is no serial port: its settings cannot be read
    LineSettingsRefused,  // the device refused the baud rate or line format
    NoReply,              // nothing came back within the timeouts
    ReplyTooShort,        // a read reply of fewer than ten bytes
    ReplyTooLong,         // a read reply of more than ten bytes
    BadBlockCheck,        // ten bytes, but the block check is wrong
    Garbled,              // the reply does not start as an answer does
    Nak,                  // the controller refused (NAK)
    Eot,                  // the controller does not know the parameter (EOT)
    OtherParameter,       // a good reply whose echo names another parameter (taken all the same)
    UnknownCode,          // a parameter code that names no parameter: nothing was sent
};

inline constexpr int kLinkReasonCount = static_cast<int>(LinkReason::UnknownCode) + 1;

// The reason as the operator reads it ("无应答"), UTF-8; empty for None.
const char* reasonText(LinkReason reason);
// The reason as a label value of the metrics page and MQTT ("no_reply"); "none" for None.
const char* reasonKey(LinkReason reason);
// Whether the reason makes the exchange fail. A reply echoing another parameter is taken as the
// controller's answer, as it always was, and only noted.
constexpr bool isFailure(LinkReason reason) {
    return reason != LinkReason::None && reason != LinkReason::OtherParameter;
}

// One exchange on the line: what went out, what came back, when and how long it took, and why
// it failed. Every attempt of an operation has one, so the reasons of retries are kept.
struct ExchangeRecord {
    uint8_t port = 0;
    int address = -1;  // the station the frame is for; -1 for raw bytes
    std::vector<uint8_t> sent;
    std::vector<uint8_t> received;
    LinkReason reason = LinkReason::None;
    std::string holder;        // PortHeld: who holds the port, when its lock file says
    int64_t startedMs = 0;     // wall-clock milliseconds since the epoch
    double roundTripMs = 0.0;  // from the open to the end of the read
};

// "无应答", or with the holder of a held port: "端口被占用（minicom 1234）".
std::string reasonLine(LinkReason reason, const std::string& holder = {});

}  // namespace tervo
