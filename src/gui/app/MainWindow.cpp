#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>

#include "app/AboutDialog.h"
#include "app/ChildWindow.h"
#include "app/CommandIds.h"
#include "app/LockIndicators.h"
#include "app/PortMapDialog.h"
#include "app/StartTitleDialog.h"
#include "app/TervoApp.h"
#include "widgets/Pictures.h"
#include "widgets/Prompts.h"

namespace tervo::gui {

namespace {

struct CommandText {
    int id;
    const char* text;       // menu text; empty for commands only on the toolbar or keyboard
    const char* statusTip;  // the status bar's prompt
    const char* toolTip;
};

// Menu texts and prompts. Where the string table has one text it serves as both prompt and tip.
const CommandText kCommands[] = {
    {kCmdSetView, "仪表参数修改", "开始仪表参数设置工作", "开始仪表参数设置工作"},
    {kCmdTestView, "串口测试", "开始通信测试程序", "开始通信测试程序"},
    {kCmdOpenHistory, "打开历史记录", "数据分析", "数据分析"},
    {kCmdHelp, "帮助", "帮助文件", "帮助文件"},
    {kCmdCurveView, "跟踪曲线设置", "进入曲线跟踪设置", "曲线跟踪设置"},
    {kCmdOpenTemplate, "打开仪表模板", "打开仪表模拟模板", "打开仪表模拟模板"},
    {kCmdNewTemplate, "新建仪表模板", "", ""},
    {kCmdOpenWork, "打开工作界面", "打开工作模板", "打开工作模板"},
    {kCmdNewWork, "新建工作界面", "", ""},
    {kCmdSaveTemplate, "保存仪表模板", "", ""},
    {kCmdStartTitle, "设置起始标题", "", ""},
    {kCmdSaveCurve, "保存曲线", "保存曲线", "保存曲线"},
    {kCmdNextWindow, "", "切换到下一个窗口", "切换窗口"},
    {kCmdPortMap, "串口映射", "设置 COM1～COM6 所对应的串口设备", "串口映射"},
    {kCmdFileNew, "", "建立新文档", "新建"},
    {kCmdFileOpen, "", "打开一个现有文档", "打开"},
    {kCmdFileSave, "", "保存活动文档", "保存"},
    {kCmdPrintSetup, "打印设置(&R)...", "更改打印机及打印选项", "打印设置"},
    {kCmdPrint, "打印(&P)...\tCtrl+P", "打印活动文档", "打印"},
    {kCmdPrintPreview, "打印预览(&V)", "显示整页", "打印预览"},
    {kCmdEditCopy, "", "复制选定内容并将其放到剪贴板上", "复制"},
    {kCmdEditCut, "", "剪切选定内容并将其放到剪贴板上", "剪切"},
    {kCmdEditPaste, "", "插入剪贴板内容", "粘贴"},
    {kCmdEditUndo, "", "撤消最后一个操作", "撤消"},
    {kCmdArrangeIcons, "排列图标(&A)", "将图标排列在窗口底部", "排列图标"},
    {kCmdCascade, "层叠(&C)", "以互相重叠方式排列窗口", "层叠窗口"},
    {kCmdTile, "平铺(&T)", "以互不重叠方式排列窗口", "平铺窗口"},
    {kCmdAbout, "关于 Tervo(&A)...", "显示程序信息，版本号和版权", "关于"},
    {kCmdExit, "退出(&X)", "退出应用程序；提示保存文档", "退出"},
    {kCmdNextPane, "", "切换到下一个窗格", "下一窗格"},
    {kCmdPrevPane, "", "切换回前一个窗格", "前一窗格"},
    {kCmdToggleToolbar, "工具栏(&T)", "显示或隐藏工具栏", "切换工具栏"},
    {kCmdToggleStatusBar, "状态栏(&S)", "显示或隐藏状态栏", "切换状态栏"},
};

struct Accelerator {
    const char* keys;
    int id;
};

const Accelerator kAccelerators[] = {
    {"Ctrl+N", kCmdFileNew},    {"Ctrl+O", kCmdFileOpen},   {"Ctrl+S", kCmdFileSave},
    {"Ctrl+P", kCmdPrint},      {"Ctrl+Z", kCmdEditUndo},   {"Ctrl+X", kCmdEditCut},
    {"Ctrl+C", kCmdEditCopy},   {"Ctrl+V", kCmdEditPaste},  {"Alt+Backspace", kCmdEditUndo},
    {"Shift+Del", kCmdEditCut}, {"Ctrl+Ins", kCmdEditCopy}, {"Shift+Ins", kCmdEditPaste},
    {"F6", kCmdNextPane},       {"Shift+F6", kCmdPrevPane},
};

// The main toolbar: command id and image in strip 128; 0 is a separator.
const int kToolbarButtons[] = {kCmdTestView,
                               kCmdOpenTemplate,
                               kCmdSetView,
                               kCmdOpenWork,
                               kCmdOpenHistory,
                               kCmdCurveView,
                               0,
                               kCmdPrint,
                               0,
                               kCmdAbout,
                               0,
                               kCmdNextWindow};

// Commands the active view handles.
const int kViewCommands[] = {kCmdFileSave, kCmdPrint, kCmdPrintPreview, kCmdSaveTemplate,
                             kCmdSaveCurve};

// Which window kind's template a command needs.
struct KindCommand {
    int id;
    int kind;
};
const KindCommand kKindCommands[] = {
    {kCmdNewWork, kKindWork},
    {kCmdOpenWork, kKindWork},
    {kCmdOpenHistory, kKindHistory},
    {kCmdFileNew, kKindHistory},
    {kCmdFileOpen, kKindHistory},
    {kCmdTestView, kKindTest},
    {kCmdNewTemplate, kKindSimulation},
    {kCmdOpenTemplate, kKindSimulation},
    {kCmdSetView, kKindSet},
    {kCmdCurveView, kKindCurve},
};

// A menu as a list of command ids; 0 is a separator.
struct MenuLayout {
    const char* title;
    std::initializer_list<int> items;
};

const QString kAppTitle = QStringLiteral("温控仪控制系统");

}  // namespace

MainWindow::MainWindow(TervoApp& app, const QString& statusNote) : m_app(app) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("QT570控制软件"));
    setWindowIcon(app.windowIcon());
    m_mdi = new QMdiArea(this);
    m_mdi->setActivationOrder(QMdiArea::CreationOrder);
    setCentralWidget(m_mdi);
    createActions();
    createMenus();
    createToolBar();
    createStatusBar(statusNote);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        updateCaption(window);
        updateCommandStates();
    });
    connect(&m_app, &TervoApp::templatesChanged, this, &MainWindow::updateCommandStates);
    switchMenus();
    updateCommandStates();
    resize(1024, 768);
}

MainWindow::~MainWindow() = default;

void MainWindow::createActions() {
    for (const CommandText& c : kCommands) {
        auto* action = new QAction(QString::fromUtf8(c.text), this);
        action->setData(c.id);
        action->setObjectName(QStringLiteral("command%1").arg(c.id));
        action->setStatusTip(QString::fromUtf8(c.statusTip));
        action->setToolTip(QString::fromUtf8(c.toolTip));
        connect(action, &QAction::triggered, this, [this, id = c.id] { command(id); });
        m_actions.insert(c.id, action);
        // Accelerators work whichever menu is shown.
        addAction(action);
    }
    QMap<int, QList<QKeySequence>> keys;
    for (const Accelerator& a : kAccelerators) {
        keys[a.id].append(QKeySequence(QString::fromLatin1(a.keys)));
    }
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        m_actions[it.key()]->setShortcuts(it.value());
    }
    for (int id : {kCmdToggleToolbar, kCmdToggleStatusBar}) {
        m_actions[id]->setCheckable(true);
        m_actions[id]->setChecked(true);
    }
}

void MainWindow::createMenus() {
    const MenuLayout menus128[] = {
        {"系统服务", {kCmdStartTitle, kCmdPortMap, 0, kCmdPrintSetup, 0, kCmdExit}},
        {"通信测试", {kCmdTestView, 0, kCmdNewTemplate, kCmdOpenTemplate, 0, kCmdSetView}},
        {"实时记录", {kCmdNewWork, kCmdOpenWork, 0, kCmdCurveView, kCmdSaveCurve}},
        {"历史记录分析", {kCmdOpenHistory}},
        {"查看(&V)", {kCmdToggleToolbar, kCmdToggleStatusBar}},
        {"帮助(&H)", {kCmdAbout, 0, kCmdHelp}},
    };
    const MenuLayout menus129[] = {
        {"系统服务",
         {kCmdStartTitle, kCmdPortMap, 0, kCmdPrint, kCmdPrintPreview, kCmdPrintSetup, 0,
          kCmdExit}},
        {"通信测试",
         {kCmdTestView, 0, kCmdNewTemplate, kCmdOpenTemplate, kCmdSaveTemplate, 0, kCmdSetView}},
        {"实时记录", {kCmdNewWork, kCmdOpenWork, 0, kCmdCurveView, kCmdSaveCurve}},
        {"历史记录分析", {kCmdOpenHistory}},
        {"界面切换", {kCmdArrangeIcons, kCmdCascade, kCmdTile}},
        {"帮助", {kCmdAbout, 0, kCmdHelp}},
    };
    auto build = [this](const MenuLayout& request, QList<QMenu*>& into) {
        auto* menu = new QMenu(QString::fromUtf8(request.title), this);
        for (int id : request.items) {
            if (id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(m_actions[id]);
            }
        }
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::updateCommandStates);
        into.append(menu);
    };
    for (const MenuLayout& request : menus128) {
        build(request, m_menus128);
    }
    for (const MenuLayout& request : menus129) {
        build(request, m_menus129);
    }
}

void MainWindow::createToolBar() {
    m_toolBar = new QToolBar(QStringLiteral("工具栏"), this);
    m_toolBar->setObjectName(QStringLiteral("toolbar128"));
    m_toolBar->setIconSize(QSize(kToolImageWidth, kToolImageHeight));
    m_toolBar->setFloatable(false);
    int image = 0;
    for (int id : kToolbarButtons) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        m_actions[id]->setIcon(toolbarIcon(kToolbarMain, image++));
        m_toolBar->addAction(m_actions[id]);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    connect(m_actions[kCmdToggleToolbar], &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, m_actions[kCmdToggleToolbar],
            &QAction::setChecked);
}

void MainWindow::createStatusBar(const QString& statusNote) {
    QStatusBar* bar = statusBar();
    auto* message = new QLabel(QStringLiteral("就绪"), bar);
    message->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(message, 1);
    m_locks = new LockIndicators(bar);
    if (!statusNote.isEmpty()) {
        auto* note = new QLabel(statusNote, bar);
        note->setObjectName(QStringLiteral("statusNote"));
        note->setFrameShape(QFrame::Panel);
        note->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(note);
    }
    connect(m_actions[kCmdToggleStatusBar], &QAction::toggled, bar, &QStatusBar::setVisible);
}

void MainWindow::switchMenus() {
    const int wanted = m_children.isEmpty() ? 128 : 129;
    if (wanted == m_menuResource) {
        return;
    }
    m_menuResource = wanted;
    menuBar()->clear();
    for (QMenu* menu : wanted == 128 ? m_menus128 : m_menus129) {
        menuBar()->addMenu(menu);
    }
}

ChildWindow* MainWindow::activeChild() const {
    auto* frame = qobject_cast<ChildWindow*>(m_mdi->currentSubWindow());
    return m_children.contains(frame) ? frame : nullptr;
}

void MainWindow::updateCaption(QMdiSubWindow* activated) {
    // A window losing focus to a dialog "activates" nothing; the caption keeps its child then.
    if (activated == nullptr && !m_children.isEmpty()) {
        return;
    }
    ChildWindow* child = activeChild();
    setWindowTitle(child != nullptr ? kAppTitle + QStringLiteral(" - ") + child->frameTitle()
                                    : kAppTitle);
}

void MainWindow::updateCommandStates() {
    for (const KindCommand& k : kKindCommands) {
        m_actions[k.id]->setEnabled(m_app.hasTemplate(k.kind));
    }
    ChildWindow* child = activeChild();
    auto* handler = child != nullptr ? dynamic_cast<ViewCommands*>(child->view()) : nullptr;
    for (int id : kViewCommands) {
        m_actions[id]->setEnabled(handler != nullptr && handler->isCommandEnabled(id));
    }
}

ChildWindow* MainWindow::openView(int kind, std::optional<QString> filePath) {
    if (!m_app.hasTemplate(kind)) {
        return nullptr;
    }
    m_app.windowKind = kind;
    const QString path = filePath.value_or(m_app.currentFilePath);
    auto* frame = new ChildWindow(kind, m_app);
    ViewContext context;
    context.kind = kind;
    context.filePath = path;
    context.link = m_app.currentLink;
    context.frame = frame;
    QWidget* view = m_app.viewTemplate(kind)(context);
    if (view == nullptr) {
        delete frame;
        return nullptr;
    }
    frame->setView(view);
    const QString title = childTitle(kind, path);
    frame->setWindowTitle(title);
    frame->setFrameTitle(title);
    m_children.append(frame);
    connect(frame, &ChildWindow::closed, this, &MainWindow::onChildClosed);
    m_mdi->addSubWindow(frame);
    frame->move(childPlacement(kind).position);
    switchMenus();
    frame->show();
    m_mdi->setActiveSubWindow(frame);
    updateCaption(frame);
    updateCommandStates();
    m_app.cycleIndex = m_app.openChildCount;
    ++m_app.openChildCount;
    return frame;
}

void MainWindow::onChildClosed(ChildWindow* frame) {
    m_children.removeOne(frame);
    --m_app.openChildCount;
    m_app.cycleIndex = 0;
    switchMenus();
    updateCaption(nullptr);
    updateCommandStates();
}

bool MainWindow::openFrameworkFile(const QString& path) {
    return openView(kKindHistory, path) != nullptr;
}

void MainWindow::openFile(int kind, const QString& filter, const QString& extension) {
    FileDialogRequest request;
    request.filter = filter;
    request.defaultExtension = extension;
    request.initialName = QStringLiteral("*.") + extension;
    request.mustExist = true;
    const QString path = prompts().openFileName(this, request);
    if (path.isEmpty()) {
        return;
    }
    m_app.currentFilePath = path;
    openView(kind);
}

void MainWindow::nextWindow() {
    ++m_app.cycleIndex;
    if (m_app.cycleIndex >= m_app.openChildCount) {
        m_app.cycleIndex = 0;
    }
    if (m_app.cycleIndex < m_children.size()) {
        m_mdi->setActiveSubWindow(m_children[m_app.cycleIndex]);
    }
}

void MainWindow::arrangeIcons() {
    // Minimized windows in a row along the bottom edge; the others stay where they are.
    int x = 0;
    for (QMdiSubWindow* window : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (window->isMinimized()) {
            window->move(x, m_mdi->viewport()->height() - window->height());
            x += window->width();
        }
    }
}

void MainWindow::forwardEdit(int id) {
    QWidget* focus = QApplication::focusWidget();
    auto* edit = qobject_cast<QLineEdit*>(focus);
    if (edit == nullptr) {
        if (auto* combo = qobject_cast<QComboBox*>(focus)) {
            edit = combo->lineEdit();
        }
    }
    if (edit == nullptr) {
        return;
    }
    switch (id) {
        case kCmdEditCopy:
            edit->copy();
            break;
        case kCmdEditCut:
            edit->cut();
            break;
        case kCmdEditPaste:
            edit->paste();
            break;
        case kCmdEditUndo:
            edit->undo();
            break;
        default:
            break;
    }
}

void MainWindow::printSetup() {
    QPrinter& printer = m_app.printer();
    // Qt's page setup serves only system printers; without one (printing to PDF) the print
    // dialog chooses the printer, paper and orientation instead.
    if (printer.outputFormat() == QPrinter::NativeFormat) {
        QPageSetupDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printSetup"));
        prompts().runDialog(dialog);
    } else {
        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printSetup"));
        dialog.setWindowTitle(QStringLiteral("打印设置"));
        prompts().runDialog(dialog);
    }
}

void MainWindow::command(int id) {
    switch (id) {
        case kCmdNewWork:
            m_app.currentFilePath.clear();
            openView(kKindWork);
            break;
        case kCmdOpenWork:
            openFile(kKindWork, QStringLiteral("采集文件(*.awt)|*.awt|所有文件(*.*)|*.*||"),
                     QStringLiteral("awt"));
            break;
        case kCmdOpenHistory:
            openFile(kKindHistory, QStringLiteral("采集文件(*.alt)|*.alt|所有文件(*.*)|*.*||"),
                     QStringLiteral("alt"));
            break;
        case kCmdTestView:
            openView(kKindTest);
            break;
        case kCmdNewTemplate:
            m_app.currentFilePath.clear();
            openView(kKindSimulation);
            break;
        case kCmdOpenTemplate:
            openFile(kKindSimulation, QStringLiteral("模板文件(*.sim)|*.sim|所有文件(*.*)|*.*||"),
                     QStringLiteral("sim"));
            break;
        case kCmdSetView:
            openView(kKindSet);
            break;
        case kCmdCurveView:
            openView(kKindCurve);
            break;
        case kCmdHelp:
            messageBox(this,
                       QStringLiteral("本软件适用于QT570温控仪。\n") +
                           QStringLiteral("能完成通信测试、参数设置修改、及简单的采样工作。"),
                       PromptButtons::Ok, PromptIcon::Question, QStringLiteral("帮助"));
            break;
        case kCmdStartTitle: {
            StartTitleDialog dialog(this);
            prompts().runDialog(dialog);
            break;
        }
        case kCmdPortMap: {
            PortMapDialog dialog(this);
            prompts().runDialog(dialog);
            break;
        }
        case kCmdNextWindow:
            nextWindow();
            break;
        case kCmdAbout: {
            AboutDialog dialog(this);
            prompts().runDialog(dialog);
            break;
        }
        case kCmdFileNew:
            if (m_app.hasTemplate(kKindHistory)) {
                openView(kKindHistory, QString());
            }
            break;
        case kCmdFileOpen:
            if (m_app.hasTemplate(kKindHistory)) {
                FileDialogRequest request;
                request.filter = QStringLiteral("所有文件(*.*)|*.*||");
                const QString path = prompts().openFileName(this, request);
                if (!path.isEmpty()) {
                    openFrameworkFile(path);
                }
            }
            break;
        case kCmdPrintSetup:
            printSetup();
            break;
        case kCmdFileSave:
        case kCmdPrint:
        case kCmdPrintPreview:
        case kCmdSaveTemplate:
        case kCmdSaveCurve:
            if (ChildWindow* child = activeChild()) {
                if (auto* handler = dynamic_cast<ViewCommands*>(child->view());
                    handler != nullptr && handler->isCommandEnabled(id)) {
                    handler->onViewCommand(id);
                }
            }
            break;
        case kCmdEditCopy:
        case kCmdEditCut:
        case kCmdEditPaste:
        case kCmdEditUndo:
            forwardEdit(id);
            break;
        case kCmdNextPane:
            m_mdi->activateNextSubWindow();
            break;
        case kCmdPrevPane:
            m_mdi->activatePreviousSubWindow();
            break;
        case kCmdArrangeIcons:
            arrangeIcons();
            break;
        case kCmdCascade:
            m_mdi->cascadeSubWindows();
            break;
        case kCmdTile:
            m_mdi->tileSubWindows();
            break;
        case kCmdExit:
            close();
            break;
        case kCmdToggleToolbar:
        case kCmdToggleStatusBar:
            // The checkable actions act through their toggled signal.
            break;
        default:
            break;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_app.confirmClose(this)) {
        event->ignore();
        return;
    }
    m_app.setClosingAll(true);
    m_mdi->closeAllSubWindows();
    m_app.setClosingAll(false);
    event->accept();
}

}  // namespace tervo::gui
