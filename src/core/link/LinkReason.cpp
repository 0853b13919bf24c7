#include "core/link/LinkReason.h"

#include "core/text/Translation.h"

namespace tervo {

namespace {

struct ReasonNames {
    const char* text;
    const char* key;
};

constexpr ReasonNames kNames[kLinkReasonCount] = {
    {"", "none"},
    {TERVO_TR_NOOP("core", "端口号无效"), "bad_port"},
    {TERVO_TR_NOOP("core", "波特率无效"), "bad_baud"},
    {TERVO_TR_NOOP("core", "端口打不开"), "open_failed"},
    {TERVO_TR_NOOP("core", "无此设备"), "no_device"},
    {TERVO_TR_NOOP("core", "无权访问端口"), "permission_denied"},
    {TERVO_TR_NOOP("core", "端口被占用"), "port_held"},
    {TERVO_TR_NOOP("core", "不是串口"), "not_serial"},
    {TERVO_TR_NOOP("core", "串口设置被拒绝"), "line_settings_refused"},
    {TERVO_TR_NOOP("core", "无应答"), "no_reply"},
    {TERVO_TR_NOOP("core", "应答过短"), "reply_too_short"},
    {TERVO_TR_NOOP("core", "应答过长"), "reply_too_long"},
    {TERVO_TR_NOOP("core", "校验错误"), "bad_block_check"},
    {TERVO_TR_NOOP("core", "应答无法识别"), "garbled"},
    {TERVO_TR_NOOP("core", "仪表拒绝"), "nak"},
    {TERVO_TR_NOOP("core", "仪表无此参数"), "eot"},
    {TERVO_TR_NOOP("core", "应答参数不符"), "other_parameter"},
    {TERVO_TR_NOOP("core", "参数代码无效"), "unknown_code"},
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
    std::string line = translated("core", reasonText(reason));
    if (reason == LinkReason::PortHeld && !holder.empty()) {
        line += "（" + holder + "）";
    }
    return line;
}

}  // namespace tervo
