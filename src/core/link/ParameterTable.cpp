#include "core/link/ParameterTable.h"

#include <array>
#include <cctype>

#include "core/text/Gbk.h"

namespace tervo {

namespace {

constexpr std::string_view kMnemonics =
    "PVOPSPSLHALADAXPTITDHBLBCHCCRGHSLSBPHOSRHbLcSWXSOS"
    "r1l1t1r2l2t2r3l3t3r4l4t4r5l5t5r6l6t6r7l7t7r8l8t8";
static_assert(kMnemonics.size() == 2 * kParameterCount);

constexpr std::array<std::string_view, kParameterCount> kLabels = {
    "PV 测量值（只读）",   "OP 输出功率（只读）", "SP 运行目标值（只读）",
    "SL 基本设定值",       "HA 上限报警值",       "LA 下限报警值",
    "DA 偏差报警值",       "XP 加热比例带",       "TI 积分时间",
    "TD 微分时间",         "Hb PID上分离带",      "LB PID下分离带",
    "CH 加热动作周期",     "CC 冷却动作周期",     "RG 相关冷却系数",
    "HS 设定值最大值",     "LS 设定值最小值",     "BP 故障输出功率",
    "HO 最大输出功率",     "SR 升降温速率值",     "Hb 自动暂停带",
    "LC 曲线程序循环次数", "SW 状态值",           "XS 状态值",
    "OS 状态值",           "r1 斜坡1的斜率值",    "l1 平台1的设定值",
    "t1 平台1的运行时间",  "r2 斜坡2的斜率值",    "l2 平台2的设定值",
    "t2 平台2的运行时间",  "r3 斜坡3的斜率值",    "l3 平台3的设定值",
    "t3 平台3的运行时间",  "r4 斜坡4的斜率值",    "l4 平台4的设定值",
    "t4 平台4的运行时间",  "r5 斜坡5的斜率值",    "l5 平台5的设定值",
    "t5 平台5的运行时间",  "r6 斜坡6的斜率值",    "l6 平台6的设定值",
    "t6 平台6的运行时间",  "r7 斜坡7的斜率值",    "l7 平台7的设定值",
    "t7 平台7的运行时间",  "r8 斜坡8的斜率值",    "l8 平台8的设定值",
    "t8 平台8的运行时间",
};

const std::array<std::string, kParameterCount>& gbkLabels() {
    static const std::array<std::string, kParameterCount> table = [] {
        std::array<std::string, kParameterCount> t;
        for (int i = 0; i < kParameterCount; ++i) {
            t[i] = utf8ToGbk(kLabels[i]);
        }
        return t;
    }();
    return table;
}

}  // namespace

std::string_view parameterMnemonic(int index) {
    return kMnemonics.substr(2 * index, 2);
}

std::string_view parameterLabelUtf8(int index) {
    return kLabels[index];
}

const std::string& parameterLabelGbk(int index) {
    return gbkLabels()[index];
}

bool isTableIndex(uint32_t code) {
    return code < kParameterCount;
}

bool isLiteralCode(uint32_t code) {
    return code >= kFirstLiteralCode;
}

bool isValidParameterCode(uint32_t code) {
    return isTableIndex(code) || isLiteralCode(code);
}

uint32_t literalCode(char first, char second) {
    return static_cast<unsigned char>(first) + 256u * static_cast<unsigned char>(second);
}

std::string mnemonicOfCode(uint32_t code) {
    if (isTableIndex(code)) {
        return std::string(parameterMnemonic(static_cast<int>(code)));
    }
    if (isLiteralCode(code)) {
        return {static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF)};
    }
    return {};
}

std::string parameterCodeDisplayUtf8(uint32_t code) {
    if (code > 255) {
        return {static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF)};
    }
    if (isTableIndex(code)) {
        return std::string(parameterLabelUtf8(static_cast<int>(code)));
    }
    return "?" + std::to_string(code);
}

int parameterIndexOfMnemonic(std::string_view mnemonic) {
    if (mnemonic.size() != 2) {
        return -1;
    }
    for (int i = 0; i < kParameterCount; ++i) {
        if (parameterMnemonic(i) == mnemonic) {
            return i;
        }
    }
    return -1;
}

}  // namespace tervo

namespace tervo {

std::vector<std::string> suggestedMnemonics(std::string_view name) {
    auto lower = [](std::string_view text) {
        std::string l(text);
        for (char& c : l) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return l;
    };
    std::vector<std::string> meant;
    for (int i = 0; i < kParameterCount; ++i) {
        const std::string_view mnemonic = parameterMnemonic(i);
        if (mnemonic != name && lower(mnemonic) == lower(name)) {
            meant.emplace_back(mnemonic);
        }
    }
    if (meant.empty() && lower(name) == "sv") {
        meant.emplace_back(parameterMnemonic(kSL));
    }
    return meant;
}

}  // namespace tervo
