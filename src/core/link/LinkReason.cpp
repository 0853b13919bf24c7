#include "core/link/LinkReason.h"

namespace tervo {

namespace {

struct ReasonNames {
    const char* text;
    const char* key;
};

constexpr ReasonNames kNames[kLinkReasonCount] = {
    {"", "none"},
    {"端口号无效", "bad_port"},
    {"波特率无效", "bad_baud"},
    {"端口打不开", "open_failed"},
    {"无此设备", "no_device"},
    {"无权访问端口", "permission_denied"},
    {"端口被占用", "port_held"},
    {"不是串口", "not_serial"},
    {"串口设置被拒绝", "line_settings_refused"},
    {"无应答", "no_reply"},
    {"应答过短", "reply_too_short"},
    {"应答过长", "reply_too_long"},
    {"校验错误", "bad_block_check"},
    {"应答无法识别", "garbled"},
    {"仪表拒绝", "nak"},
    {"仪表无此参数", "eot"},
    {"应答参数不符", "other_parameter"},
    {"参数代码无效", "unknown_code"},
};

}  // namespace

const char* reasonText(LinkReason reason) {
    const auto i = static_cast<size_t>(reason);
    return i < static_cast<size_t>(kLinkReasonCount) ? kNames[i].text : "";
}

const char* reasonKey(LinkReason reason) {
    const auto i = static_cast<size_t>(reason);
    return i < static_cast<size_t>(kLinkReasonCount) ? kNames[i].key : "none";
}

std::string reasonLine(LinkReason reason, const std::string& holder) {
    std::string line = reasonText(reason);
    if (reason == LinkReason::PortHeld && !holder.empty()) {
        line += "（" + holder + "）";
    }
    return line;
}

}  // namespace tervo
