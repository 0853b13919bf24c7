#include "gui/app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
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
#include <QToolButton>

#include "gui/alarms/AlarmCenter.h"
#include "gui/alarms/AlarmListView.h"
#include "gui/app/AboutDialog.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/Language.h"
#include "gui/app/LockIndicators.h"
#include "gui/app/PortMapDialog.h"
#include "gui/app/PublishDialog.h"
#include "gui/app/Settings.h"
#include "gui/app/StartTitleDialog.h"
#include "gui/app/TervoApp.h"
#include "gui/diagnostics/BusMonitorView.h"
#include "gui/trend/TrendView.h"
#include "gui/widgets/Commands.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString appTitle() {
    return trc("MainWindow", "温控仪控制系统");
}

}  // namespace

MainWindow::MainWindow(TervoApp& app, const QString& statusNote) : m_app(app) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(trc("MainWindow", "QT570控制软件"));
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
    connect(&m_app, &TervoApp::templatesChanged, this, &MainWindow::refreshRecentFiles);
    m_recentFiles = Settings().recentFiles();
    refreshRecentFiles();
    switchMenus();
    updateCommandStates();
    resize(1024, 768);
}

// Child windows still open (the application ended without closing this window) are hidden by
// QWidget's destructor after our members are gone; the area's activation signals must not
// reach us then.
MainWindow::~MainWindow() {
    m_mdi->disconnect(this);
    // Work views closing with the window report their alarms unwatched; the line is gone then.
    m_app.alarms().disconnect(this);
}

void MainWindow::createActions() {
    MainActions& a = m_actions;
    auto command = [this](const char* name, const char* text, const char* prompt = "",
                          const char* tip = "") {
        QAction* action =
            makeCommand(this, QString::fromLatin1(name), tr(text), tr(prompt), tr(tip));
        // Shortcuts work whichever menu is shown.
        addAction(action);
        return action;
    };
    a.startTitle = command("startTitleAction", QT_TR_NOOP("设置起始标题"));
    a.portMap = command("portMapAction", QT_TR_NOOP("串口映射"),
                        QT_TR_NOOP("设置 COM1～COM6 所对应的串口设备"), QT_TR_NOOP("串口映射"));
    a.publish = command("publishAction", QT_TR_NOOP("网络发布"),
                        QT_TR_NOOP("设置实时数据的 MQTT 发布和指标页"), QT_TR_NOOP("网络发布"));
    a.busMonitor = command("busMonitorAction", QT_TR_NOOP("通信监视"),
                           QT_TR_NOOP("查看各仪表的通信情况和收发的帧"), QT_TR_NOOP("通信监视"));
    a.print = command("printAction", QT_TR_NOOP("打印(&P)...\tCtrl+P"), QT_TR_NOOP("打印活动文档"),
                      QT_TR_NOOP("打印"));
    a.printPreview = command("printPreviewAction", QT_TR_NOOP("打印预览(&V)"),
                             QT_TR_NOOP("显示整页"), QT_TR_NOOP("打印预览"));
    a.printSetup = command("printSetupAction", QT_TR_NOOP("打印设置(&R)..."),
                           QT_TR_NOOP("更改打印机及打印选项"), QT_TR_NOOP("打印设置"));
    a.exit = command("exitAction", QT_TR_NOOP("退出(&X)"), QT_TR_NOOP("退出应用程序；提示保存文档"),
                     QT_TR_NOOP("退出"));
    a.serialTest =
        command("serialTestAction", QT_TR_NOOP("串口测试"), QT_TR_NOOP("开始通信测试程序"));
    a.newTemplate = command("newTemplateAction", QT_TR_NOOP("新建仪表模板"));
    a.openTemplate =
        command("openTemplateAction", QT_TR_NOOP("打开仪表模板"), QT_TR_NOOP("打开仪表模拟模板"));
    a.saveTemplate = command("saveTemplateAction", QT_TR_NOOP("保存仪表模板"));
    a.parameters =
        command("parametersAction", QT_TR_NOOP("仪表参数修改"), QT_TR_NOOP("开始仪表参数设置工作"));
    a.newWork = command("newWorkAction", QT_TR_NOOP("新建工作界面"));
    a.openWork = command("openWorkAction", QT_TR_NOOP("打开工作界面"), QT_TR_NOOP("打开工作模板"));
    a.curves = command("curvesAction", QT_TR_NOOP("跟踪曲线设置"), QT_TR_NOOP("进入曲线跟踪设置"),
                       QT_TR_NOOP("曲线跟踪设置"));
    a.saveCurve = command("saveCurveAction", QT_TR_NOOP("保存曲线"), QT_TR_NOOP("保存曲线"));
    a.openHistory =
        command("openHistoryAction", QT_TR_NOOP("打开历史记录"), QT_TR_NOOP("数据分析"));
    a.alarmList = command("alarmListAction", QT_TR_NOOP("报警"),
                          QT_TR_NOOP("查看和确认各工作的报警"), QT_TR_NOOP("报警"));
    a.alarmSettings = command("alarmSettingsAction", QT_TR_NOOP("报警设置"),
                              QT_TR_NOOP("设置当前工作各通道的报警"), QT_TR_NOOP("报警设置"));
    a.trend = command("trendAction", QT_TR_NOOP("趋势图"),
                      QT_TR_NOOP("以趋势图显示当前工作或历史记录"), QT_TR_NOOP("趋势图"));
    a.toolBar = command("toolBarAction", QT_TR_NOOP("工具栏(&T)"), QT_TR_NOOP("显示或隐藏工具栏"),
                        QT_TR_NOOP("切换工具栏"));
    a.statusBar = command("statusBarAction", QT_TR_NOOP("状态栏(&S)"),
                          QT_TR_NOOP("显示或隐藏状态栏"), QT_TR_NOOP("切换状态栏"));
    a.arrangeIcons = command("arrangeIconsAction", QT_TR_NOOP("排列图标(&A)"),
                             QT_TR_NOOP("将图标排列在窗口底部"), QT_TR_NOOP("排列图标"));
    a.cascade = command("cascadeAction", QT_TR_NOOP("层叠(&C)"),
                        QT_TR_NOOP("以互相重叠方式排列窗口"), QT_TR_NOOP("层叠窗口"));
    a.tile = command("tileAction", QT_TR_NOOP("平铺(&T)"), QT_TR_NOOP("以互不重叠方式排列窗口"),
                     QT_TR_NOOP("平铺窗口"));
    a.about = command("aboutAction", QT_TR_NOOP("关于 Tervo(&A)..."),
                      QT_TR_NOOP("显示程序信息，版本号和版权"), QT_TR_NOOP("关于"));
    a.help = command("helpAction", QT_TR_NOOP("帮助"), QT_TR_NOOP("帮助文件"));
    a.nextWindow =
        command("nextWindowAction", "", QT_TR_NOOP("切换到下一个窗口"), QT_TR_NOOP("切换窗口"));
    a.fileNew = command("fileNewAction", "", QT_TR_NOOP("建立新文档"), QT_TR_NOOP("新建"));
    a.fileOpen = command("fileOpenAction", "", QT_TR_NOOP("打开一个现有文档"), QT_TR_NOOP("打开"));
    a.save = command("saveAction", "", QT_TR_NOOP("保存活动文档"), QT_TR_NOOP("保存"));
    a.undo = command("undoAction", "", QT_TR_NOOP("撤消最后一个操作"), QT_TR_NOOP("撤消"));
    a.cut =
        command("cutAction", "", QT_TR_NOOP("剪切选定内容并将其放到剪贴板上"), QT_TR_NOOP("剪切"));
    a.copy =
        command("copyAction", "", QT_TR_NOOP("复制选定内容并将其放到剪贴板上"), QT_TR_NOOP("复制"));
    a.paste = command("pasteAction", "", QT_TR_NOOP("插入剪贴板内容"), QT_TR_NOOP("粘贴"));
    a.nextPane =
        command("nextPaneAction", "", QT_TR_NOOP("切换到下一个窗格"), QT_TR_NOOP("下一窗格"));
    a.previousPane =
        command("previousPaneAction", "", QT_TR_NOOP("切换回前一个窗格"), QT_TR_NOOP("前一窗格"));

    a.fileNew->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    a.fileOpen->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    a.save->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    a.print->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    a.undo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Z")), QKeySequence(QStringLiteral("Alt+Backspace"))});
    a.cut->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+X")), QKeySequence(QStringLiteral("Shift+Del"))});
    a.copy->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+C")), QKeySequence(QStringLiteral("Ctrl+Ins"))});
    a.paste->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("Shift+Ins"))});
    a.nextPane->setShortcut(QKeySequence(QStringLiteral("F6")));
    a.previousPane->setShortcut(QKeySequence(QStringLiteral("Shift+F6")));
    a.toolBar->setCheckable(true);
    a.toolBar->setChecked(true);
    a.statusBar->setCheckable(true);
    a.statusBar->setChecked(true);

    connect(a.startTitle, &QAction::triggered, this, &MainWindow::setStartTitle);
    connect(a.portMap, &QAction::triggered, this, &MainWindow::mapPorts);
    connect(a.publish, &QAction::triggered, this, &MainWindow::setUpPublishing);
    connect(a.busMonitor, &QAction::triggered, this, &MainWindow::openBusMonitor);
    a.language = languageMenu(this)->menuAction();
    connect(a.printSetup, &QAction::triggered, this, &MainWindow::printSetup);
    connect(a.exit, &QAction::triggered, this, &MainWindow::close);
    connect(a.serialTest, &QAction::triggered, this, &MainWindow::openSerialTest);
    connect(a.newTemplate, &QAction::triggered, this, &MainWindow::newTemplate);
    connect(a.openTemplate, &QAction::triggered, this, &MainWindow::openTemplate);
    connect(a.parameters, &QAction::triggered, this, &MainWindow::openParameters);
    connect(a.newWork, &QAction::triggered, this, &MainWindow::newWork);
    connect(a.openWork, &QAction::triggered, this, &MainWindow::openWork);
    connect(a.curves, &QAction::triggered, this, &MainWindow::openCurves);
    connect(a.openHistory, &QAction::triggered, this, &MainWindow::openHistory);
    connect(a.alarmList, &QAction::triggered, this, &MainWindow::openAlarmList);
    connect(a.trend, &QAction::triggered, this, &MainWindow::openTrend);
    connect(a.arrangeIcons, &QAction::triggered, this, &MainWindow::arrangeIcons);
    connect(a.cascade, &QAction::triggered, m_mdi, &QMdiArea::cascadeSubWindows);
    connect(a.tile, &QAction::triggered, m_mdi, &QMdiArea::tileSubWindows);
    connect(a.about, &QAction::triggered, this, &MainWindow::showAbout);
    connect(a.help, &QAction::triggered, this, &MainWindow::showHelp);
    connect(a.nextWindow, &QAction::triggered, this, &MainWindow::nextWindow);
    connect(a.fileNew, &QAction::triggered, this, &MainWindow::fileNew);
    connect(a.fileOpen, &QAction::triggered, this, &MainWindow::fileOpen);
    connect(a.nextPane, &QAction::triggered, m_mdi, &QMdiArea::activateNextSubWindow);
    connect(a.previousPane, &QAction::triggered, m_mdi, &QMdiArea::activatePreviousSubWindow);
    // The edit commands act on the line edit with the focus.
    connect(a.undo, &QAction::triggered, this, [] {
        if (QLineEdit* edit = focusedEdit()) {
            edit->undo();
        }
    });
    connect(a.cut, &QAction::triggered, this, [] {
        if (QLineEdit* edit = focusedEdit()) {
            edit->cut();
        }
    });
    connect(a.copy, &QAction::triggered, this, [] {
        if (QLineEdit* edit = focusedEdit()) {
            edit->copy();
        }
    });
    connect(a.paste, &QAction::triggered, this, [] {
        if (QLineEdit* edit = focusedEdit()) {
            edit->paste();
        }
    });

    m_recentSeparator = new QAction(this);
    m_recentSeparator->setSeparator(true);
    for (int i = 0; i < int(m_recentActions.size()); ++i) {
        QAction* recent = new QAction(this);
        recent->setObjectName(QStringLiteral("recentFileAction%1").arg(i + 1));
        recent->setStatusTip(trc("MainWindow", "打开该文档"));
        connect(recent, &QAction::triggered, this, [this, i] { openRecentFile(i); });
        m_recentActions[static_cast<size_t>(i)] = recent;
    }

    m_kindActions = {
        {a.newWork, WindowKind::Work},           {a.openWork, WindowKind::Work},
        {a.openHistory, WindowKind::History},    {a.fileNew, WindowKind::History},
        {a.fileOpen, WindowKind::History},       {a.serialTest, WindowKind::SerialTest},
        {a.newTemplate, WindowKind::Simulation}, {a.openTemplate, WindowKind::Simulation},
        {a.parameters, WindowKind::Parameters},  {a.curves, WindowKind::Curves},
    };
    m_viewActions = {
        {a.save, ViewCommand::Save},
        {a.print, ViewCommand::Print},
        {a.printPreview, ViewCommand::PrintPreview},
        {a.saveTemplate, ViewCommand::SaveTemplate},
        {a.saveCurve, ViewCommand::SaveCurve},
        {a.alarmSettings, ViewCommand::AlarmSettings},
    };
    for (const auto& [action, viewCommand] : m_viewActions) {
        connect(action, &QAction::triggered, this,
                [this, viewCommand] { runViewCommand(viewCommand); });
    }
}

void MainWindow::createMenus() {
    const MainActions& a = m_actions;
    struct MenuLayout {
        const char* title;
        QList<QAction*> items;  // nullptr is a separator
    };
    const MenuLayout withoutChild[] = {
        {QT_TR_NOOP("系统服务"),
         {a.startTitle, a.portMap, a.publish, a.busMonitor, a.language, nullptr, a.printSetup,
          m_recentSeparator, m_recentActions[0], m_recentActions[1], m_recentActions[2],
          m_recentActions[3], nullptr, a.exit}},
        {QT_TR_NOOP("通信测试"),
         {a.serialTest, nullptr, a.newTemplate, a.openTemplate, nullptr, a.parameters}},
        {QT_TR_NOOP("实时记录"),
         {a.newWork, a.openWork, nullptr, a.curves, a.saveCurve, nullptr, a.trend, nullptr,
          a.alarmList, a.alarmSettings}},
        {QT_TR_NOOP("历史记录分析"), {a.openHistory, nullptr, a.trend}},
        {QT_TR_NOOP("查看(&V)"), {a.toolBar, a.statusBar}},
        {QT_TR_NOOP("帮助(&H)"), {a.about, nullptr, a.help}},
    };
    const MenuLayout withChild[] = {
        {QT_TR_NOOP("系统服务"),
         {a.startTitle, a.portMap, a.publish, a.busMonitor, a.language, nullptr, a.print,
          a.printPreview, a.printSetup, m_recentSeparator, m_recentActions[0], m_recentActions[1],
          m_recentActions[2], m_recentActions[3], nullptr, a.exit}},
        {QT_TR_NOOP("通信测试"),
         {a.serialTest, nullptr, a.newTemplate, a.openTemplate, a.saveTemplate, nullptr,
          a.parameters}},
        {QT_TR_NOOP("实时记录"),
         {a.newWork, a.openWork, nullptr, a.curves, a.saveCurve, nullptr, a.trend, nullptr,
          a.alarmList, a.alarmSettings}},
        {QT_TR_NOOP("历史记录分析"), {a.openHistory, nullptr, a.trend}},
        {QT_TR_NOOP("界面切换"), {a.arrangeIcons, a.cascade, a.tile}},
        {QT_TR_NOOP("帮助"), {a.about, nullptr, a.help}},
    };
    auto build = [this](const MenuLayout& layout, QList<QMenu*>& into) {
        auto* menu = new QMenu(tr(layout.title), this);
        for (QAction* item : layout.items) {
            if (item == nullptr) {
                menu->addSeparator();
            } else {
                menu->addAction(item);
            }
        }
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::updateCommandStates);
        into.append(menu);
    };
    for (const MenuLayout& layout : withoutChild) {
        build(layout, m_menusWithoutChild);
    }
    for (const MenuLayout& layout : withChild) {
        build(layout, m_menusWithChild);
    }
}

void MainWindow::createToolBar() {
    const MainActions& a = m_actions;
    m_toolBar = new QToolBar(trc("MainWindow", "工具栏"), this);
    m_toolBar->setObjectName(QStringLiteral("mainToolBar"));
    m_toolBar->setIconSize(QSize(kToolImageWidth, kToolImageHeight));
    m_toolBar->setFloatable(false);
    // The buttons in order, each with its image in the strip; nullptr is a separator.
    QAction* const buttons[] = {a.serialTest,  a.openTemplate, a.parameters, a.openWork,
                                a.openHistory, a.curves,       nullptr,      a.print,
                                nullptr,       a.about,        nullptr,      a.nextWindow};
    int image = 0;
    for (QAction* action : buttons) {
        if (action == nullptr) {
            m_toolBar->addSeparator();
            continue;
        }
        action->setIcon(toolbarIcon(kToolbarMain, image++));
        m_toolBar->addAction(action);
        if (auto* tool = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(action))) {
            showGivenTipOnly(tool);
        }
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    connect(a.toolBar, &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, a.toolBar, &QAction::setChecked);
}

void MainWindow::createStatusBar(const QString& statusNote) {
    QStatusBar* bar = statusBar();
    auto* message = new QLabel(trc("MainWindow", "就绪"), bar);
    message->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(message, 1);
    m_linkFailure = new QLabel(bar);
    m_linkFailure->setObjectName(QStringLiteral("linkFailurePane"));
    m_linkFailure->hide();
    bar->addPermanentWidget(m_linkFailure);
    connect(&m_app.links(), &LinkThreads::performed, this, [this](const LinkResult& result) {
        m_failureLine.observe(result);
        const QString text = QString::fromStdString(m_failureLine.text());
        m_linkFailure->setText(text);
        m_linkFailure->setVisible(!text.isEmpty());
    });
    m_alarmLine = new QToolButton(bar);
    m_alarmLine->setObjectName(QStringLiteral("alarmPane"));
    m_alarmLine->setAutoRaise(true);
    m_alarmLine->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_alarmLine->setToolTip(tr("打开报警列表"));
    m_alarmLine->hide();
    bar->addPermanentWidget(m_alarmLine);
    connect(m_alarmLine, &QToolButton::clicked, this, &MainWindow::openAlarmList);
    connect(&m_app.alarms(), &AlarmCenter::changed, this, [this] {
        const QString line = m_app.alarms().statusLine();
        m_alarmLine->setText(line);
        m_alarmLine->setVisible(!line.isEmpty());
    });
    m_locks = new LockIndicators(bar);
    if (!statusNote.isEmpty()) {
        auto* note = new QLabel(statusNote, bar);
        note->setObjectName(QStringLiteral("statusNote"));
        note->setFrameShape(QFrame::Panel);
        note->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(note);
    }
    connect(m_actions.statusBar, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void MainWindow::switchMenus() {
    const bool withChild = !m_children.isEmpty();
    if (m_menusBuilt && withChild == m_childMenus) {
        return;
    }
    m_menusBuilt = true;
    m_childMenus = withChild;
    menuBar()->clear();
    for (QMenu* menu : withChild ? m_menusWithChild : m_menusWithoutChild) {
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
    setWindowTitle(child != nullptr ? appTitle() + QStringLiteral(" - ") + child->frameTitle()
                                    : appTitle());
}

ViewCommands* MainWindow::activeViewCommands() const {
    ChildWindow* child = activeChild();
    return child != nullptr ? dynamic_cast<ViewCommands*>(child->view()) : nullptr;
}

void MainWindow::updateCommandStates() {
    for (const auto& [action, kind] : m_kindActions) {
        action->setEnabled(m_app.hasTemplate(kind));
    }
    const ChildWindow* active = activeChild();
    m_actions.trend->setEnabled(active != nullptr && (active->kind() == WindowKind::Work ||
                                                      active->kind() == WindowKind::History));
    ViewCommands* handler = activeViewCommands();
    for (const auto& [action, command] : m_viewActions) {
        action->setEnabled(handler != nullptr && handler->isCommandEnabled(command));
    }
}

void MainWindow::runViewCommand(ViewCommand command) {
    if (ViewCommands* handler = activeViewCommands();
        handler != nullptr && handler->isCommandEnabled(command)) {
        handler->onViewCommand(command);
    }
}

ChildWindow* MainWindow::openView(WindowKind kind, std::optional<QString> filePath) {
    if (!m_app.hasTemplate(kind)) {
        return nullptr;
    }
    m_windowKind = kind;
    const QString path = filePath.value_or(m_currentFilePath);
    auto* frame = new ChildWindow(kind, m_app);
    ViewContext context;
    context.kind = kind;
    context.filePath = path;
    context.link = m_currentLink;
    context.frame = frame;
    context.services = &m_app;
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
    m_cycleIndex = m_openChildCount;
    ++m_openChildCount;
    if (kind == WindowKind::History && !path.isEmpty()) {
        noteRecentFile(path);
    }
    return frame;
}

void MainWindow::onChildClosed(ChildWindow* frame) {
    m_children.removeOne(frame);
    --m_openChildCount;
    m_cycleIndex = 0;
    switchMenus();
    updateCaption(nullptr);
    updateCommandStates();
}

bool MainWindow::openRecordFile(const QString& path) {
    return openView(WindowKind::History, path) != nullptr;
}

void MainWindow::noteRecentFile(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    m_recentFiles.removeAll(full);
    m_recentFiles.prepend(full);
    while (m_recentFiles.size() > int(m_recentActions.size())) {
        m_recentFiles.removeLast();
    }
    Settings().setRecentFiles(m_recentFiles);
    refreshRecentFiles();
}

void MainWindow::openRecentFile(int index) {
    if (index < 0 || index >= m_recentFiles.size()) {
        return;
    }
    const QString path = m_recentFiles[index];
    if (!QFileInfo(path).isFile()) {
        messageBox(this, trc("MainWindow", "文件错误！！！"));
        m_recentFiles.removeAt(index);
        Settings().setRecentFiles(m_recentFiles);
        refreshRecentFiles();
        return;
    }
    m_currentFilePath = path;
    openView(WindowKind::History, path);
}

void MainWindow::refreshRecentFiles() {
    const bool enabled = m_app.hasTemplate(WindowKind::History);
    for (int i = 0; i < int(m_recentActions.size()); ++i) {
        QAction* recent = m_recentActions[static_cast<size_t>(i)];
        const bool shown = i < m_recentFiles.size();
        recent->setVisible(shown);
        recent->setEnabled(enabled);
        if (shown) {
            recent->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(m_recentFiles[i]));
        }
    }
    m_recentSeparator->setVisible(!m_recentFiles.isEmpty());
}

void MainWindow::openFile(WindowKind kind, const QString& filter, const QString& extension) {
    FileDialogRequest request;
    request.filter = filter;
    request.defaultExtension = extension;
    request.initialName = QStringLiteral("*.") + extension;
    request.mustExist = true;
    const QString path = prompts().openFileName(this, request);
    if (path.isEmpty()) {
        return;
    }
    m_currentFilePath = path;
    openView(kind);
}

void MainWindow::newWork() {
    m_currentFilePath.clear();
    openView(WindowKind::Work);
}

void MainWindow::openWork() {
    openFile(WindowKind::Work, trc("MainWindow", "采集文件(*.awt);;所有文件(*.*)"),
             QStringLiteral("awt"));
}

void MainWindow::openHistory() {
    openFile(WindowKind::History, trc("MainWindow", "采集文件(*.alt);;所有文件(*.*)"),
             QStringLiteral("alt"));
}

void MainWindow::openSerialTest() {
    openView(WindowKind::SerialTest);
}

void MainWindow::newTemplate() {
    m_currentFilePath.clear();
    openView(WindowKind::Simulation);
}

void MainWindow::openTemplate() {
    openFile(WindowKind::Simulation, trc("MainWindow", "模板文件(*.sim);;所有文件(*.*)"),
             QStringLiteral("sim"));
}

void MainWindow::openParameters() {
    openView(WindowKind::Parameters);
}

ChildWindow* MainWindow::openParametersFor(const LinkSettings& link) {
    m_currentLink = link;
    return openView(WindowKind::Parameters);
}

void MainWindow::openCurves() {
    openView(WindowKind::Curves);
}

void MainWindow::openTrend() {
    ChildWindow* source = activeChild();
    if (source == nullptr ||
        (source->kind() != WindowKind::Work && source->kind() != WindowKind::History)) {
        return;
    }
    ViewContext context;
    context.kind = source->kind();
    context.services = &m_app;
    TrendWindow::open(m_mdi, source->view(), context, source->windowTitle());
}

void MainWindow::showHelp() {
    messageBox(this,
               trc("MainWindow", "本软件适用于QT570温控仪。\n") +
                   trc("MainWindow", "能完成通信测试、参数设置修改、及简单的采样工作。"),
               PromptButtons::Ok, PromptIcon::Question, trc("MainWindow", "帮助"));
}

void MainWindow::setStartTitle() {
    StartTitleDialog dialog(this);
    prompts().runDialog(dialog);
}

void MainWindow::openBusMonitor() {
    if (m_busMonitor == nullptr) {
        m_busMonitor = new BusMonitorView(m_app.links(), this);
        m_busMonitor->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_busMonitor->show();
    m_busMonitor->raise();
    m_busMonitor->activateWindow();
}

void MainWindow::openAlarmList() {
    if (m_alarmList == nullptr) {
        m_alarmList = new AlarmListView(m_app.alarms(), this);
        m_alarmList->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_alarmList->show();
    m_alarmList->raise();
    m_alarmList->activateWindow();
}

void MainWindow::mapPorts() {
    PortMapDialog dialog(this);
    prompts().runDialog(dialog);
}

void MainWindow::setUpPublishing() {
    PublishDialog dialog(this);
    prompts().runDialog(dialog);
}

void MainWindow::showAbout() {
    AboutDialog dialog(this);
    prompts().runDialog(dialog);
}

void MainWindow::fileNew() {
    openView(WindowKind::History, QString());
}

void MainWindow::fileOpen() {
    if (!m_app.hasTemplate(WindowKind::History)) {
        return;
    }
    FileDialogRequest request;
    request.filter = trc("MainWindow", "所有文件(*.*)");
    const QString path = prompts().openFileName(this, request);
    if (!path.isEmpty()) {
        openRecordFile(path);
    }
}

void MainWindow::nextWindow() {
    ++m_cycleIndex;
    if (m_cycleIndex >= m_openChildCount) {
        m_cycleIndex = 0;
    }
    if (m_cycleIndex < m_children.size()) {
        m_mdi->setActiveSubWindow(m_children[m_cycleIndex]);
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

QLineEdit* MainWindow::focusedEdit() {
    QWidget* focus = QApplication::focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
        return edit;
    }
    auto* combo = qobject_cast<QComboBox*>(focus);
    return combo != nullptr ? combo->lineEdit() : nullptr;
}

void MainWindow::printSetup() {
    QPrinter& printer = m_app.printer();
    const auto keep = [&printer] {
        Settings::PrinterSetup setup;
        setup.name = printer.printerName();
        setup.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0;
        setup.pageSize = static_cast<int>(printer.pageLayout().pageSize().id());
        Settings().setPrinterSetup(setup);
    };
    // Qt's page setup serves only system printers; without one (printing to PDF) the print
    // dialog chooses the printer, paper and orientation instead.
    if (printer.outputFormat() == QPrinter::NativeFormat) {
        QPageSetupDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printSetupDialog"));
        if (prompts().runDialog(dialog) == QDialog::Accepted) {
            keep();
        }
    } else {
        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printSetupDialog"));
        dialog.setWindowTitle(trc("MainWindow", "打印设置"));
        if (prompts().runDialog(dialog) == QDialog::Accepted) {
            keep();
        }
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
