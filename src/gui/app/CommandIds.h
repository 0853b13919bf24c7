#pragma once

namespace tervo::gui {

// Command ids of the menus, toolbars and accelerators. The numbers are the system's own and
// are what the tests and the menu tables name.
enum CommandId : int {
    kCmdSetView = 32772,       // 仪表参数修改
    kCmdTestView = 32773,      // 串口测试
    kCmdOpenHistory = 32775,   // 打开历史记录
    kCmdHelp = 32834,          // 帮助
    kCmdCurveView = 32835,     // 跟踪曲线设置
    kCmdOpenTemplate = 32849,  // 打开仪表模板
    kCmdNewTemplate = 32850,   // 新建仪表模板
    kCmdOpenWork = 32851,      // 打开工作界面
    kCmdNewWork = 32852,       // 新建工作界面
    kCmdSaveTemplate = 32859,  // 保存仪表模板
    kCmdStartTitle = 32883,    // 设置起始标题
    kCmdSaveCurve = 32888,     // 保存曲线
    kCmdNextWindow = 32898,    // the last button of the main toolbar
    kCmdPortMap = 32899,       // 串口映射 (Linux device paths of COM1..COM6)

    kCmdFileNew = 57600,
    kCmdFileOpen = 57601,
    kCmdFileSave = 57603,
    kCmdPrintSetup = 57606,
    kCmdPrint = 57607,
    kCmdPrintPreview = 57609,
    kCmdEditCopy = 57634,
    kCmdEditCut = 57635,
    kCmdEditPaste = 57637,
    kCmdEditUndo = 57643,
    kCmdArrangeIcons = 57649,
    kCmdCascade = 57650,
    kCmdTile = 57651,
    kCmdAbout = 57664,
    kCmdExit = 57665,
    kCmdNextPane = 57680,
    kCmdPrevPane = 57681,
    kCmdToggleToolbar = 59392,
    kCmdToggleStatusBar = 59393,
};

// Window kinds: which view a new child window holds.
enum WindowKind : int {
    kKindWork = 0,
    kKindHistory = 1,
    kKindTest = 2,
    kKindSimulation = 3,
    kKindSet = 4,
    kKindCurve = 5,
    kKindCount = 6,
};

}  // namespace tervo::gui
