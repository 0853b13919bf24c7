#include "core/link/LinkRequest.h"

#include <utility>

namespace tervo {

LinkRequest LinkRequest::read(const ReadRequest& request) {
    LinkRequest r;
    r.kind = Kind::Read;
    r.port = request.port;
    r.address = request.address;
    r.format.baud = request.baud;
    r.parameterCode = request.parameterCode;
    return r;
}

LinkRequest LinkRequest::write(uint8_t port, uint8_t baud, uint8_t address, uint32_t parameterCode,
                               std::string valueText) {
    LinkRequest r;
    r.kind = Kind::Write;
    r.port = port;
    r.address = address;
    r.format.baud = baud;
    r.parameterCode = parameterCode;
    r.valueText = std::move(valueText);
    return r;
}

LinkRequest LinkRequest::poll(uint8_t port, uint8_t baud, uint8_t address, int tableIndex) {
    LinkRequest r;
    r.kind = Kind::Poll;
    r.port = port;
    r.address = address;
    r.format.baud = baud;
    r.parameterCode = static_cast<uint32_t>(tableIndex);
    return r;
}

LinkRequest LinkRequest::raw(uint8_t port, const LineFormat& format, std::vector<uint8_t> bytes) {
    LinkRequest r;
    r.kind = Kind::Raw;
    r.port = port;
    r.format = format;
    r.bytes = std::move(bytes);
    return r;
}

LinkResult perform(const LinkRequest& request, SerialOpener& opener) {
    SerialLink link(0, opener);
    LinkResult result;
    switch (request.kind) {
        case LinkRequest::Kind::Read:
            result.value = link.readParam(ReadRequest{request.parameterCode, request.port,
                                                      request.format.baud, request.address});
            break;
        case LinkRequest::Kind::Write:
            result.writeReply = link.writeParam(request.port, request.format.baud, request.address,
                                                request.parameterCode, request.valueText);
            break;
        case LinkRequest::Kind::Poll:
            result.exchange = link.pollParam(request.port, request.format.baud, request.address,
                                             static_cast<int>(request.parameterCode));
            break;
        case LinkRequest::Kind::Raw:
            result.exchange = link.exchange(request.port, request.format, request.bytes);
            break;
    }
    result.reason = link.reason();
    result.exchanges = link.exchanges();
    return result;
}

std::string LinkResult::reasonLine() const {
    if (!isFailure(reason)) {
        return {};
    }
    return tervo::reasonLine(reason, exchanges.empty() ? std::string() : exchanges.back().holder);
}

}  // namespace tervo
