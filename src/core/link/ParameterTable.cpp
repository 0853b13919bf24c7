#include "core/link/ParameterTable.h"

#include <array>
#include <cctype>

#include "core/text/Gbk.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

constexpr std::string_view kMnemonics =
    "PVOPSPSLHALADAXPTITDHBLBCHCCRGHSLSBPHOSRHbLcSWXSOS"
    "r1l1t1r2l2t2r3l3t3r4l4t4r5l5t5r6l6t6r7l7t7r8l8t8";
static_assert(kMnemonics.size() == 2 * kParameterCount);

constexpr std::array<std::string_view, kParameterCount> kLabels = {
    TERVO_TR_NOOP("core", "PV 测量值（只读）"),
    TERVO_TR_NOOP("core", "OP 输出功率（只读）"),
    TERVO_TR_NOOP("core", "SP 运行目标值（只读）"),
    TERVO_TR_NOOP("core", "SL 基本设定值"),
    TERVO_TR_NOOP("core", "HA 上限报警值"),
    TERVO_TR_NOOP("core", "LA 下限报警值"),
    TERVO_TR_NOOP("core", "DA 偏差报警值"),
    TERVO_TR_NOOP("core", "XP 加热比例带"),
    TERVO_TR_NOOP("core", "TI 积分时间"),
    TERVO_TR_NOOP("core", "TD 微分时间"),
    TERVO_TR_NOOP("core", "Hb PID上分离带"),
    TERVO_TR_NOOP("core", "LB PID下分离带"),
    TERVO_TR_NOOP("core", "CH 加热动作周期"),
    TERVO_TR_NOOP("core", "CC 冷却动作周期"),
    TERVO_TR_NOOP("core", "RG 相关冷却系数"),
    TERVO_TR_NOOP("core", "HS 设定值最大值"),
    TERVO_TR_NOOP("core", "LS 设定值最小值"),
    TERVO_TR_NOOP("core", "BP 故障输出功率"),
    TERVO_TR_NOOP("core", "HO 最大输出功率"),
    TERVO_TR_NOOP("core", "SR 升降温速率值"),
    TERVO_TR_NOOP("core", "Hb 自动暂停带"),
    TERVO_TR_NOOP("core", "LC 曲线程序循环次数"),
    TERVO_TR_NOOP("core", "SW 状态值"),
    TERVO_TR_NOOP("core", "XS 状态值"),
    TERVO_TR_NOOP("core", "OS 状态值"),
    TERVO_TR_NOOP("core", "r1 斜坡1的斜率值"),
    TERVO_TR_NOOP("core", "l1 平台1的设定值"),
    TERVO_TR_NOOP("core", "t1 平台1的运行时间"),
    TERVO_TR_NOOP("core", "r2 斜坡2的斜率值"),
    TERVO_TR_NOOP("core", "l2 平台2的设定值"),
    TERVO_TR_NOOP("core", "t2 平台2的运行时间"),
    TERVO_TR_NOOP("core", "r3 斜坡3的斜率值"),
    TERVO_TR_NOOP("core", "l3 平台3的设定值"),
    TERVO_TR_NOOP("core", "t3 平台3的运行时间"),
    TERVO_TR_NOOP("core", "r4 斜坡4的斜率值"),
    TERVO_TR_NOOP("core", "l4 平台4的设定值"),
    TERVO_TR_NOOP("core", "t4 平台4的运行时间"),
    TERVO_TR_NOOP("core", "r5 斜坡5的斜率值"),
    TERVO_TR_NOOP("core", "l5 平台5的设定值"),
    TERVO_TR_NOOP("core", "t5 平台5的运行时间"),
    TERVO_TR_NOOP("core", "r6 斜坡6的斜率值"),
    TERVO_TR_NOOP("core", "l6 平台6的设定值"),
    TERVO_TR_NOOP("core", "t6 平台6的运行时间"),
    TERVO_TR_NOOP("core", "r7 斜坡7的斜率值"),
    TERVO_TR_NOOP("core", "l7 平台7的设定值"),
    TERVO_TR_NOOP("core", "t7 平台7的运行时间"),
    TERVO_TR_NOOP("core", "r8 斜坡8的斜率值"),
    TERVO_TR_NOOP("core", "l8 平台8的设定值"),
    TERVO_TR_NOOP("core", "t8 平台8的运行时间"),
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
